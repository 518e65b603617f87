// The full-text index against a plain scan of the text: the tree filters
// find exactly what their own statements find, the whole-library search
// exactly the items that hold every word, whatever is typed; and the index
// stays sound and in step through every writer, a failing one, another
// tool's and the upgrade.
#include "library/shelf.h"
#include "store/backup.h"
#include "store/catalogue.h"
#include "store/connection.h"
#include "store/escape.h"
#include "store/search.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <sqlite3.h>

namespace {

// The pieces random texts are made of: Chinese, both letter cases and both
// widths, apostrophes, "go" in its spellings, the pattern characters and
// what the index's query language would read as its own.
const QStringList Pieces{"中", "文", "书", "中文", "go", "Go", "GO", "'", "%", "_", "a", "B", "ood", " ",
                         "ｇｏ", "Ａ", "\"", "*", "(", ":", "-", "OR", "NEAR", "山海", "x"};

QString randomText(QRandomGenerator &rng, int most)
{
    QString t;
    const int n = 1 + int(rng.bounded(most));
    for (int i = 0; i < n; ++i)
        t += Pieces.at(int(rng.bounded(int(Pieces.size()))));
    return t;
}

// The oracle's notion of "the same letter": case and width folded, written
// apart from the index's own.
QString folded(const QString &s)
{
    QString out = s;
    for (QChar &c : out) {
        if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
            c = QChar(char16_t(c.unicode() - 0xFEE0));
        else if (c.unicode() == 0x3000)
            c = u' ';
    }
    return out.toCaseFolded();
}

QSet<QString> asSet(const QStringList &l)
{
    return QSet<QString>(l.begin(), l.end());
}

} // namespace

