// The query helpers, the two text primitives, escaping and the name check.
#include "store/connection.h"
#include "store/escape.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QtTest>

class TstQuery : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *conn = nullptr;

    QStringList values()
    {
        auto q = Ztking::Dataread(conn, QStringLiteral("select v from t order by rowid"), QString());
        QStringList out;
        for (; !q->Eof(); q->Next())
            out << Ztking::Dataget(*q, QStringLiteral("v"));
        return out;
    }

private slots:
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        conn = lib->connection();
        Ztking::Datado(conn, QStringLiteral("create table t (v text)"), QString());
    }
    void cleanup() { lib.reset(); }

    // The batch rule: a line break followed by "go" (any case) and " go "
    // end a statement; any other "go" does not.
    void batchSplit_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("fails");
        const QString ins = QStringLiteral("insert into t values('%1')");
        QTest::newRow("one statement, no separator") << ins.arg(QStringLiteral("x")) << QStringList{"x"} << false;
        QTest::newRow("line GO line") << ins.arg("a") + "\r\nGO\r\n" + ins.arg("b") << QStringList{"a", "b"} << false;
        QTest::newRow("line go in mixed case") << ins.arg("a") + "\r\ngO\r\n" + ins.arg("b") << QStringList{"a", "b"} << false;
        QTest::newRow("blank go blank") << ins.arg("a") + " go " + ins.arg("b") << QStringList{"a", "b"} << false;
        QTest::newRow("blank GO blank") << ins.arg("a") + " GO " + ins.arg("b") << QStringList{"a", "b"} << false;
        QTest::newRow("go inside a word stays") << ins.arg("goal and cargo") << QStringList{"goal and cargo"} << false;
        QTest::newRow("go at the very start stays") << "go" + ins.arg("x").mid(2) << QStringList() << true;
        QTest::newRow("trailing GO leaves an empty last piece") << ins.arg("a") + "\r\nGO" << QStringList{"a"} << false;
        QTest::newRow("the rest of a go line is the next piece")
            << ins.arg("a") + "\r\ngoinsert into t values('b')" << QStringList{"a", "b"} << false;
        QTest::newRow("line break goal leaves al") << ins.arg("a") + "\r\ngoal" << QStringList{"a"} << true;
    }
    void batchSplit()
    {
        QFETCH(QString, batch);
        QFETCH(QStringList, stored);
        QFETCH(bool, fails);
        if (fails)
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, Ztking::Datado(conn, batch, QString()));
        else
            Ztking::Datado(conn, batch, QString());
        QCOMPARE(values(), stored);
    }

    void failingPieceStopsTheBatch()
    {
        const QString batch = QStringLiteral("insert into t values('1')\r\ngo\r\ninsert into nowhere values('2')\r\ngo\r\n"
                                             "insert into t values('3')");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, Ztking::Datado(conn, batch, QString()));
        QCOMPARE(values(), QStringList{"1"});
    }

    void dialectChoice_data()
    {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("ran");
        QTest::newRow("provider string") << QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") << QStringLiteral("acc");
        QTest::newRow("provider string in other case") << QStringLiteral("provider=MICROSOFT.JET.OLEDB.4.0;")
                                                       << QStringLiteral("acc");
        QTest::newRow("any other provider") << QStringLiteral("Provider=SQLOLEDB;") << QStringLiteral("sql");
    }
    void dialectChoice()
    {
        QFETCH(QString, connection);
        QFETCH(QString, ran);
        const QString path = conn->DataSource();
        conn->Close();
        conn->ConnectionString = connection + QStringLiteral("Data Source=") + path;
        conn->Open();
        auto q = Ztking::Dataread(conn, QStringLiteral("select 'acc' as d"), QStringLiteral("select 'sql' as d"));
        QCOMPARE(Ztking::Dataget(*q, QStringLiteral("d")), ran);
    }

    void splitzt_data()
    {
        QTest::addColumn<QString>("str");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("two") << "a,b" << "," << QStringList{"a", "b"};
        QTest::newRow("empty middle") << "a,,b" << "," << QStringList{"a", "", "b"};
        QTest::newRow("leading") << ",a" << "," << QStringList{"", "a"};
        QTest::newRow("trailing") << "a,b," << "," << QStringList{"a", "b", ""};
        QTest::newRow("empty text") << "" << "," << QStringList{""};
        QTest::newRow("no separator") << "abc" << "," << QStringList{"abc"};
        QTest::newRow("empty separator never found") << "abc" << "" << QStringList{"abc"};
        QTest::newRow("no overlaps") << "aaaa" << "aa" << QStringList{"", "", ""};
        QTest::newRow("case matters") << "aXbxc" << "x" << QStringList{"aXb", "c"};
        QTest::newRow("Chinese separator") << "书，卷，页" << "，" << QStringList{"书", "卷", "页"};
    }
    void splitzt()
    {
        QFETCH(QString, str);
        QFETCH(QString, sep);
        QFETCH(QStringList, pieces);
        QCOMPARE(Ztking::Splitzt(str, sep), pieces);
    }

    void lengthx_data()
    {
        QTest::addColumn<QString>("str");
        QTest::addColumn<int>("length");
        QTest::newRow("Chinese counts once") << "书卷" << 2;
        QTest::newRow("ascii") << "abc" << 3;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("mixed") << "a书b卷" << 4;
    }
    void lengthx()
    {
        QFETCH(QString, str);
        QFETCH(int, length);
        QCOMPARE(Ztking::Lengthx(str), length);
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("stored");
        QTest::newRow("every marker") << "Tom's go-cart GO Go gO" << "Tom&#8989s [g#o]-cart [G#O] [G#o] [g#O]";
        QTest::newRow("Gogo") << "Gogo" << "[G#o][g#o]";
        QTest::newRow("nothing to escape") << "书卷 g o gap? og" << "书卷 g o gap? og";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("apostrophes only") << "''" << "&#8989&#8989";
    }
    void escaping()
    {
        QFETCH(QString, plain);
        QFETCH(QString, stored);
        QCOMPARE(Dataesc(plain), stored);
        QCOMPARE(Dataunesc(stored), plain);
        const QString escaped = Dataesc(plain);
        QVERIFY(!escaped.contains(u'\''));
        QVERIFY(!escaped.contains(QLatin1String("go"), Qt::CaseInsensitive));
    }

    // An escaped text survives a batch and a quoted literal untouched.
    void escapedTextSurvivesBatch()
    {
        const QString text = QStringLiteral("it's a go \r\nGO\r\n let's go ");
        Ztking::Datado(conn, "insert into t values('" + Dataesc(text) + "')", QString());
        QCOMPARE(Dataunesc(values().value(0)), text);
    }

    void typedMarkersDoNotSurvive()
    {
        QCOMPARE(Dataunesc(QStringLiteral("&#8989 [G#O]")), QStringLiteral("' GO"));
    }

    void wjjhf_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("colon") << "a:b" << false;
        QTest::newRow("double quote") << "a\"b" << false;
        QTest::newRow("apostrophe") << "it's" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("star") << "a*" << false;
        QTest::newRow("question") << "?" << false;
        QTest::newRow("angles") << "<a>" << false;
        QTest::newRow("bar") << "a|b" << false;
        QTest::newRow("Chinese with blank and digit") << "书卷 1" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("escaped apostrophe") << Dataesc("it's") << true;
        QTest::newRow("full-width colon is fine") << "书：卷" << true;
    }
    void wjjhf()
    {
        QFETCH(QString, name);
        QFETCH(bool, allowed);
        QCOMPARE(Ztking::wjjhf(name), allowed);
    }
};

QTEST_GUILESS_MAIN(TstQuery)
#include "tst_query.moc"
