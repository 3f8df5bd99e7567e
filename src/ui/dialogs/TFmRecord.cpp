#include "ui/dialogs/TFmRecord.h"

#include "core/Conversions.h"
#include "core/QuillmereError.h"
#include "record/DataRecorder.h"
#include "store/SettingsStore.h"
#include "ui/Handled.h"
#include "ui/dialogs/TFmBrowse.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

namespace {

// Editable, as the operator may type into them; what is typed is judged by itemIndex().
QComboBox* list(const char* name, const QStringList& items, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    return combo;
}

void setItemIndex(QComboBox* combo, int index)
{
    combo->setCurrentIndex(qBound(-1, index, combo->count() - 1));
}

QLabel* label(const char* name, const QString& text, QWidget* parent, int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(16, top, 90, 24);
    return l;
}

} // namespace

TFmRecord::TFmRecord(record::DataRecorder& recorder, QWidget* parent)
    : QDialog(parent), m_recorder(recorder)
{
    setObjectName(QStringLiteral("FmRecord"));
    setWindowTitle(QStringLiteral("Save Temperature Record"));
    setFixedSize(380, 300);

    auto* heading = new QLabel(QStringLiteral("Save Temperature Record"), this);
    heading->setObjectName(QStringLiteral("Label1"));
    heading->setGeometry(16, 8, 340, 26);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    heading->setFont(bold);

    m_save = new QCheckBox(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("ChkSave"));
    m_save->setGeometry(16, 42, 120, 24);
    m_save->setChecked(true);
    connect(m_save, &QCheckBox::clicked, this, handled(this, &TFmRecord::ChkSaveClick));

    label("Label2", QStringLiteral("Sample Time"), this, 74);
    m_sampleTime = new QLineEdit(QStringLiteral("10"), this);
    m_sampleTime->setObjectName(QStringLiteral("TxtSampleTime"));
    m_sampleTime->setGeometry(110, 74, 80, 24);
    m_sampleUnit = list("CboSampleUnit", {QStringLiteral("Sec"), QStringLiteral("Minute")}, this);
    m_sampleUnit->setGeometry(198, 74, 100, 24);

    label("Label3", QStringLiteral("Save Cycle"), this, 106);
    m_saveUnit = list("CboSaveUnit", {QStringLiteral("Hour"), QStringLiteral("Day")}, this);
    m_saveUnit->setGeometry(110, 106, 100, 24);

    label("Label4", QStringLiteral("File Type"), this, 138);
    m_fileType = list("CboFileType", {QStringLiteral(".TXT "), QStringLiteral(".XLS ")}, this);
    m_fileType->setGeometry(110, 138, 100, 24);

    label("Label5", QStringLiteral("File Path"), this, 170);
    // The restore replaces it with the stored folder; a drive letter means nothing here.
    m_filePath = new QLineEdit(QDir::homePath() + QStringLiteral("/Quillmere Data"), this);
    m_filePath->setObjectName(QStringLiteral("TxtFilePath"));
    m_filePath->setGeometry(110, 170, 200, 24);
    m_browseButton = new QPushButton(QStringLiteral("Browse"), this);
    m_browseButton->setObjectName(QStringLiteral("BtnBrowse"));
    m_browseButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browseButton->setGeometry(110, 202, 100, 28);
    connect(m_browseButton, &QPushButton::clicked, this, handled(this, &TFmRecord::BtnBrowseClick));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setGeometry(160, 252, 90, 30);
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmRecord::BtnOKClick));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    cancel->setGeometry(266, 252, 90, 30);
    connect(cancel, &QPushButton::clicked, this, handled(this, &TFmRecord::BtnCancelClick));

    // The tick writes to the folder as it stands in the field.
    m_recorder.setFolderSource([this] { return m_filePath->text(); });
}

int TFmRecord::itemIndex(const QComboBox* combo)
{
    return combo->currentText() == combo->itemText(0) ? 0 : 1;
}

