#include "ui/history/HistoryLoader.h"

#include <QElapsedTimer>
#include <QtConcurrent/QtConcurrentRun>

HistoryLoader::HistoryLoader(QObject* parent) : QObject(parent) {}

HistoryLoader::~HistoryLoader()
{
    if (m_watcher) {
        m_cancel->store(true);
        m_watcher->waitForFinished();
    }
}

void HistoryLoader::start(const QString& folder, int monitor, const QDateTime& from,
                          const QDateTime& to)
{
    cancel();
    auto flag = std::make_shared<std::atomic<bool>>(false);
    m_cancel = flag;
    auto* watcher = new QFutureWatcher<std::shared_ptr<const Result>>(this);
    m_watcher = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, flag] {
        watcher->deleteLater();
        if (watcher != m_watcher)
            return;
        m_watcher = nullptr;
        if (flag->load())
            return;
        Q_EMIT finished(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([folder, monitor, from, to, flag] {
        QElapsedTimer clock;
        clock.start();
        auto result = std::make_shared<Result>();
        result->monitor = monitor;
        result->from = from;
        result->to = to;
        result->data = std::make_shared<const history::MonitorHistory>(
            history::readMonitor(folder, monitor, from, to, &result->report, flag.get()));
        result->elapsedMs = clock.elapsed();
        return std::shared_ptr<const Result>(std::move(result));
    }));
}

void HistoryLoader::cancel()
{
    if (!m_watcher)
        return;
    // The worker sees the flag and returns soon; the window does not wait for it, and what it
    // returns is dropped.
    m_cancel->store(true);
    m_watcher = nullptr;
    Q_EMIT cancelled();
}
