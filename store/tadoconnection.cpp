#include "store/connection.h"

#include <QStringEncoder>
#include "store/dialect.h"
#include "store/engine.h"
#include "store/fold.h"
#include "store/schema.h"
#include "store/searchindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>

#include <sqlite3.h>

#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

EDatabaseError::EDatabaseError(const QString &message, Cause cause, const QString &detail)
    : std::runtime_error(message.toStdString())
    , why(cause)
    , more(detail)
{
}

QString EDatabaseError::detail() const
{
    return more;
}

QString EDatabaseError::message() const
{
    return QString::fromUtf8(what());
}

EDatabaseError::Cause EDatabaseError::cause() const
{
    return why;
}

namespace {

[[noreturn]] void raise(sqlite3 *db, const QString &context = {})
{
    const QString engine = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    throw EDatabaseError(context.isEmpty() ? engine : context + QStringLiteral(": ") + engine);
}

QString valueText(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QString::number(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return QString::number(sqlite3_value_double(v), 'g', 15);
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    }
}

// cstr(): the text of a value, so keys stored as numbers compare equal to
// quoted decimal text. A null stays null and therefore matches nothing.
void sqlCstr(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray utf8 = valueText(argv[0]).toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// cint(): a whole number, rounding halves to even as the provider does. An
// empty or non-numeric value is an error, not a silent zero, so a damaged
// position never sorts quietly into place.
void sqlCint(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_value *v = argv[0];
    double d = 0;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        sqlite3_result_error(ctx, "Invalid use of Null", -1);
        return;
    case SQLITE_INTEGER:
        d = double(sqlite3_value_int64(v));
        break;
    case SQLITE_FLOAT:
        d = sqlite3_value_double(v);
        break;
    default: {
        bool ok = false;
        d = valueText(v).trimmed().toDouble(&ok);
        if (!ok) {
            sqlite3_result_error(ctx, "Data type mismatch in criteria expression.", -1);
            return;
        }
    }
    }
    const double r = std::nearbyint(d); // default rounding mode: half to even
    if (!std::isfinite(r) || r < std::numeric_limits<int>::min() || r > std::numeric_limits<int>::max()) {
        sqlite3_result_error(ctx, "Overflow", -1);
        return;
    }
    sqlite3_result_int(ctx, int(r));
}

// like: "%" any run, "_" one character, compared without regard to letter
// case for every cased script (the engine's own like folds ASCII only).
bool likeMatch(const std::vector<char32_t> &p, const std::vector<char32_t> &s, char32_t esc)
{
    size_t pi = 0, si = 0;
    // Iterative with one backtrack point for the last "%": linear in practice.
    size_t starP = SIZE_MAX, starS = 0;
    while (si < s.size()) {
        if (pi < p.size()) {
            char32_t c = p[pi];
            if (c == esc && pi + 1 < p.size()) {
                if (p[pi + 1] == s[si]) {
                    pi += 2;
                    ++si;
                    continue;
                }
            } else if (c == U'%') {
                starP = ++pi;
                starS = si;
                continue;
            } else if (c == U'_' || c == s[si]) {
                ++pi;
                ++si;
                continue;
            }
        }
        if (starP == SIZE_MAX)
            return false;
        pi = starP;
        si = ++starS;
    }
    while (pi < p.size() && p[pi] == U'%')
        ++pi;
    return pi == p.size();
}

// The value's code points, folded, decoded straight from the engine's UTF-8
// into out: a filter runs this on every row, so nothing is allocated for a
// row once out has grown. Numbers are matched in their text form.
void foldInto(sqlite3_value *v, std::vector<char32_t> &out)
{
    out.clear();
    if (sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT) {
        for (char32_t c : valueText(v).toCaseFolded().toUcs4())
            out.push_back(c);
        return;
    }
    const auto *b = static_cast<const unsigned char *>(sqlite3_value_text(v));
    forEachCodePoint(b, sqlite3_value_bytes(v), [&out](char32_t c, int, int) { out.push_back(foldCase(c)); });
}

void sqlLike(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    // The engine calls like(pattern, value[, escape]).
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t esc = 0xFFFFFFFF;
    if (argc == 3) {
        const QList<uint> e = valueText(argv[2]).toUcs4();
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        esc = e.first();
    }
    // The pattern is the same for every row of a statement: folded once and
    // kept with it.
    auto *pattern = static_cast<std::vector<char32_t> *>(sqlite3_get_auxdata(ctx, 0));
    if (!pattern) {
        pattern = new std::vector<char32_t>;
        foldInto(argv[0], *pattern);
        sqlite3_set_auxdata(ctx, 0, pattern, [](void *p) { delete static_cast<std::vector<char32_t> *>(p); });
        pattern = static_cast<std::vector<char32_t> *>(sqlite3_get_auxdata(ctx, 0));
        if (!pattern) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    thread_local std::vector<char32_t> value;
    foldInto(argv[1], value);
    sqlite3_result_int(ctx, likeMatch(*pattern, value, esc) ? 1 : 0);
}

void registerFunctions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    if (sqlite3_create_function(db, "cstr", 1, flags, nullptr, sqlCstr, nullptr, nullptr) != SQLITE_OK
        || sqlite3_create_function(db, "cint", 1, flags, nullptr, sqlCint, nullptr, nullptr) != SQLITE_OK
        || sqlite3_create_function(db, "like", 2, flags, nullptr, sqlLike, nullptr, nullptr) != SQLITE_OK
        || sqlite3_create_function(db, "like", 3, flags, nullptr, sqlLike, nullptr, nullptr) != SQLITE_OK)
        raise(db);
}

QString pragmaText(sqlite3 *db, const char *sql)
{
    return engine::firstValue(db, sql);
}

using engine::exec;
using engine::Handle;

int pragmaInt(sqlite3 *db, const char *sql)
{
    return pragmaText(db, sql).toInt();
}

// An engine error met while opening a library, with the cause the reader
// can act on.
[[noreturn]] void raiseOpening(sqlite3 *db, const QString &path, bool journalFound)
{
    const int code = db ? sqlite3_extended_errcode(db) & 0xff : SQLITE_NOMEM;
    const QString engine = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    using Cause = EDatabaseError::Cause;
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EDatabaseError(QStringLiteral("书库“%1”正被另一个程序使用（已被锁定）。请关闭那个程序，或等它完成后再试。")
                                 .arg(path),
                             Cause::Locked, engine);
    case SQLITE_NOTADB:
        throw EDatabaseError(QStringLiteral("“%1”不是能识别的书库文件。").arg(path), Cause::NotALibrary, engine);
    case SQLITE_CORRUPT:
        if (journalFound)
            throw EDatabaseError(QStringLiteral("书库“%1”和它旁边的日志文件（%2）对不上，或已损坏。两者都保持原样。")
                                     .arg(path, QFileInfo(path).fileName() + QStringLiteral("-wal")),
                                 Cause::Damaged, engine);
        throw EDatabaseError(QStringLiteral("书库“%1”已损坏。").arg(path), Cause::Damaged, engine);
    case SQLITE_READONLY:
        throw EDatabaseError(QStringLiteral("书库“%1”不能写入：书库文件本身，或存放它的日志的文件夹“%2”，不接受改动。")
                                 .arg(path, QDir::toNativeSeparators(QFileInfo(path).absolutePath())),
                             Cause::ReadOnly, engine);
    default:
        throw EDatabaseError(QStringLiteral("无法打开书库“%1”。").arg(path), Cause::Engine, engine);
    }
}

