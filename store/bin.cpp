#include "store/bin.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/escape.h"
#include "store/pages.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <sqlite3.h>

namespace bin {

namespace {

using engine::Statement;

QString stamp(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODate);
}

// The names of an item and everything above it, outermost first: a
// bookshelf item's categories from sql over books, a unit's chapters over
// units. The levels are few; the bound keeps a damaged loop from spinning.
QStringList pathTo(sqlite3 *h, const char *sql, QString key)
{
    QStringList path;
    Statement st(h, sql);
    for (int depth = 0; depth < 256 && key != QLatin1String("$"); ++depth) {
        st.bind(1, key.toLongLong());
        if (!st.step())
            break;
        path.prepend(Dataunesc(st.text(1)));
        key = st.text(0);
        st.reset();
    }
    return path;
}

QStringList bookPath(sqlite3 *h, const QString &key)
{
    return pathTo(h, "SELECT jb, lbm FROM books WHERE id = ?", key);
}

QStringList unitPath(sqlite3 *h, const QString &key)
{
    return pathTo(h, "SELECT jb, utitle FROM units WHERE id = ?", key);
}

QString inList(const QStringList &keys)
{
    QStringList whole;
    for (const QString &k : keys)
        whole << QString::number(k.toLongLong());
    return whole.join(u',');
}

// Frees a place among the siblings under parent for an item that stood at
// position, and returns the place. Positions stay strict and in order; of
// the siblings before the place and those from it on, the fewer step aside.
// Chapters of every book share one numbering, so bringing back an early
// chapter of a large library would otherwise rewrite thousands of pages.
// Past the last sibling, or where the old place is gone, the item goes last.
qint64 openPlace(sqlite3 *h, bool books, const QString &parent, qint64 position, bool last)
{
    const QByteArray table = books ? "books" : "units";
    const QByteArray counting = "SELECT coalesce(max(px), 0), count(*) FILTER (WHERE px < ?2),"
                                " count(*) FILTER (WHERE px >= ?2), count(*) FILTER (WHERE px = ?2) FROM "
                                + table + " WHERE jb = ?1";
    Statement count(h, counting.constData());
    count.bind(1, parent).bind(2, position);
    count.step();
    const qint64 end = count.integer(0) + 1;
    if (last || position > end)
        return end;
    if (count.integer(3) == 0)
        return position;
    const bool down = count.integer(1) < count.integer(2);
    const QByteArray shifting =
        "UPDATE " + table + (down ? " SET px = px - 1 WHERE jb = ? AND px < ?" : " SET px = px + 1 WHERE jb = ? AND px >= ?");
    Statement shift(h, shifting.constData());
    shift.bind(1, parent).bind(2, position);
    shift.run();
    return down ? position - 1 : position;
}

} // namespace

