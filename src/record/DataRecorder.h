#pragma once

#include "record/RecordFiles.h"
#include "record/RecordFormat.h"
#include "record/RecordSettings.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <functional>

class QTimer;

namespace record {

// The record timer `TmrRecord` and its tick: one row per Monitor into that Monitor's data file
// of the current hour or day. The main window owns it and hands in where the values and the
// folder come from; it tells what recording is doing through stateChanged, for the status line.
//
// Rows that could not be written wait and are caught up in slices of about SliceMs, one tick
// and then one pass of the event loop after another, so a day's backlog never freezes the
// window. At close, `finish` writes what it can and keeps the rest in a file of the home,
// which `takeBack` returns to the queue at the next start.
class DataRecorder : public QObject
{
    Q_OBJECT

public:
    using Values = std::function<RecordValues()>;
    using Folder = std::function<QString()>;
    using Clock = std::function<QDateTime()>;

    explicit DataRecorder(Values values, QObject* parent = nullptr);

    RecordSettings& settings() { return m_settings; }
    const RecordSettings& settings() const { return m_settings; }
    // The folder the tick writes to: the record dialog's path field as it stands.
    void setFolderSource(Folder folder) { m_folder = std::move(folder); }
    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // The sample period from the dialog's OK. 0 or less: the timer never fires.
    void setSampleInterval(qint64 ms);
    int interval() const;
    // Switches `TmrRecord` on or off.
    void switchTimer(bool on);
    bool isActive() const;

    void TmrRecordTimer();
    // One slice of the catch-up: waiting rows for about SliceMs. The tick runs one too.
    void writeWaiting();
    bool catchingUp() const;

    // Where `finish` keeps the rows it could not write, for `takeBack` at the next start.
    void setKeepFile(const QString& path) { m_keepFile = path; }
    // At close: stops the timer, writes every waiting row it can and keeps the others.
    void finish();
    // At start: the rows kept by the last close join the queue and are caught up.
    void takeBack();
    // The operator has seen the report of rows lost at the cap: it goes.
    void acknowledgeLoss();

    // Time a tick or a catch-up slice spends on waiting rows.
    static constexpr int SliceMs = 20;

    // "Recording", the failure with its reason and path, rows waiting, rows lost at the cap
    // until the operator has seen it, or empty when recording is off and all is written.
    QString stateText() const { return m_state; }
    const RecordFiles& files() const { return m_files; }

Q_SIGNALS:
    void stateChanged(const QString& text);

private:
    QString folder() const;
    void showState();
    void setState(const QString& text);

    Values m_values;
    Folder m_folder;
    Clock m_clock;
    QLocale m_locale = QLocale::system();
    RecordSettings m_settings;
    RecordFiles m_files;
    QTimer* m_timer = nullptr;
    QTimer* m_catchUp = nullptr;
    QString m_keepFile;
    std::optional<RecordFailure> m_failure;
    bool m_paused = true;     // no catch-up slices
    bool m_recording = false; // rows are being taken, for the status line
    QString m_state;
};

} // namespace record