// The working settings: a wait instead of a failure while another writer
// holds the file, a journal that survives a crash or power loss without
// losing a word, and pages kept in memory for the rows a write touches
// (a move of a thousand pages reads each one whole to rewrite its
// position): the engine's own 2 MB would read them from the file again.
void configure(sqlite3 *db)
{
    sqlite3_busy_timeout(db, 5000);
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, "PRAGMA synchronous=FULL");
    exec(db, "PRAGMA cache_size=-16384");
}

// The journal files beside a library, as found before the library is looked
// at, so that a library refused stays with exactly the files it had.
struct SideFiles
{
    explicit SideFiles(const QString &path)
        : wal(path + QStringLiteral("-wal"))
        , shm(path + QStringLiteral("-shm"))
        , walFound(QFileInfo::exists(wal))
        , shmFound(QFileInfo::exists(shm))
    {
    }
    // The engine lays an empty journal and its index as soon as it reads;
    // those it laid for a library it then refused go again.
    void removeLaid() const
    {
        if (!walFound && QFileInfo(wal).size() == 0)
            QFile::remove(wal);
        if (!shmFound)
            QFile::remove(shm);
    }
    bool journalHoldsChanges() const { return walFound && QFileInfo(wal).size() > 0; }

    QString wal, shm;
    bool walFound, shmFound;
};

