#include "ui/pages/TRecipePage.h"

#include "audit/WriteAuditor.h"
#include "ui/Handled.h"

#include "core/Home.h"
#include "engine/TCommController.h"
#include "recipe/RecipeFile.h"
#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/dialogs/TFmWriting.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPushButton>

namespace {

constexpr int WaitMs = 100; // how often a write in waiting looks whether the engine took the last
constexpr TAddress SvCode = 0;
const char* const Letters = "ABC";

const QString SaveCaption = QStringLiteral("Save Recive");
const QString SaveTitle = QStringLiteral("儲存配方");
const QString LoadCaption = QStringLiteral("Load Recipe");
const QString Filter = QStringLiteral("Text Files(*.txt)");
const QString Extension = QStringLiteral(".txt");

} // namespace

TRecipePage::TRecipePage(DialogService& dialogs, TCommController& engine, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_engine(engine),
      m_folder(core::homeFolder() + QStringLiteral("/Recipe"))
{
    setObjectName(QStringLiteral("Panel4"));
    // A folder that cannot be made shows later, when a file in it cannot be saved.
    QDir().mkpath(m_folder);
    buildHeader();

    for (int m = 1; m <= 3; ++m) {
        const QChar letter = QLatin1Char(Letters[m - 1]);
        auto* group = new QGroupBox(QStringLiteral("Monitor-%1").arg(m), this);
        group->setObjectName(QStringLiteral("GrpRecipe%1").arg(letter));
        group->setGeometry(8, 52 + (m - 1) * 124, 770, 116);
        for (int s = 1; s <= 10; ++s) {
            // The sixth heading of Monitor 2 has always read "SV06".
            const QString heading = m == 2 && s == 6
                                        ? QStringLiteral("SV06")
                                        : QStringLiteral("SV %1").arg(s, 2, 10, QLatin1Char('0'));
            auto* label = new QLabel(heading, group);
            label->setObjectName(QStringLiteral("LbRecipe%1%2").arg(letter).arg(s));
            label->setGeometry(10 + (s - 1) * 75, 20, 70, 18);
            label->setAlignment(Qt::AlignCenter);
            auto* edit = new QLineEdit(QStringLiteral("100"), group);
            edit->setObjectName(QStringLiteral("TxtRecipe%1%2").arg(letter).arg(s));
            edit->setGeometry(10 + (s - 1) * 75, 40, 70, 24);
            m_edits[size_t(m - 1)][size_t(s - 1)] = edit;
        }
        auto* write = new QPushButton(QStringLiteral("Write to Controllers"), group);
        write->setObjectName(QStringLiteral("BtnWrite%1").arg(letter));
        write->setGeometry(600, 74, 160, 32);
        m_writeButtons[size_t(m - 1)] = write;
    }
    m_writeButtons[3] =
        addButton("BtnWriteAll", QStringLiteral("Write to All Controllers"), {568, 424, 210, 34});
    connect(m_writeButtons[0], &QPushButton::clicked, this,
            handled(this, &TRecipePage::BtnWriteAClick));
    connect(m_writeButtons[1], &QPushButton::clicked, this,
            handled(this, &TRecipePage::BtnWriteBClick));
    connect(m_writeButtons[2], &QPushButton::clicked, this,
            handled(this, &TRecipePage::BtnWriteCClick));
    connect(m_writeButtons[3], &QPushButton::clicked, this,
            handled(this, &TRecipePage::BtnWriteAllClick));
    m_writeButtons[3]->installEventFilter(this); // Load follows it, see eventFilter

    m_tmrWrite.setObjectName(QStringLiteral("TmrRecipeWrite"));
    m_tmrWrite.setParent(this);
    m_tmrWrite.setSingleShot(true);
    m_tmrWrite.setInterval(WaitMs);
    connect(&m_tmrWrite, &QTimer::timeout, this, handled(this, &TRecipePage::TmrRecipeWriteTimer));

    m_confirmWindow.setParent(this);
    m_confirmWindow.setSingleShot(true);
    m_confirmWindow.setInterval(ConfirmWindowMs);
    connect(&m_confirmWindow, &QTimer::timeout, this, handled(this, &TRecipePage::finishWrite));
    connect(&m_engine, &TCommController::writeResult, this,
            handled(this, &TRecipePage::engineWriteResult));
}

void TRecipePage::buildHeader()
{
    auto* title = new QLabel(QStringLiteral("Recipe"), this);
    title->setObjectName(QStringLiteral("LbRecipe"));
    title->setFont(fonts::sans(24, true));
    title->setGeometry(16, 8, 200, 34);

    auto* nameLabel = new QLabel(QStringLiteral("Name"), this);
    nameLabel->setObjectName(QStringLiteral("LbName"));
    nameLabel->setFont(fonts::sans(16));
    nameLabel->setGeometry(220, 14, 50, 24);

    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("LbRecipeName"));
    m_name->setFont(fonts::sans(16));
    m_name->setAutoFillBackground(true);
    QPalette red = m_name->palette();
    red.setColor(QPalette::Window, Qt::red);
    m_name->setPalette(red);
    m_name->setGeometry(272, 12, 260, 28);

    connect(addButton("BtnSaveRecipe", QStringLiteral("SAVE"), {560, 10, 100, 32}),
            &QPushButton::clicked, this, handled(this, &TRecipePage::BtnSaveRecipeClick));
    m_loadButton = addButton("BtnLoadRecipe", QStringLiteral("Load"), {670, 10, 100, 32});
    connect(m_loadButton, &QPushButton::clicked, this,
            handled(this, &TRecipePage::BtnLoadRecipeClick));
}

