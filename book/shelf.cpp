#include "book/shelf.h"

#include "store/catalogue.h"
#include "store/connection.h"
#include "store/escape.h"
#include "ztking/ztking.h"

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
    std::function<QString(const QString &jb)> level;
    QString (*place)(const QString &);
    QString (*closeGap)(const QString &, const QString &);
    QString (*remove)(const QString &);
    QString (*children)(const QString &);
    QString (*setPosition)(const QString &, const QString &);
};

Table booksTable()
{
    return {[](const QString &jb) { return sqlcat::booksLevel(jb); }, sqlcat::bookPlace, sqlcat::booksCloseGap,
            sqlcat::bookDelete, sqlcat::bookChildren, sqlcat::bookSetPosition};
}

Table unitsTable(const QString &bookKey)
{
    return {[bookKey](const QString &jb) { return sqlcat::unitsLevel(bookKey, jb); }, sqlcat::unitPlace,
            sqlcat::unitsCloseGap, sqlcat::unitDelete, sqlcat::unitChildren, sqlcat::unitSetPosition};
}

// Removes one item, closes the gap it leaves and then removes its children,
// the parent before its children as the library has always done.
void deleteTree(TADOConnection *db, const Table &t, const QString &key, bool books, QStringList &gone)
{
    {
        const Query place = read(db, t.place(key));
        if (!place->Eof()) {
            const int px = field(place, "px").toInt();
            run(db, t.closeGap(QString::number(px), field(place, "jb")));
        }
    }
    if (run(db, t.remove(key)) > 0)
        gone << key;
    if (books) {
        // Chapters of every book share one numbering: the gaps this book's
        // chapters leave close, from the last one down so that each
        // position read is still the one stored.
        QList<int> chapters;
        for (const Query q = read(db, sqlcat::unitsLevel(key, QStringLiteral("$"))); !q->Eof(); q->Next())
            chapters.prepend(field(q, "px").toInt());
        for (int px : chapters)
            run(db, sqlcat::unitsCloseGap(QString::number(px), QStringLiteral("$")));
        run(db, sqlcat::bookUnitsDelete(key));
    }
    QStringList children;
    for (const Query q = read(db, t.children(key)); !q->Eof(); q->Next())
        children << field(q, "id");
    for (const QString &child : children)
        deleteTree(db, t, child, books, gone);
}

QStringList deleteItem(TADOConnection *db, const Table &t, const QString &key, bool books)
{
    Transaction tx(db);
    QStringList gone;
    deleteTree(db, t, key, books, gone);
    tx.commit();
    return gone;
}

QList<Placed> moveItem(TADOConnection *db, const Table &t, const QString &dragged, const QString &target)
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
    for (const Query q = read(db, t.level(jb)); !q->Eof(); q->Next()) {
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
    QList<Placed> written;
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (was.at(i) == order.at(i) && before.at(i) == positions.at(i))
            continue;
        run(db, t.setPosition(order.at(i), QString::number(positions.at(i))));
        written.append({order.at(i), positions.at(i)});
    }
    tx.commit();
    return written;
}

// The level under jb, read with the statement for its parent, and every
// level below it, depth first: the top level is never filtered, and an item
// the filter hides hides everything under it.
QList<Node> loadTree(TADOConnection *db, const QString &jb, const std::function<QString(const QString &)> &statement,
                     const std::function<Thgo(const Query &, const QString &)> &record)
{
    QList<Node> nodes;
    for (const Query q = read(db, statement(jb)); !q->Eof(); q->Next()) {
        Node n;
        n.rec = record(q, jb);
        n.caption = n.rec.Lbm;
        nodes.append(std::move(n));
    }
    for (Node &n : nodes)
        n.children = loadTree(db, n.rec.Tid, statement, record);
    return nodes;
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
    return loadTree(
        db, jb,
        [&filter](const QString &parent) {
            return filter.isEmpty() || parent == QLatin1String("$") ? sqlcat::booksLevel(parent)
                                                                    : sqlcat::booksLevelFiltered(parent, filter);
        },
        [](const Query &q, const QString &parent) {
            return Thgo{field(q, "id"), parent, Dataunesc(field(q, "lbm")), QString()};
        });
}

QList<Node> unitTree(TADOConnection *db, const QString &bookKey, const QString &filter, const QString &jb)
{
    return loadTree(
        db, jb,
        [&](const QString &parent) {
            return filter.isEmpty() || parent == QLatin1String("$")
                       ? sqlcat::unitsLevel(bookKey, parent)
                       : sqlcat::unitsLevelFiltered(bookKey, parent, filter);
        },
        [](const Query &q, const QString &parent) {
            return Thgo{field(q, "id"), parent, Dataunesc(field(q, "utitle")), Dataunesc(field(q, "ucon"))};
        });
}

QStringList deleteBook(TADOConnection *db, const QString &key)
{
    return deleteItem(db, booksTable(), key, true);
}

QStringList deleteUnit(TADOConnection *db, const QString &key)
{
    return deleteItem(db, unitsTable(QString()), key, false);
}

QList<Placed> moveBook(TADOConnection *db, const QString &dragged, const QString &target)
{
    return moveItem(db, booksTable(), dragged, target);
}

QList<Placed> moveUnit(TADOConnection *db, const QString &bookKey, const QString &dragged, const QString &target)
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
    // The plain text is kept escaped like every stored text, so that the
    // filter finds apostrophes and "go" in it.
    requireRow(run(db, sqlcat::unitSave(Dataesc(html), Dataesc(bodyText), key)), QStringLiteral("此页"));
}

} // namespace shelf
