#pragma once

#include "ui/DialogService.h"

#include <QStringList>

// Answers every dialog at once and remembers what was asked, so window tests never block.
class RecordingDialogs final : public DialogService
{
public:
    QStringList messages; // "caption|text"
    bool confirmAnswer = true;
    QString fileAnswer;
    bool printerAnswer = false;

    void message(QWidget*, const QString& caption, const QString& text, Icon) override
    {
        messages << caption + QLatin1Char('|') + text;
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
    bool choosePrinter(QWidget*, QPrinter*) override { return printerAnswer; }
};
