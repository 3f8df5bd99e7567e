#include "app/QtDialogService.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>

#include <algorithm>
#include <utility>

namespace {

void showBox(QWidget* parent, const QString& caption, const QString& text, const QString& detail,
             DialogService::Icon icon)
{
    using Icon = DialogService::Icon;
    const auto boxIcon = icon == Icon::Error     ? QMessageBox::Critical
                         : icon == Icon::Warning ? QMessageBox::Warning
                         : icon == Icon::NoIcon  ? QMessageBox::NoIcon
                                                 : QMessageBox::Information;
    QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setInformativeText(detail);
    box.exec();
}

int gravity(DialogService::Icon icon)
{
    using Icon = DialogService::Icon;
    return icon == Icon::Error ? 3 : icon == Icon::Warning ? 2 : icon == Icon::Information ? 1 : 0;
}

} // namespace

QString waitingMessagesText(const QStringList& texts)
{
    constexpr int Listed = 10;
    QList<std::pair<QString, int>> distinct;
    for (const QString& text : texts) {
        auto it = std::find_if(distinct.begin(), distinct.end(),
                               [&text](const auto& d) { return d.first == text; });
        if (it == distinct.end())
            distinct.append({text, 1});
        else
            ++it->second;
    }
    std::stable_sort(distinct.begin(), distinct.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    QStringList lines;
    lines << QStringLiteral("%1 messages came while the last box was open:").arg(texts.size());
    for (int i = 0; i < distinct.size() && i < Listed; ++i) {
        const auto& [text, times] = distinct[i];
        lines << (times > 1 ? QStringLiteral("%1 times: %2").arg(times).arg(text)
                            : QStringLiteral("%1").arg(text));
    }
    if (distinct.size() > Listed)
        lines << QStringLiteral("and %1 other messages").arg(distinct.size() - Listed);
    return lines.join(QStringLiteral("\n\n"));
}

void QtDialogService::message(QWidget* parent, const QString& caption, const QString& text,
                              Icon icon)
{
    detailedMessage(parent, caption, text, QString(), icon);
}

void QtDialogService::detailedMessage(QWidget* parent, const QString& caption, const QString& text,
                                      const QString& detail, Icon icon)
{
    if (m_boxOpen) {
        m_waiting.append(
            {caption, detail.isEmpty() ? text : text + QStringLiteral("\n") + detail, icon});
        tellWaiting();
        return;
    }
    m_boxOpen = true;
    const QPointer<QWidget> owner(parent);
    showBox(parent, caption, text, detail, icon);
    // What came meanwhile, in one box; what comes while that one is open, in the next.
    while (!m_waiting.isEmpty()) {
        const QList<Message> waiting = std::exchange(m_waiting, {});
        tellWaiting();
        Icon gravest = waiting.first().icon;
        QStringList texts;
        for (const Message& m : waiting) {
            texts << m.text;
            if (gravity(m.icon) > gravity(gravest))
                gravest = m.icon;
        }
        showBox(owner, waiting.first().caption,
                waiting.size() == 1 ? texts.first() : waitingMessagesText(texts), QString(),
                gravest);
    }
    m_boxOpen = false;
}

void QtDialogService::tellWaiting()
{
    if (m_waitingListener)
        m_waitingListener(int(m_waiting.size()));
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

QString QtDialogService::folderName(QWidget* parent, const QString& caption, const QString& folder)
{
    return QFileDialog::getExistingDirectory(parent, caption, folder);
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
