#include "ui/dialogs/TFmCommSetting.h"

#include "core/Conversions.h"
#include "core/Home.h"
#include "engine/StationModel.h"
#include "link/PortTable.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"
#include "ui/Handled.h"
#include "ui/RadioGroup.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>

namespace {

constexpr const char* Letters = "ABC";

QString lineName(const char* prefix, int line)
{
    return QLatin1String(prefix) + QLatin1Char(Letters[line]);
}

} // namespace

const std::array<int, 5>& TFmCommSetting::baudRates()
{
    static const std::array<int, 5> rates{38400, 19200, 9600, 4800, 2400};
    return rates;
}

TFmCommSetting::TFmCommSetting(DialogService& dialogs, store::RegistryFile& settings,
                               StationModel& model, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_settings(settings), m_model(model)
{
    setObjectName(QStringLiteral("FmCommSetting"));
    setWindowTitle(QStringLiteral("Commication Setting"));
    setFixedSize(560, 400);

    auto* frame = new QGroupBox(QStringLiteral("Communication Setting"), this);
    frame->setObjectName(QStringLiteral("GroupBox1"));
    frame->setGeometry(8, 6, 544, 386);

    auto* label3 = new QLabel(QStringLiteral("Converter Type"), frame);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setGeometry(12, 22, 200, 18);
    m_title = new QLineEdit(QStringLiteral("Quillmere 8.21"), frame);
    m_title->setObjectName(QStringLiteral("TxtTitle"));
    m_title->setGeometry(12, 42, 240, 24);

    m_scanAll = new RadioGroup(
        {}, {QStringLiteral("Only scan controllers"), QStringLiteral("Scan all controllers")}, 1,
        frame);
    m_scanAll->setObjectName(QStringLiteral("RdoScanAll"));
    m_scanAll->setGeometry(12, 72, 240, 58);
    m_psl =
        new RadioGroup(QStringLiteral("Communication Protocol Selection"),
                       {QStringLiteral("VELN_Protocol"), QStringLiteral("Modbus_RTU")}, 1, frame);
    m_psl->setObjectName(QStringLiteral("CboPsl"));
    m_psl->setGeometry(12, 134, 240, 70);
    m_converter =
        new RadioGroup(QStringLiteral("Converter"),
                       {QStringLiteral("RS485 Converter (4 Wires)"),
                        QStringLiteral("RS485 Converter (2 Wires)"), QStringLiteral("RS232")},
                       1, frame);
    m_converter->setObjectName(QStringLiteral("CboConverter"));
    m_converter->setGeometry(12, 208, 240, 92);

    auto* pages = new QTabWidget(frame);
    pages->setObjectName(QStringLiteral("PageControl2"));
    pages->setGeometry(264, 22, 268, 230);
    for (int line = 0; line < 3; ++line) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("TabSheet%1").arg(line + 1));
        buildLinePage(line, page);
        pages->addTab(page, QStringLiteral("Monitor%1").arg(line + 1));
    }

    m_memo = new QPlainTextEdit(QStringLiteral(" "), frame);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setGeometry(264, 258, 268, 80);

    auto* search = new QPushButton(QStringLiteral("ComPort Search"), frame);
    search->setObjectName(QStringLiteral("RzButton1"));
    search->setGeometry(12, 346, 130, 28);
    connect(search, &QPushButton::clicked, this, handled(this, &TFmCommSetting::RzButton1Click));
    auto* ok = new QPushButton(QStringLiteral("OK"), frame);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setGeometry(336, 346, 90, 28);
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmCommSetting::BtnOKClick));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), frame);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    cancel->setGeometry(436, 346, 90, 28);
    connect(cancel, &QPushButton::clicked, this, handled(this, &TFmCommSetting::BtnCancelClick));

    // The search lists one port every 100 ms without holding up the window.
    m_searchPause = new QTimer(this);
    m_searchPause->setInterval(100);
    connect(m_searchPause, &QTimer::timeout, this,
            handled(this, &TFmCommSetting::appendNextSearchLine));

    for (RadioGroup* ports : m_ports)
        ports->setItemIndex(0);
}

