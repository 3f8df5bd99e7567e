#pragma once

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QTreeView;

// "Browse": a drive list and the folder tree of the chosen drive. On Linux the drives are the
// file system's root and its mount points, removable media included. OK hands the folder on
// to the record dialog.
class TFmBrowse : public QDialog
{
    Q_OBJECT

public:
    explicit TFmBrowse(QWidget* parent = nullptr);

    // Shows `folder` in the tree, its drive chosen in the list, when it exists.
    void setFolder(const QString& folder);
    // The tree's current folder.
    QString folder() const;

    void BtnOKClick();
    void BtnCancelClick();
    void DriveComboBox1Change();

Q_SIGNALS:
    void folderChosen(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillDrives();

    QComboBox* m_drives = nullptr; // DriveComboBox1
    QTreeView* m_tree = nullptr;   // DirectoryListBox1
    QFileSystemModel* m_model = nullptr;
};
