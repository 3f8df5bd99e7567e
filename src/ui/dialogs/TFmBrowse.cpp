#include "ui/dialogs/TFmBrowse.h"

#include "ui/Handled.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>

TFmBrowse::TFmBrowse(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmBrowse"));
    setWindowTitle(QStringLiteral("Browse"));
    setFixedSize(320, 360);

    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("DriveComboBox1"));
    m_drives->setGeometry(10, 10, 300, 26);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("DirectoryListBox1"));
    m_tree->setGeometry(10, 44, 300, 264);
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->header()->hide();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setGeometry(120, 318, 90, 30);
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmBrowse::BtnOKClick));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    cancel->setGeometry(220, 318, 90, 30);
    connect(cancel, &QPushButton::clicked, this, handled(this, &TFmBrowse::BtnCancelClick));

    fillDrives();
    connect(m_drives, &QComboBox::currentIndexChanged, this,
            handled(this, &TFmBrowse::DriveComboBox1Change));
    DriveComboBox1Change();
}

void TFmBrowse::fillDrives()
{
    // A stick plugged in since the last showing is listed the next time.
    const QString chosen = m_drives->currentData().toString();
    const QSignalBlocker quiet(m_drives);
    m_drives->clear();
    QStringList roots{QDir::rootPath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath()))
            roots << volume.rootPath();
    for (const QString& root : roots)
        m_drives->addItem(QDir::toNativeSeparators(root), root);
    const int index = m_drives->findData(chosen);
    m_drives->setCurrentIndex(index < 0 ? 0 : index);
}

void TFmBrowse::DriveComboBox1Change()
{
    const QString root = m_drives->currentData().toString();
    m_tree->setRootIndex(m_model->setRootPath(root));
    m_tree->setCurrentIndex(m_model->index(root));
}

void TFmBrowse::setFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return;
    const QString path = info.absoluteFilePath();
    // The drive is the mount point the folder lies on, the deepest one listed.
    int best = 0;
    for (int i = 0; i < m_drives->count(); ++i) {
        const QString root = m_drives->itemData(i).toString();
        const bool under =
            path == root ||
            path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        if (under && root.size() > m_drives->itemData(best).toString().size())
            best = i;
    }
    m_drives->setCurrentIndex(best);
    DriveComboBox1Change();
    const QModelIndex index = m_model->index(path);
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
}

QString TFmBrowse::folder() const
{
    const QModelIndex current = m_tree->currentIndex();
    return current.isValid() ? m_model->filePath(current) : m_drives->currentData().toString();
}

void TFmBrowse::showEvent(QShowEvent* event)
{
    fillDrives();
    QDialog::showEvent(event);
}

void TFmBrowse::BtnOKClick()
{
    folderChosen(QDir::toNativeSeparators(folder()));
    hide();
}

void TFmBrowse::BtnCancelClick()
{
    hide();
}