void TFmCommSetting::buildLinePage(int line, QWidget* page)
{
    QStringList portItems;
    for (int n = 1; n <= PortItems; ++n)
        portItems << QStringLiteral("COM %1").arg(n);
    auto* ports = new RadioGroup(QStringLiteral("Com Port"), portItems, 2, page);
    ports->setObjectName(lineName("CboCom", line));
    ports->setGeometry(6, 6, 150, 150);
    QStringList baudItems;
    for (int rate : baudRates())
        baudItems << QString::number(rate);
    auto* bauds = new RadioGroup(QStringLiteral("BaudRate"), baudItems, 1, page);
    bauds->setObjectName(lineName("CboBps", line));
    bauds->setGeometry(162, 6, 92, 150);
    auto* label = new QLabel(QStringLiteral("Others Com Port"), page);
    label->setObjectName(QStringLiteral("LbOthers%1").arg(line + 1));
    label->setGeometry(6, 164, 150, 20);
    auto* other = new QLineEdit(page);
    other->setObjectName(QStringLiteral("Edit%1").arg(line + 1));
    other->setGeometry(162, 162, 92, 24);

    // Typing another port deselects the radio choice; entering the radio choice empties the
    // typed port (whose change then deselects, and the click selects its item).
    connect(other, &QLineEdit::textChanged, ports, handled([ports] { ports->setItemIndex(-1); }));
    connect(ports, &RadioGroup::entered, other, handled(other, &QLineEdit::clear));

    m_ports[size_t(line)] = ports;
    m_bauds[size_t(line)] = bauds;
    m_otherPorts[size_t(line)] = other;
}

void TFmCommSetting::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        runHandled([this] { FormShow(); });
}

void TFmCommSetting::FormShow()
{
    std::array<LineSettings, 3> lines;
    bool scanAll = false;
    {
        QMutexLocker lock(&m_model.mutex);
        scanAll = m_model.ScanAll;
        for (int m = 1; m <= 3; ++m)
            lines[size_t(m - 1)] = m_model.line(m);
    }
    m_scanAll->setItemIndex(scanAll ? 1 : 0);

    // Converter and protocol come from the store, not from the engine.
    {
        SettingsStore key(m_settings);
        key.setRoot(SettingsStore::Root::LocalMachine);
        key.openKey(store::programKey(QStringLiteral("FmCommSetting")));
        m_converter->setItemIndex(key.readInteger(QStringLiteral("Converter")));
        m_psl->setItemIndex(key.readInteger(QStringLiteral("Psl")));
        key.closeKey();
    }

    for (int line = 0; line < 3; ++line) {
        const LineSettings& settings = lines[size_t(line)];
        m_ports[size_t(line)]->setItemIndex(qMax(-1, settings.ComPort - 1));
        if (!m_otherPorts[size_t(line)]->text().isEmpty())
            m_ports[size_t(line)]->setItemIndex(-1);
        const auto& rates = baudRates();
        const auto rate = std::find(rates.begin(), rates.end(), settings.BaudRate);
        if (rate != rates.end())
            m_bauds[size_t(line)]->setItemIndex(int(rate - rates.begin()));
    }
}

