#pragma once

#include "history/MonitorHistory.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QObject>
#include <atomic>
#include <memory>

// Reads one Monitor's period on a worker thread, so that a month of rows never freezes the
// window. A new read or cancel() sets the running one's cancel flag; its result is dropped.
class HistoryLoader : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        std::shared_ptr<const history::MonitorHistory> data;
        history::ReadReport report;
        int monitor = 1;
        QDateTime from;
        QDateTime to;
        qint64 elapsedMs = 0;
    };

    explicit HistoryLoader(QObject* parent = nullptr);
    // Cancels the running read and waits for it.
    ~HistoryLoader() override;

    void start(const QString& folder, int monitor, const QDateTime& from, const QDateTime& to);
    void cancel();
    bool busy() const { return m_watcher != nullptr; }

Q_SIGNALS:
    void finished(std::shared_ptr<const HistoryLoader::Result> result);
    void cancelled();

private:
    QFutureWatcher<std::shared_ptr<const Result>>* m_watcher = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};