// What the library lacks of the tables and columns the program relies on.
QStringList missingParts(sqlite3 *db)
{
    QHash<QString, QStringList> present;
    for (const char *table : {"books", "units"}) {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QByteArray("SELECT name FROM pragma_table_info('") + table + "')";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
            return {QString::fromUtf8(sqlite3_errmsg(db))};
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, sqlite3_finalize);
        QStringList &names = present[QLatin1String(table)];
        while (sqlite3_step(st) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))).toLower();
    }
    QStringList missing;
    for (const char *table : {"books", "units"}) {
        if (present.value(QLatin1String(table)).isEmpty())
            missing << QStringLiteral("table %1").arg(QLatin1String(table));
    }
    for (int i = 0; i < LibraryColumnCount; ++i) {
        const LibraryColumn &c = LibraryColumns[i];
        const QStringList &names = present.value(QLatin1String(c.table));
        if (!names.isEmpty() && !names.contains(QLatin1String(c.name)))
            missing << QStringLiteral("column %1.%2").arg(QLatin1String(c.table), QLatin1String(c.name));
    }
    return missing;
}

// Looks at the library at path without writing to it, its journal or its
// folder, and raises what keeps it from being opened. The engine may read
// the journal left by a killed run; when one lies there, the whole file is
// checked before anything is allowed to fold it in.
void inspect(const QString &path)
{
    using Cause = EDatabaseError::Cause;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw EDatabaseError(QStringLiteral("找不到书库文件“%1”。").arg(path), Cause::Missing);
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    if (!QFileInfo(info.absolutePath()).isWritable())
        throw EDatabaseError(QStringLiteral("存放书库的文件夹“%1”是只读的。Velloran 要在书库旁边保存它的日志"
                                            "（%2-wal），必须能写入这个文件夹：请让它可写，或把书库移到可写的文件夹。")
                                 .arg(folder, info.fileName()),
                             Cause::ReadOnly);
    if (!info.isWritable())
        throw EDatabaseError(QStringLiteral("书库“%1”是只读的，改动无法保存。").arg(path), Cause::ReadOnly);

    const SideFiles side(path);
    bool accepted = false;
    {
        Handle h;
        const auto refused = qScopeGuard([&] {
            if (!accepted) {
                sqlite3_close_v2(h.release());
                side.removeLaid();
            }
        });
        engine::open(h, path, SQLITE_OPEN_READONLY);
        // Long enough for another program's commit, short enough that a
        // library held for good is reported at once.
        sqlite3_busy_timeout(h.db, 300);
        const bool journal = side.journalHoldsChanges();
        int appId = 0;
        int version = 0;
        QStringList missing;
        try {
            appId = pragmaInt(h.db, "PRAGMA application_id");
            version = pragmaInt(h.db, "PRAGMA user_version");
            // A library rebuilt from a dump by another tool carries neither
            // mark; whole tables make it one of ours all the same.
            if (appId == 0 && version == 0 && missingParts(h.db).isEmpty())
                appId = TADOConnection::ApplicationId;
            else if (appId == TADOConnection::ApplicationId && version <= TADOConnection::SchemaVersion)
                missing = missingParts(h.db);
        } catch (const EDatabaseError &) {
            raiseOpening(h.db, path, journal);
        }
        if (appId != TADOConnection::ApplicationId)
            throw EDatabaseError(QStringLiteral("“%1”不是 Velloran 的书库。").arg(path), Cause::NotALibrary);
        if (version > TADOConnection::SchemaVersion)
            throw EDatabaseError(QStringLiteral("书库“%1”由较新版本的 Velloran 建立，这个版本无法打开。").arg(path),
                                 Cause::Newer);
        if (!missing.isEmpty())
            throw EDatabaseError(QStringLiteral("书库“%1”不完整，缺少：%2。书库保持原样。")
                                     .arg(path, missing.join(QStringLiteral("、"))),
                                 Cause::Incomplete);
        if (journal) {
            QString check;
            try {
                check = pragmaText(h.db, "PRAGMA quick_check");
            } catch (const EDatabaseError &) {
                raiseOpening(h.db, path, journal);
            }
            if (check != QLatin1String("ok"))
                throw EDatabaseError(QStringLiteral("书库“%1”和它旁边的日志文件（%2）对不上，或已损坏。两者都保持原样。")
                                         .arg(path, info.fileName() + QStringLiteral("-wal")),
                                     Cause::Damaged, check);
        }
        accepted = true;
    }
}

