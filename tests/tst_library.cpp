// The library file as other tools, bad days and earlier versions leave it:
// opening refuses without writing and says why, any SQLite tool works on it,
// an earlier schema is upgraded in place, and backups come and go back.
#include "store/backup.h"
#include "store/catalogue.h"
#include "store/search.h"
#include "store/connection.h"
#include "store/escape.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <sqlite3.h>
#include <unistd.h>

#include <memory>

namespace {

// A handle of the engine alone, as a stock sqlite3 shell has it: none of the
// program's functions.
using Plain = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

Plain plainOpen(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    return Plain(db, sqlite3_close_v2);
}

// Runs sql on a plain handle; the engine's message, or "" when it ran.
QString plainRun(sqlite3 *db, const QString &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) == SQLITE_OK)
        return {};
    const QString msg = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
    sqlite3_free(err);
    return msg.isEmpty() ? QStringLiteral("failed") : msg;
}

// Every row of sql on a plain handle, columns joined by "|".
QStringList plainRows(sqlite3 *db, const QString &sql)
{
    sqlite3_stmt *st = nullptr;
    QStringList out;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        return {QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db))};
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, sqlite3_finalize);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList cols;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            cols << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
        out << cols.join(u'|');
    }
    if (rc != SQLITE_DONE)
        out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    return out;
}

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// The message of opening path, or "" when it opened.
QString openError(const QString &path)
{
    TADOConnection c;
    c.ConnectionString = TADOConnection::JetConnectionString(path);
    try {
        c.Open();
    } catch (const EDatabaseError &e) {
        return e.message();
    }
    return {};
}

void run(TADOConnection *c, const QString &sql)
{
    Ztking::Datado(c, sql, QString());
}

// The schema of the first libraries, kept as they were laid: indexes on the
// program's own cstr() and cint().
const char *const earlierSchema = R"SQL(
CREATE TABLE books (
  id    INTEGER PRIMARY KEY AUTOINCREMENT,
  jb    TEXT NOT NULL DEFAULT '$',
  lbm   TEXT NOT NULL DEFAULT '',
  lbmpy TEXT NOT NULL DEFAULT '',
  px    INTEGER NOT NULL DEFAULT 1
);
CREATE INDEX books_id    ON books (cstr(id));
CREATE INDEX books_level ON books (cstr(jb), cint(px));
CREATE INDEX books_jb    ON books (jb);

CREATE TABLE units (
  id      INTEGER PRIMARY KEY AUTOINCREMENT,
  sc      TEXT NOT NULL DEFAULT '',
  jb      TEXT NOT NULL DEFAULT '$',
  utitle  TEXT NOT NULL DEFAULT '',
  utpy    TEXT NOT NULL DEFAULT '',
  ucon    TEXT NOT NULL DEFAULT '',
  ucontxt TEXT NOT NULL DEFAULT '',
  ucpy    TEXT NOT NULL DEFAULT '',
  px      INTEGER NOT NULL DEFAULT 1
);
CREATE INDEX units_id    ON units (cstr(id));
CREATE INDEX units_level ON units (cstr(sc), cstr(jb), cint(px));
CREATE INDEX units_under ON units (cstr(jb), cint(px));
CREATE INDEX units_jb    ON units (jb);
PRAGMA user_version=1;
PRAGMA journal_mode=WAL;
)SQL";

// Just enough of cstr() and cint() to lay and fill a library of that schema.
void earlierCstr(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_text(ctx, reinterpret_cast<const char *>(sqlite3_value_text(argv[0])), -1, SQLITE_TRANSIENT);
}
void earlierCint(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_int(ctx, sqlite3_value_int(argv[0]));
}

} // namespace

class TstLibrary : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString file(const QString &name) const { return dir->filePath(name); }

