#include "store/backup.h"

#include "store/connection.h"
#include "store/engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <sqlite3.h>

#include <memory>

namespace backups {

namespace {

const QString stampFormat = QStringLiteral("yyyyMMdd-HHmmss");

// Backups are named "<library name>-<UTC date and time>Z.mdb", so that their
// names sort as their times do whatever the clocks of the year.
QRegularExpression namePattern(const QString &library)
{
    return QRegularExpression(u'^' + QRegularExpression::escape(QFileInfo(library).completeBaseName())
                              + QStringLiteral("-(\\d{8}-\\d{6})Z\\.mdb$"));
}

QString nameAt(const QString &library, const QDateTime &when)
{
    return QFileInfo(library).completeBaseName() + u'-' + when.toUTC().toString(stampFormat) + QStringLiteral("Z.mdb");
}

QDateTime timeOf(const QString &library, const QString &backup)
{
    const auto m = namePattern(library).match(QFileInfo(backup).fileName());
    QDateTime t = QDateTime::fromString(m.captured(1), stampFormat);
    t.setTimeZone(QTimeZone::utc());
    return t;
}

// When the library last took a change: its file, or the journal that holds
// changes not yet folded into it.
QDateTime lastChange(const QString &library)
{
    QDateTime t = QFileInfo(library).lastModified();
    const QFileInfo wal(library + QStringLiteral("-wal"));
    if (wal.exists() && wal.size() > 0 && wal.lastModified() > t)
        t = wal.lastModified();
    return t;
}

int stopRequested(void *stop)
{
    return static_cast<const std::atomic_bool *>(stop)->load() ? 1 : 0;
}

void watch(sqlite3 *db, const std::atomic_bool &stop)
{
    sqlite3_progress_handler(db, 1000, stopRequested, const_cast<std::atomic_bool *>(&stop));
}

// What the engine's check (quick_check or integrity_check) finds: "" when
// the file is sound, else its first findings.
QString problems(sqlite3 *db, const char *pragma)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, pragma, -1, &st, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, sqlite3_finalize);
    QStringList found;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW && found.size() < 5)
        found << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        found << QString::fromUtf8(sqlite3_errmsg(db));
    if (found == QStringList{QStringLiteral("ok")})
        return {};
    return found.join(u'\n');
}

struct Stopped
{
};

// problems(), raising Stopped when stop cut the check short.
QString check(sqlite3 *db, const char *pragma, const std::atomic_bool &stop)
{
    watch(db, stop);
    QString found = problems(db, pragma);
    if (stop)
        throw Stopped{};
    return found;
}

QString checkFile(const QString &path, const char *pragma, const std::atomic_bool &stop)
{
    engine::Handle h;
    engine::open(h, path, SQLITE_OPEN_READONLY);
    sqlite3_busy_timeout(h.db, 5000);
    return check(h.db, pragma, stop);
}

// Copies the library at from into the new file to with the engine's online
// backup, as one consistent state however the library changes meanwhile.
// The copy is a file of its own, with no journal beside it.
void copy(const QString &from, const QString &to, const std::atomic_bool &stop)
{
    engine::Handle src;
    engine::open(src, from, SQLITE_OPEN_READONLY);
    sqlite3_busy_timeout(src.db, 5000);
    // One read transaction over the whole copy: the backup sees one state of
    // the library and never starts over when the program writes meanwhile.
    engine::exec(src.db, "BEGIN");
    engine::firstValue(src.db, "SELECT count(*) FROM sqlite_master");
    engine::Handle dst;
    engine::open(dst, to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    {
        const std::unique_ptr<sqlite3_backup, int (*)(sqlite3_backup *)> b(
            sqlite3_backup_init(dst.db, "main", src.db, "main"), sqlite3_backup_finish);
        if (!b)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(dst.db)));
        int rc;
        while ((rc = sqlite3_backup_step(b.get(), 256)) == SQLITE_OK) {
            if (stop)
                throw Stopped{};
        }
        if (rc != SQLITE_DONE)
            throw EDatabaseError(QStringLiteral("The backup '%1' could not be written: %2")
                                     .arg(to, QString::fromUtf8(sqlite3_errstr(rc))));
    }
    engine::exec(src.db, "COMMIT");
    if (sqlite3_errcode(dst.db) != SQLITE_OK && sqlite3_errcode(dst.db) != SQLITE_DONE)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(dst.db)));
    engine::exec(dst.db, "PRAGMA journal_mode=DELETE");
}

