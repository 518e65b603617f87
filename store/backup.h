// Backups of a library: consistent copies taken with the engine's online
// backup into the folder "backups" beside the library, named by the date and
// time they were taken, each checked before it counts, the newest ten kept.
// And the way back: a library found damaged is set aside under a new name,
// never deleted, and the newest good backup laid in its place.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>

namespace backups {

constexpr int Kept = 10;

// The folder the backups of library go to.
QString folder(const QString &library);

// The backups of library, newest first.
QStringList list(const QString &library);

struct Outcome
{
    enum Kind {
        Written,   // a checked backup was added
        Unchanged, // the library did not change since the newest backup, and checked sound
        Damaged,   // the library is damaged: problem says what the engine found
        Stopped,   // stop was raised; nothing was left behind
    };
    Kind kind = Unchanged;
    QString file;
    QString problem;
};

// Backs up library, taken at now, when it changed since its newest backup;
// otherwise checks the library itself, so damage is found either way. Reads
// the library without ever writing to it; stop ends the work early. Raises
// EDatabaseError when a backup cannot be written.
Outcome care(const QString &library, const QDateTime &now, const std::atomic_bool &stop);

// The newest backup of library that passes the engine's integrity check, or
// "" when there is none.
QString newestGood(const QString &library);

// Moves library and its journal files aside under a new name beside it,
// stamped with now, and returns that name. Nothing is deleted.
QString setAside(const QString &library, const QDateTime &now);

// Lays library anew as a copy of backup. The library's path must be free.
void restore(const QString &backup, const QString &library);

} // namespace backups
