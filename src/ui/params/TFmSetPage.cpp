#include "ui/params/TFmSetPage.h"

#include "audit/WriteAuditor.h"
#include "ui/Handled.h"

#include "core/QuillmereError.h"
#include "engine/TCommController.h"
#include "engine/WriteConversion.h"
#include "params/ParameterCatalogue.h"
#include "params/ValueText.h"
#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/params/Keypad.h"
#include "ui/params/KeypadHotSpot.h"
#include "ui/params/SetPageTab.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>

using params::InputKind;
using params::ParameterEntry;
using params::TabId;

namespace {

const QString WriteSource = QStringLiteral("Set Controller");

const QColor SkyBlue(166, 202, 240);

// The back keys of Level 1, Level 2 and Program 1 act as soon as any mouse button goes down
// on them; those of Level 3 and Program 2 wait for a click. Level 4 has no keypad.
constexpr bool BackActsOnPress[] = {true, true, false, false, true, false};

// The range check compares the whole part of the number, which decides it exactly only while
// both bounds are whole numbers.
static_assert(params::KeypadLowerBound == double(qint64(params::KeypadLowerBound)));
static_assert(params::KeypadUpperBound == double(qint64(params::KeypadUpperBound)));

QLabel* addHeaderLabel(QWidget* parent, const char* name, const QString& text, const QRect& place,
                       bool value)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(fonts::sans(14, value));
    label->setGeometry(place);
    if (value) {
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::black);
        palette.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(palette);
    }
    return label;
}

} // namespace

TFmSetPage::TFmSetPage(DialogService& dialogs, TCommController& engine, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_engine(engine)
{
    setObjectName(QStringLiteral("FmSetPage"));
    setWindowTitle(QStringLiteral("Set Controller"));
    setFixedSize(563, 375);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, SkyBlue);
    setPalette(palette);
    setAutoFillBackground(true);

    buildHeader();

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("WritwL5"));
    m_tabs->setFont(fonts::sans(13));
    m_tabs->setGeometry(8, 42, 547, 325);

    using Handler = void (TFmSetPage::*)();
    static constexpr Handler WriteHandlers[] = {
        &TFmSetPage::WritwL1Click, &TFmSetPage::WritwL2Click, &TFmSetPage::WritwL3Click,
        &TFmSetPage::WritwL4Click, &TFmSetPage::WritwP1Click, &TFmSetPage::WritwP2Click};
    for (const params::TabInfo& info : params::tabs()) {
        const TabId tab = info.id;
        auto* sheet = new SetPageTab(tab);
        m_pages[size_t(tab)] = sheet;
        m_tabs->addTab(sheet, QLatin1String(info.title));
        connect(sheet->writeButton(), &QPushButton::clicked, this,
                handled(this, WriteHandlers[int(tab)]));
        if (Keypad* keypad = sheet->keypad()) {
            for (QChar c : Keypad::keyCharacters())
                connect(keypad->key(c), &KeypadHotSpot::clicked, this,
                        handled([this, tab, c] { KeyClick(tab, c); }));
            connect(keypad->backKey(),
                    BackActsOnPress[int(tab)] ? &KeypadHotSpot::pressed : &KeypadHotSpot::clicked,
                    this, handled([this, tab] { KeyBack(tab); }));
        }
    }
    m_tabs->setCurrentIndex(0);
    connect(&m_engine, &TCommController::writeResult, this,
            handled(this, &TFmSetPage::engineWriteResult));
}

void TFmSetPage::buildHeader()
{
    addHeaderLabel(this, "Label1", QStringLiteral("Monitor"), QRect(16, 10, 64, 24), false);
    m_panel = addHeaderLabel(this, "LbPanel", QStringLiteral("1"), QRect(82, 10, 40, 24), true);
    addHeaderLabel(this, "Label2", QStringLiteral("Controller"), QRect(150, 10, 80, 24), false);
    m_no = addHeaderLabel(this, "LbNO", QStringLiteral("1"), QRect(232, 10, 40, 24), true);
    addHeaderLabel(this, "Label3", QStringLiteral("ID:"), QRect(300, 10, 28, 24), false);
    m_id = addHeaderLabel(this, "LbID", QStringLiteral("1"), QRect(330, 10, 56, 24), true);
}

void TFmSetPage::setTarget(const QString& panel, const QString& slotNumber, const QString& id)
{
    m_panel->setText(panel);
    m_no->setText(slotNumber);
    m_id->setText(id);
}

void TFmSetPage::setLocked(bool locked)
{
    m_locked = locked;
    if (locked)
        hide();
}

void TFmSetPage::WritwL1Click()
{
    write(TabId::Level1);
}

void TFmSetPage::WritwL2Click()
{
    write(TabId::Level2);
}

void TFmSetPage::WritwL3Click()
{
    write(TabId::Level3);
}

void TFmSetPage::WritwL4Click()
{
    write(TabId::Level4);
}

void TFmSetPage::WritwP1Click()
{
    write(TabId::Program1);
}

void TFmSetPage::WritwP2Click()
{
    write(TabId::Program2);
}

void TFmSetPage::KeyClick(TabId tab, QChar key)
{
    const Keypad* keypad = page(tab).keypad();
    const KeypadHotSpot* hotSpot = keypad ? keypad->key(key) : nullptr;
    if (!hotSpot || !hotSpot->isEnabled())
        return;
    QLineEdit* edit = page(tab).valueEdit();
    edit->setText(edit->text() + key);
}

