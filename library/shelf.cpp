#include "library/shelf.h"

#include "store/bin.h"
#include "store/catalogue.h"
#include "store/drafts.h"
#include "store/history.h"
#include "store/pages.h"
#include "store/connection.h"
#include "store/escape.h"
#include "store/search.h"
#include "ztking/ztking.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <functional>

namespace shelf {

namespace {

using Query = std::unique_ptr<TADOQuery>;

Query read(TADOConnection *db, const QString &sql)
{
    return Ztking::Dataread(db, sql, QString());
}

int run(TADOConnection *db, const QString &sql)
{
    return Ztking::Datado(db, sql, QString())->RowsAffected();
}

// One transaction for the statements of one user operation: rolled back
// unless committed, so an operation that fails half way leaves nothing.
class Transaction
{
public:
    explicit Transaction(TADOConnection *db)
        : m_db(db)
    {
        m_db->BeginTrans();
    }
    ~Transaction()
    {
        if (m_committed || !m_db->InTransaction())
            return;
        // The failure that got us here is on its way to the report; a
        // rollback that fails too cannot add anything the reader can act on.
        try {
            m_db->RollbackTrans();
        } catch (const EDatabaseError &) {
        }
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit()
    {
        m_db->CommitTrans();
        m_committed = true;
    }

private:
    TADOConnection *m_db;
    bool m_committed = false;
};

QString field(const Query &q, const char *name)
{
    return Ztking::Dataget(*q, QLatin1String(name));
}

// The statements that differ between the bookshelf and the units.
struct Table
{
    std::function<QString(const QString &jb)> positions;
    QString (*place)(const QString &);
    QString (*closeGap)(const QString &, const QString &);
    QString (*subtree)(const QString &);
    QString (*remove)(const QStringList &);
    bool books;
};

Table booksTable()
{
    return {[](const QString &jb) { return sqlcat::booksLevelPositions(jb); }, sqlcat::bookPlace,
            sqlcat::booksCloseGap, sqlcat::bookSubtree, sqlcat::booksDelete, true};
}

Table unitsTable(const QString &bookKey)
{
    return {[bookKey](const QString &jb) { return sqlcat::unitsLevelPositions(bookKey, jb); }, sqlcat::unitPlace,
            sqlcat::unitsCloseGap, sqlcat::unitSubtree, sqlcat::unitsDelete, false};
}

// Runs sql built for keys a slice at a time, so that no statement grows
// with the size of what is deleted.
void inSlices(TADOConnection *db, const QStringList &keys, const std::function<QString(const QStringList &)> &sql)
{
    constexpr qsizetype slice = 500;
    for (qsizetype i = 0; i < keys.size(); i += slice)
        run(db, sql(keys.mid(i, slice)));
}

// Deletes an item with everything under it. Only the item's own siblings
// move up: the siblings of anything below it go with it.
QStringList deleteItem(TADOConnection *db, const Table &t, const QString &key)
{
    const bool books = t.books;
    Transaction tx(db);
    {
        const Query place = read(db, t.place(key));
        if (place->Eof())
            return {};
        run(db, t.closeGap(QString::number(field(place, "px").toInt()), field(place, "jb")));
    }
    QStringList gone;
    for (const Query q = read(db, t.subtree(key)); !q->Eof(); q->Next())
        gone << field(q, "id");
    bin::keep(db, books, gone, QDateTime::currentDateTimeUtc());
    if (books) {
        // Chapters of every book share one numbering: the gaps these books'
        // chapters leave close.
        QList<qint64> chapters;
        for (const Query q = read(db, sqlcat::chaptersOfBooks(gone)); !q->Eof(); q->Next())
            chapters << field(q, "px").toLongLong();
        pages::closeChapterGaps(db, chapters);
        inSlices(db, gone, sqlcat::unitsOfBooksDelete);
    }
    inSlices(db, gone, t.remove);
    tx.commit();
    return gone;
}

Moved moveItem(TADOConnection *db, const Table &t, const QString &dragged, const QString &target)
{
    if (dragged == target)
        return {};
    Transaction tx(db);
    QString jb;
    {
        const Query d = read(db, t.place(dragged));
        const Query g = read(db, t.place(target));
        if (d->Eof() || g->Eof() || field(d, "jb") != field(g, "jb"))
            return {};
        jb = field(d, "jb");
    }
    QStringList order;
    QList<int> positions;
    for (const Query q = read(db, t.positions(jb)); !q->Eof(); q->Next()) {
        order << field(q, "id");
        positions << field(q, "px").toInt();
    }
    const qsizetype from = order.indexOf(dragged);
    const qsizetype to = order.indexOf(target);
    if (from < 0 || to < 0)
        return {};
    const QList<int> before = positions;
    const QStringList was = order;
    order.move(from, to);
    // The same set of positions in the new order; where older data left two
    // siblings on one position, the later one steps past it.
    for (qsizetype i = 1; i < positions.size(); ++i)
        positions[i] = std::max(positions[i], positions[i - 1] + 1);
    QHash<QString, int> oldPosition;
    for (qsizetype i = 0; i < was.size(); ++i)
        oldPosition.insert(was.at(i), before.at(i));
    QList<Placed> written;
    QList<std::pair<qint64, int>> places;
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (was.at(i) == order.at(i) && before.at(i) == positions.at(i))
            continue;
        written.append({order.at(i), positions.at(i)});
        if (positions.at(i) != oldPosition.value(order.at(i)))
            places.append({order.at(i).toLongLong(), positions.at(i)});
    }
    pages::place(db, t.books, places);
    tx.commit();
    return {written, jb, order};
}

// One row of a tree as read in a single statement, in sibling order.
struct Row
{
    QString id, jb, name;
};

// The level under jb and every level below it, from rows of the whole
// table: the top level is never filtered, below it only the rows matching
// stay, and a row that does not hides everything under it.
QList<Node> buildTree(const QList<Row> &rows, const QString &jb, const QSet<QString> *matching)
{
    QHash<QString, QList<const Row *>> children;
    for (const Row &r : rows)
        children[r.jb].append(&r);
    std::function<QList<Node>(const QString &)> level = [&](const QString &parent) {
        QList<Node> nodes;
        for (const Row *r : children.value(parent)) {
            if (matching && parent != QLatin1String("$") && !matching->contains(r->id))
                continue;
            Node n;
            n.rec = {r->id, parent, r->name, QString()};
            n.caption = r->name;
            n.children = level(r->id);
            nodes.append(std::move(n));
        }
        return nodes;
    };
    return level(jb);
}

// The position after the last sibling under parentKey, 1 for the first.
int nextPosition(TADOConnection *db, const QString &sql)
{
    const Query q = read(db, sql);
    return (q->Eof() ? 0 : field(q, "px").toInt()) + 1;
}

bool exists(TADOConnection *db, const QString &sql)
{
    return !read(db, sql)->Eof();
}

} // namespace

QList<Node> bookTree(TADOConnection *db, const QString &filter, const QString &jb)
{
    QList<Row> rows;
    for (const Query q = read(db, sqlcat::booksAll()); !q->Eof(); q->Next())
        rows.append({field(q, "id"), field(q, "jb"), Dataunesc(field(q, "lbm"))});
    const QSet<QString> matching = filter.isEmpty() ? QSet<QString>() : search::matchingBooks(db, filter);
    return buildTree(rows, jb, filter.isEmpty() ? nullptr : &matching);
}

QList<Node> unitTree(TADOConnection *db, const QString &bookKey, const QString &filter, const QString &jb)
{
    QList<Row> rows;
    for (const Query q = read(db, sqlcat::unitsOfBook(bookKey)); !q->Eof(); q->Next())
        rows.append({field(q, "id"), field(q, "jb"), Dataunesc(field(q, "utitle"))});
    const QSet<QString> matching = filter.isEmpty() ? QSet<QString>() : search::matchingUnits(db, bookKey, filter);
    return buildTree(rows, jb, filter.isEmpty() ? nullptr : &matching);
}

QString pageDocument(TADOConnection *db, const QString &key)
{
    const Query q = read(db, sqlcat::unitDocument(key));
    if (q->Eof())
        throw EDatabaseError(QStringLiteral("此页已不在书库中（可能已在其他书卷页删除）。"));
    return Dataunesc(field(q, "ucon"));
}

QStringList deleteBook(TADOConnection *db, const QString &key)
{
    return deleteItem(db, booksTable(), key);
}

QStringList deleteUnit(TADOConnection *db, const QString &key)
{
    return deleteItem(db, unitsTable(QString()), key);
}

Moved moveBook(TADOConnection *db, const QString &dragged, const QString &target)
{
    return moveItem(db, booksTable(), dragged, target);
}

Moved moveUnit(TADOConnection *db, const QString &bookKey, const QString &dragged, const QString &target)
{
    return moveItem(db, unitsTable(bookKey), dragged, target);
}

Outcome addBook(TADOConnection *db, const QString &parentKey, const QString &name)
{
    const QString n = Dataesc(name);
    if (!Ztking::wjjhf(n))
        return {Check::BadName, {}};
    Transaction tx(db);
    if (parentKey != QLatin1String("$") && !exists(db, sqlcat::bookPosition(parentKey)))
        return {Check::ParentGone, {}};
    if (exists(db, sqlcat::bookNamed(n, parentKey)))
        return {Check::Duplicate, {}};
    const int px = nextPosition(db, sqlcat::bookLast(parentKey));
    run(db, sqlcat::bookInsert(parentKey, n, Ztking::Getpy(n), QString::number(px)));
    const Query q = read(db, sqlcat::bookNamed(n, parentKey));
    if (q->Eof())
        throw EDatabaseError(QStringLiteral("新添加的“%1”没有写入书库").arg(name));
    Outcome out{Check::Added, {field(q, "id"), field(q, "jb"), Dataunesc(field(q, "lbm")), QString()}};
    tx.commit();
    return out;
}

Outcome addUnit(TADOConnection *db, const QString &bookKey, const QString &parentKey, const QString &title)
{
    const QString n = Dataesc(title);
    if (!Ztking::wjjhf(n))
        return {Check::BadName, {}};
    Transaction tx(db);
    if (!exists(db, sqlcat::bookPosition(bookKey))
        || (parentKey != QLatin1String("$") && !exists(db, sqlcat::unitPosition(parentKey))))
        return {Check::ParentGone, {}};
    const int px = nextPosition(db, sqlcat::unitLast(parentKey));
    run(db, sqlcat::unitInsert(bookKey, parentKey, n, Ztking::Getpy(n), QString::number(px)));
    const Query q = read(db, sqlcat::unitNewest());
    if (q->Eof())
        throw EDatabaseError(QStringLiteral("新添加的“%1”没有写入书库").arg(title));
    Outcome out{Check::Added,
                {field(q, "id"), field(q, "jb"), Dataunesc(field(q, "utitle")), Dataunesc(field(q, "ucon"))}};
    tx.commit();
    return out;
}

namespace {

void requireRow(int rows, const QString &what)
{
    if (rows == 0)
        throw EDatabaseError(QStringLiteral("“%1”已不在书库中（可能已在其他书卷页删除），没有保存。").arg(what));
}

} // namespace

void renameBook(TADOConnection *db, const QString &key, const QString &name)
{
    const QString n = Dataesc(name);
    requireRow(run(db, sqlcat::bookRename(n, Ztking::Getpy(n), key)), name);
}

void renameUnit(TADOConnection *db, const QString &key, const QString &title)
{
    const QString n = Dataesc(title);
    requireRow(run(db, sqlcat::unitRename(n, Ztking::Getpy(n), key)), title);
}

void savePage(TADOConnection *db, const QString &key, const QString &html, const QString &bodyText)
{
    Transaction tx(db);
    // The document replaced becomes a version of the page; a clean save
    // ends its draft.
    history::keepPrevious(db, key, QDateTime::currentDateTimeUtc());
    // The plain text is kept escaped like every stored text, so that the
    // filter finds apostrophes and "go" in it.
    requireRow(pages::save(db, key, html, bodyText), QStringLiteral("此页"));
    drafts::drop(db, key);
    tx.commit();
}

} // namespace shelf