// Brings a library of an earlier schema to the current one, all or nothing:
// version 1 rebuilds its tables; before version 3, and whenever another
// tool dropped it, the index is laid and filled.
void upgrade(sqlite3 *db, const QString &path, const search::Progress &progress)
{
    const int version = pragmaInt(db, "PRAGMA user_version");
    // Unmarked: restored from a dump, whose tables were found whole.
    const bool unmarked = pragmaInt(db, "PRAGMA application_id") == 0;
    if (version >= TADOConnection::SchemaVersion && !unmarked && searchindex::laid(db))
        return;
    try {
        exec(db, "BEGIN IMMEDIATE");
        try {
            if (version == 1)
                exec(db, UpgradeFromVersion1);
            exec(db, KeepingSchema);
            exec(db, OutlineIndex);
            if (!searchindex::laid(db)) {
                exec(db, searchindex::Unlay);
                exec(db, searchindex::Schema);
                searchindex::rebuild(db, progress);
            } else {
                // An index of the current form (a dump carries it with the
                // rows it was made from) takes in what changed since.
                searchindex::catchUp(db, progress);
            }
            exec(db, QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2")
                         .arg(TADOConnection::ApplicationId)
                         .arg(TADOConnection::SchemaVersion)
                         .toUtf8()
                         .constData());
            exec(db, "COMMIT");
        } catch (const EDatabaseError &) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("书库“%1”无法升级到当前的格式，已保持原样。").arg(path), EDatabaseError::Cause::Engine,
                             e.detail().isEmpty() ? e.message() : e.message() + QStringLiteral("：") + e.detail());
    }
}

} // namespace

namespace engine {

Handle::~Handle()
{
    sqlite3_close_v2(db);
}

void open(Handle &h, const QString &path, int flags)
{
    // Unless told before its first use, the engine counts every allocation
    // under one lock of the whole process, on which a search's two threads
    // would queue. Nothing here reads those counts.
    static const int counting = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    Q_UNUSED(counting);
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &h.db, flags | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK)
        raiseOpening(h.db, path, false);
    registerFunctions(h.db);
    searchindex::registerTokenizer(h.db);
    if ((flags & SQLITE_OPEN_READONLY) && sqlite3_db_config(h.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr) != SQLITE_OK)
        raise(h.db);
}

QByteArray storedUtf8(const QString &text)
{
    if (text.contains(QChar(0)))
        throw EDatabaseError(QStringLiteral("文字中含有空字符（U+0000），书库不能接受。"));
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    return toUtf8(text);
}

void exec(sqlite3 *db, const char *sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        throw EDatabaseError(msg);
    }
}

QString firstValue(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        raise(db);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, sqlite3_finalize);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    if (rc != SQLITE_DONE)
        raise(db);
    return {};
}

sqlite3 *openHandle(TADOConnection *c)
{
    if (!c || !c->Connected())
        throw EDatabaseError(QStringLiteral("Operation is not allowed when the object is closed."));
    return engineHandle(*c);
}

Statement::Statement(sqlite3 *db, const char *sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql, -1, &m_st, nullptr) != SQLITE_OK)
        raise(db);
}

Statement::~Statement()
{
    sqlite3_finalize(m_st);
}

