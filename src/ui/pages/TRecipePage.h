#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <map>

class DialogService;
class QLabel;
class QLineEdit;
class QPushButton;
class TCommController;
class TFmWriting;
namespace audit {
class WriteAuditor;
}
struct WriteResult;

// The recipe page (`Panel4`): one set value per controller slot in the edits `TxtRecipeA1` ..
// `TxtRecipeC10`, grouped by Monitor. The edits are restored and stored with the settings;
// SAVE and Load keep them in files of the recipe folder, and the write buttons post them to
// the controllers as set values, one pending write at a time. A write is done when every
// slot has read its new set value back; otherwise one message says which slots did not take
// their value, and why.
class TRecipePage : public QWidget
{
    Q_OBJECT

public:
    // Creates the recipe folder <home>/Recipe when it is missing.
    TRecipePage(DialogService& dialogs, TCommController& engine, QWidget* parent = nullptr);

    // The progress dialog exists only after the main window: start-up hands it over.
    void attachWritingDialog(TFmWriting* writing) { m_writing = writing; }

    // RecipeEdits: Monitor 1..3, slot 1..10.
    QLineEdit* recipeEdit(int monitor, int slot) const;
    // From the press until every written slot has read its value back or the time for that
    // is over.
    // Where its writes are recorded; none when null.
    void setAuditor(audit::WriteAuditor* auditor) { m_audit = auditor; }
    bool isWriting() const { return m_next < m_count || !m_outstanding.empty(); }

    // How long after the last post the written slots have to read their new set values back:
    // a poll cycle of thirty slots at 2400 baud, with silent controllers, fits in it.
    static constexpr int ConfirmWindowMs = 30000;

    // Handlers, named after their controls.
    void BtnSaveRecipeClick();
    void BtnLoadRecipeClick();
    void BtnWriteAClick() { startWrite(1); }
    void BtnWriteBClick() { startWrite(2); }
    void BtnWriteCClick() { startWrite(3); }
    void BtnWriteAllClick() { startWrite(0); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildHeader();
    QPushButton* addButton(const char* name, const QString& caption, const QRect& place);
    QStringList recipeTexts() const;
    // `monitor` 1..3, or 0 for all three.
    void startWrite(int monitor);
    // Posts every write it can and waits `TmrRecipeWrite` out while one is still pending.
    void TmrRecipeWriteTimer();
    void engineWriteResult(const WriteResult& result);
    // Every post done and every answer in (or the window over): "Complete!" or the message.
    void finishWrite();
    QString slotName(int monitor, int slot) const;

    DialogService& m_dialogs;
    TCommController& m_engine;
    TFmWriting* m_writing = nullptr;
    QString m_folder;
    std::array<std::array<QLineEdit*, 10>, 3> m_edits{};
    QLabel* m_name = nullptr;                     // LbRecipeName
    QPushButton* m_loadButton = nullptr;          // BtnLoadRecipe
    std::array<QPushButton*, 4> m_writeButtons{}; // BtnWriteA, B, C, BtnWriteAll

    // The running write: posts m_next .. m_count - 1 of the range that starts at Monitor
    // m_firstMonitor, slot 1, in recipe order.
    QTimer m_tmrWrite;
    int m_firstMonitor = 1;
    int m_next = 0;
    int m_count = 0;
    // Posted writes still waiting to be sent or read back: id -> "SV 04 of Monitor1".
    std::map<quint64, QString> m_outstanding;
    QStringList m_problems; // one line per slot that did not take its value
    audit::WriteAuditor* m_audit = nullptr;
    QTimer m_confirmWindow;
};
