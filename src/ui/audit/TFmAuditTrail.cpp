#include "ui/audit/TFmAuditTrail.h"

#include "audit/AuditChain.h"
#include "core/QuillmereError.h"
#include "ui/DialogService.h"
#include "ui/Handled.h"
#include "ui/audit/AuditTrailPrint.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("Audit Trail");

QPushButton* addButton(QLayout* layout, const char* name, const QString& text)
{
    auto* b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    layout->addWidget(b);
    return b;
}

QComboBox* addNumberChoice(QLayout* layout, const char* name, const QString& all, int count)
{
    auto* c = new QComboBox;
    c->setObjectName(QLatin1String(name));
    c->addItem(all, 0);
    for (int n = 1; n <= count; ++n)
        c->addItem(QString::number(n), n);
    layout->addWidget(c);
    return c;
}

} // namespace

TFmAuditTrail::TFmAuditTrail(DialogService& dialogs, QString folder,
                             std::function<QString()> plantTitle, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_folder(std::move(folder)),
      m_plantTitle(std::move(plantTitle))
{
    setObjectName(QStringLiteral("FmAuditTrail"));
    setWindowTitle(Caption);
    resize(980, 560);
    auto* layout = new QVBoxLayout(this);
    m_chain = new QLabel;
    m_chain->setObjectName(QStringLiteral("LbChain"));
    layout->addWidget(m_chain);

    auto* filters = new QHBoxLayout;
    layout->addLayout(filters);
    const auto dateEdit = [filters](const char* name, const QString& label) {
        filters->addWidget(new QLabel(label));
        auto* e = new QDateTimeEdit;
        e->setObjectName(QLatin1String(name));
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        filters->addWidget(e);
        return e;
    };
    m_from = dateEdit("DtFrom", QStringLiteral("From"));
    m_to = dateEdit("DtTo", QStringLiteral("To"));
    m_kind = new QComboBox;
    m_kind->setObjectName(QStringLiteral("CboKind"));
    filters->addWidget(m_kind);
    m_monitor = addNumberChoice(filters, "CboMonitor", QStringLiteral("All Monitors"), 3);
    m_slot = addNumberChoice(filters, "CboSlot", QStringLiteral("All slots"), 10);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("EdSearch"));
    m_search->setPlaceholderText(QStringLiteral("Search"));
    filters->addWidget(m_search);

    m_table = new QTableWidget(0, audit::columnTitles().size());
    m_table->setObjectName(QStringLiteral("GridAudit"));
    m_table->setHorizontalHeaderLabels(audit::columnTitles());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    layout->addWidget(m_table);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    connect(addButton(buttons, "BtnReload", QStringLiteral("Reload")), &QPushButton::clicked, this,
            handled(this, &TFmAuditTrail::reload));
    buttons->addStretch();
    connect(addButton(buttons, "BtnCsv", QStringLiteral("Export CSV...")), &QPushButton::clicked,
            this, handled(this, &TFmAuditTrail::BtnCsvClick));
    connect(addButton(buttons, "BtnPdf", QStringLiteral("Export PDF...")), &QPushButton::clicked,
            this, handled(this, &TFmAuditTrail::BtnPdfClick));
    connect(addButton(buttons, "BtnClose", QStringLiteral("Close")), &QPushButton::clicked, this,
            handled(this, &QDialog::hide));

    connect(m_from, &QDateTimeEdit::dateTimeChanged, this,
            handled(this, &TFmAuditTrail::applyFilter));
    connect(m_to, &QDateTimeEdit::dateTimeChanged, this,
            handled(this, &TFmAuditTrail::applyFilter));
    connect(m_kind, &QComboBox::currentIndexChanged, this,
            handled(this, &TFmAuditTrail::applyFilter));
    connect(m_monitor, &QComboBox::currentIndexChanged, this,
            handled(this, &TFmAuditTrail::applyFilter));
    connect(m_slot, &QComboBox::currentIndexChanged, this,
            handled(this, &TFmAuditTrail::applyFilter));
    connect(m_search, &QLineEdit::textChanged, this, handled(this, &TFmAuditTrail::applyFilter));
}

void TFmAuditTrail::reload()
{
    m_entries = audit::readEntries(m_folder);
    const audit::ChainReport report = audit::verifyFolder(m_folder);
    m_chainState = report.intact ? QStringLiteral("intact, %1 entries").arg(report.count)
                                 : QStringLiteral("BROKEN at ") + audit::reportText(report);
    m_chain->setText(QStringLiteral("Chain: ") + m_chainState);
    m_chain->setStyleSheet(report.intact ? QString()
                                         : QStringLiteral("color: red; font-weight: bold"));

    const QSignalBlocker b1(m_from), b2(m_to), b3(m_kind);
    const QString kind = m_kind->currentData().toString();
    m_kind->clear();
    m_kind->addItem(QStringLiteral("All kinds"), QString());
    QStringList kinds;
    for (const auto& e : m_entries)
        if (!kinds.contains(e.kind))
            kinds << e.kind;
    kinds.sort();
    for (const QString& k : kinds)
        m_kind->addItem(k, k);
    m_kind->setCurrentIndex(std::max(0, m_kind->findData(kind)));
    // The whole trail at first: from its first entry to the end of today.
    if (!m_entries.empty()) {
        m_from->setDateTime(m_entries.front().utc.toLocalTime().addSecs(-60));
        m_to->setDateTime(QDateTime(QDate::currentDate().addDays(1), QTime(0, 0)));
    }
    applyFilter();
}

audit::AuditFilter TFmAuditTrail::filter() const
{
    audit::AuditFilter f;
    f.from = m_from->dateTime().toUTC();
    f.to = m_to->dateTime().toUTC();
    f.kind = m_kind->currentData().toString();
    f.monitor = m_monitor->currentData().toInt();
    f.slot = m_slot->currentData().toInt();
    f.text = m_search->text();
    return f;
}

void TFmAuditTrail::applyFilter()
{
    m_shown = audit::filterEntries(m_entries, filter());
    m_table->setRowCount(int(m_shown.size()));
    for (int r = 0; r < int(m_shown.size()); ++r) {
        const QStringList cells = audit::columns(m_shown[size_t(r)]);
        for (int c = 0; c < cells.size(); ++c)
            m_table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    m_table->resizeColumnToContents(0);
}

QString TFmAuditTrail::rangeText() const
{
    return QStringLiteral("%1 to %2")
        .arg(m_from->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             m_to->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

void TFmAuditTrail::BtnCsvClick()
{
    const QString path =
        m_dialogs.saveFileName(this, Caption, QDir::homePath(), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(audit::csvText(m_shown)) < 0 ||
        !file.commit()) {
        m_dialogs.message(this, Caption,
                          QStringLiteral("%1 was not written: %2").arg(path, file.errorString()),
                          DialogService::Icon::Warning);
    }
}

void TFmAuditTrail::BtnPdfClick()
{
    const QString path =
        m_dialogs.saveFileName(this, Caption, QDir::homePath(), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setDocName(Caption);
    try {
        printAuditTrail(printer, m_plantTitle(), rangeText(), m_chainState, m_shown);
    } catch (const QuillmereError& error) {
        m_dialogs.message(this, Caption, error.message(), DialogService::Icon::Warning);
    }
}