void removeOrRaise(const QString &path)
{
    QFile f(path);
    if (f.exists() && !f.remove())
        throw EDatabaseError(QStringLiteral("Could not remove '%1': %2").arg(path, f.errorString()));
}

} // namespace

QString folder(const QString &library)
{
    return QFileInfo(library).absoluteDir().filePath(QStringLiteral("backups"));
}

QStringList list(const QString &library)
{
    const QRegularExpression pattern = namePattern(library);
    const QDir dir(folder(library));
    QStringList found;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name | QDir::Reversed)) {
        if (pattern.match(name).hasMatch())
            found << dir.filePath(name);
    }
    return found;
}

Outcome care(const QString &library, const QDateTime &now, const std::atomic_bool &stop)
{
    try {
        const QStringList before = list(library);
        const QString target = QDir(folder(library)).filePath(nameAt(library, now));
        if ((!before.isEmpty() && lastChange(library) < timeOf(library, before.first())) || QFileInfo::exists(target)) {
            const QString found = checkFile(library, "PRAGMA quick_check", stop);
            return found.isEmpty() ? Outcome{Outcome::Unchanged, {}, {}} : Outcome{Outcome::Damaged, {}, found};
        }
        if (!QDir().mkpath(folder(library)))
            throw EDatabaseError(QStringLiteral("Could not make the folder for backups '%1'.").arg(folder(library)));
        const QString part = target + QStringLiteral(".part");
        removeOrRaise(part);
        try {
            copy(library, part, stop);
            const QString found = checkFile(part, "PRAGMA integrity_check", stop);
            if (!found.isEmpty()) {
                removeOrRaise(part);
                // The copy holds the library's pages as they are: a copy
                // that fails its check tells of the library, unless the
                // library itself checks sound.
                const QString inLibrary = checkFile(library, "PRAGMA quick_check", stop);
                if (!inLibrary.isEmpty())
                    return {Outcome::Damaged, {}, inLibrary};
                throw EDatabaseError(QStringLiteral("The backup '%1' failed its check: %2").arg(target, found));
            }
        } catch (...) {
            QFile::remove(part);
            throw;
        }
        QFile written(part);
        if (!written.rename(target))
            throw EDatabaseError(QStringLiteral("Could not name the backup '%1': %2").arg(target, written.errorString()));
        const QStringList all = list(library);
        for (qsizetype i = Kept; i < all.size(); ++i)
            removeOrRaise(all.at(i));
        return {Outcome::Written, target, {}};
    } catch (const Stopped &) {
        return {Outcome::Stopped, {}, {}};
    }
}

QString newestGood(const QString &library)
{
    const std::atomic_bool never(false);
    for (const QString &backup : list(library)) {
        try {
            engine::Handle h;
            engine::open(h, backup, SQLITE_OPEN_READONLY);
            if (engine::firstValue(h.db, "PRAGMA application_id").toInt() == TADOConnection::ApplicationId
                && check(h.db, "PRAGMA integrity_check", never).isEmpty())
                return backup;
        } catch (const EDatabaseError &) {
            // A backup that cannot be read is no good one; the next is tried.
            continue;
        }
    }
    return {};
}

QString setAside(const QString &library, const QDateTime &now)
{
    const QFileInfo info(library);
    const QString stem = info.completeBaseName() + QStringLiteral("-damaged-") + now.toUTC().toString(stampFormat);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString aside = info.dir().filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo::exists(aside + QStringLiteral("-wal")); ++n)
        aside = info.dir().filePath(stem + u'-' + QString::number(n) + suffix);
    for (const char *side : {"-wal", "-shm", ""}) {
        QFile f(library + QLatin1String(side));
        if (f.exists() && !f.rename(aside + QLatin1String(side)))
            throw EDatabaseError(
                QStringLiteral("Could not set '%1' aside as '%2': %3").arg(f.fileName(), aside, f.errorString()));
    }
    return aside;
}

void restore(const QString &backup, const QString &library)
{
    if (QFileInfo::exists(library))
        throw EDatabaseError(QStringLiteral("'%1' exists already; a backup is never laid over a file.").arg(library));
    const QString part = library + QStringLiteral(".restoring");
    removeOrRaise(part);
    const std::atomic_bool never(false);
    try {
        copy(backup, part, never);
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    QFile restored(part);
    if (!restored.rename(library))
        throw EDatabaseError(QStringLiteral("Could not lay '%1': %2").arg(library, restored.errorString()));
}

} // namespace backups
