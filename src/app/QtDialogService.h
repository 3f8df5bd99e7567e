#pragma once

#include "ui/DialogService.h"

#include <QList>

// The real dialogs. A message box runs its own event loop, in which timers, alarms and queued
// work go on: each error among them would open a box of its own inside the last one, so an
// unattended station would pile up boxes and stack levels. Here only the first opens; the
// others wait and are shown together, in one box, once it is closed.
class QtDialogService final : public DialogService
{
public:
    void setWaitingListener(std::function<void(int waiting)> waiting) override
    {
        m_waitingListener = std::move(waiting);
    }
    void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    void detailedMessage(QWidget* parent, const QString& caption, const QString& text,
                         const QString& detail, Icon icon) override;
    bool confirm(QWidget* parent, const QString& caption, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString folderName(QWidget* parent, const QString& caption, const QString& folder) override;
    bool choosePrinter(QWidget* parent, QPrinter* printer) override;
    void openUrl(const QUrl& url) override;

private:
    struct Message
    {
        QString caption;
        QString text;
        Icon icon;
    };
    void tellWaiting();

    bool m_boxOpen = false;
    QList<Message> m_waiting;
    std::function<void(int)> m_waitingListener;
};

// The one box that shows `waiting` messages together: the first caption, the gravest icon,
// each different text once with how often it came, the most frequent first.
QString waitingMessagesText(const QStringList& texts);