class TstSearch : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;
    QStringList bookKeys;

    QStringList column(const QString &sql) { return firstColumn(db, sql); }

    // Books under two categories and units on three levels with random
    // names, titles and page text, written through the program.
    void layRandom(quint32 seed, int units)
    {
        QRandomGenerator rng(seed);
        QStringList cats{shelf::addBook(db, "$", "类甲").rec.Tid, shelf::addBook(db, "$", "类乙").rec.Tid};
        for (int i = 0; i < 6; ++i) {
            const shelf::Outcome o = shelf::addBook(db, cats.at(i % 2), QString::number(i) + randomText(rng, 4));
            if (o.check == shelf::Check::Added)
                bookKeys << o.rec.Tid;
        }
        QStringList parents{"$"};
        for (int i = 0; i < units; ++i) {
            const QString book = bookKeys.at(i % bookKeys.size());
            const QString parent = i < 6 ? QStringLiteral("$") : parents.at(int(rng.bounded(int(parents.size()))));
            const QString owner = parent == "$" ? book : column("select sc from units where id=" + parent).first();
            const shelf::Outcome o = shelf::addUnit(db, owner, parent, randomText(rng, 4));
            QVERIFY(o.check == shelf::Check::Added || o.check == shelf::Check::BadName);
            if (o.check != shelf::Check::Added)
                continue;
            parents << o.rec.Tid;
            const QString text = randomText(rng, 30);
            shelf::savePage(db, o.rec.Tid, "<p>" + text.toHtmlEscaped() + "</p>", text);
        }
    }

    // What the search must find for query: every unit and book in which each
    // word stands in one of its texts, read straight from the tables.
    QSet<QString> scanned(const QStringList &words)
    {
        QSet<QString> keys;
        if (words.isEmpty())
            return keys;
        const auto holdsAll = [&](const QStringList &texts) {
            for (const QString &w : words) {
                bool in = false;
                for (const QString &t : texts)
                    in = in || folded(t).contains(folded(w));
                if (!in)
                    return false;
            }
            return true;
        };
        for (auto q = Ztking::Dataread(db, "select id, utitle, utpy, ucontxt from units", QString()); !q->Eof(); q->Next()) {
            if (holdsAll({Dataunesc(Ztking::Dataget(*q, "utitle")), Ztking::Dataget(*q, "utpy"),
                          Dataunesc(Ztking::Dataget(*q, "ucontxt"))}))
                keys.insert("u" + Ztking::Dataget(*q, "id"));
        }
        for (auto q = Ztking::Dataread(db, "select id, lbm, lbmpy from books", QString()); !q->Eof(); q->Next()) {
            if (holdsAll({Dataunesc(Ztking::Dataget(*q, "lbm")), Ztking::Dataget(*q, "lbmpy")}))
                keys.insert("b" + Ztking::Dataget(*q, "id"));
        }
        return keys;
    }

    // The items a search found; ordered tells whether books came first,
    // then units with a word in the title, then the rest, and whether the
    // total counted them all.
    QSet<QString> searched(const QString &query, bool *ordered = nullptr)
    {
        const search::Results r = search::find(db, query, 0, 1'000'000);
        QSet<QString> keys;
        int rank = 0;
        bool ok = r.total == r.hits.size();
        for (const search::Hit &h : r.hits) {
            keys.insert((h.isBook ? "b" : "u") + h.key);
            const int now = h.isBook ? 0 : h.titleHit ? 1 : 2;
            ok = ok && now >= rank;
            rank = now;
        }
        if (ordered)
            *ordered = ok;
        return keys;
    }

    // The index agrees with the scan on the filters of every book and on a
    // set of searches, and passes its own check.
    void agreesWithScan(const QStringList &queries)
    {
        QVERIFY(search::sound(db));
        for (const QString &q : queries) {
            bool ordered = false;
            QCOMPARE(searched(q, &ordered), scanned(search::queryWords(q)));
            QVERIFY(ordered);
            // Screen after screen, the results come in the order of the
            // whole list, each once, with the same total.
            const search::Results whole = search::find(db, q, 0, 1'000'000);
            QStringList paged;
            for (int from = 0; from < whole.total + 7; from += 7) {
                const search::Results page = search::find(db, q, from, 7);
                QCOMPARE(page.total, whole.total);
                for (const search::Hit &h : page.hits)
                    paged << h.key;
            }
            QStringList all;
            for (const search::Hit &h : whole.hits)
                all << h.key;
            QCOMPARE(paged, all);
            QCOMPARE(search::matchingBooks(db, q) & asSet(column("select id from books where jb<>'$'")),
                     asSet(column(sqlcat::booksMatching(q))));
            for (const QString &b : bookKeys)
                QCOMPARE(search::matchingUnits(db, b, q) & asSet(column("select id from units where jb<>'$'")),
                         asSet(column(sqlcat::unitsMatching(b, q))));
        }
    }