Statement &Statement::bind(int i, const QString &text)
{
    return bind(i, text.toUtf8());
}

Statement &Statement::bind(int i, const QByteArray &utf8)
{
    if (sqlite3_bind_text(m_st, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        raise(m_db);
    return *this;
}

Statement &Statement::bind(int i, qint64 value)
{
    if (sqlite3_bind_int64(m_st, i, value) != SQLITE_OK)
        raise(m_db);
    return *this;
}

Statement &Statement::bindBlob(int i, const QByteArray &bytes)
{
    if (sqlite3_bind_blob(m_st, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        raise(m_db);
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        raise(m_db);
    return false;
}

void Statement::run()
{
    while (step()) {
    }
    reset();
}

void Statement::reset()
{
    sqlite3_reset(m_st);
    sqlite3_clear_bindings(m_st);
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_st, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_st, column);
}

QString Statement::text(int column) const
{
    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(m_st, column));
    return QString::fromUtf8(t, sqlite3_column_bytes(m_st, column));
}

QByteArray Statement::utf8(int column) const
{
    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(m_st, column));
    return QByteArray(t, sqlite3_column_bytes(m_st, column));
}

QByteArray Statement::blob(int column) const
{
    const auto *b = static_cast<const char *>(sqlite3_column_blob(m_st, column));
    return QByteArray(b, sqlite3_column_bytes(m_st, column));
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_st, column) == SQLITE_NULL;
}

} // namespace engine

// ---------------------------------------------------------------------------

// Folds the journal into the library on a thread of its own once it has
// grown past the engine's usual mark, so that a large change commits without
// waiting for the fold. A fold that fails is left, as the engine's own
// folding leaves it: the journal keeps the changes safe until the next fold
// or the close.
class Checkpointer
{
public:
    static constexpr int Pages = 1000;

    explicit Checkpointer(const QString &path)
        : m_path(path)
    {
    }
    ~Checkpointer()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }
    Checkpointer(const Checkpointer &) = delete;
    Checkpointer &operator=(const Checkpointer &) = delete;

    // The engine's commit hook: pages is the journal's length.
    static int committed(void *self, sqlite3 *, const char *, int pages)
    {
        if (pages >= Pages)
            static_cast<Checkpointer *>(self)->request();
        return SQLITE_OK;
    }

private:
    void request()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_due = true;
        }
        if (!m_thread.joinable())
            m_thread = std::thread([this] { work(); });
        m_wake.notify_one();
    }

    void work()
    {
        engine::Handle h;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_due; });
            if (m_stop)
                return;
            m_due = false;
            lock.unlock();
            try {
                if (!h.db) {
                    engine::open(h, m_path, SQLITE_OPEN_READWRITE);
                    sqlite3_db_config(h.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
                    // A handle finds the journal only once it has read.
                    engine::firstValue(h.db, "PRAGMA schema_version");
                }
                sqlite3_wal_checkpoint_v2(h.db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
            } catch (const EDatabaseError &) {
                // As a failed fold: tried again at the next request.
            }
            lock.lock();
        }
    }

    const QString m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_due = false;
    std::thread m_thread;
};

TADOConnection::TADOConnection() = default;

TADOConnection::~TADOConnection()
{
    Close();
}

