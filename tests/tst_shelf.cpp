// What the book page computes from the library, checked on a real library
// file without any widget: trees under the filter rules, deletes, moves,
// adds, renames and saves, and that a failing operation leaves nothing.
#include "library/shelf.h"
#include "store/catalogue.h"
#include "store/connection.h"
#include "store/escape.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QString dump(const QList<shelf::Node> &nodes)
{
    QStringList parts;
    for (const shelf::Node &n : nodes)
        parts << (n.children.isEmpty() ? n.caption : n.caption + "(" + dump(n.children) + ")");
    return parts.join(u' ');
}

} // namespace

class TstShelf : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;

    QStringList column(const QString &sql) { return firstColumn(db, sql); }
    void exec(const QString &sql) { Ztking::Datado(db, sql, QString()); }

    QString book(const QString &parent, const QString &name)
    {
        const shelf::Outcome o = shelf::addBook(db, parent, name);
        if (o.check != shelf::Check::Added)
            qFatal("book %s not added", qPrintable(name));
        return o.rec.Tid;
    }
    QString unit(const QString &bookKey, const QString &parent, const QString &title)
    {
        const shelf::Outcome o = shelf::addUnit(db, bookKey, parent, title);
        if (o.check != shelf::Check::Added)
            qFatal("unit %s not added", qPrintable(title));
        return o.rec.Tid;
    }
    // Positions of the rows of table under parent, in sibling order, as
    // "name=px".
    QStringList level(const QString &table, const QString &parent, const QString &extra = QString())
    {
        const QString name = table == QLatin1String("books") ? QStringLiteral("lbm") : QStringLiteral("utitle");
        return column("select " + name + "||'='||px from " + table + " where jb='" + parent + "'" + extra
                      + " order by px, id");
    }

    // A tree read one level at a time, one statement per node, with the
    // filter from the second level down.
    QList<shelf::Node> levelByLevel(const QString &jb, const QString &f, const QString &bookKey)
    {
        const bool units = !bookKey.isEmpty();
        QString sql;
        if (units)
            sql = f.isEmpty() || jb == "$" ? sqlcat::unitsLevel(bookKey, jb) : sqlcat::unitsLevelFiltered(bookKey, jb, f);
        else
            sql = f.isEmpty() || jb == "$" ? sqlcat::booksLevel(jb) : sqlcat::booksLevelFiltered(jb, f);
        QList<shelf::Node> nodes;
        for (auto q = Ztking::Dataread(db, sql, QString()); !q->Eof(); q->Next()) {
            shelf::Node n;
            n.rec.Tid = Ztking::Dataget(*q, "id");
            n.caption = Dataunesc(Ztking::Dataget(*q, units ? "utitle" : "lbm"));
            nodes << n;
        }
        for (shelf::Node &n : nodes)
            n.children = levelByLevel(n.rec.Tid, f, bookKey);
        return nodes;
    }

    // Deletes one item at a time: its gap closes, then its children go the
    // same way; a book's chapters leave their gaps closed too.
    void nodeByNodeDelete(TADOConnection *c, bool books, const QString &key)
    {
        auto q = Ztking::Dataread(c, books ? sqlcat::bookPlace(key) : sqlcat::unitPlace(key), QString());
        if (!q->Eof()) {
            const QString px = Ztking::Dataget(*q, "px"), jb = Ztking::Dataget(*q, "jb");
            Ztking::Datado(c, books ? sqlcat::booksCloseGap(px, jb) : sqlcat::unitsCloseGap(px, jb), QString());
        }
        Ztking::Datado(c, books ? sqlcat::bookDelete(key) : sqlcat::unitDelete(key), QString());
        if (books) {
            for (const QString &px : firstColumn(c, "select px from units where jb='$' and sc='" + key + "' order by px desc"))
                Ztking::Datado(c, sqlcat::unitsCloseGap(px, "$"), QString());
            Ztking::Datado(c, sqlcat::bookUnitsDelete(key), QString());
        }
        for (const QString &child :
             firstColumn(c, books ? sqlcat::bookChildren(key) : sqlcat::unitChildren(key)))
            nodeByNodeDelete(c, books, child);
    }

