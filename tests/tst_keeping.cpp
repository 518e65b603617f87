// What protects the reader from slips: the bin gives back exactly what a
// delete took, at its place, and a failure in either leaves nothing; page
// versions follow their keeping rule and a restore can be undone; drafts
// live beside their pages; pictures go only when nothing uses them.
#include "library/shelf.h"
#include "store/bin.h"
#include "store/draftkeeper.h"
#include "store/drafts.h"
#include "store/history.h"
#include "store/search.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

class TstKeeping : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;

    QStringList column(const QString &sql) { return firstColumn(db, sql); }
    void exec(const QString &sql) { Ztking::Datado(db, sql, QString()); }
    // Every row of both tables. With places, a row's position is its place
    // among its siblings: a restore may number them anew.
    QStringList rows(bool places = false)
    {
        const QString px = places ? "row_number() over (partition by jb order by px)" : "px";
        return column("select id||'|'||jb||'|'||lbm||'|'||lbmpy||'|'||" + px + " from books order by id")
               + column("select id||'|'||sc||'|'||jb||'|'||utitle||'|'||ucon||'|'||ucontxt||'|'||" + px
                        + " from units order by id");
    }
    QString add(const QString &parent, const QString &name)
    {
        return shelf::addBook(db, parent, name).rec.Tid;
    }
    QString unit(const QString &book, const QString &parent, const QString &title)
    {
        const QString key = shelf::addUnit(db, book, parent, title).rec.Tid;
        shelf::savePage(db, key, "<p>" + title + " 正文</p>", title + " 正文");
        return key;
    }
    // Two categories of books with chapters, sections and pages, so chapters
    // of several books share their numbering; the first book's last chapter
    // stands after every other book's.
    void layTree(quint32 seed)
    {
        QRandomGenerator rng(seed);
        QString first;
        for (int c = 0; c < 2; ++c) {
            const QString cat = add("$", QStringLiteral("类%1").arg(c));
            for (int b = 0; b < 3; ++b) {
                const QString book = add(cat, QStringLiteral("书%1%2").arg(c).arg(b));
                if (first.isEmpty())
                    first = book;
                for (int ch = 0; ch < 1 + int(rng.bounded(3)); ++ch) {
                    const QString chapter = unit(book, "$", QStringLiteral("章%1").arg(ch));
                    for (int p = 0; p < int(rng.bounded(4)); ++p)
                        unit(book, unit(book, chapter, QStringLiteral("节%1").arg(p)), QStringLiteral("页%1").arg(p));
                }
            }
        }
        unit(first, "$", "章末");
    }
    qint64 onlyBinItem()
    {
        const QList<bin::Item> items = bin::items(db);
        return items.size() == 1 ? items.first().id : -1;
    }
    static QString initials(const QString &name) { return Ztking::Getpy(name); }