QPushButton* TRecipePage::addButton(const char* name, const QString& caption, const QRect& place)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    return button;
}

QLineEdit* TRecipePage::recipeEdit(int monitor, int slot) const
{
    return m_edits[size_t(monitor - 1)][size_t(slot - 1)];
}

QStringList TRecipePage::recipeTexts() const
{
    QStringList texts;
    for (int m = 1; m <= 3; ++m)
        for (int s = 1; s <= 10; ++s)
            texts << recipeEdit(m, s)->text();
    return texts;
}

void TRecipePage::BtnSaveRecipeClick()
{
    const QStringList texts = recipeTexts();
    // A comma would end the field early: the file would load back shifted by one slot from
    // there on and write wrong set values to the controllers.
    if (const int at = recipe::firstFieldWithComma(texts); at >= 0) {
        const int m = at / 10 + 1;
        m_dialogs.message(window(), SaveCaption,
                          QStringLiteral("SV %1 of Monitor%2 holds \"%3\": a recipe value cannot "
                                         "contain a comma. The recipe was not saved.")
                              .arg(at % 10 + 1, 2, 10, QLatin1Char('0'))
                              .arg(m)
                              .arg(texts[at]),
                          DialogService::Icon::Error);
        return;
    }
    QString path = m_dialogs.saveFileName(window(), SaveTitle, m_folder, Filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += Extension; // the dialog's default extension
        // The dialog asked about the name as typed, not about the one with ".txt" added.
        if (QFileInfo::exists(path) &&
            !m_dialogs.confirm(window(), SaveTitle,
                               QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                   .arg(QFileInfo(path).fileName())))
            return;
    }
    if (const QString error = recipe::saveRecipeFile(path, recipe::recipeFileBytes(texts));
        !error.isEmpty()) {
        m_dialogs.message(window(), SaveCaption, error, DialogService::Icon::Error);
        return;
    }
    m_name->setText(recipe::recipeName(path));
    m_dialogs.message(window(), SaveCaption, QStringLiteral("Complete!"),
                      DialogService::Icon::Information);
}

bool TRecipePage::eventFilter(QObject* watched, QEvent* event)
{
    // Load waits while a recipe write runs, exactly as long as the write buttons do: a load in
    // the middle would write the first slots from one recipe and the rest from another.
    if (watched == m_writeButtons[3] && event->type() == QEvent::EnabledChange)
        m_loadButton->setEnabled(m_writeButtons[3]->isEnabledTo(this));
    return QWidget::eventFilter(watched, event);
}

void TRecipePage::BtnLoadRecipeClick()
{
    QString path = m_dialogs.openFileName(window(), QString(), m_folder, Filter);
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path) && QFileInfo(path).suffix().isEmpty() &&
        QFileInfo::exists(path + Extension))
        path += Extension; // the dialog's default extension
    QByteArray bytes;
    if (const QString error = recipe::readRecipeFile(path, bytes); !error.isEmpty()) {
        // The edits keep what they held, and so does the name that says where they came from.
        m_dialogs.message(window(), LoadCaption, error, DialogService::Icon::Error);
        return;
    }
    // Any other file would put values under the wrong slots: it loads nothing.
    if (const QString fault = recipe::recipeFault(bytes); !fault.isEmpty()) {
        m_dialogs.message(window(), QStringLiteral("error"),
                          QStringLiteral("The recipe file %1 %2. Nothing was loaded.")
                              .arg(QDir::toNativeSeparators(path), fault),
                          DialogService::Icon::Error);
        return;
    }
    m_name->setText(recipe::recipeName(path));
    const QStringList fields = recipe::recipeFields(bytes);
    for (int i = 0; i < recipe::FieldCount; ++i)
        recipeEdit(i / 10 + 1, i % 10 + 1)->setText(fields[i]);
    m_dialogs.message(window(), LoadCaption, QStringLiteral("Complete!"),
                      DialogService::Icon::Information);
}

