// Hostile text through every writer of the library and both filters: the
// library keeps every row, and each text comes back exactly as given or is
// refused with a message; nothing is changed silently on the way.
#include "library/shelf.h"
#include "store/connection.h"
#include "store/escape.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QCryptographicHash>
#include <QtTest>

namespace {

// What a text may come to: back unchanged, back unchanged or refused, or
// refused whatever the writer, with a message that names what is wrong.
enum class Policy { RoundTrip, MayRefuse, MustRefuse };

// Long texts are compared by length and digest, so that a failure stays
// readable.
QString shown(const QString &text)
{
    if (text.size() <= 200)
        return text;
    return QStringLiteral("<%1 characters, md5 %2>")
        .arg(text.size())
        .arg(QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex()));
}

// Fields of one listed row; no caption holds it.
constexpr QChar Sep(0x1F);

} // namespace

Q_DECLARE_METATYPE(Policy)

class TstHostile : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;
    QString category, book, otherBook, chapter, page, otherPage;

    QString addedBook(const QString &parent, const QString &name)
    {
        const shelf::Outcome o = shelf::addBook(db, parent, name);
        return o.check == shelf::Check::Added ? o.rec.Tid : QString();
    }
    QString addedUnit(const QString &parent, const QString &title)
    {
        const shelf::Outcome o = shelf::addUnit(db, book, parent, title);
        return o.check == shelf::Check::Added ? o.rec.Tid : QString();
    }
    // Read apart from the trees, which need not carry documents.
    QString document(const QString &key)
    {
        const auto q = Ztking::Dataread(db, "Select * from units where cstr(id)='" + key + "'", QString());
        return q->Eof() ? QStringLiteral("<gone>") : Dataunesc(Ztking::Dataget(*q, QStringLiteral("ucon")));
    }

    // Every row as the trees show it, one line each: table, key, parent,
    // caption, the name in the node's record and, for units, the document;
    // sorted.
    QStringList library()
    {
        QStringList lines;
        const std::function<void(const QList<shelf::Node> &, bool)> walk = [&](const QList<shelf::Node> &nodes,
                                                                               bool units) {
            for (const shelf::Node &n : nodes) {
                QStringList f{units ? "unit" : "book", n.rec.Tid, n.rec.Tjb, shown(n.caption), shown(n.rec.Lbm)};
                if (units)
                    f << shown(document(n.rec.Tid));
                lines << f.join(Sep);
                walk(n.children, units);
            }
        };
        walk(shelf::bookTree(db, QString()), false);
        walk(shelf::unitTree(db, book, QString()), true);
        lines.sort();
        return lines;
    }
    // The keys of the items a filter shows below the top level.
    QStringList found(const QList<shelf::Node> &top)
    {
        QStringList keys;
        for (const shelf::Node &n : top) {
            for (const shelf::Node &c : n.children)
                keys << c.rec.Tid;
        }
        return keys;
    }

private slots:
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
        category = addedBook(QStringLiteral("$"), QStringLiteral("分类"));
        book = addedBook(category, QStringLiteral("书卷"));
        otherBook = addedBook(category, QStringLiteral("control"));
        chapter = addedUnit(QStringLiteral("$"), QStringLiteral("第一章"));
        page = addedUnit(chapter, QStringLiteral("第一页"));
        otherPage = addedUnit(chapter, QStringLiteral("control"));
        QVERIFY(!otherPage.isEmpty());
        shelf::savePage(db, page, QStringLiteral("<p>page</p>"), QStringLiteral("page"));
        shelf::savePage(db, otherPage, QStringLiteral("<p>control</p>"), QStringLiteral("control"));
    }
    void cleanup() { lib.reset(); }

    void writers_data();
    void writers();
};

