#include "store/draftkeeper.h"

#include "store/connection.h"
#include "store/drafts.h"

#include <QDateTime>
#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

struct DraftKeeper::Worker
{
    QString library;
    DraftKeeper *owner = nullptr;
    std::mutex lock;
    std::condition_variable wake, idle;
    // One entry per page, in the order first queued: a document to keep,
    // or none for the end of its draft.
    std::deque<std::pair<QString, std::optional<QString>>> queue;
    bool busy = false;
    bool stopping = false;
    std::thread thread;

    void run()
    {
        TADOConnection db;
        db.ConnectionString = TADOConnection::JetConnectionString(library);
        for (;;) {
            std::pair<QString, std::optional<QString>> job;
            {
                std::unique_lock<std::mutex> l(lock);
                busy = false;
                idle.notify_all();
                wake.wait(l, [this] { return stopping || !queue.empty(); });
                if (queue.empty())
                    return;
                job = std::move(queue.front());
                queue.pop_front();
                busy = true;
            }
            try {
                if (!db.Connected())
                    db.Open();
                if (job.second)
                    drafts::keep(&db, job.first, *job.second, QDateTime::currentDateTimeUtc());
                else
                    drafts::drop(&db, job.first);
            } catch (const EDatabaseError &e) {
                QMetaObject::invokeMethod(owner, [o = owner, m = e.message(), d = e.detail()] {
                    emit o->failed(QStringLiteral("未保存的修改没能暂存：") + m, d);
                }, Qt::QueuedConnection);
            }
        }
    }

    void put(const QString &unit, std::optional<QString> document)
    {
        {
            std::lock_guard<std::mutex> l(lock);
            // A newer document for a page replaces the one still waiting;
            // an end of the draft goes after whatever came before.
            if (document) {
                for (auto &entry : queue) {
                    if (entry.first == unit && entry.second) {
                        entry.second = std::move(document);
                        return;
                    }
                }
            }
            queue.emplace_back(unit, std::move(document));
        }
        wake.notify_one();
    }
};

DraftKeeper::DraftKeeper(const QString &library, QObject *parent)
    : QObject(parent)
    , worker(std::make_unique<Worker>())
{
    worker->library = library;
    worker->owner = this;
    worker->thread = std::thread([w = worker.get()] { w->run(); });
}

DraftKeeper::~DraftKeeper()
{
    {
        std::lock_guard<std::mutex> l(worker->lock);
        worker->stopping = true;
    }
    worker->wake.notify_one();
    worker->thread.join();
}

void DraftKeeper::keep(const QString &unit, const QString &document)
{
    worker->put(unit, document);
}

void DraftKeeper::forget(const QString &unit)
{
    worker->put(unit, std::nullopt);
}

void DraftKeeper::flush()
{
    std::unique_lock<std::mutex> l(worker->lock);
    worker->idle.wait(l, [this] { return worker->queue.empty() && !worker->busy; });
}
