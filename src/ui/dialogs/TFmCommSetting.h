#pragma once

#include <QDialog>
#include <QStringList>
#include <array>

class DialogService;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class RadioGroup;
class SettingsStore;
class StationModel;
namespace store {
class RegistryFile;
}

// "Commication Setting": port and baud rate of each line, converter, protocol and scan mode
// of all three, the window title, and the port search. Its OK is the one place where these
// reach the engine; the start-up restore runs the same OK.
class TFmCommSetting : public QDialog
{
    Q_OBJECT

public:
    static constexpr int PortItems = 8; // "COM 1" .. "COM 8"

    TFmCommSetting(DialogService& dialogs, store::RegistryFile& settings, StationModel& model,
                   QWidget* parent = nullptr);

    void FormShow();
    void BtnOKClick();
    void BtnCancelClick();
    void RzButton1Click(); // "ComPort Search"

    // The dialog's stored values, read from (written to) the opened FmCommSetting key, in the
    // order the settings keep them.
    void restoreSettings(const SettingsStore& key);
    void storeSettings(SettingsStore& key) const;

    // The baud rates of the items of the baud groups, in item order.
    static const std::array<int, 5>& baudRates();

Q_SIGNALS:
    // OK took over the title text: the main window's caption and the application title.
    void titleApplied(const QString& title);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLinePage(int line, QWidget* page);
    void appendNextSearchLine();

    DialogService& m_dialogs;
    store::RegistryFile& m_settings;
    StationModel& m_model;

    QLineEdit* m_title = nullptr; // TxtTitle
    RadioGroup* m_scanAll = nullptr;
    RadioGroup* m_psl = nullptr;
    RadioGroup* m_converter = nullptr;
    std::array<RadioGroup*, 3> m_ports{};     // CboComA..C
    std::array<RadioGroup*, 3> m_bauds{};     // CboBpsA..C
    std::array<QLineEdit*, 3> m_otherPorts{}; // Edit1..Edit3
    QPlainTextEdit* m_memo = nullptr;         // Memo1
    QTimer* m_searchPause = nullptr;
    QStringList m_pendingSearchLines;
};