private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() { dir.reset(); }

    // An older copy of the library restored while the journal of a killed
    // run lies beside it: refused, and both files stay byte for byte.
    void refusedLibraryStaysAsFound()
    {
        const QString lib = file(QStringLiteral("vlbook.mdb"));
        TADOConnection::CreateLibrary(lib);
        {
            TADOConnection c;
            c.ConnectionString = TADOConnection::JetConnectionString(lib);
            c.Open();
            c.BeginTrans();
            for (int i = 0; i < 100; ++i)
                run(&c, sqlcat::bookInsert("$", QString(25'000, u'x'), "X", QString::number(i + 1)));
            c.CommitTrans();
        }
        const QByteArray older = bytes(lib);
        QByteArray journal;
        {
            auto db = plainOpen(lib);
            QCOMPARE(plainRun(db.get(), QStringLiteral("DELETE FROM books; VACUUM")), QString());
        }
        {
            auto db = plainOpen(lib);
            QCOMPARE(plainRun(db.get(), QStringLiteral("PRAGMA wal_autocheckpoint=0; "
                                                       "INSERT INTO books (jb, lbm, lbmpy, px) VALUES ('$', 'y', 'Y', 1)")),
                     QString());
            journal = bytes(lib + QStringLiteral("-wal"));
        }
        QVERIFY(journal.size() > 0);
        QVERIFY(writeBytes(lib, older));
        QVERIFY(writeBytes(lib + QStringLiteral("-wal"), journal));
        QFile::remove(lib + QStringLiteral("-shm"));

        const QString message = openError(lib);
        QVERIFY2(message.contains(QLatin1String("vlbook.mdb-wal")), qPrintable(message));
        QVERIFY2(bytes(lib) == older, "the refused library was written");
        QVERIFY2(bytes(lib + QStringLiteral("-wal")) == journal, "the journal found beside it was changed");
        QVERIFY(!QFile::exists(lib + QStringLiteral("-shm")));
    }

    // Held by another program: said at once, not after a silent wait, and
    // not as a file of unknown format.
    void lockedLibrarySaysSoAtOnce()
    {
        const QString lib = file(QStringLiteral("vlbook.mdb"));
        TADOConnection::CreateLibrary(lib);
        auto other = plainOpen(lib);
        QCOMPARE(plainRun(other.get(), QStringLiteral("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                                                      "INSERT INTO books (lbm) VALUES ('held')")),
                 QString());
        QElapsedTimer t;
        t.start();
        const QString message = openError(lib);
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(message.contains(QStringLiteral("另一个程序")), qPrintable(message));
        QVERIFY2(!message.contains(QLatin1String("Unrecognized")), qPrintable(message));
    }

    // A folder that takes no new file cannot hold the library's journal:
    // said with the folder's name, and nothing is left in it.
    void readOnlyFolderSaysWhere()
    {
        const QString folder = file(QStringLiteral("shelf"));
        QVERIFY(QDir().mkpath(folder));
        const QString lib = folder + QStringLiteral("/vlbook.mdb");
        TADOConnection::CreateLibrary(lib);
        QVERIFY(QFile::setPermissions(lib, QFileDevice::Permissions::fromInt(0x6666)));
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::Permissions::fromInt(0x7755)));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions::fromInt(0x5555)));
        const bool root = geteuid() == 0;
        const auto restore = qScopeGuard([&] {
            if (root && setresuid(0, 0, 0) != 0)
                qFatal("cannot take back root's rights");
            QFile::setPermissions(folder, QFileDevice::Permissions::fromInt(0x7700));
        });
        // Folder rights bind root only once it has given them up, as the
        // real user too, whom access checks ask about.
        if (root)
            QCOMPARE(setresuid(65534, 65534, 0), 0);
        const QString message = openError(lib);
        QVERIFY2(message.contains(folder) && message.contains(QStringLiteral("只读")), qPrintable(message));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"vlbook.mdb"});
    }

    // The program folder may carry any name: the connection string keeps it
    // whole and the library opened is the one in it.
    void pathsOfAnyName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("semicolon") << QStringLiteral("a;b");
        QTest::newRow("semicolon and equals") << QStringLiteral("x;Data Source=y");
        QTest::newRow("quotes") << QStringLiteral("it's \"mine\"");
        QTest::newRow("equals") << QStringLiteral("a=b");
        QTest::newRow("blanks at both ends") << QStringLiteral(" spaced ");
    }
    void pathsOfAnyName()
    {
        QFETCH(QString, folder);
        QVERIFY(QDir(dir->path()).mkpath(folder));
        const QString lib = dir->filePath(folder + QStringLiteral("/vlbook.mdb"));
        TADOConnection::CreateLibrary(lib);
        TADOConnection c;
        c.ConnectionString = TADOConnection::JetConnectionString(lib);
        QCOMPARE(c.DataSource(), lib);
        c.Open();
        run(&c, sqlcat::bookInsert("$", "here", "H", "1"));
        c.Close();
        auto db = plainOpen(lib);
        QCOMPARE(plainRows(db.get(), QStringLiteral("SELECT lbm FROM books")), QStringList{"here"});
    }

    // A library that lacks a table or column the program relies on is
    // refused on open with what is missing, and left as it is.
    void schemaCheckedOnOpen_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("named");
        QTest::newRow("units dropped") << QStringLiteral("DROP TABLE units") << QStringLiteral("table units");
        QTest::newRow("a column dropped") << QStringLiteral("DROP INDEX books_level; ALTER TABLE books DROP COLUMN px")
                                          << QStringLiteral("books.px");
    }
    void schemaCheckedOnOpen()
    {
        QFETCH(QString, damage);
        QFETCH(QString, named);
        const QString lib = file(QStringLiteral("vlbook.mdb"));
        TADOConnection::CreateLibrary(lib);
        {
            auto db = plainOpen(lib);
            QCOMPARE(plainRun(db.get(), damage), QString());
        }
        const QByteArray before = bytes(lib);
        const QString message = openError(lib);
        QVERIFY2(message.contains(named), qPrintable(message));
        QCOMPARE(bytes(lib), before);
    }

    // A fresh library as a stock sqlite3 shell meets it: checked, vacuumed,
    // written, dumped and restored, and what the tool wrote reads back in
    // the program. The tool cannot store a position that is not whole.
    void anyToolWorksOnTheLibrary()
    {
        const QString lib = file(QStringLiteral("vlbook.mdb"));
        TADOConnection::CreateLibrary(lib);
        {
            auto db = plainOpen(lib);
            QCOMPARE(plainRows(db.get(), QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
            QCOMPARE(plainRun(db.get(), QStringLiteral("VACUUM")), QString());
            QCOMPARE(plainRun(db.get(), QStringLiteral("INSERT INTO books (jb, lbm, lbmpy, px) VALUES ('$', 'shell', 'S', 1);"
                                                       "INSERT INTO units (sc, jb, utitle, px) VALUES ('1', '$', 'page', 1)")),
                     QString());
            QVERIFY(!plainRun(db.get(), QStringLiteral("INSERT INTO books (lbm, px) VALUES ('half', '1.5')")).isEmpty());
            QVERIFY(!plainRun(db.get(), QStringLiteral("INSERT INTO units (utitle, px) VALUES ('none', 'x')")).isEmpty());

            // What .dump writes and a restore runs: the schema's own text,
            // then the rows, on a handle that knows no program function.
            auto restored = plainOpen(file(QStringLiteral("restored.mdb")));
            // Tables first (a virtual table's row goes into the schema as it
            // stands, for the shell knows not the program's tokenizer), then
            // every table's rows, then indexes and triggers.
            const QStringList schema = plainRows(db.get(), QStringLiteral("SELECT type||' '||sql FROM sqlite_master WHERE sql "
                                                                          "NOT NULL AND name NOT LIKE 'sqlite_%' ORDER BY type<>'table'"));
            for (const QString &entry : schema) {
                const QString sql = entry.section(u' ', 1);
                if (entry.startsWith(QLatin1String("table CREATE VIRTUAL TABLE"))) {
                    const QString name = sql.section(u' ', 3, 3);
                    QCOMPARE(plainRun(restored.get(), QStringLiteral("PRAGMA writable_schema=ON; INSERT INTO sqlite_schema"
                                                                     "(type,name,tbl_name,rootpage,sql) VALUES('table','%1',"
                                                                     "'%1',0,'%2'); PRAGMA writable_schema=OFF")
                                                          .arg(name, QString(sql).replace(u'\'', QStringLiteral("''")))),
                             QString());
                } else if (entry.startsWith(QLatin1String("table "))) {
                    QCOMPARE(plainRun(restored.get(), sql), QString());
                }
            }
            QCOMPARE(plainRun(restored.get(), QStringLiteral("ATTACH '%1' AS lib").arg(lib)), QString());
            for (const QString &table : plainRows(db.get(), QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' "
                                                                           "AND sql NOT LIKE 'CREATE VIRTUAL%'")))
                QCOMPARE(plainRun(restored.get(), QStringLiteral("INSERT INTO \"%1\" SELECT * FROM lib.\"%1\"").arg(table)),
                         QString());
            for (const QString &entry : schema) {
                if (!entry.startsWith(QLatin1String("table ")))
                    QCOMPARE(plainRun(restored.get(), entry.section(u' ', 1)), QString());
            }
            QCOMPARE(plainRows(restored.get(), QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
            QCOMPARE(plainRows(restored.get(), QStringLiteral("SELECT lbm FROM books")), QStringList{"shell"});
        }
        TADOConnection c;
        c.ConnectionString = TADOConnection::JetConnectionString(lib);
        c.Open();
        auto q = Ztking::Dataread(&c, sqlcat::booksLevel("$"), QString());
        QCOMPARE(Ztking::Dataget(*q, "lbm"), QStringLiteral("shell"));
        auto u = Ztking::Dataread(&c, sqlcat::unitsLevel("1", "$"), QString());
        QCOMPARE(Ztking::Dataget(*u, "utitle"), QStringLiteral("page"));

        // The restore carries no marks of a library; its whole tables make
        // it one, and it is marked so when first opened.
        TADOConnection r;
        r.ConnectionString = TADOConnection::JetConnectionString(file(QStringLiteral("restored.mdb")));
        r.Open();
        QCOMPARE(Ztking::Dataget(*Ztking::Dataread(&r, QStringLiteral("pragma application_id"), QString()), "application_id"),
                 QString::number(TADOConnection::ApplicationId));
        QCOMPARE(search::find(&r, QStringLiteral("shell"), 0, 10).total, 1);
        QVERIFY(search::sound(&r));
    }

    // The library tool answers --help with its usage, refuses options it
    // does not know, and lays a file only where it was named one.
    void mklibArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("laid");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << QString();
        QTest::newRow("unknown option") << QStringList{"--force", "x.mdb"} << 2 << QString();
        QTest::newRow("a dash alone") << QStringList{"-x"} << 2 << QString();
        QTest::newRow("a file") << QStringList{"new.mdb"} << 0 << QStringLiteral("new.mdb");
        QTest::newRow("a file named like an option") << QStringList{"--", "--help"} << 0 << QStringLiteral("--help");
        QTest::newRow("nothing") << QStringList() << 2 << QString();
    }
    void mklibArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, laid);
        QProcess tool;
        tool.setWorkingDirectory(dir->path());
        tool.start(QStringLiteral(VELLORAN_MKLIB), args);
        QVERIFY(tool.waitForFinished());
        QCOMPARE(tool.exitCode(), status);
        if (args == QStringList{"--help"})
            QVERIFY(tool.readAllStandardOutput().startsWith("usage: velloran-mklib"));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), laid.isEmpty() ? QStringList() : QStringList{laid});
    }

    // Debian's own sqlite3 shell dumps a library holding pages and restores
    // it into a new file, which opens as a library with its index sound.
    void stockShellDumpsAndRestores()
    {
        const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        QVERIFY2(!shell.isEmpty(), "setup.sh installs the sqlite3 shell");
        const QString lib = file(QStringLiteral("vlbook.mdb"));
        const QString restored = file(QStringLiteral("restored.mdb"));
        TADOConnection::CreateLibrary(lib);
        {
            TADOConnection c;
            c.ConnectionString = TADOConnection::JetConnectionString(lib);
            c.Open();
            Ztking::Datado(&c, sqlcat::bookInsert("$", "类", "L", "1"), QString());
            Ztking::Datado(&c, sqlcat::unitInsert("1", "$", "山海经", "SHJ", "1"), QString());
            Ztking::Datado(&c, sqlcat::unitSave("<p>南山经</p>", "南山经之首", "1"), QString());
        }
        QProcess dump;
        dump.setStandardOutputFile(file(QStringLiteral("dump.sql")));
        dump.start(shell, {lib, QStringLiteral(".dump")});
        QVERIFY(dump.waitForFinished());
        QCOMPARE(dump.exitCode(), 0);
        QProcess load;
        load.setStandardInputFile(file(QStringLiteral("dump.sql")));
        load.start(shell, {QStringLiteral("-bail"), restored});
        QVERIFY(load.waitForFinished());
        QVERIFY2(load.exitCode() == 0, load.readAllStandardError().constData());
        TADOConnection r;
        r.ConnectionString = TADOConnection::JetConnectionString(restored);
        r.Open();
        QCOMPARE(search::find(&r, QStringLiteral("南山"), 0, 10).total, 1);
        QCOMPARE(search::find(&r, QStringLiteral("类"), 0, 10).total, 1);
        QVERIFY(search::sound(&r));
    }

    // A library laid by the earlier schema is upgraded on first open, in one
    // transaction: every row and key sequence kept, nothing left that needs
    // the program's functions. One whose positions cannot be made whole
    // stays as it was.
    void earlierSchemaUpgradedInPlace_data()
    {
        QTest::addColumn<QString>("lastPosition");
        QTest::addColumn<bool>("upgrades");
        QTest::newRow("whole positions") << QStringLiteral("'4'") << true;
        QTest::newRow("a position that is no number") << QStringLiteral("'four'") << false;
    }
    void earlierSchemaUpgradedInPlace()
    {
        QFETCH(QString, lastPosition);
        QFETCH(bool, upgrades);
        const QString lib = file(QStringLiteral("vlbook.mdb"));
        const auto allRows = [](sqlite3 *db) {
            return plainRows(db, QStringLiteral("SELECT * FROM books")) + plainRows(db, QStringLiteral("SELECT * FROM units"));
        };
        QStringList before;
        {
            auto db = plainOpen(lib);
            const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
            sqlite3_create_function(db.get(), "cstr", 1, flags, nullptr, earlierCstr, nullptr, nullptr);
            sqlite3_create_function(db.get(), "cint", 1, flags, nullptr, earlierCint, nullptr, nullptr);
            QCOMPARE(plainRun(db.get(), QLatin1String(earlierSchema)
                                            + QStringLiteral("PRAGMA application_id=%1").arg(TADOConnection::ApplicationId)),
                     QString());
            const QString page = Dataesc(QStringLiteral("<p>it's a go</p>"));
            QCOMPARE(plainRun(db.get(), QStringLiteral("INSERT INTO books (jb, lbm, lbmpy, px) VALUES "
                                                       "('$','A','A','1'),('$','B','B','2'),('1','C','C','1'),"
                                                       "('1','D','D',%1),('$','gone','G','3');"
                                                       "DELETE FROM books WHERE lbm='gone';"
                                                       "INSERT INTO units (sc, jb, utitle, ucon, px) VALUES "
                                                       "('3','$','u1','%2','1'),('3','1','u2','','1');")
                                            .arg(lastPosition, page)),
                     QString());
            before = allRows(db.get());
        }
        const QString message = openError(lib);
        auto db = plainOpen(lib);
        QCOMPARE(allRows(db.get()), before);
        if (!upgrades) {
            QVERIFY2(message.contains(QStringLiteral("保持原样")), qPrintable(message));
            QCOMPARE(plainRows(db.get(), QStringLiteral("PRAGMA user_version")), QStringList{"1"});
            return;
        }
        QCOMPARE(message, QString());
        QCOMPARE(plainRows(db.get(), QStringLiteral("PRAGMA user_version")),
                 QStringList{QString::number(TADOConnection::SchemaVersion)});
        QCOMPARE(plainRows(db.get(), QStringLiteral("SELECT name FROM sqlite_master WHERE sql LIKE '%cstr(%' "
                                                    "OR sql LIKE '%cint(%'")),
                 QStringList());
        QCOMPARE(plainRows(db.get(), QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
        // The key of the deleted book is never handed out again.
        QCOMPARE(plainRun(db.get(), QStringLiteral("INSERT INTO books (lbm) VALUES ('new')")), QString());
        QCOMPARE(plainRows(db.get(), QStringLiteral("SELECT id FROM books WHERE lbm='new'")), QStringList{"6"});
    }

    // A backup is a checked copy taken through the engine, so it holds what
    // the journal holds too, and it stands alone.
    void backupIsACheckedCopy()
    {
        TempLibrary lib;
        run(lib.connection(), QStringLiteral("PRAGMA wal_autocheckpoint=0"));
        run(lib.connection(), sqlcat::bookInsert("$", "in the journal", "J", "1"));
        const std::atomic_bool stop(false);
        const auto outcome = backups::care(lib.path(), QDateTime::currentDateTimeUtc(), stop);
        QCOMPARE(outcome.kind, backups::Outcome::Written);
        QCOMPARE(backups::list(lib.path()), QStringList{outcome.file});
        QCOMPARE(QFileInfo(outcome.file).absolutePath(), QDir(lib.folder()).filePath("backups"));
        QVERIFY2(QRegularExpression(QStringLiteral("^vlbook-\\d{8}-\\d{6}Z\\.mdb$")).match(QFileInfo(outcome.file).fileName()).hasMatch(),
                 qPrintable(outcome.file));
        QCOMPARE(QDir(backups::folder(lib.path())).entryList(QDir::Files), QStringList{QFileInfo(outcome.file).fileName()});
        auto db = plainOpen(outcome.file);
        QCOMPARE(plainRows(db.get(), QStringLiteral("SELECT lbm FROM books")), QStringList{"in the journal"});
        QCOMPARE(plainRows(db.get(), QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    }

    // Only a library that changed since the newest backup gets another; the
    // newest ten are kept.
    void backupOnlyWhenChanged()
    {
        TempLibrary lib;
        const std::atomic_bool stop(false);
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
        QStringList written;
        for (int i = 0; i < 12; ++i) {
            run(lib.connection(), sqlcat::bookInsert("$", QString::number(i), "N", QString::number(i + 1)));
            const auto outcome = backups::care(lib.path(), start.addSecs(60 * i), stop);
            QCOMPARE(outcome.kind, backups::Outcome::Written);
            written.prepend(outcome.file);
        }
        QCOMPARE(backups::list(lib.path()), written.mid(0, backups::Kept));
        // Backups from a minute ahead of the library's last change: the
        // first is taken, the next finds nothing new.
        const QDateTime ahead = QDateTime::currentDateTimeUtc().addSecs(60);
        QCOMPARE(backups::care(lib.path(), ahead, stop).kind, backups::Outcome::Written);
        QCOMPARE(backups::care(lib.path(), ahead.addSecs(60), stop).kind, backups::Outcome::Unchanged);
        QCOMPARE(backups::list(lib.path()).size(), backups::Kept);
    }

    void stoppedBackupLeavesNothing()
    {
        TempLibrary lib;
        const std::atomic_bool stop(true);
        QCOMPARE(backups::care(lib.path(), QDateTime::currentDateTimeUtc(), stop).kind, backups::Outcome::Stopped);
        QCOMPARE(QDir(backups::folder(lib.path())).entryList(QDir::Files), QStringList());
    }

    // Damage that opening does not look for (it reads the marks and the
    // tables, not every page) is found by the backup pass, whether or not
    // the library changed since the newest backup.
    void damageFoundAfterOpening_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::newRow("changed since the backup") << true;
        QTest::newRow("unchanged since the backup") << false;
    }
    void damageFoundAfterOpening()
    {
        QFETCH(bool, changed);
        const QString lib = file(QStringLiteral("vlbook.mdb"));
        TADOConnection::CreateLibrary(lib);
        int root = 0;
        {
            auto db = plainOpen(lib);
            QCOMPARE(plainRun(db.get(), QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                       "WHERE i < 2000) INSERT INTO units (utitle) SELECT 'u' || i FROM n")),
                     QString());
            root = plainRows(db.get(), QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='units_under'")).value(0).toInt();
        }
        const std::atomic_bool stop(false);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        if (!changed)
            QCOMPARE(backups::care(lib, now.addSecs(5), stop).kind, backups::Outcome::Written);
        // The index's root page gets a page type that does not exist; the
        // file's time stays, as when a disk goes bad under it.
        const QDateTime stamp = QFileInfo(lib).lastModified();
        {
            QFile f(lib);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(qint64(root - 1) * 4096));
            QCOMPARE(f.write("\x01", 1), 1);
            f.close();
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
        QCOMPARE(openError(lib), QString());
        const auto outcome = backups::care(lib, now.addSecs(10), stop);
        QCOMPARE(outcome.kind, backups::Outcome::Damaged);
        QVERIFY(!outcome.problem.isEmpty());
    }

    // The way back: the damaged library set aside under a new name, byte
    // for byte with its journal, and the newest backup that checks sound
    // laid in its place.
    void restoreSetsTheDamagedAside()
    {
        QString lib;
        QString good;
        {
            TempLibrary kept;
            run(kept.connection(), sqlcat::bookInsert("$", "saved", "S", "1"));
            const std::atomic_bool stop(false);
            good = backups::care(kept.path(), QDateTime::currentDateTimeUtc().addDays(-1), stop).file;
            QVERIFY(!good.isEmpty());
            lib = file(QStringLiteral("vlbook.mdb"));
            QVERIFY(QDir().mkpath(backups::folder(lib)));
            QVERIFY(QFile::copy(good, QDir(backups::folder(lib)).filePath(QFileInfo(good).fileName())));
        }
        // A newer backup that went bad on the disk is passed over.
        QVERIFY(writeBytes(QDir(backups::folder(lib)).filePath(QStringLiteral("vlbook-29990101-000000Z.mdb")),
                           QByteArray(8192, 'z')));
        const QByteArray damaged(8192, '\x5a'), journal(100, 'j');
        QVERIFY(writeBytes(lib, damaged));
        QVERIFY(writeBytes(lib + QStringLiteral("-wal"), journal));

        const QString newest = backups::newestGood(lib);
        QCOMPARE(QFileInfo(newest).fileName(), QFileInfo(good).fileName());
        const QString aside = backups::setAside(lib, QDateTime::currentDateTimeUtc());
        QVERIFY(!QFile::exists(lib));
        QCOMPARE(bytes(aside), damaged);
        QCOMPARE(bytes(aside + QStringLiteral("-wal")), journal);
        backups::restore(newest, lib);
        TADOConnection c;
        c.ConnectionString = TADOConnection::JetConnectionString(lib);
        c.Open();
        auto q = Ztking::Dataread(&c, sqlcat::booksLevel("$"), QString());
        QCOMPARE(Ztking::Dataget(*q, "lbm"), QStringLiteral("saved"));
    }
};

QTEST_GUILESS_MAIN(TstLibrary)
#include "tst_library.moc"
