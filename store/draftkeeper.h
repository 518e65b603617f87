// Writes drafts beside the window: the editor hands over a page's unsaved
// document and goes on at once; a thread of its own, on a connection of its
// own, writes only the newest document of each page.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class DraftKeeper : public QObject
{
    Q_OBJECT
public:
    DraftKeeper(const QString &library, QObject *parent);
    // Writes what is still queued, then stops.
    ~DraftKeeper() override;

    // Queues document as the draft of unit; an older one still queued for
    // the unit is replaced.
    void keep(const QString &unit, const QString &document);
    // Queues the end of unit's draft, after anything queued for it before.
    void forget(const QString &unit);
    // Waits until everything queued so far is written.
    void flush();

signals:
    // A write failed: the reader is told once per failure.
    void failed(const QString &message, const QString &detail);

private:
    struct Worker;
    std::unique_ptr<Worker> worker;
};
