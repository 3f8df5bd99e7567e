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

    // "Recording", the failure with its reason and path, or empty when recording is off.
    QString stateText() const { return m_state; }
    const RecordFiles& files() const { return m_files; }

Q_SIGNALS:
    void stateChanged(const QString& text);

private:
    void setState(const QString& text);

    Values m_values;
    Folder m_folder;
    Clock m_clock;
    QLocale m_locale = QLocale::system();
    RecordSettings m_settings;
    RecordFiles m_files;
    QTimer* m_timer = nullptr;
    bool m_failing = false;
    QString m_state;
};

} // namespace record