private slots:
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
    }
    void cleanup() { lib.reset(); }

    // Delete, then restore: the same rows, keys and places, strict
    // positions, and the index finds them again. Only the fewer siblings, those
    // before the item or those after it, are numbered anew.
    void roundTrip_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<QString>("what");
        for (quint32 seed : {3u, 4u, 5u}) {
            for (const char *what : {"category", "book", "first book", "chapter", "section", "page"})
                QTest::addRow("%s, seed %u", what, seed) << seed << QString::fromLatin1(what);
        }
    }
    void roundTrip()
    {
        QFETCH(quint32, seed);
        QFETCH(QString, what);
        layTree(seed);
        const QHash<QString, QString> pick{
            {"category", "select id from books where jb='$' order by id desc limit 1"},
            {"book", "select id from books where jb<>'$' order by id limit 1 offset 2"},
            {"first book", "select id from books where jb<>'$' order by id limit 1"},
            {"chapter", "select id from units where jb='$' order by id limit 1"},
            {"section", "select id from units where jb in (select id from units where jb='$') order by id limit 1"},
            {"page", "select max(id) from units"}};
        const QString key = column(pick.value(what)).first();
        const QStringList before = rows(true);
        const bool books = what.contains("book") || what == "category";
        const QString siblings = "select count(*) from units where jb=(select jb from units where id=" + key + ") and px";
        const QString px = "(select px from units where id=" + key + ")";
        const int fewer = std::min(column(siblings + "<" + px).first().toInt(), column(siblings + ">" + px).first().toInt());
        const QStringList gone = books ? shelf::deleteBook(db, key) : shelf::deleteUnit(db, key);
        QVERIFY(!gone.isEmpty());
        const QList<bin::Item> items = bin::items(db);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().key, key);
        QCOMPARE(items.first().isBook, books);
        QVERIFY(items.first().pages > 0 || books);
        const QStringList deleted = rows();
        const bin::Restored r = bin::restore(db, items.first().id, initials);
        QVERIFY(!r.moved && !r.renamed);
        QCOMPARE(rows(true), before);
        if (!books) {
            QStringList renumbered = rows();
            for (const QString &row : deleted)
                renumbered.removeOne(row);
            QVERIFY2(renumbered.size() <= gone.size() + fewer, qPrintable(renumbered.join(u' ')));
        }
        for (const char *t : {"books", "units"})
            QCOMPARE(column(QString("select count(*) from (select 1 from %1 group by jb, px having count(*) > 1)").arg(t)),
                     QStringList{"0"});
        QVERIFY(bin::items(db).isEmpty());
        QVERIFY(search::sound(db));
        QCOMPARE(search::find(db, "正文", 0, 1).total, column("select count(*) from units").first().toInt());
        // What the item held goes with the sweep, and nothing else does.
        const QString left = "select (select count(*) from bin_units) + (select count(*) from bin_books)";
        QVERIFY(column(left).first().toInt() > 0);
        while (bin::sweep(db, 3) > 0) {
        }
        QCOMPARE(column(left), QStringList{"0"});
        QCOMPARE(rows(true), before);
    }

    // Restored where the old place is gone, or where the name is taken.
    void restoredElsewhere()
    {
        const QString cat = add("$", "类");
        const QString book = add(cat, "书");
        const QString chapter = unit(book, "$", "章");
        const QString page = unit(book, unit(book, chapter, "节"), "页");
        shelf::deleteUnit(db, page);
        shelf::deleteBook(db, book);
        const QList<bin::Item> items = bin::items(db);
        QCOMPARE(items.size(), 2);
        // The page first: its book is gone, so a category named after it
        // holds it as a chapter.
        const bin::Restored lone = bin::restore(db, items.last().id, initials);
        QVERIFY(lone.moved);
        QCOMPARE(column("select lbm from books where id=" + lone.bookKey), QStringList{"书（恢复）"});
        QCOMPARE(column("select jb||sc from units where id=" + page), QStringList{"$" + lone.bookKey});
        // The index files it under the book it came back to.
        QCOMPARE(search::matchingUnits(db, lone.bookKey, "页"), QSet<QString>{page});
        add(cat, "书");
        const bin::Restored named = bin::restore(db, items.first().id, initials);
        QVERIFY(named.renamed);
        QCOMPARE(column("select lbm||px from books where jb='" + cat + "' order by px"), (QStringList{"书（恢复）0", "书1"}));
        // Strict positions everywhere.
        QCOMPARE(column("select count(*) from (select jb, px from units group by jb, px having count(*) > 1)"),
                 QStringList{"0"});
        QVERIFY(search::sound(db));
    }

    // A failure half way through a delete or a restore takes all of it back.
    void failureLeavesNothing_data()
    {
        QTest::addColumn<bool>("restoring");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("delete, keeping the rows") << false << "after insert on bin_units begin select raise(abort, 'injected'); end";
        QTest::newRow("delete, removing the rows") << false << "after delete on units begin select raise(abort, 'injected'); end";
        QTest::newRow("restore, putting back") << true << "after insert on units begin select raise(abort, 'injected'); end";
        QTest::newRow("restore, taking the item out") << true << "after delete on bin_items begin select raise(abort, 'injected'); end";
    }
    void failureLeavesNothing()
    {
        QFETCH(bool, restoring);
        QFETCH(QString, trigger);
        layTree(7);
        const QString category = column("select min(id) from books").first();
        if (restoring)
            shelf::deleteBook(db, category);
        const QStringList before = rows() + column("select id||name from bin_items") + column("select count(*) from bin_units");
        exec("create trigger injected " + trigger);
        if (restoring)
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, bin::restore(db, onlyBinItem(), initials));
        else
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, shelf::deleteBook(db, category));
        exec("drop trigger injected");
        QCOMPARE(rows() + column("select id||name from bin_items") + column("select count(*) from bin_units"), before);
        QVERIFY(!db->InTransaction());
        QVERIFY(search::sound(db));
    }

    // Every version of the last 7 days, the newest of each day for 90 days,
    // and the newest 20 whatever their age.
    void keepingRule_data()
    {
        QTest::addColumn<QList<int>>("hoursAgo");
        QTest::addColumn<int>("keptCount");
        QList<int> hourly;
        for (int h = 0; h < 24 * 10; ++h)
            hourly << h;
        QTest::newRow("ten days, every hour") << hourly << 7 * 24 + 1 + 3;
        QList<int> old;
        for (int d = 0; d < 30; ++d)
            old << (200 + d) * 24;
        QTest::newRow("thirty saves half a year ago") << old << 20;
        QList<int> twiceDaily;
        for (int d = 0; d < 100; ++d)
            twiceDaily << d * 24 + 1 << d * 24 + 2;
        // Two a day for the last week, one a day to 90 days, and the newest 20
        // reach three days past the week.
        QTest::newRow("twice a day for 100 days") << twiceDaily << 7 * 2 + 83 + 3;
    }
    void keepingRule()
    {
        QFETCH(QList<int>, hoursAgo);
        QFETCH(int, keptCount);
        const QDateTime now(QDate(2026, 6, 15), QTime(12, 30), Qt::UTC);
        QList<QDateTime> times;
        for (int h : hoursAgo)
            times << now.addSecs(-qint64(h) * 3600);
        const QList<bool> kept = history::kept(times, now);
        QCOMPARE(int(kept.count(true)), keptCount);
        for (int i = 0; i < 20 && i < kept.size(); ++i)
            QVERIFY(kept.at(i));
    }

    // A restore is a save: the page before it becomes a version, so the
    // restore itself can be undone.
    void restoreThenUndo()
    {
        const QString book = add(add("$", "类"), "书");
        const QString page = shelf::addUnit(db, book, unit(book, "$", "章"), "页").rec.Tid;
        shelf::savePage(db, page, "<p>first</p>", "first");
        shelf::savePage(db, page, "<p>second it's go</p>", "second it's go");
        QList<history::Version> v = history::versions(db, page);
        QCOMPARE(v.size(), 2);
        QCOMPARE(v.first().firstLine, QStringLiteral("first"));
        shelf::savePage(db, page, history::document(db, v.first().id), "first");
        QCOMPARE(shelf::pageDocument(db, page), QStringLiteral("<p>first</p>"));
        v = history::versions(db, page);
        QCOMPARE(v.first().firstLine, QStringLiteral("second it's go"));
        shelf::savePage(db, page, history::document(db, v.first().id), "second it's go");
        QCOMPARE(shelf::pageDocument(db, page), QStringLiteral("<p>second it's go</p>"));
        QCOMPARE(search::find(db, "it's go", 0, 5).total, 1);
    }

    void markChanges_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("marked");
        QTest::newRow("a word added") << "the moon" << "the full moon" << "the <ins>full </ins>moon";
        QTest::newRow("a word removed") << "a quiet night" << "a night" << "a <del>quiet </del>night";
        QTest::newRow("Chinese characters") << "床前明月光" << "床前月光好" << "床前<del>明</del>月光<ins>好</ins>";
        QTest::newRow("markup is text") << "<b>" << "<i>" << "&lt;<del>b</del><ins>i</ins>&gt;";
        QTest::newRow("unchanged") << "同" << "同" << "同";
        QTest::newRow("replaced and moved")
            << "a b c d e f" << "a x c e d f" << "a <del>b</del><ins>x</ins> c <del>d </del>e<ins> d</ins> f";
        // A long page rewritten in many places stays cheap: past its bound
        // the changed middle counts as replaced whole.
        QString longBefore, longAfter;
        for (int i = 0; i < 20000; ++i) {
            longBefore += QChar(0x4E00 + i % 500);
            longAfter += QChar(0x4E00 + (i % 7 ? i % 500 : 9999));
        }
        QTest::newRow("a long page rewritten") << longBefore << longAfter << QString();
    }
    void markChanges()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, marked);
        const QString out = history::markChanges(before, after);
        if (!marked.isEmpty())
            QCOMPARE(out, marked);
        // Without the added words it reads as before, without the removed
        // ones as after.
        const auto without = [&out](const char *tag) {
            return QString(out).remove(QRegularExpression(QStringLiteral("<%1>.*?</%1>").arg(QLatin1String(tag)),
                                                          QRegularExpression::DotMatchesEverythingOption))
                .remove(QRegularExpression(QStringLiteral("</?(ins|del)>")));
        };
        QCOMPARE(without("ins"), before.toHtmlEscaped());
        QCOMPARE(without("del"), after.toHtmlEscaped());
    }

    // A draft stays apart from its page until a clean save ends it; drafts
    // of deleted pages go.
    void drafts()
    {
        const QString book = add(add("$", "类"), "书");
        const QString chapter = unit(book, "$", "章");
        const QString a = unit(book, chapter, "甲");
        const QString b = unit(book, chapter, "乙");
        const QDateTime now = QDateTime::currentDateTimeUtc();
        drafts::keep(db, a, "<p>typed</p>", now);
        drafts::keep(db, a, "<p>typed more</p>", now);
        drafts::keep(db, b, "<p>b</p>", now);
        QCOMPARE(shelf::pageDocument(db, a), QStringLiteral("<p>甲 正文</p>"));
        QList<drafts::Draft> all = drafts::all(db);
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.first().document, QStringLiteral("<p>typed more</p>"));
        shelf::savePage(db, a, "<p>saved</p>", "saved");
        shelf::deleteUnit(db, b);
        QVERIFY(drafts::all(db).isEmpty());
    }

    // Drafts written beside the window keep the newest document of each
    // page, and an end queued after them wins.
    void draftsBesideTheWindow()
    {
        const QString book = add(add("$", "类"), "书");
        const QString chapter = unit(book, "$", "章");
        const QString a = unit(book, chapter, "甲");
        const QString b = unit(book, chapter, "乙");
        {
            DraftKeeper keeper(lib->path(), nullptr);
            for (int i = 0; i < 50; ++i)
                keeper.keep(a, QStringLiteral("<p>%1</p>").arg(i));
            keeper.keep(b, "<p>b</p>");
            keeper.flush();
            QCOMPARE(drafts::all(db).size(), 2);
            QCOMPARE(drafts::all(db).first().document, QStringLiteral("<p>49</p>"));
            keeper.keep(b, "<p>b2</p>");
            keeper.forget(b);
        }
        const QList<drafts::Draft> left = drafts::all(db);
        QCOMPARE(left.size(), 1);
        QCOMPARE(left.first().unit, a);
    }

    // Removing for good takes the pictures that nothing else uses.
    void picturesKeptWhileUsed()
    {
        const QString folder = lib->folder() + "/images";
        QVERIFY(QDir().mkpath(folder));
        for (const char *name : {"only.png", "shared.png", "inbin.png"}) {
            QFile f(folder + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("png");
        }
        const QString book = add(add("$", "类"), "书");
        const QString chapter = unit(book, "$", "章");
        const auto page = [&](const QString &title, const QString &pictures) {
            const QString key = shelf::addUnit(db, book, chapter, title).rec.Tid;
            shelf::savePage(db, key, pictures, title);
            return key;
        };
        const QString tuku = QStringLiteral("#Tuku\u00B7vostrelan#/");
        const QString gone = page("去", "<img src=\"" + tuku + "only.png\"><img src=\"" + tuku + "shared.png\">");
        page("留", "<img src=\"" + tuku + "shared.png\">");
        const QString other = page("另", "<img src=\"" + tuku + "inbin.png\">");
        shelf::deleteUnit(db, other);
        shelf::deleteUnit(db, gone);
        const QList<bin::Item> items = bin::items(db);
        QCOMPARE(bin::remove(db, {items.first().id}, folder), QStringList{"only.png"});
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{"inbin.png", "shared.png"}));
        QCOMPARE(bin::expire(lib->path(), folder, QDateTime::currentDateTimeUtc().addDays(29)), 0);
        QCOMPARE(bin::expire(lib->path(), folder, QDateTime::currentDateTimeUtc().addDays(31)), 1);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"shared.png"});
        QVERIFY(bin::items(db).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstKeeping)
#include "tst_keeping.moc"