void TFmCommSetting::BtnOKClick()
{
    {
        QMutexLocker lock(&m_model.mutex);
        m_model.ScanAll = m_scanAll->itemIndex() != 0;
    }
    {
        SettingsStore key(m_settings);
        key.setRoot(SettingsStore::Root::LocalMachine);
        key.openKey(store::programKey(QStringLiteral("FmCommSetting")));
        key.writeInteger(QStringLiteral("Converter"), m_converter->itemIndex());
        key.writeInteger(QStringLiteral("Psl"), m_psl->itemIndex());
        key.closeKey();
    }

    for (int line = 0; line < 3; ++line) {
        QLineEdit* other = m_otherPorts[size_t(line)];
        RadioGroup* ports = m_ports[size_t(line)];
        int comPort = 0;
        if (!other->text().isEmpty()) {
            // No range check: this is how ports above 8 are reached.
            comPort = core::toInteger(other->text());
            ports->setItemIndex(-1);
        } else {
            comPort = ports->itemIndex() + 1;
        }
        QMutexLocker lock(&m_model.mutex);
        LineSettings& settings = m_model.line(line + 1);
        settings.ComPort = comPort;
        // "RS232" has no echo, as the 2-wire converter: all three lines take it, since one
        // line on RS-232 and two on a 4-wire converter would read every reply wrongly.
        switch (m_converter->itemIndex()) {
        case 0:
            settings.Converter = TConverter::RS422_485;
            break;
        case 1:
        case 2:
            settings.Converter = TConverter::RS485;
            break;
        default:
            break;
        }
        if (const int baud = m_bauds[size_t(line)]->itemIndex(); baud >= 0)
            settings.BaudRate = baudRates()[size_t(baud)];
        // The list shows VELN first, the reverse of the protocol numbers.
        if (m_psl->itemIndex() == 0)
            settings.Psl = TPsl::veln;
        else if (m_psl->itemIndex() == 1)
            settings.Psl = TPsl::rtu;
    }

    titleApplied(m_title->text());
    hide();
}

void TFmCommSetting::BtnCancelClick()
{
    hide();
}

void TFmCommSetting::restoreSettings(const SettingsStore& key)
{
    m_scanAll->setItemIndex(key.readInteger(QStringLiteral("ScanAll")));
    m_converter->setItemIndex(key.readInteger(QStringLiteral("Converter")));
    m_psl->setItemIndex(key.readInteger(QStringLiteral("Psl")));
    for (int line = 0; line < 3; ++line)
        m_ports[size_t(line)]->setItemIndex(key.readInteger(lineName("COM", line)));
    for (int line = 0; line < 3; ++line)
        m_bauds[size_t(line)]->setItemIndex(core::toInteger(key.readString(lineName("BPS", line))));
    m_title->setText(key.readString(QStringLiteral("Title")));
}

void TFmCommSetting::storeSettings(SettingsStore& key) const
{
    key.writeInteger(QStringLiteral("ScanAll"), m_scanAll->itemIndex());
    key.writeInteger(QStringLiteral("Converter"), m_converter->itemIndex());
    for (int line = 0; line < 3; ++line)
        key.writeInteger(lineName("COM", line), m_ports[size_t(line)]->itemIndex());
    for (int line = 0; line < 3; ++line)
        key.writeString(lineName("BPS", line), QString::number(m_bauds[size_t(line)]->itemIndex()));
    key.writeString(QStringLiteral("Title"), m_title->text());
}

void TFmCommSetting::RzButton1Click()
{
    m_memo->clear();
    m_searchPause->stop();
    m_pendingSearchLines.clear();
    const QString home = core::homeFolder();
    QStringList unnumbered;
    for (const comm::PortTableEntry& entry : comm::portTable(home, comm::systemSerialDevices())) {
        if (const auto line = comm::portSearchLine(entry))
            m_pendingSearchLines << *line;
        else if (entry.portName.isEmpty())
            unnumbered << entry.deviceName;
    }
    // A device no port number reaches cannot be chosen yet: say how to give it one.
    for (const QString& device : unnumbered)
        m_pendingSearchLines
            << QStringLiteral("%1 (no port number: link %2/ports/COM<n> to it)").arg(device, home);
    appendNextSearchLine();
}

void TFmCommSetting::appendNextSearchLine()
{
    if (m_pendingSearchLines.isEmpty()) {
        m_searchPause->stop();
        return;
    }
    m_memo->appendPlainText(m_pendingSearchLines.takeFirst());
    m_searchPause->start();
}