QStringList picturesOf(const QString &storedDocument)
{
    static const QRegularExpression ref(QStringLiteral("#Tuku\u00B7vostrelan#/([^\"'<>\\s)]+)"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QString doc = Dataunesc(storedDocument);
    QStringList names;
    for (auto it = ref.globalMatch(doc); it.hasNext();) {
        const QString name = QUrl::fromPercentEncoding(it.next().captured(1).toUtf8());
        if (!name.contains(QLatin1String("..")) && !names.contains(name))
            names << name;
    }
    return names;
}

void keep(TADOConnection *db, bool books, const QStringList &keys, const QDateTime &now)
{
    if (keys.isEmpty())
        return;
    engine::inTransaction(db, [&](sqlite3 *h) {
        const QString root = keys.first();
        QString name, parent, book, place;
        qint64 position = 0;
        {
            Statement st(h, books ? "SELECT lbm, jb, '' , px FROM books WHERE id = ?"
                                  : "SELECT utitle, jb, sc, px FROM units WHERE id = ?");
            st.bind(1, root.toLongLong());
            if (!st.step())
                return 0;
            name = st.text(0);
            parent = st.text(1);
            book = st.text(2);
            position = st.integer(3);
        }
        const QStringList shelf = bookPath(h, books ? parent : book);
        const QStringList where = books ? shelf : shelf + unitPath(h, parent);
        place = where.isEmpty() ? QStringLiteral("书卷") : where.join(QStringLiteral(" › "));
        const QString bookName = books || shelf.isEmpty() ? QString() : shelf.last();
        const QString all = inList(keys);
        // A book takes its units along.
        const QString unitsOf = books ? "sc IN ('" + QStringList(keys).join(QStringLiteral("','")) + "')"
                                      : "id IN (" + all + ")";
        qint64 pages = 0;
        {
            Statement st(h, ("SELECT count(*) FROM units WHERE " + unitsOf).toUtf8().constData());
            st.step();
            pages = st.integer(0);
        }
        Statement item(h, "INSERT INTO bin_items (kind, root, name, parent, book, position, place, deleted_at, pages, "
                          "book_name) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        item.bind(1, qint64(books ? 0 : 1)).bind(2, root.toLongLong()).bind(3, name).bind(4, parent).bind(5, book);
        item.bind(6, position).bind(7, place).bind(8, stamp(now)).bind(9, pages).bind(10, bookName);
        item.run();
        const qint64 id = engine::firstValue(h, "SELECT last_insert_rowid()").toLongLong();
        const QByteArray n = QByteArray::number(id);
        if (books)
            engine::exec(h, ("INSERT INTO bin_books SELECT " + n + ", id, jb, lbm, lbmpy, px FROM books WHERE id IN ("
                             + all.toUtf8() + ")")
                                .constData());
        engine::exec(h, ("INSERT INTO bin_units SELECT " + n
                         + ", id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px FROM units WHERE " + unitsOf.toUtf8())
                            .constData());
        QSet<QString> pictures;
        Statement docs(h, ("SELECT ucon FROM units WHERE " + unitsOf + " AND instr(ucon, '#Tuku')").toUtf8().constData());
        while (docs.step()) {
            for (const QString &p : picturesOf(docs.text(0)))
                pictures.insert(p);
        }
        Statement pic(h, "INSERT INTO bin_pictures (item, name) VALUES (?, ?)");
        for (const QString &p : pictures) {
            pic.bind(1, id).bind(2, p);
            pic.run();
        }
        return 0;
    });
}

QList<Item> items(TADOConnection *db)
{
    QList<Item> out;
    Statement st(engine::openHandle(db), "SELECT id, kind, root, name, place, deleted_at, pages FROM bin_items "
                               "ORDER BY deleted_at DESC, id DESC");
    while (st.step()) {
        Item i;
        i.id = st.integer(0);
        i.isBook = st.integer(1) == 0;
        i.key = QString::number(st.integer(2));
        i.name = Dataunesc(st.text(3));
        i.place = st.text(4);
        i.deletedAt = QDateTime::fromString(st.text(5), Qt::ISODate);
        i.pages = int(st.integer(6));
        out << i;
    }
    return out;
}

Restored restore(TADOConnection *db, qint64 itemId, const std::function<QString(const QString &)> &initials)
{
    return engine::inTransaction(db, [&](sqlite3 *h) {
        Restored r;
        QString name, parent, book, bookName;
        qint64 position = 0;
        {
            Statement st(h, "SELECT kind, root, name, parent, book, position, book_name FROM bin_items WHERE id = ?");
            st.bind(1, itemId);
            if (!st.step())
                throw EDatabaseError(QStringLiteral("回收站中已没有这一项。"));
            r.isBook = st.integer(0) == 0;
            r.key = QString::number(st.integer(1));
            name = st.text(2);
            parent = st.text(3);
            book = st.text(4);
            position = st.integer(5);
            bookName = st.text(6);
        }
        const auto exists = [h](const char *sql, const QString &key) {
            Statement st(h, sql);
            st.bind(1, key.toLongLong());
            return st.step();
        };
        const QByteArray n = QByteArray::number(itemId);
        QString newBook = book;
        if (r.isBook) {
            r.moved = parent != QLatin1String("$") && !exists("SELECT 1 FROM books WHERE id = ?", parent);
            if (r.moved)
                parent = QStringLiteral("$");
            position = openPlace(h, true, parent, position, r.moved);
            Statement clash(h, "SELECT 1 FROM books WHERE jb = ? AND lbm = ?");
            clash.bind(1, parent).bind(2, name);
            r.renamed = clash.step();
            engine::exec(h, ("INSERT INTO books (id, jb, lbm, lbmpy, px) SELECT id, jb, lbm, lbmpy, px FROM bin_books "
                             "WHERE item = " + n)
                                .constData());
            const QString newName = r.renamed ? name + QStringLiteral("（恢复）") : name;
            Statement put(h, "UPDATE books SET jb = ?, px = ?, lbm = ?, lbmpy = ? WHERE id = ?");
            put.bind(1, parent).bind(2, position).bind(3, newName).bind(4, initials(newName)).bind(5, r.key.toLongLong());
            put.run();
            r.bookKey = r.key;
        } else {
            const bool bookThere = exists("SELECT 1 FROM books WHERE id = ?", book);
            if (!bookThere) {
                // Units without their book come back under a new category
                // named after it, at the end of the bookshelf.
                const QString stored =
                    Dataesc((bookName.isEmpty() ? QStringLiteral("恢复的内容") : bookName) + QStringLiteral("（恢复）"));
                Statement add(h, "INSERT INTO books (jb, lbm, lbmpy, px) "
                                 "SELECT '$', ?, ?, coalesce(max(px), 0) + 1 FROM books WHERE jb = '$'");
                add.bind(1, stored).bind(2, initials(stored));
                add.run();
                newBook = engine::firstValue(h, "SELECT last_insert_rowid()");
                r.moved = true;
            }
            if (parent != QLatin1String("$") && !exists("SELECT 1 FROM units WHERE id = ?", parent)) {
                parent = QStringLiteral("$");
                r.moved = true;
            }
            position = openPlace(h, false, parent, position, r.moved);
            engine::exec(h, ("INSERT INTO units (id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px) "
                             "SELECT id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px FROM bin_units WHERE item = " + n)
                                .constData());
            Statement put(h, "UPDATE units SET jb = ?, px = ? WHERE id = ?");
            put.bind(1, parent).bind(2, position).bind(3, r.key.toLongLong());
            put.run();
            if (newBook != book) {
                Statement move(h, "UPDATE units SET sc = ? WHERE id IN (SELECT id FROM bin_units WHERE item = ?)");
                move.bind(1, newBook).bind(2, itemId);
                move.run();
            }
            r.bookKey = newBook;
        }
        // A book comes back with its units. Chapters of every book share
        // one numbering, which closed up behind them: it opens again at
        // their places before they are put back.
        if (r.isBook) {
            QList<qint64> places;
            {
                Statement st(h, ("SELECT px FROM bin_units WHERE item = " + n + " AND jb = '$'").constData());
                while (st.step())
                    places << st.integer(0);
            }
            pages::openChapterGaps(db, places);
            engine::exec(h, ("INSERT INTO units (id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px) "
                             "SELECT id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px FROM bin_units WHERE item = " + n)
                                .constData());
        }
        r.parent = parent;
        // The item leaves the bin now. Its rows, tens of megabytes for a
        // large chapter, stay unreachable until sweep() removes them beside
        // the window: a restore writes little more than what it puts back.
        engine::exec(h, ("DELETE FROM bin_pictures WHERE item = " + n).constData());
        engine::exec(h, ("DELETE FROM bin_items WHERE id = " + n).constData());
        return r;
    });
}

QStringList remove(TADOConnection *db, const QList<qint64> &ids, const QString &pictureFolder)
{
    if (ids.isEmpty())
        return {};
    QStringList whole;
    for (qint64 id : ids)
        whole << QString::number(id);
    const QByteArray list = whole.join(u',').toUtf8();
    QStringList candidates = engine::inTransaction(db, [&](sqlite3 *h) {
        QStringList names;
        Statement st(h, ("SELECT DISTINCT name FROM bin_pictures WHERE item IN (" + list + ")").constData());
        while (st.step())
            names << st.text(0);
        for (const char *table : {"bin_books", "bin_units", "bin_pictures"})
            engine::exec(h, (QByteArray("DELETE FROM ") + table + " WHERE item IN (" + list + ")").constData());
        engine::exec(h, ("DELETE FROM bin_items WHERE id IN (" + list + ")").constData());
        return names;
    });
    if (candidates.isEmpty() || pictureFolder.isEmpty())
        return {};
    // A picture goes only when no page and no other item of the bin uses it.
    sqlite3 *h = engine::openHandle(db);
    QSet<QString> used;
    {
        Statement st(h, "SELECT name FROM bin_pictures");
        while (st.step())
            used.insert(st.text(0));
        Statement docs(h, "SELECT ucon FROM units WHERE instr(ucon, '#Tuku')");
        while (docs.step()) {
            for (const QString &p : picturesOf(docs.text(0)))
                used.insert(p);
        }
    }
    QStringList removed;
    const QDir folder(pictureFolder);
    for (const QString &name : candidates) {
        if (used.contains(name))
            continue;
        // Only files inside the library folder, never through a link.
        const QFileInfo file(folder.filePath(name));
        if (file.isFile() && !file.isSymLink()
            && file.canonicalFilePath().startsWith(folder.canonicalPath() + u'/') && QFile::remove(file.filePath()))
            removed << name;
    }
    return removed;
}

int expire(const QString &library, const QString &pictureFolder, const QDateTime &now, int days)
{
    TADOConnection db;
    db.ConnectionString = TADOConnection::JetConnectionString(library);
    db.Open();
    const QList<qint64> old = olderThan(&db, now, days);
    remove(&db, old, pictureFolder);
    // Slices short enough that a write of the window's never waits long.
    while (sweep(&db, 200) > 0) {
    }
    return int(old.size());
}

qint64 sweep(TADOConnection *db, qint64 most)
{
    return engine::inTransaction(db, [&](sqlite3 *h) {
        qint64 removed = 0;
        for (const char *table : {"bin_units", "bin_books"}) {
            Statement st(h, (QByteArray("DELETE FROM ") + table + " WHERE rowid IN (SELECT rowid FROM " + table
                             + " WHERE item NOT IN (SELECT id FROM bin_items) LIMIT ?)")
                                .constData());
            st.bind(1, most);
            st.run();
            removed += sqlite3_changes(h);
        }
        return removed;
    });
}

QList<qint64> olderThan(TADOConnection *db, const QDateTime &now, int days)
{
    QList<qint64> ids;
    Statement st(engine::openHandle(db), "SELECT id FROM bin_items WHERE deleted_at < ?");
    st.bind(1, stamp(now.addDays(-days)));
    while (st.step())
        ids << st.integer(0);
    return ids;
}

} // namespace bin