void TstHostile::writers_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<Policy>("policy");
    QTest::addColumn<QString>("named");

    struct Case
    {
        const char *name;
        QString text, stored;
        Policy policy;
        QString named; // what a refusal must name
    };
    const QString nul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    const QString surrogate = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    const QList<Case> names = {
        {"batch injection", "x' where 0\r\ngo\r\nDelete * from books\r\ngo\r\nselect '", {}, Policy::RoundTrip, {}},
        {"batch injection, no star", "x' where 0\r\ngo\r\nDelete from books\r\ngo\r\nselect '", {}, Policy::RoundTrip, {}},
        {"apostrophes", "Tom's 'book' ''", {}, Policy::RoundTrip, {}},
        {"double quotes", "\"quoted\" name", {}, Policy::RoundTrip, {}},
        {"closing the statement", "'); DROP TABLE books;--", {}, Policy::RoundTrip, {}},
        {"go between blanks", "a go b GO c", {}, Policy::RoundTrip, {}},
        {"go lines", "a\r\ngo\r\nGO\nb\rGo", {}, Policy::RoundTrip, {}},
        {"percent", "100%", {}, Policy::RoundTrip, {}},
        {"underscore", "a_b", {}, Policy::RoundTrip, {}},
        {"emoji", "📚🙂 书", {}, Policy::RoundTrip, {}},
        {"outside code page 936", "한국어 𠀀 ŉ", {}, Policy::RoundTrip, {}},
        {"lone surrogate", surrogate, "a\uFFFDb", Policy::MayRefuse, {}},
        {"NUL", nul, {}, Policy::MustRefuse, "U+0000"},
        {"10,000 characters", QString(10'000, u'名'), {}, Policy::MayRefuse, {}},
    };
    const char *everyWriter[] = {"addBook", "addUnit", "renameBook", "renameUnit", "savePage", "bookFilter",
                                 "unitFilter"};
    for (const Case &c : names) {
        for (const char *w : everyWriter)
            QTest::addRow("%s: %s", w, c.name)
                << w << c.text << (c.stored.isNull() ? c.text : c.stored) << c.policy << c.named;
    }
    // Escaped text throughout, as a long page holds it.
    const QString block = QString(1000, u'页') + QStringLiteral("it's go time, 'GO'\r\n");
    const QString big = block.repeated(20 * 1024 * 1024 / block.size());
    QTest::newRow("savePage: 20 MB page") << "savePage" << big << big << Policy::RoundTrip << QString();
}

void TstHostile::writers()
{
    QFETCH(QString, writer);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(Policy, policy);
    QFETCH(QString, named);

    const QStringList before = library();
    QStringList expected = before;
    // The listed row of key in table with field 3 (the caption and the
    // record's name) or 5 (the document) changed.
    const auto expect = [&](const char *table, const QString &key, int field, const QString &value) {
        for (QString &line : expected) {
            QStringList f = line.split(Sep);
            if (f.at(0) != QLatin1String(table) || f.at(1) != key)
                continue;
            f[field] = shown(value);
            if (field == 3)
                f[4] = shown(value);
            line = f.join(Sep);
            expected.sort();
            return;
        }
        qFatal("no row %s in the library", qPrintable(key));
    };
    const auto rename = [&](bool books, const QString &key) {
        if (books)
            shelf::renameBook(db, key, text);
        else
            shelf::renameUnit(db, key, text);
        expect(books ? "book" : "unit", key, 3, stored);
    };

    const bool adding = writer == u"addBook" || writer == u"addUnit";
    QString refusal;
    bool renamedForFilter = false;
    try {
        if (adding) {
            const bool books = writer == u"addBook";
            const shelf::Outcome o = books ? shelf::addBook(db, category, text) : shelf::addUnit(db, book, chapter, text);
            if (o.check != shelf::Check::Added) {
                QCOMPARE(o.check, shelf::Check::BadName);
                refusal = QStringLiteral("the name check");
            } else {
                QStringList f{books ? "book" : "unit", o.rec.Tid, books ? category : chapter, shown(stored),
                              shown(stored)};
                if (!books)
                    f << shown(QStringLiteral("<body style=\"font-family: 宋体; font-size: 10pt;margin:8px\"></body>"));
                expected << f.join(Sep);
                expected.sort();
            }
        } else if (writer == u"renameBook" || writer == u"renameUnit") {
            const bool books = writer == u"renameBook";
            rename(books, books ? book : page);
        } else if (writer == u"savePage") {
            shelf::savePage(db, page, "<p>" + text + "</p>", text);
            expect("unit", page, 5, "<p>" + stored + "</p>");
        } else {
            // The filter shows the item so named, and nothing else; an item
            // that could not be so named it does not show.
            const bool books = writer == u"bookFilter";
            const QString key = books ? book : page;
            try {
                rename(books, key);
                renamedForFilter = true;
            } catch (const std::exception &e) {
                refusal = QString::fromUtf8(e.what());
                QVERIFY2(!refusal.trimmed().isEmpty(), "refused without a message");
            }
            // A filter may refuse what no name can hold, and then says why.
            const QStringList keys = found(books ? shelf::bookTree(db, text) : shelf::unitTree(db, book, text));
            if (renamedForFilter && policy == Policy::RoundTrip)
                QCOMPARE(keys, QStringList{key});
            else
                QVERIFY2(keys.isEmpty() || (renamedForFilter && keys == QStringList{key}), qPrintable(keys.join(u',')));
        }
    } catch (const std::exception &e) {
        refusal = QString::fromUtf8(e.what());
        QVERIFY2(!refusal.trimmed().isEmpty(), "refused without a message");
        if (!renamedForFilter)
            expected = before;
    }

    if (adding && !Ztking::wjjhf(Dataesc(text)))
        QCOMPARE(refusal, QStringLiteral("the name check"));
    else if (policy == Policy::RoundTrip)
        QVERIFY2(refusal.isEmpty(), qPrintable(QStringLiteral("refused: ") + refusal));
    else if (policy == Policy::MustRefuse)
        QVERIFY2(refusal.contains(named), qPrintable(QStringLiteral("refused without naming %1: %2").arg(named, refusal)));
    if (!refusal.isEmpty())
        qInfo("refused: %s", qPrintable(refusal));
    QCOMPARE(library(), expected);
}

QTEST_MAIN(TstHostile)
#include "tst_hostile.moc"
