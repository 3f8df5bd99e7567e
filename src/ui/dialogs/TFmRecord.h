#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class SettingsStore;
class TFmBrowse;
namespace record {
class DataRecorder;
}

// "Save Temperature Record": whether and how often the readings are recorded, one file per
// hour or day, its type and the folder. Its OK is where the settings reach the recorder; the
// start-up restore runs the same OK. However it closes, the record timer follows "Save".
class TFmRecord : public QDialog
{
    Q_OBJECT

public:
    explicit TFmRecord(record::DataRecorder& recorder, QWidget* parent = nullptr);

    // After the folder chooser exists.
    void attachBrowse(TFmBrowse* browse) { m_browse = browse; }

    void BtnOKClick();
    void BtnCancelClick();
    void BtnBrowseClick();
    void ChkSaveClick();
    // The folder chooser's OK.
    void setFilePath(const QString& folder);

    // The dialog's stored values, read from (written to) the opened FmRecord key, in the
    // order the settings keep them. A sample time that is not an integer is stored as the
    // one the last OK took.
    void restoreSettings(const SettingsStore& key);
    void storeSettings(SettingsStore& key) const;

    // The selected item of a list; typed text that is none of its items counts as item 1.
    static int itemIndex(const QComboBox* combo);

protected:
    void showEvent(QShowEvent* event) override;
    // Esc and the window frame end here too (QDialog closes through reject).
    void reject() override;

private:
    void closeDialog();

    record::DataRecorder& m_recorder;
    TFmBrowse* m_browse = nullptr;
    QCheckBox* m_save = nullptr;           // ChkSave
    QLineEdit* m_sampleTime = nullptr;     // TxtSampleTime
    QComboBox* m_sampleUnit = nullptr;     // CboSampleUnit
    QComboBox* m_saveUnit = nullptr;       // CboSaveUnit
    QComboBox* m_fileType = nullptr;       // CboFileType
    QLineEdit* m_filePath = nullptr;       // TxtFilePath
    QPushButton* m_browseButton = nullptr; // BtnBrowse
};
