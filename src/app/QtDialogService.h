#pragma once

#include "ui/DialogService.h"

// The real dialogs.
class QtDialogService final : public DialogService
{
public:
    void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    void detailedMessage(QWidget* parent, const QString& caption, const QString& text,
                         const QString& detail, Icon icon) override;
    bool confirm(QWidget* parent, const QString& caption, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override;
    bool choosePrinter(QWidget* parent, QPrinter* printer) override;
    void openUrl(const QUrl& url) override;
};