QString TADOConnection::DataSource() const
{
    // Pairs of key=value apart at ";". A value in double or single quotes
    // runs to its closing quote (doubled inside it), so it may hold ";".
    const QString &s = ConnectionString;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype eq = s.indexOf(u'=', i);
        if (eq < 0)
            break;
        QString key = s.mid(i, eq - i);
        key = key.mid(key.lastIndexOf(u';') + 1).trimmed();
        i = eq + 1;
        while (i < s.size() && s.at(i).isSpace())
            ++i;
        QString value;
        if (i < s.size() && (s.at(i) == u'"' || s.at(i) == u'\'')) {
            const QChar quote = s.at(i++);
            while (i < s.size()) {
                if (s.at(i) == quote) {
                    if (i + 1 < s.size() && s.at(i + 1) == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s.at(i++);
            }
            const qsizetype semi = s.indexOf(u';', i);
            i = semi < 0 ? s.size() : semi + 1;
        } else {
            qsizetype semi = s.indexOf(u';', i);
            if (semi < 0)
                semi = s.size();
            value = s.mid(i, semi - i).trimmed();
            i = semi + 1;
        }
        if (key.compare(QLatin1String("data source"), Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString TADOConnection::JetConnectionString(const QString &path)
{
    QString value = path;
    const bool plain = !value.contains(u';') && !value.contains(u'"') && !value.contains(u'\'')
                       && value.trimmed() == value;
    if (!plain)
        value = u'"' + value.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + value;
}

void TADOConnection::Open()
{
    if (db)
        return;
    const QString path = DataSource();
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("连接字符串没有指明书库文件（Data Source）。"));
    inspect(path);

    Handle h;
    engine::open(h, path, SQLITE_OPEN_READWRITE);
    if (sqlite3_db_readonly(h.db, "main") == 1)
        throw EDatabaseError(QStringLiteral("书库“%1”是只读的，改动无法保存。").arg(path), EDatabaseError::Cause::ReadOnly);
    try {
        configure(h.db);
    } catch (const EDatabaseError &) {
        raiseOpening(h.db, path, false);
    }
    upgrade(h.db, path, UpgradeProgress);
    db = h.release();
    checkpointer = std::make_unique<Checkpointer>(path);
    sqlite3_wal_hook(db, &Checkpointer::committed, checkpointer.get());
}

void TADOConnection::Close()
{
    sqlite3_close_v2(std::exchange(reader, nullptr));
    // The fold in progress ends first; the close then folds the rest.
    if (db)
        sqlite3_wal_hook(db, nullptr, nullptr);
    checkpointer.reset();
    if (!db)
        return;
    // Statements still open on the connection keep it until they finish.
    sqlite3_close_v2(db);
    db = nullptr;
    transDepth = 0;
}

void TADOConnection::CloseAsFound()
{
    if (db && sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr) != SQLITE_OK)
        raise(db);
    Close();
}

void TADOConnection::setConnected(bool connected)
{
    connected ? Open() : Close();
}

bool TADOConnection::Connected() const
{
    return db != nullptr;
}

sqlite3 *engineHandle(const TADOConnection &connection)
{
    return connection.db;
}

sqlite3 *engineReader(TADOConnection &connection)
{
    if (!connection.reader) {
        Handle h;
        engine::open(h, connection.DataSource(), SQLITE_OPEN_READONLY);
        sqlite3_busy_timeout(h.db, 5000);
        connection.reader = h.release();
    }
    return connection.reader;
}

void TADOConnection::BeginTrans()
{
    if (!db)
        throw EDatabaseError(QStringLiteral("Operation is not allowed when the object is closed."));
    if (transDepth > 0)
        throw EDatabaseError(QStringLiteral("A transaction is already open on this connection."));
    exec(db, "BEGIN IMMEDIATE");
    transDepth = 1;
}

void TADOConnection::CommitTrans()
{
    if (!db || transDepth == 0)
        throw EDatabaseError(QStringLiteral("No transaction is active."));
    searchindex::catchUp(db);
    exec(db, "COMMIT");
    transDepth = 0;
}

void TADOConnection::RollbackTrans()
{
    if (!db || transDepth == 0)
        throw EDatabaseError(QStringLiteral("No transaction is active."));
    transDepth = 0;
    exec(db, "ROLLBACK");
}

bool TADOConnection::InTransaction() const
{
    return transDepth > 0;
}

void TADOConnection::CreateLibrary(const QString &path)
{
    if (QFileInfo::exists(path))
        throw EDatabaseError(QStringLiteral("'%1' exists already; a library is never laid over a file.").arg(path));
    try {
        Handle h;
        engine::open(h, path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        exec(h.db, LibrarySchema);
        exec(h.db, searchindex::Schema);
        exec(h.db, KeepingSchema);
        exec(h.db, OutlineIndex);
        exec(h.db, QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2")
                       .arg(ApplicationId)
                       .arg(SchemaVersion)
                       .toUtf8()
                       .constData());
        configure(h.db);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

// ---------------------------------------------------------------------------

struct TADOQuery::Statement
{
    sqlite3_stmt *st = nullptr;
    QHash<QString, int> columns; // case-folded name -> index
    ~Statement() { sqlite3_finalize(st); }
};

TADOQuery::TADOQuery(TADOConnection *connection)
    : Connection(connection)
{
}

TADOQuery::~TADOQuery() = default;

namespace {


// Prepares one statement; a second statement in the same text is refused,
// as the provider runs exactly one per call.
std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> prepare(sqlite3 *db, const QString &sql)
{
    // The engine would end the statement at a NUL and quietly drop the rest.
    const QByteArray utf8 = engine::storedUtf8(jetToEngine(sql));
    sqlite3_stmt *st = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st, &tail) != SQLITE_OK)
        raise(db);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, sqlite3_finalize);
    for (const char *p = tail; p && *p; ++p) {
        if (!QChar::isSpace(uchar(*p)) && *p != ';')
            throw EDatabaseError(QStringLiteral("Characters found after end of SQL statement."));
    }
    return guard;
}

// Whether st writes rows of a table (so the index may have to follow), as
// opposed to reading, a pragma or a change of the schema or transaction.
bool changesRows(sqlite3_stmt *st)
{
    if (sqlite3_stmt_readonly(st))
        return false;
    const char *sql = sqlite3_sql(st);
    while (*sql && QChar::isSpace(uchar(*sql)))
        ++sql;
    for (const char *verb : {"insert", "update", "delete", "replace"}) {
        if (qstrnicmp(sql, verb, qstrlen(verb)) == 0)
            return true;
    }
    return false;
}

} // namespace

void TADOQuery::Open()
{
    Close();
    sqlite3 *db = engine::openHandle(Connection);
    auto guard = prepare(db, SQL);
    if (!guard)
        throw EDatabaseError(QStringLiteral("Command text was not set for the command object."));
    auto s = std::make_unique<Statement>();
    s->st = guard.release();
    const int n = sqlite3_column_count(s->st);
    for (int i = 0; i < n; ++i)
        s->columns.insert(QString::fromUtf8(sqlite3_column_name(s->st, i)).toCaseFolded(), i);
    stmt = std::move(s);
    eof = false;
    Next();
}

void TADOQuery::ExecSQL()
{
    Close();
    sqlite3 *db = engine::openHandle(Connection);
    auto st = prepare(db, SQL);
    rowsAffected = 0;
    if (!st)
        return; // an empty piece of a batch does nothing
    // A change outside a transaction of the caller's takes the index along
    // in a transaction of its own.
    const bool own = sqlite3_get_autocommit(db) && changesRows(st.get());
    if (own)
        exec(db, "BEGIN IMMEDIATE");
    try {
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            raise(db);
        rowsAffected = sqlite3_changes(db);
        if (own) {
            searchindex::catchUp(db);
            exec(db, "COMMIT");
        }
    } catch (...) {
        if (own)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TADOQuery::Close()
{
    stmt.reset();
    eof = true;
}

bool TADOQuery::Active() const
{
    return stmt != nullptr;
}

bool TADOQuery::Eof() const
{
    return eof;
}

void TADOQuery::Next()
{
    if (!stmt || eof)
        return;
    const int rc = sqlite3_step(stmt->st);
    if (rc == SQLITE_ROW)
        return;
    eof = true;
    if (rc != SQLITE_DONE)
        raise(sqlite3_db_handle(stmt->st));
}

QString TADOQuery::FieldByName(const QString &name) const
{
    if (!stmt)
        throw EDatabaseError(QStringLiteral("Operation is not allowed when the object is closed."));
    const auto it = stmt->columns.constFind(name.toCaseFolded());
    if (it == stmt->columns.constEnd())
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    if (eof)
        throw EDatabaseError(
            QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    return valueText(sqlite3_column_value(stmt->st, it.value()));
}

QStringList TADOQuery::FieldNames() const
{
    QStringList names;
    if (!stmt)
        return names;
    const int n = sqlite3_column_count(stmt->st);
    for (int i = 0; i < n; ++i)
        names << QString::fromUtf8(sqlite3_column_name(stmt->st, i));
    return names;
}

int TADOQuery::RowsAffected() const
{
    return rowsAffected;
}
