#pragma once

#include "ui/history/HistoryLoader.h"

#include <QWidget>
#include <array>
#include <memory>

class DialogService;
class HistoryPlot;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Where the viewer reads from and keeps its own settings.
struct HistoryOptions
{
    QString folder;      // the record folder (holding Monitor1..3)
    QString auditFolder; // the audit trail, for the alarms of the report; may not exist
    QString home;        // the viewer's own settings file lives here, never in `folder`
};

// "History Viewer": one Monitor's recorded rows over a chosen period (and a second period to
// compare), the chart, the statistics of what is shown, and the exports. Reading runs on a
// worker thread; the window stays usable and can cancel it.
class TFmHistory : public QWidget
{
    Q_OBJECT

public:
    TFmHistory(DialogService& dialogs, HistoryOptions options, QWidget* parent = nullptr);
    ~TFmHistory() override;

    static QString caption() { return QStringLiteral("History Viewer"); }
    HistoryPlot* plot() const { return m_plot; }
    bool reading() const;

    void BtnBrowseClick();
    // Reads the chosen period, and the compared one when that is switched on.
    void BtnShowClick();
    // The last `hours` hours up to now, read at once; the compared period becomes the one
    // of the same length just before it.
    void showLast(int hours);
    void BtnCancelClick();
    void BtnCsvClick();
    void BtnPdfClick();

    // The statistics rows as the table and the report show them.
    QList<QStringList> statisticsRows() const;
    static QStringList statisticsHeader();

Q_SIGNALS:
    // Every read started has ended (finished or cancelled).
    void readsDone();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void loaded(int which, const std::shared_ptr<const HistoryLoader::Result>& result);
    void updateStatistics();
    void showStatus();
    QString subjectText() const;
    QString periodText(int which) const;
    QString reportFileName(const QString& extension) const;
    bool refuseRecordFolder(const QString& path);
    QString storedTitle() const;
    void restoreSettings();
    void storeSettings() const;
    std::vector<int> chosenSlots() const;

    DialogService& m_dialogs;
    HistoryOptions m_options;
    std::array<HistoryLoader*, 2> m_loaders{};
    std::array<std::shared_ptr<const HistoryLoader::Result>, 2> m_results;
    std::array<QString, 2> m_states; // what each period's read said, for the status line
    QString m_exportFolder;          // where the last export went

    QLineEdit* m_folder = nullptr;
    QComboBox* m_monitor = nullptr;
    std::array<QCheckBox*, 10> m_slots{};
    QCheckBox* m_sv = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QCheckBox* m_compare = nullptr;
    QDateTimeEdit* m_compareFrom = nullptr;
    QDateTimeEdit* m_compareTo = nullptr;
    QPushButton* m_cancel = nullptr;
    HistoryPlot* m_plot = nullptr;
    QDoubleSpinBox* m_band = nullptr;
    QTableWidget* m_statistics = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_reviewer = nullptr;
    QLabel* m_status = nullptr;
};
