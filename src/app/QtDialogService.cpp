#include "app/QtDialogService.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>

void QtDialogService::message(QWidget* parent, const QString& caption, const QString& text,
                              Icon icon)
{
    detailedMessage(parent, caption, text, QString(), icon);
}

void QtDialogService::detailedMessage(QWidget* parent, const QString& caption, const QString& text,
                                      const QString& detail, Icon icon)
{
    const auto boxIcon = icon == Icon::Error     ? QMessageBox::Critical
                         : icon == Icon::Warning ? QMessageBox::Warning
                         : icon == Icon::NoIcon  ? QMessageBox::NoIcon
                                                 : QMessageBox::Information;
    QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, parent);
    box.setInformativeText(detail);
    box.exec();
}

bool QtDialogService::confirm(QWidget* parent, const QString& caption, const QString& text)
{
    return QMessageBox::question(parent, caption, text) == QMessageBox::Yes;
}

QString QtDialogService::openFileName(QWidget* parent, const QString& caption,
                                      const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString QtDialogService::saveFileName(QWidget* parent, const QString& caption,
                                      const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, folder, filter);
}

bool QtDialogService::choosePrinter(QWidget* parent, QPrinter* printer)
{
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void QtDialogService::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}
