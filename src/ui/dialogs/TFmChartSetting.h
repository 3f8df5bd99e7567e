#pragma once

#include <QDialog>
#include <array>
#include <functional>

class DialogService;
class LengthSpinBox;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;
class SettingsStore;
class TrendPlot;

// "Chart Property": per trend chart its length, left-axis scaling, 3D view and SV lines, and
// the one sample time of all three. Its OK is the one place where these reach the charts; the
// start-up restore runs the same OK.
class TFmChartSetting : public QDialog
{
    Q_OBJECT

public:
    // `setSampleInterval`: the sampling timer's interval in milliseconds.
    TFmChartSetting(DialogService& dialogs, std::array<TrendPlot*, 3> charts,
                    std::function<void(int)> setSampleInterval, QWidget* parent = nullptr);

    void FormShow();
    void BtnChtSetingOkClick();
    void BtnChtSetingCancelClick();

    // The dialog's stored values, read from (written to) the opened FmChartSetting key, in the
    // order the settings keep them. The store keeps what the operator left in the controls,
    // except a sample time or a fixed range that the next start's OK would refuse: for those
    // it keeps what the last OK applied, so the program always starts again.
    void restoreSettings(const SettingsStore& key);
    void storeSettings(SettingsStore& key) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Tab
    {
        LengthSpinBox* length = nullptr;   // ChtAMax
        QRadioButton* automatic = nullptr; // RdoAutoA
        QRadioButton* limit = nullptr;     // RdoLimitA
        QButtonGroup* group = nullptr;     // of the two
        QLineEdit* min = nullptr;          // TxtYminA
        QLineEdit* max = nullptr;          // TxtYmaxA
        QCheckBox* view3D = nullptr;       // Chk3DA
        QCheckBox* showSv = nullptr;       // ChkSV1
    };
    void buildTab(int monitor, QWidget* page);
    // What the store writes for a tab's scaling: the controls, or the chart's own.
    struct Scaling
    {
        bool automatic;
        bool limit;
        QString min;
        QString max;
    };
    Scaling scalingToStore(int monitor) const;
    QString sampleToStore() const;

    DialogService& m_dialogs;
    std::array<TrendPlot*, 3> m_charts;
    std::function<void(int)> m_setSampleInterval;
    std::array<Tab, 3> m_tabs;
    QLineEdit* m_sample = nullptr; // TxtChtSample
    QString m_confirmedSample;     // as the last OK took it
};
