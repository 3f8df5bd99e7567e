#pragma once

#include "ui/DialogService.h"

#include <QPrinter>
#include <QStringList>
#include <QUrl>

// Answers every dialog at once and remembers what was asked, so window tests never block.
class RecordingDialogs final : public DialogService
{
public:
    QStringList messages; // "caption|text"
    QList<Icon> icons;    // of each message, in the same order
    QList<QUrl> openedUrls;
    bool confirmAnswer = true;
    QString fileAnswer;
    bool printerAnswer = false;
    QString printFile; // when set, the chosen printer writes this PDF
    int printDialogs = 0;

    void message(QWidget*, const QString& caption, const QString& text, Icon icon) override
    {
        messages << caption + QLatin1Char('|') + text;
        icons << icon;
    }
    bool confirm(QWidget*, const QString& caption, const QString& text) override
    {
        messages << caption + QLatin1Char('|') + text;
        return confirmAnswer;
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return fileAnswer;
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return fileAnswer;
    }
    QString folderName(QWidget*, const QString&, const QString&) override { return fileAnswer; }
    bool choosePrinter(QWidget*, QPrinter* printer) override
    {
        ++printDialogs;
        if (!printFile.isEmpty()) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(printFile);
        }
        return printerAnswer;
    }
    void openUrl(const QUrl& url) override { openedUrls << url; }
};
