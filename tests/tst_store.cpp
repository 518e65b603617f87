// The library store on a real file: the catalogue's texts, every statement
// run for real, the position rules, the dialect, the plans, and opening.
#include "store/catalogue.h"
#include "store/connection.h"
#include "store/dialect.h"
#include "store/engine.h"
#include "store/escape.h"
#include "store/pages.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <sqlite3.h>

namespace {

QString jetString(const QString &path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
}

// Rows of a statement as "col=value" lists, for compact comparisons.
QStringList rows(TADOConnection *c, const QString &sql, const QStringList &cols)
{
    auto q = Ztking::Dataread(c, sql, QString());
    QStringList out;
    for (; !q->Eof(); q->Next()) {
        QStringList vals;
        for (const QString &col : cols)
            vals << Ztking::Dataget(*q, col);
        out << vals.join(u'|');
    }
    return out;
}

void run(TADOConnection *c, const QString &sql)
{
    Ztking::Datado(c, sql, QString());
}

QString scalar(TADOConnection *c, const QString &sql, const QString &col)
{
    auto q = Ztking::Dataread(c, sql, QString());
    return q->Eof() ? QStringLiteral("<none>") : Ztking::Dataget(*q, col);
}

} // namespace

class TstStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *conn = nullptr;

    // Adds an item the way the add dialogs do: next position after the
    // siblings, then the insert. Returns the new key.
    QString addBook(const QString &parent, const QString &name)
    {
        const QString last = scalar(conn, sqlcat::bookLast(parent), QStringLiteral("px"));
        const int px = last == QLatin1String("<none>") ? 1 : last.toInt() + 1;
        run(conn, sqlcat::bookInsert(parent, Dataesc(name), Ztking::Getpy(name), QString::number(px)));
        return scalar(conn, sqlcat::bookNamed(Dataesc(name), parent), QStringLiteral("id"));
    }

    QString addUnit(const QString &book, const QString &parent, const QString &title)
    {
        const QString last = scalar(conn, sqlcat::unitLast(parent), QStringLiteral("px"));
        const int px = last == QLatin1String("<none>") ? 1 : last.toInt() + 1;
        run(conn, sqlcat::unitInsert(book, parent, Dataesc(title), Ztking::Getpy(title), QString::number(px)));
        return scalar(conn, sqlcat::unitNewest(), QStringLiteral("id"));
    }

    // Deletes a bookshelf item as the bookshelf does: close the gap, delete
    // the item and its units, then its children recursively.
    void deleteBook(const QString &key)
    {
        QString px, jb;
        {
            auto q = Ztking::Dataread(conn, sqlcat::bookPlace(key), QString());
            px = Ztking::Dataget(*q, QStringLiteral("px"));
            jb = Ztking::Dataget(*q, QStringLiteral("jb"));
        }
        run(conn, sqlcat::booksCloseGap(px, jb));
        deleteBookTree(key);
    }
    void deleteBookTree(const QString &key)
    {
        run(conn, sqlcat::bookDelete(key));
        run(conn, sqlcat::bookUnitsDelete(key));
        const QStringList children = rows(conn, sqlcat::bookChildren(key), {QStringLiteral("id")});
        for (const QString &child : children)
            deleteBookTree(child);
    }