void TFmRecord::showEvent(QShowEvent* event)
{
    // Coming back from minimised (a spontaneous show) keeps what the operator typed; only a
    // show from hidden refills the dialog from the recorder.
    if (event->spontaneous()) {
        QDialog::showEvent(event);
        return;
    }
    const record::RecordSettings& s = m_recorder.settings();
    m_save->setChecked(s.RecordEnabled);
    m_sampleTime->setText(QString::number(s.RecordSampleTime));
    setItemIndex(m_sampleUnit, s.RecordSampleUnit);
    setItemIndex(m_saveUnit, s.RecordSaveUnit);
    setItemIndex(m_fileType, s.RecordFileType);
    m_filePath->setText(s.RecordFolder);
    ChkSaveClick();
    QDialog::showEvent(event);
}

void TFmRecord::ChkSaveClick()
{
    const bool on = m_save->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_sampleTime, m_sampleUnit, m_saveUnit,
                                                      m_fileType, m_filePath, m_browseButton})
        w->setEnabled(on);
}

void TFmRecord::BtnOKClick()
{
    record::RecordSettings& s = m_recorder.settings();
    s.RecordEnabled = m_save->isChecked();
    // A sample time that is not a number stops here, the dialog open, with "Save" taken over.
    s.RecordSampleTime = core::toInteger(m_sampleTime->text());
    s.RecordSampleUnit = itemIndex(m_sampleUnit);
    s.RecordSaveUnit = itemIndex(m_saveUnit);
    s.RecordFileType = itemIndex(m_fileType);
    s.RecordFolder = m_filePath->text();
    m_recorder.setSampleInterval(qint64(s.RecordSampleTime) *
                                 (itemIndex(m_sampleUnit) == 0 ? 1000 : 60000));
    closeDialog();
}

void TFmRecord::BtnCancelClick()
{
    closeDialog();
}

void TFmRecord::BtnBrowseClick()
{
    if (!m_browse)
        return;
    m_browse->setFolder(m_filePath->text());
    m_browse->show();
    m_browse->raise();
    m_browse->activateWindow();
}

void TFmRecord::setFilePath(const QString& folder)
{
    m_filePath->setText(folder);
}

void TFmRecord::reject()
{
    closeDialog();
}

void TFmRecord::closeDialog()
{
    hide();
    m_recorder.switchTimer(m_recorder.settings().RecordEnabled);
}

void TFmRecord::restoreSettings(const SettingsStore& key)
{
    m_save->setChecked(key.readBool(QStringLiteral("ChkSave")));
    m_sampleTime->setText(QString::number(key.readInteger(QStringLiteral("TxtSampleTime"))));
    setItemIndex(m_sampleUnit, key.readInteger(QStringLiteral("CboSampleUnit")));
    setItemIndex(m_saveUnit, key.readInteger(QStringLiteral("CboSaveUnit")));
    setItemIndex(m_fileType, key.readInteger(QStringLiteral("CboFileType")));
    m_filePath->setText(key.readString(QStringLiteral("TxtFilePath")));
    ChkSaveClick();
}

void TFmRecord::storeSettings(SettingsStore& key) const
{
    key.writeBool(QStringLiteral("ChkSave"), m_save->isChecked());
    // A text the next start could not read back is never stored: the sample time in force
    // (the last OK's) goes in its place.
    int sampleTime = m_recorder.settings().RecordSampleTime;
    try {
        sampleTime = core::toInteger(m_sampleTime->text());
    } catch (const QuillmereError&) {
    }
    key.writeInteger(QStringLiteral("TxtSampleTime"), sampleTime);
    key.writeInteger(QStringLiteral("CboSampleUnit"), itemIndex(m_sampleUnit));
    key.writeInteger(QStringLiteral("CboSaveUnit"), itemIndex(m_saveUnit));
    key.writeInteger(QStringLiteral("CboFileType"), itemIndex(m_fileType));
    key.writeString(QStringLiteral("TxtFilePath"), m_filePath->text());
}
