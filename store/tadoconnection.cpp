#include "store/connection.h"
#include "store/dialect.h"
#include "store/engine.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <vector>

// The tables and indexes of a library (schema.cpp).
extern const char *const LibrarySchema;

EDatabaseError::EDatabaseError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

QString EDatabaseError::message() const
{
    return QString::fromUtf8(what());
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

std::vector<char32_t> folded(sqlite3_value *v)
{
    const QList<uint> ucs = valueText(v).toCaseFolded().toUcs4();
    return std::vector<char32_t>(ucs.begin(), ucs.end());
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
    sqlite3_result_int(ctx, likeMatch(folded(argv[0]), folded(argv[1]), esc) ? 1 : 0);
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

void exec(sqlite3 *db, const char *sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        throw EDatabaseError(msg);
    }
}

QString pragmaText(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        raise(db);
    QString value;
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        raise(db);
    return value;
}

int pragmaInt(sqlite3 *db, const char *sql)
{
    return pragmaText(db, sql).toInt();
}

// Opens a file with the connection settings of a library: functions of the
// dialect, a wait instead of a failure while another writer holds the file,
// and a journal that survives a crash or power loss without losing a word.
sqlite3 *openFile(const QString &path, int flags)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        throw EDatabaseError(QStringLiteral("Could not open the library '%1': %2").arg(path, msg));
    }
    try {
        registerFunctions(db);
        sqlite3_busy_timeout(db, 5000);
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    return db;
}

void configure(sqlite3 *db)
{
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, "PRAGMA synchronous=FULL");
}

} // namespace

// ---------------------------------------------------------------------------

TADOConnection::TADOConnection() = default;

TADOConnection::~TADOConnection()
{
    Close();
}

QString TADOConnection::DataSource() const
{
    static const QRegularExpression key(QStringLiteral("^\\s*data source\\s*=\\s*(.*?)\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (const QString &part : ConnectionString.split(u';')) {
        const QRegularExpressionMatch m = key.match(part);
        if (m.hasMatch())
            return m.captured(1);
    }
    return {};
}

void TADOConnection::Open()
{
    if (db)
        return;
    const QString path = DataSource();
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("The connection string names no Data Source."));
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw EDatabaseError(QStringLiteral("Could not find file '%1'.").arg(path));

    sqlite3 *h = openFile(path, SQLITE_OPEN_READWRITE);
    try {
        if (sqlite3_db_readonly(h, "main") == 1)
            throw EDatabaseError(QStringLiteral("The library '%1' is read-only; changes could not be kept.").arg(path));
        // A file that is not a database, or not one of ours, is refused here
        // rather than on the first statement of the first book page.
        int appId = 0;
        try {
            appId = pragmaInt(h, "PRAGMA application_id");
        } catch (const EDatabaseError &e) {
            throw EDatabaseError(QStringLiteral("Unrecognized database format '%1' (%2).").arg(path, e.message()));
        }
        if (appId != ApplicationId)
            throw EDatabaseError(QStringLiteral("Unrecognized database format '%1': not a Velloran library.").arg(path));
        if (pragmaInt(h, "PRAGMA user_version") > SchemaVersion)
            throw EDatabaseError(
                QStringLiteral("The library '%1' was made by a newer Velloran and cannot be opened.").arg(path));
        const QString check = pragmaText(h, "PRAGMA quick_check");
        if (check != QLatin1String("ok"))
            throw EDatabaseError(QStringLiteral("The library '%1' is damaged: %2").arg(path, check));
        configure(h);
    } catch (...) {
        sqlite3_close_v2(h);
        throw;
    }
    db = h;
}

void TADOConnection::Close()
{
    if (!db)
        return;
    // Statements still open on the connection keep it until they finish.
    sqlite3_close_v2(db);
    db = nullptr;
    transDepth = 0;
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
    sqlite3 *h = openFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
        exec(h, LibrarySchema);
        exec(h, QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2")
                    .arg(ApplicationId)
                    .arg(SchemaVersion)
                    .toUtf8()
                    .constData());
        configure(h);
    } catch (...) {
        sqlite3_close_v2(h);
        QFile::remove(path);
        throw;
    }
    sqlite3_close_v2(h);
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

sqlite3 *connectionHandle(TADOConnection *c)
{
    if (!c || !c->Connected())
        throw EDatabaseError(QStringLiteral("Operation is not allowed when the object is closed."));
    return engineHandle(*c);
}

// Prepares one statement; a second statement in the same text is refused,
// as the provider runs exactly one per call.
std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> prepare(sqlite3 *db, const QString &sql)
{
    const QByteArray utf8 = jetToEngine(sql).toUtf8();
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

} // namespace

void TADOQuery::Open()
{
    Close();
    sqlite3 *db = connectionHandle(Connection);
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
    sqlite3 *db = connectionHandle(Connection);
    auto st = prepare(db, SQL);
    rowsAffected = 0;
    if (!st)
        return; // an empty piece of a batch does nothing
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        raise(db);
    rowsAffected = sqlite3_changes(db);
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
