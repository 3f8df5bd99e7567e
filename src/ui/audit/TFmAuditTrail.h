#pragma once

#include "audit/AuditView.h"

#include <QDialog>
#include <functional>

class DialogService;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableWidget;

// "Audit Trail": the entries of <home>/audit, newest first, filtered by time, kind, Monitor,
// slot and text; the chain's state at the top; what is shown exported to CSV or PDF.
class TFmAuditTrail : public QDialog
{
    Q_OBJECT

public:
    // `plantTitle` gives the company title at the time of an export.
    TFmAuditTrail(DialogService& dialogs, QString folder, std::function<QString()> plantTitle,
                  QWidget* parent = nullptr);

    // Reads the folder again and checks its chain.
    void reload();
    audit::AuditFilter filter() const;
    const std::vector<audit::AuditEntry>& shown() const { return m_shown; }

    void BtnCsvClick();
    void BtnPdfClick();

private:
    void applyFilter();
    QString rangeText() const;

    DialogService& m_dialogs;
    QString m_folder;
    std::function<QString()> m_plantTitle;
    std::vector<audit::AuditEntry> m_entries;
    std::vector<audit::AuditEntry> m_shown;
    QString m_chainState;

    QLabel* m_chain = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QComboBox* m_kind = nullptr;
    QComboBox* m_monitor = nullptr;
    QComboBox* m_slot = nullptr;
    QLineEdit* m_search = nullptr;
    QTableWidget* m_table = nullptr;
};
