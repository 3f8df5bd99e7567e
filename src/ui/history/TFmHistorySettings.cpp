// What the viewer keeps between runs, in its own file in the home, and the company title it
// takes from the main program's store there.
#include "ui/history/TFmHistory.h"

#include "core/QuillmereError.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>

QString TFmHistory::storedTitle() const
{
    // The company title the main program shows in its title line, when its store is here.
    const QString path = QDir(m_options.home).filePath(QStringLiteral("settings.reg"));
    if (!QFileInfo::exists(path))
        return {};
    try {
        store::RegistryFile file(path);
        SettingsStore home(file);
        home.setRoot(SettingsStore::Root::LocalMachine);
        if (!home.openKey(store::programKey(QStringLiteral("FmHome"))))
            return {};
        return home.readString(QStringLiteral("HmTitle")).trimmed();
    } catch (const QuillmereError&) {
        return {}; // a store the main program cannot read either: the field stays to be filled
    }
}

void TFmHistory::restoreSettings()
{
    if (m_options.home.isEmpty())
        return;
    QSettings s(QDir(m_options.home).filePath(QStringLiteral("quillmere-history.ini")),
                QSettings::IniFormat);
    m_folder->setText(s.value(QStringLiteral("folder")).toString());
    m_monitor->setCurrentIndex(std::clamp(s.value(QStringLiteral("monitor"), 1).toInt(), 1, 3) - 1);
    if (s.contains(QStringLiteral("slots"))) {
        const QStringList on = s.value(QStringLiteral("slots")).toString().split(QLatin1Char(','));
        for (int k = 1; k <= history::Slots; ++k)
            m_slots[size_t(k - 1)]->setChecked(on.contains(QString::number(k)));
    }
    m_sv->setChecked(s.value(QStringLiteral("sv"), true).toBool());
    m_band->setValue(s.value(QStringLiteral("band"), 5.0).toDouble());
    m_reviewer->setText(s.value(QStringLiteral("reviewer")).toString());
    m_exportFolder = s.value(QStringLiteral("exports")).toString();
}

void TFmHistory::storeSettings() const
{
    if (m_options.home.isEmpty())
        return;
    QSettings s(QDir(m_options.home).filePath(QStringLiteral("quillmere-history.ini")),
                QSettings::IniFormat);
    QStringList on;
    for (int k : chosenSlots())
        on << QString::number(k);
    s.setValue(QStringLiteral("folder"), m_folder->text());
    s.setValue(QStringLiteral("monitor"), m_monitor->currentData().toInt());
    s.setValue(QStringLiteral("slots"), on.join(QLatin1Char(',')));
    s.setValue(QStringLiteral("sv"), m_sv->isChecked());
    s.setValue(QStringLiteral("band"), m_band->value());
    s.setValue(QStringLiteral("reviewer"), m_reviewer->text());
    s.setValue(QStringLiteral("exports"), m_exportFolder);
}

void TFmHistory::closeEvent(QCloseEvent* event)
{
    storeSettings();
    QWidget::closeEvent(event);
}
