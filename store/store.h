// The library store: the connection and query objects over the library file,
// the statement catalogue of the two tables, and the escaping of stored text.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

// Every failure of the engine (unreachable file, rejected statement, missing
// column, value that cannot be converted) arrives as this exception; its
// message is the engine's own text.
class EDatabaseError : public std::runtime_error
{
public:
    explicit EDatabaseError(const QString &message);
    QString message() const;
};

// The one connection to a library file. The connection string follows the
// provider form "Provider=…;Data Source=<path>"; opening reads the data
// source, opens the existing file read-write and never creates one.
class TADOConnection
{
public:
    TADOConnection();
    ~TADOConnection();
    TADOConnection(const TADOConnection &) = delete;
    TADOConnection &operator=(const TADOConnection &) = delete;

    bool LoginPrompt = false;
    QString ConnectionString;

    void Open();
    void Close();
    void setConnected(bool connected);
    bool Connected() const;

    // The file named by "Data Source" in the connection string.
    QString DataSource() const;

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;

    sqlite3 *handle() const;

    // Lays an empty library (both tables, their indexes, the file's marks)
    // at path. Refuses to touch an existing file.
    static void CreateLibrary(const QString &path);

    static constexpr int ApplicationId = 0x564c424b; // "VLBK"
    static constexpr int SchemaVersion = 1;

private:
    sqlite3 *db = nullptr;
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

// Rewrites the provider dialect of the catalogue ("Delete * from",
// "select top N …") into the engine's own; everything else passes as is.
QString jetToEngine(const QString &sql);

// Escaping of user text before it is concatenated into a statement, and the
// reverse step for stored text.
QString Dataesc(const QString &text);
QString Dataunesc(const QString &text);

// The statement catalogue: every statement the program issues, built from its
// fixed fragments and the values given. Keys and positions are decimal text;
// names, titles and documents must already be escaped.
namespace sqlcat {

// The document a new unit starts with.
extern const QString NewPageDocument;

QString booksLevel(const QString &parentKey);                                          // 1
QString booksLevelFiltered(const QString &parentKey, const QString &filter);           // 2
QString bookRename(const QString &name, const QString &initials, const QString &key);  // 3
QString bookPlace(const QString &key);                                                 // 4
QString booksCloseGap(const QString &position, const QString &parentKey);              // 5
QString bookDelete(const QString &key);                                                // 6
QString bookUnitsDelete(const QString &key);                                           // 7
QString bookChildren(const QString &key);                                              // 8
QString bookPosition(const QString &key);                                              // 9
QString bookSetPosition(const QString &key, const QString &position);                  // 10
QString bookMoveDown(const QString &key);                                              // 11
QString bookMoveUp(const QString &key);                                                // 12
QString bookNamed(const QString &name, const QString &parentKey);                      // 13
QString bookLast(const QString &parentKey);                                            // 14
QString bookInsert(const QString &parentKey, const QString &name, const QString &initials,
                   const QString &position);                                           // 15
QString unitsLevel(const QString &bookKey, const QString &parentKey);                  // 16
QString unitsLevelFiltered(const QString &bookKey, const QString &parentKey,
                           const QString &filter);                                     // 17
QString unitRename(const QString &title, const QString &initials, const QString &key); // 18
QString unitPlace(const QString &key);                                                 // 19
QString unitsCloseGap(const QString &position, const QString &parentKey);              // 20
QString unitDelete(const QString &key);                                                // 21
QString unitChildren(const QString &key);                                              // 22
QString unitPosition(const QString &key);                                              // 23
QString unitSetPosition(const QString &key, const QString &position);                  // 24
QString unitMoveDown(const QString &key);                                              // 25
QString unitMoveUp(const QString &key);                                                // 26
QString unitLast(const QString &parentKey);                                            // 27
QString unitInsert(const QString &bookKey, const QString &parentKey, const QString &title,
                   const QString &initials, const QString &position);                  // 28
QString unitNewest();                                                                  // 29
QString unitSave(const QString &document, const QString &plainText, const QString &key); // 30

} // namespace sqlcat

// The process-wide connection every statement of the program runs on. The
// main window opens it when first shown and releases it when it closes.
extern TADOConnection *Adoconn;