private slots:
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        conn = lib->connection();
    }
    void cleanup() { lib.reset(); }

    // Large commits reach the library file while it stays open: the
    // journal is folded in behind them, and a fold never loses a change.
    void journalFoldedWhileOpen()
    {
        sqlite3 *h = engineHandle(*conn);
        engine::exec(h, "CREATE TABLE bulk (x BLOB)");
        const qint64 before = QFileInfo(lib->path()).size();
        for (int i = 0; i < 3; ++i)
            engine::exec(h, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200)"
                            " INSERT INTO bulk SELECT randomblob(3000) FROM n");
        QTRY_VERIFY(QFileInfo(lib->path()).size() > before + 3 * 1200 * 3000);
        QCOMPARE(engine::firstValue(h, "SELECT count(*) FROM bulk"), QStringLiteral("3600"));
        QCOMPARE(engine::firstValue(h, "PRAGMA quick_check"), QStringLiteral("ok"));
    }

    // The save with bound values writes what the catalogue's save statement
    // writes, and finds the same rows.
    void pageSaveAsStatement_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key"); // "*" for the page's own
        QTest::newRow("quotes and go") << "<p>Go on, it's 'GO' go</p>" << "Go on, it's" << "*";
        QTest::newRow("unicode") << "<p>Ünïcode 中文 ΣΙΣΥΦΟΣ</p>" << "中文\r\n" << "*";
        QTest::newRow("empty") << QString() << QString() << "*";
        QTest::newRow("leading zero") << "<p>x</p>" << "x" << "0*";
        QTest::newRow("not a key") << "<p>x</p>" << "x" << "x";
    }
    void pageSaveAsStatement()
    {
        QFETCH(QString, document);
        QFETCH(QString, text);
        QFETCH(QString, key);
        const QString book = addBook(QStringLiteral("$"), QStringLiteral("书"));
        const QString byStatement = addUnit(book, QStringLiteral("$"), QStringLiteral("甲"));
        const QString bound = addUnit(book, QStringLiteral("$"), QStringLiteral("乙"));
        const auto keyOf = [&](const QString &own) { return QString(key).replace(u'*', own); };
        const int statementRows =
            Ztking::Datado(conn, sqlcat::unitSave(Dataesc(document), Dataesc(text), keyOf(byStatement)), QString())->RowsAffected();
        QCOMPARE(pages::save(conn, keyOf(bound), document, text), statementRows);
        const auto row = [&](const QString &k) {
            return rows(conn, "select ucon, ucontxt, ucpy from units where id=" + k,
                        {QStringLiteral("ucon"), QStringLiteral("ucontxt"), QStringLiteral("ucpy")});
        };
        QCOMPARE(row(bound), row(byStatement));
    }

    void catalogueTexts_data()
    {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1 level") << sqlcat::booksLevel(QStringLiteral("$"))
                                 << QStringLiteral("Select * from books where cstr(jb)='$' order by cint(px)");
        // The filters match names as written and keep the typed text inside
        // its quotes.
        QTest::newRow("2 filtered") << sqlcat::booksLevelFiltered(QStringLiteral("7"), QStringLiteral("it's"))
                                    << QStringLiteral("Select * from books where cstr(jb)='7' and (%1 like '%it''s%' or "
                                                      "lbmpy like '%it''s%') order by cint(px)")
                                           .arg(QStringLiteral("replace(replace(replace(replace(replace(lbm,'&#8989',''''),'[G#O]','GO'),'[G#o]','Go'),'[g#O]','gO'),'[g#o]','go')"));
        QTest::newRow("5 close gap, trailing blank")
            << sqlcat::booksCloseGap(QStringLiteral("2"), QStringLiteral("$"))
            << QStringLiteral("update books set px=cint(px)-1 where cint(px)>cint('2') and jb='$' ");
        QTest::newRow("13 named, trailing blank") << sqlcat::bookNamed(QStringLiteral("书卷"), QStringLiteral("3"))
                                                  << QStringLiteral("Select * from books where cstr(lbm)='书卷' and cstr(jb)='3' ");
        QTest::newRow("15 insert") << sqlcat::bookInsert(QStringLiteral("$"), QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("1"))
                                   << QStringLiteral("Insert into books (jb,lbm,lbmpy,px)values('$','a','A','1')");
        QTest::newRow("17 unit filter") << sqlcat::unitsLevelFiltered(QStringLiteral("4"), QStringLiteral("9"), QStringLiteral("x"))
                                        << QStringLiteral("Select * from units where cstr(sc)='4' and cstr(jb)='9' and (%1 like "
                                                          "'%x%' or utpy like '%x%' or %2 like '%x%' ) order by cint(px)")
                                               .arg(QStringLiteral("replace(replace(replace(replace(replace(utitle,'&#8989',''''),'[G#O]','GO'),'[G#o]','Go'),'[g#O]','gO'),'[g#o]','go')"), QStringLiteral("replace(replace(replace(replace(replace(ucontxt,'&#8989',''''),'[G#O]','GO'),'[G#o]','Go'),'[g#O]','gO'),'[g#o]','go')"));
        QTest::newRow("28 unit insert")
            << sqlcat::unitInsert(QStringLiteral("4"), QStringLiteral("$"), QStringLiteral("章"), QStringLiteral("Z"), QStringLiteral("8"))
            << QStringLiteral("Insert into units (sc,jb,utitle,utpy,ucon,ucontxt,ucpy,px)values('4','$','章','Z','<body "
                              "style=\"font-family: 宋体; font-size: 10pt;margin:8px\"></body>','','','8')");
        QTest::newRow("29 newest") << sqlcat::unitNewest() << QStringLiteral("Select top 1 * from units order by id desc");
        QTest::newRow("30 save") << sqlcat::unitSave(QStringLiteral("<p>x</p>"), QStringLiteral("x"), QStringLiteral("5"))
                                 << QStringLiteral("Update units set ucon='<p>x</p>',ucontxt='x',ucpy='' where cstr(id)='5'");
    }
    void catalogueTexts()
    {
        QFETCH(QString, built);
        QFETCH(QString, expected);
        QCOMPARE(built.toUtf8(), expected.toUtf8());
    }

    // Positions: the first child is 1, the next 2; deleting closes the gap;
    // the top-level units of all books draw from one sequence.
    void positionRules()
    {
        const QString cat = addBook(QStringLiteral("$"), QStringLiteral("分类"));
        QCOMPARE(scalar(conn, sqlcat::bookPosition(cat), QStringLiteral("px")), QStringLiteral("1"));
        QStringList keys;
        for (const char *n : {"甲", "乙", "丙", "丁"})
            keys << addBook(cat, QString::fromUtf8(n));
        QCOMPARE(rows(conn, sqlcat::booksLevel(cat), {QStringLiteral("lbm"), QStringLiteral("px")}),
                 QStringList({"甲|1", "乙|2", "丙|3", "丁|4"}));
        const QString child = addBook(keys[1], QStringLiteral("乙下"));
        const QString unit = addUnit(keys[1], QStringLiteral("$"), QStringLiteral("章一"));
        Q_UNUSED(unit);

        deleteBook(keys[1]);
        QCOMPARE(rows(conn, sqlcat::booksLevel(cat), {QStringLiteral("lbm"), QStringLiteral("px")}),
                 QStringList({"甲|1", "丙|2", "丁|3"}));
        QCOMPARE(scalar(conn, sqlcat::bookPosition(child), QStringLiteral("px")), QStringLiteral("<none>"));
        QCOMPARE(rows(conn, sqlcat::unitsLevel(keys[1], QStringLiteral("$")), {QStringLiteral("id")}), QStringList());

        // Two books: top-level units share one sequence across books.
        const QString a = keys[0], b = keys[2];
        addUnit(a, QStringLiteral("$"), QStringLiteral("a1"));
        addUnit(a, QStringLiteral("$"), QStringLiteral("a2"));
        for (int i = 0; i < 5; ++i)
            addUnit(b, QStringLiteral("$"), QStringLiteral("b%1").arg(i));
        // 章一 held 1 and went with its book; a1, a2 took 1, 2 and b's five 3 to 7.
        const QString a3 = addUnit(a, QStringLiteral("$"), QStringLiteral("a3"));
        QCOMPARE(scalar(conn, sqlcat::unitPosition(a3), QStringLiteral("px")), QStringLiteral("8"));
        // Pages under a chapter count from 1 again.
        const QString page = addUnit(a, a3, QStringLiteral("页"));
        QCOMPARE(scalar(conn, sqlcat::unitPosition(page), QStringLiteral("px")), QStringLiteral("1"));
    }

    // Every statement of the catalogue runs on a real file with its meaning.
    void everyStatementRuns()
    {
        TADOConnection *c = conn;
        const QString cat = addBook(QStringLiteral("$"), QStringLiteral("文学"));
        const QString b1 = addBook(cat, QStringLiteral("红楼梦"));
        const QString b2 = addBook(cat, QStringLiteral("Tom's go-cart"));
        const QString b3 = addBook(cat, QStringLiteral("西游记"));

        // 1, 2: levels, plain and filtered by name or initials, any case.
        QCOMPARE(rows(c, sqlcat::booksLevel(QStringLiteral("$")), {QStringLiteral("lbm")}), QStringList({"文学"}));
        QCOMPARE(rows(c, sqlcat::booksLevelFiltered(cat, QStringLiteral("hlm")), {QStringLiteral("lbm")}),
                 QStringList({"红楼梦"}));
        QCOMPARE(rows(c, sqlcat::booksLevelFiltered(cat, QStringLiteral("游")), {QStringLiteral("lbm")}),
                 QStringList({"西游记"}));
        // 3: rename, stored escaped and read back unescaped.
        run(c, sqlcat::bookRename(Dataesc(QStringLiteral("It's GO time")), QString(), b2));
        QCOMPARE(Dataunesc(scalar(c, sqlcat::bookNamed(Dataesc(QStringLiteral("It's GO time")), cat), QStringLiteral("lbm"))),
                 QStringLiteral("It's GO time"));
        // 4: place.
        QCOMPARE(rows(c, sqlcat::bookPlace(b2), {QStringLiteral("px"), QStringLiteral("jb")}), QStringList({"2|" + cat}));
        // 9 to 12: drag: b3 to position 1, passing b1 and b2 down.
        QCOMPARE(scalar(c, sqlcat::bookPosition(b3), QStringLiteral("px")), QStringLiteral("3"));
        run(c, sqlcat::bookSetPosition(b3, QStringLiteral("1")));
        run(c, sqlcat::bookMoveDown(b1));
        run(c, sqlcat::bookMoveDown(b2));
        QCOMPARE(rows(c, sqlcat::booksLevel(cat), {QStringLiteral("id")}), QStringList({b3, b1, b2}));
        run(c, sqlcat::bookMoveUp(b2));
        QCOMPARE(scalar(c, sqlcat::bookPosition(b2), QStringLiteral("px")), QStringLiteral("2"));
        run(c, sqlcat::bookMoveDown(b2));
        // 14: top 1 by descending position.
        QCOMPARE(scalar(c, sqlcat::bookLast(cat), QStringLiteral("id")), b2);
        // 8: children.
        QCOMPARE(rows(c, sqlcat::bookChildren(cat), {QStringLiteral("id")}).size(), 3);

        // Units: 16 to 30.
        const QString ch = addUnit(b1, QStringLiteral("$"), QStringLiteral("第一回"));
        const QString p1 = addUnit(b1, ch, QStringLiteral("甄士隐"));
        const QString p2 = addUnit(b1, ch, QStringLiteral("贾雨村"));
        QCOMPARE(scalar(c, sqlcat::unitNewest(), QStringLiteral("id")), p2);
        QCOMPARE(scalar(c, sqlcat::unitNewest(), QStringLiteral("ucon")), sqlcat::NewPageDocument);
        QCOMPARE(scalar(c, sqlcat::unitNewest(), QStringLiteral("ucpy")), QString());
        QCOMPARE(rows(c, sqlcat::unitsLevel(b1, ch), {QStringLiteral("utitle")}), QStringList({"甄士隐", "贾雨村"}));
        run(c, sqlcat::unitSave(Dataesc(QStringLiteral("<p>Go on, it's fine</p>")), QStringLiteral("Ünïcode ΣΙΣΥΦΟΣ text"), p1));
        QCOMPARE(Dataunesc(scalar(c, "select ucon from units where cstr(id)='" + p1 + "'", QStringLiteral("ucon"))),
                 QStringLiteral("<p>Go on, it's fine</p>"));
        // 17: title, initials or page text, matched without regard to case
        // in every cased script.
        QCOMPARE(rows(c, sqlcat::unitsLevelFiltered(b1, ch, QStringLiteral("σισυφος")), {QStringLiteral("id")}), QStringList({p1}));
        QCOMPARE(rows(c, sqlcat::unitsLevelFiltered(b1, ch, QStringLiteral("ÜNÏ")), {QStringLiteral("id")}), QStringList({p1}));
        QCOMPARE(rows(c, sqlcat::unitsLevelFiltered(b1, ch, QStringLiteral("jyc")), {QStringLiteral("id")}), QStringList({p2}));
        QCOMPARE(rows(c, sqlcat::unitsLevelFiltered(b1, ch, QStringLiteral("贾_村")), {QStringLiteral("id")}), QStringList({p2}));
        run(c, sqlcat::unitRename(Dataesc(QStringLiteral("甄士隐梦幻识通灵")), Ztking::Getpy(QStringLiteral("甄士隐梦幻识通灵")), p1));
        QCOMPARE(scalar(c, sqlcat::unitPosition(p1), QStringLiteral("px")), QStringLiteral("1"));
        QCOMPARE(rows(c, sqlcat::unitPlace(p2), {QStringLiteral("px"), QStringLiteral("jb")}), QStringList({"2|" + ch}));
        run(c, sqlcat::unitSetPosition(p2, QStringLiteral("1")));
        run(c, sqlcat::unitMoveDown(p1));
        QCOMPARE(rows(c, sqlcat::unitsLevel(b1, ch), {QStringLiteral("id")}), QStringList({p2, p1}));
        run(c, sqlcat::unitMoveUp(p1));
        QCOMPARE(scalar(c, sqlcat::unitLast(ch), QStringLiteral("px")), QStringLiteral("1"));
        run(c, sqlcat::unitMoveDown(p1));
        QCOMPARE(rows(c, sqlcat::unitChildren(ch), {QStringLiteral("id")}).size(), 2);
        // 19 to 21: delete p2 (position 1) and close the gap.
        run(c, sqlcat::unitsCloseGap(QStringLiteral("1"), ch));
        run(c, sqlcat::unitDelete(p2));
        QCOMPARE(rows(c, sqlcat::unitsLevel(b1, ch), {QStringLiteral("id"), QStringLiteral("px")}), QStringList({p1 + "|1"}));
        // 5 to 7: delete b1 with its units.
        deleteBook(b1);
        QCOMPARE(rows(c, sqlcat::unitChildren(ch), {QStringLiteral("id")}), QStringList());
        QCOMPARE(rows(c, sqlcat::booksLevel(cat), {QStringLiteral("id"), QStringLiteral("px")}),
                 QStringList({b3 + "|1", b2 + "|2"}));
        // Keys keep growing: a deleted key is never handed out again.
        const QString again = addUnit(b3, QStringLiteral("$"), QStringLiteral("新章"));
        QVERIFY(again.toInt() > p2.toInt());
    }

    void engineErrors_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("apostrophe ending a value") << QStringLiteral("select * from books where lbm='it's'");
        QTest::newRow("empty position for cint") << QStringLiteral("select * from books where cint('')=1");
        QTest::newRow("text position for cint") << QStringLiteral("select * from books where cint('abc')=1");
        QTest::newRow("missing table") << QStringLiteral("select * from shelves");
        QTest::newRow("missing column") << QStringLiteral("select nope from books");
        QTest::newRow("two statements in one") << QStringLiteral("select * from books; drop table units");
    }
    void engineErrors()
    {
        QFETCH(QString, sql);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, Ztking::Dataread(conn, sql, QString()));
        // The library is unharmed.
        QCOMPARE(scalar(conn, QStringLiteral("select count(*) as n from units"), QStringLiteral("n")), QStringLiteral("0"));
    }

    void dialect_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("value");
        QTest::newRow("cint rounds halves to even") << QStringLiteral("select cint('2.5') as v") << QStringLiteral("2");
        QTest::newRow("cint of a blank-padded number") << QStringLiteral("select cint(' 12 ') as v") << QStringLiteral("12");
        QTest::newRow("cstr of a number") << QStringLiteral("select cstr(15) as v") << QStringLiteral("15");
        QTest::newRow("null reads empty") << QStringLiteral("select null as v") << QString();
        QTest::newRow("like ignores Cyrillic case") << QStringLiteral("select 'ПРИВЕТ мир' like '%привет%' as v") << QStringLiteral("1");
        QTest::newRow("like underscore is one char") << QStringLiteral("select 'abc' like 'a_c' as v") << QStringLiteral("1");
        QTest::newRow("like underscore not two") << QStringLiteral("select 'abbc' like 'a_c' as v") << QStringLiteral("0");
        QTest::newRow("like percent inside") << QStringLiteral("select '红楼梦' like '%红%梦%' as v") << QStringLiteral("1");
        QTest::newRow("select top with order") << QStringLiteral("select top 1 x as v from (select 1 as x union select 2) order by x desc")
                                               << QStringLiteral("2");
    }
    void dialect()
    {
        QFETCH(QString, sql);
        QFETCH(QString, value);
        QCOMPARE(scalar(conn, sql, QStringLiteral("v")), value);
    }

    // What the engine runs: the conversions around columns give way to the
    // plain columns the indexes hold; quoted values stay as written.
    void engineText_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("engine");
        QTest::newRow("level") << sqlcat::booksLevel(QStringLiteral("$"))
                               << QStringLiteral("Select * from books where jb='$' order by px");
        QTest::newRow("key as number") << sqlcat::unitMoveUp(QStringLiteral("12"))
                                       << QStringLiteral("update units set px=px-1 where id=12");
        QTest::newRow("a key no number spells stays")
            << QStringLiteral("select * from books where cstr(id)='012'")
            << QStringLiteral("select * from books where cstr(id)='012'");
        QTest::newRow("top, any case and blanks")
            << QStringLiteral("select top 1 * from units where CSTR( jb )='7' order by Cint(px) desc")
            << QStringLiteral("select * from units where jb='7' order by px desc LIMIT 1");
        QTest::newRow("quoted values untouched")
            << QStringLiteral("Update books set lbm='cstr(id)=''5'' cint(px)',lbmpy='\"cstr(jb)\"' where cstr(id)='5'")
            << QStringLiteral("Update books set lbm='cstr(id)=''5'' cint(px)',lbmpy='\"cstr(jb)\"' where id=5");
        QTest::newRow("conversions of values stay") << QStringLiteral("select cint('2.5') as v, cstr(px) as w, cint(lbm) as x")
                                                    << QStringLiteral("select cint('2.5') as v, cstr(px) as w, cint(lbm) as x");
    }
    void engineText()
    {
        QFETCH(QString, sql);
        QFETCH(QString, engine);
        QCOMPARE(jetToEngine(sql), engine);
    }

    void datagetMissingColumnFails()
    {
        auto q = Ztking::Dataread(conn, QStringLiteral("select 1 as a"), QString());
        QCOMPARE(Ztking::Dataget(*q, QStringLiteral("A")), QStringLiteral("1"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, Ztking::Dataget(*q, QStringLiteral("b")));
    }

    void emptyResultIsEofAtOnce()
    {
        auto q = Ztking::Dataread(conn, sqlcat::booksLevel(QStringLiteral("nobody")), QString());
        QVERIFY(q->Active());
        QVERIFY(q->Eof());
    }

    // Every statement but the two filters runs on an index.
    void plansUseIndexes_data()
    {
        QTest::addColumn<QString>("sql");
        const QString k = QStringLiteral("5"), p = QStringLiteral("3");
        const QList<QPair<const char *, QString>> all = {
            {"1", sqlcat::booksLevel(k)},
            {"3", sqlcat::bookRename(k, k, k)},
            {"4", sqlcat::bookPlace(k)},
            {"5", sqlcat::booksCloseGap(p, k)},
            {"6", sqlcat::bookDelete(k)},
            {"7", sqlcat::bookUnitsDelete(k)},
            {"8", sqlcat::bookChildren(k)},
            {"9", sqlcat::bookPosition(k)},
            {"10", sqlcat::bookSetPosition(k, p)},
            {"11", sqlcat::bookMoveDown(k)},
            {"12", sqlcat::bookMoveUp(k)},
            {"13", sqlcat::bookNamed(k, k)},
            {"14", sqlcat::bookLast(k)},
            {"16", sqlcat::unitsLevel(k, k)},
            {"18", sqlcat::unitRename(k, k, k)},
            {"19", sqlcat::unitPlace(k)},
            {"20", sqlcat::unitsCloseGap(p, k)},
            {"21", sqlcat::unitDelete(k)},
            {"22", sqlcat::unitChildren(k)},
            {"23", sqlcat::unitPosition(k)},
            {"24", sqlcat::unitSetPosition(k, p)},
            {"25", sqlcat::unitMoveDown(k)},
            {"26", sqlcat::unitMoveUp(k)},
            {"27", sqlcat::unitLast(k)},
            {"29", sqlcat::unitNewest()},
            {"30", sqlcat::unitSave(k, k, k)},
        };
        for (const auto &[name, sql] : all)
            QTest::newRow(name) << sql;
    }
    void plansUseIndexes()
    {
        QFETCH(QString, sql);
        sqlite3_stmt *st = nullptr;
        const QByteArray q = ("EXPLAIN QUERY PLAN " + jetToEngine(sql)).toUtf8();
        QCOMPARE(sqlite3_prepare_v2(engineHandle(*conn), q.constData(), -1, &st, nullptr), SQLITE_OK);
        QStringList plan;
        while (sqlite3_step(st) == SQLITE_ROW)
            plan << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 3)));
        sqlite3_finalize(st);
        QVERIFY(!plan.isEmpty());
        for (const QString &step : plan) {
            // The newest unit is the last row in key order: the engine reads
            // one row from the end of the table, which its plan calls a scan.
            if (sql == sqlcat::unitNewest() && step == QLatin1String("SCAN units"))
                continue;
            QVERIFY2(!step.startsWith(QLatin1String("SCAN")), qPrintable(step + " in " + sql));
            QVERIFY2(!step.contains(QLatin1String("TEMP B-TREE")), qPrintable(step + " in " + sql));
        }
    }

    void connectionSettings()
    {
        QCOMPARE(scalar(conn, QStringLiteral("pragma journal_mode"), QStringLiteral("journal_mode")), QStringLiteral("wal"));
        QCOMPARE(scalar(conn, QStringLiteral("pragma synchronous"), QStringLiteral("synchronous")), QStringLiteral("2"));
        QCOMPARE(scalar(conn, QStringLiteral("pragma application_id"), QStringLiteral("application_id")),
                 QString::number(TADOConnection::ApplicationId));
        QCOMPARE(scalar(conn, QStringLiteral("pragma user_version"), QStringLiteral("user_version")),
                 QString::number(TADOConnection::SchemaVersion));
        QVERIFY(scalar(conn, QStringLiteral("pragma busy_timeout"), QStringLiteral("timeout")).toInt() > 0);
    }

    void transactions()
    {
        conn->BeginTrans();
        addBook(QStringLiteral("$"), QStringLiteral("暂存"));
        conn->RollbackTrans();
        QCOMPARE(rows(conn, sqlcat::booksLevel(QStringLiteral("$")), {QStringLiteral("id")}), QStringList());
        conn->BeginTrans();
        addBook(QStringLiteral("$"), QStringLiteral("留存"));
        conn->CommitTrans();
        QCOMPARE(rows(conn, sqlcat::booksLevel(QStringLiteral("$")), {QStringLiteral("lbm")}), QStringList({"留存"}));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, conn->CommitTrans());
    }

    // Opening never creates a file, and names the file it could not use.
    void openRefuses_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("mentions");
        QTest::addColumn<QString>("detail");
        QTest::newRow("missing file") << QByteArray() << false << QStringLiteral("找不到书库文件") << QString();
        QTest::newRow("not a database") << QByteArray(4096, 'x') << true << QStringLiteral("不是能识别的书库文件")
                                        << QStringLiteral("not a database");
        QTest::newRow("empty file") << QByteArray() << true << QStringLiteral("不是 Velloran 的书库") << QString();
    }
    void openRefuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        QFETCH(QString, mentions);
        QFETCH(QString, detail);
        const QString bad = QDir(lib->folder()).filePath(QStringLiteral("bad %1.mdb").arg(QTest::currentDataTag()));
        if (exists) {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        TADOConnection c;
        c.ConnectionString = jetString(bad);
        try {
            c.setConnected(true);
            QFAIL("opened a file that is no library");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(bad), qPrintable(e.message()));
            QVERIFY2(e.message().contains(mentions), qPrintable(e.message()));
            // The reader's words are Chinese; the engine's stay as the detail.
            const QString words = QString(e.message()).remove(bad).remove(QStringLiteral("Velloran"));
            QVERIFY2(!words.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3}"))), qPrintable(e.message()));
            QVERIFY2(e.detail().contains(detail), qPrintable(e.detail()));
        }
        QVERIFY(!c.Connected());
        QCOMPARE(QFile::exists(bad), exists);
    }

    void createNeverOverwrites()
    {
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, TADOConnection::CreateLibrary(lib->path()));
        addBook(QStringLiteral("$"), QStringLiteral("仍在"));
        QCOMPARE(rows(conn, sqlcat::booksLevel(QStringLiteral("$")), {QStringLiteral("lbm")}), QStringList({"仍在"}));
    }

    // A whole page of any size goes in and comes back word for word.
    void largePageRoundTrip()
    {
        const QString b = addBook(QStringLiteral("$"), QStringLiteral("大"));
        const QString u = addUnit(b, QStringLiteral("$"), QStringLiteral("长页"));
        QString doc;
        while (doc.size() < 3'000'000)
            doc += QStringLiteral("<p>锦瑟无端五十弦，一弦一柱思华年。'go' GO gO</p>\r\n");
        run(conn, sqlcat::unitSave(Dataesc(doc), QString(), u));
        auto q = Ztking::Dataread(conn, QStringLiteral("select ucon from units where cstr(id)='") + u + "'", QString());
        QCOMPARE(Dataunesc(Ztking::Dataget(*q, QStringLiteral("ucon"))), doc);
    }
};

QTEST_GUILESS_MAIN(TstStore)
#include "tst_store.moc"
