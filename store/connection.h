// The connection and query objects over a library file, and the one
// exception every failure of the engine arrives as.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

struct sqlite3;
class Checkpointer;

// Every failure of the engine (unreachable file, rejected statement, missing
// column, value that cannot be converted) arrives as this exception; its
// message is the engine's own text, except where the library is opened:
// there the message says it in Chinese and the engine's text is the detail. A library that cannot be opened says
// why in its cause, so the program can tell the reader what to do.
class EDatabaseError : public std::runtime_error
{
public:
    enum class Cause {
        Engine,      // any other failure
        Missing,     // no file at the data source
        Locked,      // another program holds the library
        ReadOnly,    // the file or its folder takes no writes
        Newer,       // laid by a newer Velloran
        NotALibrary, // not an SQLite file, or not one of ours
        Incomplete,  // tables or columns are missing
        Damaged,     // the engine finds the file (or its journal) damaged
    };

    explicit EDatabaseError(const QString &message, Cause cause = Cause::Engine, const QString &detail = {});
    // What the reader is told; for a library that cannot be opened, in
    // Chinese.
    QString message() const;
    Cause cause() const;
    // The engine's own words behind the message, when it has them.
    QString detail() const;

private:
    Cause why;
    QString more;
};

// The one connection to a library file. The connection string follows the
// provider form "Provider=…;Data Source=<path>", a value in quotes when it
// holds ";" or quotes. Opening reads the data source and never creates a
// file: it first looks at the library without writing (a library it refuses
// stays exactly as found, its journal included), then opens it read-write
// and brings a library of an earlier schema to the current one.
class TADOConnection
{
public:
    TADOConnection();
    ~TADOConnection();
    TADOConnection(const TADOConnection &) = delete;
    TADOConnection &operator=(const TADOConnection &) = delete;

    bool LoginPrompt = false;
    QString ConnectionString;
    // Told how far Open has come when it brings an older library to the
    // current form (which lays the full-text index); long only on a large
    // library.
    std::function<bool(qint64 done, qint64 total)> UpgradeProgress;

    void Open();
    void Close();
    void setConnected(bool connected);
    bool Connected() const;

    // Closes without folding the journal into the library, for a library
    // found damaged while open: it is set aside as it was found.
    void CloseAsFound();

    // The file named by "Data Source" in the connection string.
    QString DataSource() const;
    // The provider connection string of the library at path.
    static QString JetConnectionString(const QString &path);

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;

    // Lays an empty library (both tables, their indexes, the file's marks)
    // at path. Refuses to touch an existing file.
    static void CreateLibrary(const QString &path);

    static constexpr int ApplicationId = 0x564c424b; // "VLBK"
    static constexpr int SchemaVersion = 4;

private:
    // The engine's handle stays inside the store (store/engine.h).
    friend sqlite3 *engineHandle(const TADOConnection &connection);
    friend sqlite3 *engineReader(TADOConnection &connection);

    sqlite3 *db = nullptr;
    // A second handle, read-only, that work split across two threads reads
    // through; opened when first asked for, closed with the connection.
    sqlite3 *reader = nullptr;
    // Folds the journal into the file on a thread of its own.
    std::unique_ptr<Checkpointer> checkpointer;
    int transDepth = 0;
};

// One statement on a connection: SQL text in the dialect of the catalogue,
// opened as a row set or executed without one.
class TADOQuery
{
public:
    explicit TADOQuery(TADOConnection *connection = nullptr);
    ~TADOQuery();
    TADOQuery(const TADOQuery &) = delete;
    TADOQuery &operator=(const TADOQuery &) = delete;

    TADOConnection *Connection = nullptr;
    QString SQL;

    // Runs SQL and positions on the first row; Eof() is set at once when
    // there are none.
    void Open();
    // Runs SQL as a statement that returns no rows.
    void ExecSQL();
    void Close();
    bool Active() const;

    bool Eof() const;
    void Next();
    // The named column of the current row as text: null gives the empty
    // text, numbers their plain decimal form. Column names match without
    // regard to letter case; an unknown name raises EDatabaseError.
    QString FieldByName(const QString &name) const;
    QStringList FieldNames() const;

    // Affected rows of the last ExecSQL.
    int RowsAffected() const;

private:
    struct Statement;
    std::unique_ptr<Statement> stmt;
    bool eof = true;
    int rowsAffected = 0;
};