private slots:
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
    }
    void cleanup() { lib.reset(); }

    // The bookshelf: every category, then only matching items with their
    // matching descendants; a filter never breaks the statement.
    void bookFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("tree");
        QTest::newRow("empty lists all") << "" << "文学(abc(ab子 xy) Xab(zz) Tom's) 历史(Google) 空";
        QTest::newRow("ab, any case") << "AB" << "文学(abc(ab子) Xab) 历史 空";
        QTest::newRow("initials") << "wx" << "文学 历史 空";
        QTest::newRow("apostrophe") << "m's" << "文学(Tom's) 历史 空";
        QTest::newRow("go inside a name") << "oog" << "文学 历史(Google) 空";
        QTest::newRow("statement text is just text") << "'); drop table books;--" << "文学 历史 空";
        QTest::newRow("a go line") << "x\r\ngo\r\ny" << "文学 历史 空";
        QTest::newRow("percent keeps its meaning") << "a%c" << "文学(abc) 历史 空";
        QTest::newRow("underscore keeps its meaning") << "X_b" << "文学(Xab) 历史 空";
    }
    void bookFilter()
    {
        QFETCH(QString, filter);
        QFETCH(QString, tree);
        const QString lit = book("$", "文学");
        const QString hist = book("$", "历史");
        book("$", "空");
        const QString abc = book(lit, "abc");
        book(abc, "ab子");
        book(abc, "xy");
        book(book(lit, "Xab"), "zz");
        book(lit, "Tom's");
        book(hist, "Google");
        QCOMPARE(dump(shelf::bookTree(db, filter)), tree);
        QCOMPARE(column("select count(*) from books"), QStringList{"10"});
    }

    // Units: chapters always, below them titles, initials and page text,
    // pieces with apostrophes and "go" included.
    void unitFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("tree");
        QTest::newRow("empty") << "" << "第一章(ab页(深处) 日记(ab孙)) 第二章(旧页)";
        QTest::newRow("ab on three levels") << "ab" << "第一章(ab页) 第二章";
        QTest::newRow("title initials") << "rj" << "第一章(日记) 第二章";
        QTest::newRow("It's") << "It's" << "第一章(日记) 第二章";
        QTest::newRow("good") << "good" << "第一章(日记) 第二章";
        QTest::newRow("ood") << "ood" << "第一章(日记) 第二章";
        QTest::newRow("let's go home") << "let's go home" << "第一章(日记) 第二章";
        QTest::newRow("a page saved by the old rule") << "od day" << "第一章(日记) 第二章(旧页)";
    }
    void unitFilter()
    {
        QFETCH(QString, filter);
        QFETCH(QString, tree);
        const QString b = book(book("$", "类"), "书");
        const QString c1 = unit(b, "$", "第一章");
        const QString c2 = unit(b, "$", "第二章");
        unit(b, unit(b, c1, "ab页"), "深处");
        const QString diary = unit(b, c1, "日记");
        unit(b, diary, "ab孙");
        shelf::savePage(db, diary, "<html><body>It's a good day, let's go home</body></html>",
                        "It's a good day, let's go home");
        const QString old = unit(b, c2, "旧页");
        exec("update units set ucontxt='Its a od day, lets  home' where id=" + old);
        QCOMPARE(dump(shelf::unitTree(db, b, filter)), tree);
    }

    // A category with two books, each with chapters: every row under it
    // goes, and the gaps close, also in the chapters other books share.
    void deleteCategory()
    {
        const QString a = book("$", "甲");
        const QString gone = book("$", "乙");
        book("$", "丙");
        const QString other = book(a, "他书");
        const QString b1 = book(gone, "书一");
        const QString b2 = book(gone, "书二");
        book(b1, "子书");
        unit(other, "$", "他章1");
        const QString c = unit(b1, "$", "章1");
        unit(b1, c, "页");
        unit(b2, "$", "章2");
        unit(other, "$", "他章2");
        const QStringList removed = shelf::deleteBook(db, gone);
        QCOMPARE(removed.size(), 4);
        QCOMPARE(removed.first(), gone);
        QCOMPARE(level("books", "$"), (QStringList{"甲=1", "丙=2"}));
        QCOMPARE(column("select count(*) from books"), QStringList{"3"});
        QCOMPARE(column("select utitle from units order by id"), (QStringList{"他章1", "他章2"}));
        QCOMPARE(level("units", "$"), (QStringList{"他章1=1", "他章2=2"}));
        QVERIFY(shelf::deleteBook(db, gone).isEmpty());
    }

    void deleteUnitClosesGap()
    {
        const QString b = book(book("$", "类"), "书");
        const QString c = unit(b, "$", "章");
        QStringList pages;
        for (const char *t : {"一", "二", "三", "四"})
            pages << unit(b, c, QString::fromUtf8(t));
        unit(b, pages[1], "子");
        QCOMPARE(shelf::deleteUnit(db, pages[1]).size(), 2);
        QCOMPARE(level("units", c), (QStringList{"一=1", "三=2", "四=3"}));
    }

    // Moves among five siblings at 1..5 give what the arithmetic of
    // neighbours gives.
    void moveAmongSiblings_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("order");
        QTest::newRow("fourth onto second") << 3 << 1 << "a=1 d=2 b=3 c=4 e=5";
        QTest::newRow("second onto fourth") << 1 << 3 << "a=1 c=2 d=3 b=4 e=5";
        QTest::newRow("first onto last") << 0 << 4 << "b=1 c=2 d=3 e=4 a=5";
        QTest::newRow("last onto itself") << 4 << 4 << "a=1 b=2 c=3 d=4 e=5";
    }
    void moveAmongSiblings()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, order);
        const QString cat = book("$", "类");
        QStringList keys;
        for (const char *n : {"a", "b", "c", "d", "e"})
            keys << book(cat, QLatin1String(n));
        const shelf::Moved moved = shelf::moveBook(db, keys[from], keys[to]);
        QCOMPARE(moved.written.isEmpty(), from == to);
        QCOMPARE(level("books", cat).join(u' '), order);
        // What pages are told: every sibling in the order stored.
        if (from != to) {
            QCOMPARE(moved.parent, cat);
            QCOMPARE(moved.order, column("select id from books where jb='" + cat + "' order by px"));
        }
    }

    void moveRefusesOtherParents()
    {
        const QString a = book("$", "甲");
        const QString b = book("$", "乙");
        const QString inA = book(a, "x");
        QVERIFY(shelf::moveBook(db, inA, b).written.isEmpty());
        QCOMPARE(level("books", a), QStringList{"x=1"});
        QVERIFY(shelf::moveBook(db, inA, "999").written.isEmpty());
    }

    // Chapters of a book share one numbering with other books; a filter can
    // hide siblings; older data can hold equal positions. Siblings still end
    // in strict order, and other books' chapters keep theirs.
    void moveKeepsStrictOrder()
    {
        const QString b1 = book(book("$", "类"), "书一");
        const QString b2 = book("$", "书二");
        const QString x1 = unit(b1, "$", "x1");
        unit(b2, "$", "y1");
        const QString x2 = unit(b1, "$", "x2");
        unit(b2, "$", "y2");
        const QString x3 = unit(b1, "$", "x3");
        shelf::moveUnit(db, b1, x3, x1);
        QCOMPARE(level("units", "$", " and sc='" + b1 + "'"), (QStringList{"x3=1", "x1=3", "x2=5"}));
        QCOMPARE(level("units", "$", " and sc='" + b2 + "'"), (QStringList{"y1=2", "y2=4"}));
        exec("update units set px=3 where id=" + x2);
        shelf::moveUnit(db, b1, x3, x2);
        const QStringList after = level("units", "$", " and sc='" + b1 + "'");
        QCOMPARE(after.size(), 3);
        QCOMPARE(after.last().section(u'=', 0, 0), QStringLiteral("x3"));
        QSet<QString> positions;
        for (const QString &row : after)
            positions << row.section(u'=', 1);
        QCOMPARE(positions.size(), 3);
    }

    // With consecutive positions the move equals the neighbour arithmetic
    // of the tree as shown: the dragged item takes the target's position
    // and every item passed shifts by one.
    void moveMatchesArithmetic()
    {
        const QString cat = book("$", "类");
        QStringList keys;
        for (int i = 0; i < 12; ++i)
            keys << book(cat, QString::number(i));
        auto *rng = QRandomGenerator::global();
        for (int round = 0; round < 40; ++round) {
            QStringList order = column("select id from books where jb='" + cat + "' order by px");
            const int s = rng->bounded(12);
            const int t = rng->bounded(12);
            QMap<QString, int> expect;
            for (int i = 0; i < 12; ++i)
                expect[order[i]] = i + 1;
            expect[order[s]] = t + 1;
            for (int i = std::min(s, t); i <= std::max(s, t); ++i) {
                if (i != s)
                    expect[order[i]] += t < s ? 1 : -1;
            }
            shelf::moveBook(db, order[s], order[t]);
            for (auto it = expect.cbegin(); it != expect.cend(); ++it)
                QCOMPARE(column("select px from books where id=" + it.key()), QStringList{QString::number(it.value())});
        }
    }

    void addBook_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("under");
        QTest::addColumn<int>("check");
        QTest::addColumn<QString>("stored");
        QTest::newRow("new name") << "诗集" << "cat" << int(shelf::Check::Added) << "诗集=3";
        QTest::newRow("duplicate under one parent") << "旧书" << "cat" << int(shelf::Check::Duplicate) << "";
        QTest::newRow("same name elsewhere") << "旧书" << "other" << int(shelf::Check::Added) << "旧书=1";
        QTest::newRow("refused character") << "a/b" << "cat" << int(shelf::Check::BadName) << "";
        QTest::newRow("apostrophe is stored escaped") << "Tom's" << "cat" << int(shelf::Check::Added)
                                                      << "Tom&#8989s=3";
        QTest::newRow("empty name") << "" << "cat" << int(shelf::Check::Added) << "=3";
        QTest::newRow("parent gone") << "x" << "gone" << int(shelf::Check::ParentGone) << "";
    }
    void addBook()
    {
        QFETCH(QString, name);
        QFETCH(QString, under);
        QFETCH(int, check);
        QFETCH(QString, stored);
        QMap<QString, QString> parents{{"cat", book("$", "类")}, {"other", book("$", "另类")}, {"gone", "999"}};
        book(parents["cat"], "旧书");
        book(parents["cat"], "新书");
        const shelf::Outcome o = shelf::addBook(db, parents[under], name);
        QCOMPARE(int(o.check), check);
        if (stored.isEmpty()) {
            QCOMPARE(column("select count(*) from books"), QStringList{"4"});
            return;
        }
        QCOMPARE(column("select lbm||'='||px from books where id=" + o.rec.Tid), QStringList{stored});
        QCOMPARE(o.rec.Lbm, name);
        QCOMPARE(o.rec.Tjb, parents[under]);
    }

    // A chapter is numbered after every book's chapters, a first page 1;
    // equal titles are fine; a vanished parent or book adds nothing.
    void addUnit()
    {
        const QString b1 = book(book("$", "类"), "书一");
        const QString b2 = book("$", "书二");
        for (int i = 0; i < 7; ++i)
            unit(b2, "$", "章");
        const shelf::Outcome c = shelf::addUnit(db, b1, "$", "第一章");
        QCOMPARE(column("select px||sc||jb||ucpy||ucontxt from units where id=" + c.rec.Tid),
                 QStringList{"8" + b1 + "$"});
        QCOMPARE(c.rec.Tcon, QStringLiteral("<body style=\"font-family: 宋体; font-size: 10pt;margin:8px\"></body>"));
        const QString p = unit(b1, c.rec.Tid, "页");
        QCOMPARE(column("select px from units where id=" + p), QStringList{"1"});
        QCOMPARE(int(shelf::addUnit(db, b1, c.rec.Tid, "页").check), int(shelf::Check::Added));
        QCOMPARE(int(shelf::addUnit(db, b1, "999", "页").check), int(shelf::Check::ParentGone));
        QCOMPARE(int(shelf::addUnit(db, "999", "$", "页").check), int(shelf::Check::ParentGone));
        QCOMPARE(column("select count(*) from units"), QStringList{"10"});
    }

    void renameAndSave()
    {
        const QString cat = book("$", "类");
        shelf::renameBook(db, cat, "Tom's 历史");
        QCOMPARE(column("select lbm||'|'||lbmpy from books"), QStringList{"Tom&#8989s 历史|LS"});
        const QString page = unit(book(cat, "书"), "$", "页");
        shelf::renameUnit(db, page, "Go 日记");
        QCOMPARE(column("select utitle||'|'||utpy from units"), QStringList{"[G#o] 日记|RJ"});
        exec("update units set ucpy='x'");
        const QString html = "<html><body><p>It's a good day,\r\ngo home</p></body></html>";
        shelf::savePage(db, page, html, "It's a good day,\r\ngo home");
        QCOMPARE(column("select ucpy from units"), QStringList{""});
        QCOMPARE(column("select ucon from units"), QStringList{Dataesc(html)});
        QVERIFY(!column("select ucon from units").first().contains(u'\''));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, shelf::savePage(db, "999", html, "x"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, shelf::renameBook(db, "999", "x"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, shelf::renameUnit(db, "999", "x"));
    }

    // The trees and deletes that read and write whole subtrees at once give
    // what reading and writing node by node gives, on random libraries.
    void wholeTreesMatchNodeByNode()
    {
        auto *rng = QRandomGenerator::global();
        const QStringList words{"ab", "Ba", "甲乙", "go", "x'y", "丙"};
        auto word = [&] { return words[rng->bounded(int(words.size()))] + words[rng->bounded(int(words.size()))]; };
        QStringList books{"$"}, units;
        for (int i = 0; i < 60; ++i)
            books << book(books[rng->bounded(int(books.size()))], word() + QString::number(i));
        books.removeFirst();
        for (int i = 0; i < 200; ++i) {
            const QString b = books[rng->bounded(int(books.size()))];
            const QStringList mine = column("select id from units where sc='" + b + "'");
            const QString parent = mine.isEmpty() || rng->bounded(3) == 0 ? "$" : mine[rng->bounded(int(mine.size()))];
            units << unit(b, parent, word());
            shelf::savePage(db, units.last(), "<p>" + word() + "</p>", word());
        }
        for (const QString &f : {QString(), QStringLiteral("a"), QStringLiteral("甲"), QStringLiteral("Jy"),
                                 QStringLiteral("o"), QStringLiteral("'")}) {
            QCOMPARE(dump(shelf::bookTree(db, f)), dump(levelByLevel("$", f, {})));
            for (const QString &b : books.mid(0, 20))
                QCOMPARE(dump(shelf::unitTree(db, b, f)), dump(levelByLevel("$", f, b)));
        }
        const QString copy = lib->folder() + "/copy.mdb";
        exec("vacuum into '" + copy + "'");
        TADOConnection other;
        other.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy;
        other.Open();
        for (int i = 0; i < 12; ++i) {
            const bool ofBooks = i % 3 == 0;
            const QStringList keys = column(ofBooks ? "select id from books" : "select id from units");
            const QString key = keys[rng->bounded(int(keys.size()))];
            ofBooks ? shelf::deleteBook(db, key) : shelf::deleteUnit(db, key);
            nodeByNodeDelete(&other, ofBooks, key);
            for (const char *sql : {"select id||jb||px from books order by id", "select id||sc||jb||px from units order by id"})
                QCOMPARE(column(QLatin1String(sql)), firstColumn(&other, QLatin1String(sql)));
        }
    }

    // A statement that fails in the middle of an operation takes back every
    // statement of it.
    void failureLeavesNothing_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<int>("operation");
        QTest::newRow("delete with subtree")
            << "before delete on units when old.utitle='炸' begin select raise(abort, 'injected'); end" << 0;
        QTest::newRow("drag") << "before update of px on books when new.lbm='c' begin select raise(abort, 'injected'); end"
                              << 1;
        QTest::newRow("add with read-back")
            << "after insert on units begin update books set px=-1; select raise(abort, 'injected'); end" << 2;
        QTest::newRow("save") << "before update of ucon on units begin select raise(abort, 'injected'); end" << 3;
        // The engine's own page limit stands in for a full disk.
        QTest::newRow("save on a full disk") << "" << 3;
    }
    void failureLeavesNothing()
    {
        QFETCH(QString, trigger);
        QFETCH(int, operation);
        const QString cat = book("$", "类");
        const QString b = book(cat, "a");
        book(cat, "b");
        book(cat, "c");
        const QString c = unit(b, "$", "章");
        unit(b, c, "页");
        unit(b, c, "炸");
        const QStringList before = column("select id||jb||lbm||px from books order by id")
                                   + column("select id||jb||utitle||px from units order by id");
        const QStringList pages = column("select ucon from units order by id");
        if (trigger.isEmpty())
            column("pragma max_page_count=" + column("pragma page_count").first());
        else
            exec("create trigger injected " + trigger);
        switch (operation) {
        case 0:
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, shelf::deleteBook(db, cat));
            break;
        case 1:
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, shelf::moveBook(db, b, column("select id from books where lbm='c'").first()));
            break;
        case 2:
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, shelf::addUnit(db, b, c, "新"));
            break;
        default:
            QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                                     shelf::savePage(db, c, "<p>" + QString(2'000'000, u'字') + "</p>", "字"));
        }
        QCOMPARE(column("select ucon from units order by id"), pages);
        QCOMPARE(column("pragma quick_check"), QStringList{"ok"});
        QCOMPARE(column("select id||jb||lbm||px from books order by id")
                     + column("select id||jb||utitle||px from units order by id"),
                 before);
        QVERIFY(!db->InTransaction());
    }
};

QTEST_GUILESS_MAIN(TstShelf)
#include "tst_shelf.moc"