void TRecipePage::startWrite(int monitor)
{
    // The buttons are disabled while a write runs; a press that still arrives is dropped, so
    // two writes never take turns at the one pending write.
    if (isWriting())
        return;
    m_firstMonitor = monitor == 0 ? 1 : monitor;
    m_count = monitor == 0 ? 30 : 10;
    m_next = 0;
    m_problems.clear();
    for (QPushButton* button : m_writeButtons)
        button->setEnabled(false);
    if (m_writing)
        m_writing->beginWrite(
            monitor == 0 ? QStringLiteral("Write to All Controller....")
                         : QStringLiteral("Write to Controllers of Monitor%1....").arg(monitor),
            m_count);
    TmrRecipeWriteTimer();
}

QString TRecipePage::slotName(int monitor, int slot) const
{
    return QStringLiteral("SV %1 of Monitor%2").arg(slot, 2, 10, QLatin1Char('0')).arg(monitor);
}

void TRecipePage::TmrRecipeWriteTimer()
{
    StationModel& model = m_engine.model();
    while (m_next < m_count) {
        {
            // Only this thread sets the flag: once seen clear, it stays clear until we post.
            QMutexLocker lock(&model.mutex);
            if (model.WritePending) {
                m_tmrWrite.start();
                return;
            }
        }
        const int m = m_firstMonitor + m_next / 10;
        const int s = m_next % 10 + 1;
        // Read now: a value changed during the write counts for the slots still to come.
        const QString text = recipeEdit(m, s)->text();
        // Checked as the engine will convert it: a value it would drop is named at the end
        // instead of passing for written.
        // The entries name the recipe as the operator saw it loaded.
        const QString source = QStringLiteral("recipe %1").arg(m_name->text());
        if (const QString reason = m_engine.checkWrite(m, s, SvCode, text); !reason.isEmpty()) {
            m_problems << QStringLiteral("%1: %2").arg(slotName(m, s), reason);
            if (m_audit)
                m_audit->refused(source, QStringLiteral("SV"), {0, m, s, SvCode, text, -1}, -1,
                                 reason);
        } else {
            const quint64 id = m_engine.RequestWrite(m, s, SvCode, text);
            m_outstanding[id] = slotName(m, s);
            if (m_audit)
                m_audit->posted(id, source, QStringLiteral("SV"));
        }
        ++m_next;
        if (m_writing)
            m_writing->setBarPosition(m_next);
    }
    if (m_outstanding.empty())
        finishWrite();
    else
        m_confirmWindow.start();
}

void TRecipePage::engineWriteResult(const WriteResult& result)
{
    const auto it = m_outstanding.find(result.write.id);
    if (it == m_outstanding.end() || result.outcome == WriteResult::Sent)
        return;
    if (result.outcome != WriteResult::Confirmed)
        m_problems << QStringLiteral("%1: %2").arg(it->second, result.reason);
    m_outstanding.erase(it);
    if (m_outstanding.empty() && m_next >= m_count)
        finishWrite();
}

void TRecipePage::finishWrite()
{
    m_confirmWindow.stop();
    for (const auto& [id, name] : m_outstanding)
        m_problems << QStringLiteral("%1: not read back within %2 s")
                          .arg(name)
                          .arg(ConfirmWindowMs / 1000);
    m_outstanding.clear();
    m_next = m_count;
    for (QPushButton* button : m_writeButtons)
        button->setEnabled(true);
    if (m_writing)
        m_writing->setOutcome(m_problems.isEmpty() ? QStringLiteral("Complete!")
                                                   : QStringLiteral("Not all values were written"));
    if (!m_problems.isEmpty())
        m_dialogs.message(window(), QStringLiteral("Write Recipe"),
                          QStringLiteral("These set values were not written or not confirmed:\n") +
                              m_problems.join(u'\n'),
                          DialogService::Icon::Warning);
}