private slots:
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
        bookKeys.clear();
    }
    void cleanup() { lib.reset(); }

    // Random libraries and random filters and queries made of the same
    // pieces: the index finds what the scans find.
    void randomAgreesWithScan_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 4u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void randomAgreesWithScan()
    {
        QFETCH(quint32, seed);
        layRandom(seed, 60);
        // Keys far apart, as in a library with a long history; the index
        // follows the keys changed.
        if (seed % 2 == 0)
            Ztking::Datado(db, "update units set id = id + 50000 where id > 30", QString());
        QRandomGenerator rng(seed * 7919);
        QStringList queries;
        for (int i = 0; i < 40; ++i)
            queries << randomText(rng, 3);
        agreesWithScan(queries);
    }

    // Whatever is typed is text: the query language's own words and marks,
    // unclosed quotes, a lone apostrophe. Phrases and words as the reader
    // means them.
    void queries_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("two words") << "中文 go" << QStringList{"中文", "go"};
        QTest::newRow("a phrase") << "\"go 中\" ood" << QStringList{"go 中", "ood"};
        QTest::newRow("full-width quotes") << "“书 a”" << QStringList{"书 a"};
        QTest::newRow("unclosed quote") << "\"中 文" << QStringList{"中 文"};
        QTest::newRow("widths and cases") << "ＧＯ Ａ" << QStringList{"go", "a"};
        QTest::newRow("ideographic blank") << "中　文" << QStringList{"中", "文"};
        for (const char *hostile : {"\"", "*", "(", ")", ":", "^", "-", "NEAR", "AND", "OR", "NOT", "'", "a OR b",
                                    "NEAR(a b)", "title:中", "{title}:中", "中*", "-go", "^中", "\\", "'); drop table units;--"})
            QTest::newRow(hostile) << QString::fromUtf8(hostile) << QStringList();
    }
    void queries()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, words);
        if (!words.isEmpty())
            QCOMPARE(search::queryWords(query), words);
        layRandom(11, 12);
        const QString b = bookKeys.first();
        const QString c = shelf::addUnit(db, b, "$", "章").rec.Tid;
        const QString page = shelf::addUnit(db, b, c, "页").rec.Tid;
        shelf::savePage(db, page, "<p>x</p>", "hostile " + query + " end");
        agreesWithScan({query});
        if (!search::queryWords(query).isEmpty())
            QVERIFY(searched(query).contains("u" + page));
    }

    // Every writer keeps the index in step: the program's own, another
    // tool's on the file, one that fails half way, and a purge of what
    // deletes left behind.
    void inStep_data()
    {
        QTest::addColumn<int>("writer");
        QTest::addColumn<QString>("injected");
        const QStringList names{"add", "rename", "save", "delete unit", "delete category", "drag", "other tool", "purge"};
        for (int i = 0; i < names.size(); ++i)
            QTest::newRow(qPrintable(names[i])) << i << QString();
        QTest::newRow("add fails") << 0 << "after insert on units begin select raise(abort, 'injected'); end";
        QTest::newRow("rename fails") << 1 << "after update of utitle on units begin select raise(abort, 'injected'); end";
        QTest::newRow("save fails") << 2 << "after update of ucontxt on units begin select raise(abort, 'injected'); end";
        QTest::newRow("delete fails half way")
            << 4 << "after delete on units when (select count(*) from search_gone) > 3 begin select raise(abort, 'injected'); end";
        QTest::newRow("index write fails") << 2 << "after insert on search_pending begin select raise(abort, 'injected'); end";
    }
    void inStep()
    {
        QFETCH(int, writer);
        QFETCH(QString, injected);
        layRandom(5, 50);
        const QStringList queries{"中", "go", "ood", "a", "中文 B", "'", "新字"};
        if (!injected.isEmpty())
            Ztking::Datado(db, "create trigger injected " + injected, QString());
        const QStringList units = column("select id from units where jb<>'$' order by id");
        try {
            switch (writer) {
            case 0:
                shelf::addUnit(db, bookKeys.first(), "$", "新字章");
                break;
            case 1:
                shelf::renameUnit(db, units.first(), "新字's go");
                shelf::renameBook(db, bookKeys.last(), "新字书");
                break;
            case 2:
                shelf::savePage(db, units.last(), "<p>新字</p>", "新字 It's good");
                break;
            case 3:
                shelf::deleteUnit(db, units.at(units.size() / 2));
                break;
            case 4:
                shelf::deleteBook(db, column("select id from books where jb='$'").first());
                break;
            case 5:
                shelf::moveUnit(db, column("select sc from units where id=" + units.last()).first(), units.last(),
                                column("select id from units where jb=(select jb from units where id=" + units.last()
                                       + ") order by px").first());
                break;
            case 6: {
                // The stock shell knows none of the program's functions.
                sqlite3 *raw = nullptr;
                QCOMPARE(sqlite3_open_v2(QFile::encodeName(lib->path()), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
                const QByteArray sql = "INSERT INTO units (sc, jb, utitle, ucontxt, px) VALUES ('" + bookKeys.first().toUtf8()
                                       + "', '$', '新字', 'go新字', 99); UPDATE units SET ucontxt = '新字 changed' WHERE id = "
                                       + units.first().toUtf8() + "; DELETE FROM units WHERE id = " + units.last().toUtf8()
                                       + "; UPDATE books SET lbm = '新字书' WHERE id = " + bookKeys.first().toUtf8();
                char *err = nullptr;
                const int rc = sqlite3_exec(raw, sql.constData(), nullptr, nullptr, &err);
                const QString error = QString::fromUtf8(err ? err : "");
                sqlite3_free(err);
                sqlite3_close(raw);
                QCOMPARE(error, QString());
                QCOMPARE(rc, SQLITE_OK);
                QVERIFY(search::pending(db) > 0);
                QVERIFY(!search::sound(db));
                QVERIFY(search::catchUp(db) > 0);
                break;
            }
            default:
                shelf::deleteBook(db, bookKeys.first());
                QCOMPARE(search::purge(db, 3), 0);
                break;
            }
            QVERIFY2(injected.isEmpty(), "the injected failure never came");
        } catch (const EDatabaseError &e) {
            QVERIFY2(!injected.isEmpty(), e.what());
            QVERIFY(QString::fromUtf8(e.what()).contains("injected"));
            QVERIFY(!db->InTransaction());
            Ztking::Datado(db, "drop trigger injected", QString());
        }
        agreesWithScan(queries);
    }

    // A library without the index (of the earlier form, or one another tool
    // dropped it from) gets it when opened, holding every row.
    void laidWhenOpened_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("earlier form") << "DROP TRIGGER search_book_added; DROP TRIGGER search_book_changed; "
                                         "DROP TRIGGER search_book_removed; DROP TRIGGER search_unit_added; "
                                         "DROP TRIGGER search_unit_changed; DROP TRIGGER search_unit_removed; "
                                         "DROP TABLE search_books; DROP TABLE search_units; DROP TABLE search_pending; "
                                         "DROP TABLE search_gone; PRAGMA user_version=2";
        QTest::newRow("index dropped") << "DROP TABLE search_units";
        QTest::newRow("index of other tokens")
            << "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql=replace(sql, 'velloran 2', 'velloran 1') "
               "WHERE name='search_units'; PRAGMA writable_schema=OFF";
    }
    void laidWhenOpened()
    {
        QFETCH(QString, damage);
        layRandom(8, 30);
        const QString path = lib->path();
        const QString copy = lib->folder() + "/copy.mdb";
        Ztking::Datado(db, "vacuum into '" + copy + "'", QString());
        {
            TADOConnection damaging;
            damaging.ConnectionString = TADOConnection::JetConnectionString(copy);
            damaging.Open();
            for (const QString &sql : damage.split(u';'))
                Ztking::Datado(&damaging, sql, QString());
        }
        TADOConnection opened;
        opened.ConnectionString = TADOConnection::JetConnectionString(copy);
        qint64 told = 0;
        opened.UpgradeProgress = [&](qint64 done, qint64) {
            told = done;
            return true;
        };
        opened.Open();
        QVERIFY(told > 0);
        QCOMPARE(firstColumn(&opened, "pragma user_version"), QStringList{QString::number(TADOConnection::SchemaVersion)});
        TADOConnection *mine = db;
        db = &opened;
        agreesWithScan({"中", "go", "B"});
        db = mine;
        QVERIFY(QFile::exists(path));
    }

    // A library restored from its backup brings its index along, in step.
    void restoredFromBackup()
    {
        layRandom(9, 20);
        const std::atomic_bool stop{false};
        const backups::Outcome taken = backups::care(lib->path(), QDateTime::currentDateTimeUtc(), stop);
        QCOMPARE(taken.kind, backups::Outcome::Written);
        shelf::savePage(db, column("select max(id) from units").first(), "<p>后来</p>", "后来");
        const QString restored = lib->folder() + "/restored.mdb";
        backups::restore(taken.file, restored);
        TADOConnection opened;
        opened.ConnectionString = TADOConnection::JetConnectionString(restored);
        opened.Open();
        TADOConnection *mine = db;
        db = &opened;
        QVERIFY(searched("后来").isEmpty());
        agreesWithScan({"中", "go", "B"});
        db = mine;
    }
};

QTEST_GUILESS_MAIN(TstSearch)
#include "tst_search.moc"