void TFmSetPage::KeyBack(TabId tab)
{
    const Keypad* keypad = page(tab).keypad();
    if (!keypad || !keypad->backKey()->isEnabled())
        return;
    QLineEdit* edit = page(tab).valueEdit();
    QString text = edit->text();
    if (text.isEmpty())
        return;
    text.chop(1);
    edit->setText(text);
}

void TFmSetPage::write(TabId tab)
{
    SetPageTab& sheet = page(tab);
    QLineEdit* edit = sheet.valueEdit();
    const ParameterEntry* entry = sheet.selectedEntry();
    // The controller the header shows, not the page the main window shows now.
    bool ok = false;
    const int monitor = m_panel->text().toInt(&ok);
    const int slot = ok ? m_no->text().toInt(&ok) : 0;
    const int shownId = m_id->text().toInt(&ok);
    const int station = ok ? shownId : -1;

    if (m_locked) {
        // A write tried under the lock is on the record too: the trail shows who tried what.
        // (A name that is no parameter is refused unrecorded, locked or not: nothing to name.)
        if (m_audit && entry) {
            const std::optional<QString> tried = entry->input == InputKind::Keypad
                                                     ? std::optional<QString>(edit->text())
                                                     : sheet.chooserValueText(*entry);
            m_audit->refused(WriteSource, QLatin1String(entry->name),
                             {0, monitor, slot, entry->code, tried.value_or(QString()), station},
                             station, QStringLiteral("password has been locked"));
        }
        m_dialogs.message(this, QStringLiteral("System Message"),
                          QStringLiteral("Password has been locked: nothing is written to the "
                                         "controllers until the lock is lifted"),
                          DialogService::Icon::Warning);
        return;
    }
    // Typed text that names no parameter shows the keypad, so it is checked as a number.
    if (params::tabInfo(tab).checksKeypadRange &&
        !checkKeypadValue(*edit, !entry || entry->input == InputKind::Keypad))
        return;

    // Looked up before anything goes out: a name that is not on this tab must not be written
    // under the code of whatever parameter was written before it.
    if (!entry) {
        refuse(
            QStringLiteral("'%1' is not a parameter of %2")
                .arg(sheet.selector()->currentText(), QLatin1String(params::tabInfo(tab).title)));
        return;
    }
    m_selectedCode = entry->code;

    const std::optional<QString> valueText = entry->input == InputKind::Keypad
                                                 ? std::optional<QString>(edit->text())
                                                 : sheet.chooserValueText(*entry);
    // A chooser that shows no item has no value; writing a guess would be worse than nothing.
    if (!valueText)
        return;
    const QString parameter = QLatin1String(entry->name);
    if (const QString reason =
            m_engine.checkWrite(monitor, slot, m_selectedCode, *valueText, station);
        !reason.isEmpty()) {
        if (m_audit)
            m_audit->refused(WriteSource, parameter,
                             {0, monitor, slot, m_selectedCode, *valueText, station}, station,
                             reason);
        // The edit keeps the text, so that the operator can see and mend it.
        refuseWrite(parameter, *valueText, monitor, slot, station, reason);
        return;
    }
    const quint64 id = m_engine.RequestWrite(monitor, slot, m_selectedCode, *valueText, station);
    m_posted[id] = parameter;
    if (m_audit)
        m_audit->posted(id, WriteSource, parameter);
    if (edit)
        edit->clear();
}

void TFmSetPage::refuseWrite(const QString& parameter, const QString& valueText, int monitor,
                             int slot, int station, const QString& reason)
{
    refuse(QStringLiteral("%1 '%2' was not written to Monitor%3, controller %4, ID %5: %6.")
               .arg(parameter, valueText)
               .arg(monitor)
               .arg(slot, 2, 10, QLatin1Char('0'))
               .arg(station)
               .arg(reason));
}

void TFmSetPage::engineWriteResult(const WriteResult& result)
{
    // Sent or refused ends what the dialog follows; a later read-back is not its business.
    if (result.outcome != WriteResult::Sent && result.outcome != WriteResult::Refused)
        return;
    const auto posted = m_posted.find(result.write.id);
    if (posted == m_posted.end())
        return;
    const QString parameter = posted->second;
    m_posted.erase(posted);
    if (result.outcome == WriteResult::Refused)
        refuseWrite(parameter, result.write.valueText, result.write.monitor, result.write.slot,
                    result.station, result.reason);
}

bool TFmSetPage::checkKeypadValue(QLineEdit& edit, bool keypadParameter)
{
    const QString text = edit.text();
    // Also for AT and LCK, on whatever the hidden edit still holds.
    if (text.count(u'.') >= 2) {
        m_dialogs.message(this, QCoreApplication::applicationName(),
                          QStringLiteral("Not more than one decimal point"),
                          DialogService::Icon::Information);
        edit.clear();
        return false;
    }
    if (!keypadParameter)
        return true;
    if (text.isEmpty()) {
        refuse(QStringLiteral("Please enter"));
        return false;
    }
    // Read as the engine will read it when it sends the write, so that nothing passes here
    // that the engine would then drop unseen.
    const std::optional<engine::WriteValue> number =
        engine::convertWriteValue(text, 0, QLocale::system());
    if (!number)
        throw QuillmereError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    if (!params::keypadValueInRange(double(number->integer))) {
        refuse(QStringLiteral("More than input range,please re-enter value"));
        edit.clear();
        return false;
    }
    return true;
}

void TFmSetPage::refuse(const QString& text)
{
    m_dialogs.message(this, QStringLiteral("error"), text, DialogService::Icon::NoIcon);
}
