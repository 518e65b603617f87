#include "ztking/ztking.h"

#include <QLocale>
#include <QSet>
#include <QTest>

#include <climits>

class TstText : public QObject
{
    Q_OBJECT

private slots:
    void cutAtMarker_data();
    void cutAtMarker();
    void between_data();
    void between();
    void count_data();
    void count();
    void general_data();
    void general();
    void number_data();
    void number();
    void numberLocaleSeparator();
    void padding_data();
    void padding();
    void paddingTooLong();
    void randomText();
    void randomRange_data();
    void randomRange();
    void urlEncode_data();
    void urlEncode();
    void urlDecode_data();
    void urlDecode();
    void urlDecodeErrors_data();
    void urlDecodeErrors();
};

static const QString fail = QStringLiteral("提取失败！");

void TstText::cutAtMarker_data()
{
    QTest::addColumn<bool>("after");
    QTest::addColumn<QString>("str");
    QTest::addColumn<QString>("gjc");
    QTest::addColumn<int>("bao");
    QTest::addColumn<QString>("expected");

    QTest::newRow("hsp without marker") << true << "abc=def" << "=" << 0 << "def";
    QTest::newRow("hsp with marker") << true << "abc=def" << "=" << 1 << "=def";
    QTest::newRow("qsp without marker") << false << "abc=def" << "=" << 0 << "abc";
    QTest::newRow("qsp with marker") << false << "abc=def" << "=" << 1 << "abc=";
    QTest::newRow("hsp first occurrence") << true << "a=b=c" << "=" << 0 << "b=c";
    QTest::newRow("qsp first occurrence") << false << "a=b=c" << "=" << 0 << "a";
    QTest::newRow("hsp marker at end") << true << "abc=" << "=" << 0 << "";
    QTest::newRow("qsp marker at start") << false << "=abc" << "=" << 0 << "";
    QTest::newRow("hsp long marker") << true << "a<br>b" << "<br>" << 0 << "b";
    QTest::newRow("qsp long marker kept") << false << "a<br>b" << "<br>" << 1 << "a<br>";
    QTest::newRow("hsp missing marker") << true << "abc" << "=" << 0 << fail;
    QTest::newRow("qsp missing marker") << false << "abc" << "=" << 0 << fail;
    QTest::newRow("hsp empty marker") << true << "abc" << "" << 0 << fail;
    QTest::newRow("qsp empty marker") << false << "abc" << "" << 1 << fail;
    QTest::newRow("hsp empty text") << true << "" << "=" << 0 << fail;
    QTest::newRow("hsp marker longer than text") << true << "ab" << "abc" << 0 << fail;
    QTest::newRow("hsp bao 2") << true << "abc=def" << "=" << 2 << fail;
    QTest::newRow("qsp bao -1") << false << "abc=def" << "=" << -1 << fail;
    QTest::newRow("hsp case-sensitive") << true << "<img src=x>" << "<IMG" << 0 << fail;
    QTest::newRow("hsp Chinese") << true << "书名：卷一" << "：" << 0 << "卷一";
    QTest::newRow("qsp Chinese") << false << "书名：卷一" << "：" << 1 << "书名：";
}

void TstText::cutAtMarker()
{
    QFETCH(bool, after);
    QFETCH(QString, str);
    QFETCH(QString, gjc);
    QFETCH(int, bao);
    QFETCH(QString, expected);
    QCOMPARE(after ? Ztking::hsp(str, gjc, bao) : Ztking::qsp(str, gjc, bao), expected);
}

void TstText::between_data()
{
    QTest::addColumn<QString>("str");
    QTest::addColumn<QString>("gjc1");
    QTest::addColumn<QString>("gjc2");
    QTest::addColumn<QString>("expected");

    QTest::newRow("tags") << "<b>bold</b>" << "<b>" << "</b>" << "bold";
    QTest::newRow("end marker only before") << "x]y[z" << "[" << "]" << "";
    QTest::newRow("same marker twice") << "a|b|c" << "|" << "|" << "b";
    QTest::newRow("same marker once") << "a|b" << "|" << "|" << "";
    QTest::newRow("first start, next end") << "[1][2]" << "[" << "]" << "1";
    QTest::newRow("start missing") << "abc]" << "[" << "]" << fail;
    QTest::newRow("end missing") << "[abc" << "[" << "]" << fail;
    QTest::newRow("empty end marker") << "[abc]" << "[" << "" << fail;
    QTest::newRow("Chinese") << "《书卷》名" << "《" << "》" << "书卷";
}

void TstText::between()
{
    QFETCH(QString, str);
    QFETCH(QString, gjc1);
    QFETCH(QString, gjc2);
    QFETCH(QString, expected);
    QCOMPARE(Ztking::msp(str, gjc1, gjc2), expected);
}

void TstText::count_data()
{
    QTest::addColumn<QString>("str");
    QTest::addColumn<QString>("gjc");
    QTest::addColumn<int>("expected");

    QTest::newRow("no overlaps") << "aaaa" << "aa" << 2;
    QTest::newRow("odd rest") << "aaaaa" << "aa" << 2;
    QTest::newRow("none") << "abc" << "x" << 0;
    QTest::newRow("empty marker") << "abc" << "" << 0;
    QTest::newRow("empty text") << "" << "a" << 0;
    QTest::newRow("101 counted") << QString(101, u'/') << "/" << 101;
    QTest::newRow("150 stop at 101") << QString(150, u'/') << "/" << 101;
    QTest::newRow("Chinese") << "书/卷/书" << "书" << 2;
}

void TstText::count()
{
    QFETCH(QString, str);
    QFETCH(QString, gjc);
    QFETCH(int, expected);
    QCOMPARE(Ztking::tjs(str, gjc), expected);
}

void TstText::general_data()
{
    QTest::addColumn<QString>("str");
    QTest::addColumn<QString>("gjc");
    QTest::addColumn<int>("fx");
    QTest::addColumn<int>("cd");
    QTest::addColumn<int>("wei");
    QTest::addColumn<int>("bao");
    QTest::addColumn<QString>("expected");

    const QString s = QStringLiteral("a/b/c/d");
    QTest::newRow("forward second") << s << "/" << 1 << -1 << 2 << 0 << "c/d";
    QTest::newRow("forward second one char") << s << "/" << 1 << 1 << 2 << 0 << "c";
    QTest::newRow("forward second with marker") << s << "/" << 1 << -1 << 2 << 1 << "/c/d";
    QTest::newRow("forward first") << s << "/" << 1 << -1 << 1 << 0 << "b/c/d";
    QTest::newRow("forward more than text") << s << "/" << 1 << 50 << 1 << 0 << "b/c/d";
    QTest::newRow("forward cd 0") << s << "/" << 1 << 0 << 1 << 0 << "";
    QTest::newRow("backward first") << s << "/" << -1 << -1 << 1 << 0 << "a/b/c";
    QTest::newRow("backward first one char") << s << "/" << -1 << 1 << 1 << 0 << "c";
    QTest::newRow("backward second with marker") << s << "/" << -1 << -1 << 2 << 1 << "a/b/";
    QTest::newRow("backward third is first") << s << "/" << -1 << -1 << 3 << 0 << "a";
    QTest::newRow("backward beyond count") << s << "/" << -1 << -1 << 9 << 0 << "a";
    QTest::newRow("backward beyond with marker") << s << "/" << -1 << -1 << 9 << 1 << "a/";
    QTest::newRow("forward wei 0") << s << "/" << 1 << -1 << 0 << 0 << fail;
    QTest::newRow("backward wei 0") << s << "/" << -1 << -1 << 0 << 0 << fail;
    QTest::newRow("backward wei negative") << s << "/" << -1 << -1 << INT_MIN << 0 << fail;
    QTest::newRow("fx 0") << s << "/" << 0 << -1 << 1 << 0 << fail;
    QTest::newRow("missing marker") << s << "|" << 1 << -1 << 1 << 0 << fail;
    QTest::newRow("forward bao 2 cut") << s << "/" << 1 << 2 << 1 << 2 << fail;
    QTest::newRow("backward bao 2 inside") << s << "/" << -1 << -1 << 1 << 2 << fail;
    QTest::newRow("after last occurrence")
        << "images/pic/a.jpg" << "/" << 1 << -1 << 300 << 0 << "a.jpg";
    QTest::newRow("after last, huge wei")
        << "images/pic/a.jpg" << "/" << 1 << -1 << INT_MAX << 0 << "a.jpg";
    QTest::newRow("long marker backward") << "x<>y<>z" << "<>" << -1 << -1 << 1 << 1 << "x<>y<>";
    QTest::newRow("Chinese backward") << "甲、乙、丙" << "、" << -1 << 1 << 1 << 0 << "乙";

    // tjs stops at 101, so the 1st occurrence from the end of 150 is the
    // 101st from the start.
    QString many;
    for (int i = 1; i <= 150; ++i)
        many += QString::number(i) + u'/';
    QTest::newRow("backward counts from 101st")
        << many << "/" << -1 << 4 << 1 << 0 << "/101";
    QTest::newRow("backward 2nd of 150") << many << "/" << -1 << 3 << 2 << 0 << "100";
}

void TstText::general()
{
    QFETCH(QString, str);
    QFETCH(QString, gjc);
    QFETCH(int, fx);
    QFETCH(int, cd);
    QFETCH(int, wei);
    QFETCH(int, bao);
    QFETCH(QString, expected);
    QCOMPARE(Ztking::gst(str, gjc, fx, cd, wei, bao), expected);
}

void TstText::number_data()
{
    QTest::addColumn<QString>("str");
    QTest::addColumn<QString>("lx");
    QTest::addColumn<bool>("expected");

    QTest::newRow("positive integer") << "12" << "+,=" << true;
    QTest::newRow("negative not +") << "-3" << "+" << false;
    QTest::newRow("negative integer") << "-3" << "-,=" << true;
    QTest::newRow("zero not >") << "0" << ">" << false;
    QTest::newRow("zero is +") << "0" << "+" << true;
    QTest::newRow("decimal not =") << "1.5" << "=" << false;
    QTest::newRow("decimal >") << "1.5" << ">" << true;
    QTest::newRow("text") << "abc" << "" << false;
    QTest::newRow("integer no conditions") << "12" << "" << true;
    QTest::newRow("blank before item") << "12" << "+, =" << true;
    QTest::newRow("beyond 32 bits") << "3000000000" << "=" << false;
    QTest::newRow("beyond 32 bits is decimal") << "3000000000" << ">" << true;
    QTest::newRow("largest int") << "2147483647" << "=" << true;
    QTest::newRow("smallest int") << "-2147483648" << "=" << true;
    QTest::newRow("dollar hex") << "$1F" << "=" << true;
    QTest::newRow("0x hex") << "0x1f" << "=,>" << true;
    QTest::newRow("x hex") << "X10" << "=" << true;
    QTest::newRow("negative hex") << "-$10" << "-,=" << true;
    QTest::newRow("hex beyond 32 bits") << "$80000000" << "" << false;
    QTest::newRow("hex sign alone") << "$" << "" << false;
    QTest::newRow("leading blanks integer") << "  7" << "=" << true;
    QTest::newRow("trailing blank not integer") << "7 " << "=" << false;
    QTest::newRow("trailing blank decimal") << "7 " << ">" << true;
    QTest::newRow("exponent") << "1e3" << ">" << true;
    QTest::newRow("negative exponent decimal") << "-2.5E-2" << "-" << true;
    QTest::newRow("exponent without digits") << "1e" << "" << false;
    QTest::newRow("fraction only") << ".5" << ">" << true;
    QTest::newRow("point only") << "." << "" << false;
    QTest::newRow("sign only") << "-" << "" << false;
    QTest::newRow("empty") << "" << "" << false;
    QTest::newRow("overflowing double") << "1e999" << "" << false;
    QTest::newRow("infinity word") << "inf" << "" << false;
    QTest::newRow("group separator") << "1,000" << "" << false;
    QTest::newRow("unknown item holds") << "-1" << "abc" << true;
    QTest::newRow("all conditions fail one") << "5" << "+,>,=,-" << false;
}

void TstText::number()
{
    QFETCH(QString, str);
    QFETCH(QString, lx);
    QFETCH(bool, expected);
    QCOMPARE(Ztking::Isnumberzt(str, lx), expected);
}

void TstText::numberLocaleSeparator()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const bool comma = Ztking::Isnumberzt(QStringLiteral("1,5"), QStringLiteral(">"));
    const bool point = Ztking::Isnumberzt(QStringLiteral("1.5"), QString());
    QLocale::setDefault(saved);
    QVERIFY(comma);
    QVERIFY(!point);
}

void TstText::padding_data()
{
    QTest::addColumn<bool>("left");
    QTest::addColumn<QString>("str");
    QTest::addColumn<QString>("zf");
    QTest::addColumn<int>("num");
    QTest::addColumn<QString>("expected");

    QTest::newRow("left zeros") << true << "7" << "0" << 3 << "007";
    QTest::newRow("left never shortens") << true << "1234" << "0" << 3 << "1234";
    QTest::newRow("left exact length") << true << "123" << "0" << 3 << "123";
    QTest::newRow("left multi-character fill") << true << "7" << "ab" << 3 << "abab7";
    QTest::newRow("right zeros") << false << "7" << "0" << 3 << "700";
    QTest::newRow("right multi-character fill") << false << "7" << "ab" << 3 << "7abab";
    QTest::newRow("left Chinese counts once") << true << "中" << "0" << 2 << "0中";
    QTest::newRow("left empty fill") << true << "7" << "" << 3 << "7";
    QTest::newRow("left negative length") << true << "7" << "0" << -5 << "7";
    QTest::newRow("right empty text") << false << "" << "-" << 2 << "--";
}

void TstText::padding()
{
    QFETCH(bool, left);
    QFETCH(QString, str);
    QFETCH(QString, zf);
    QFETCH(int, num);
    QFETCH(QString, expected);
    QCOMPARE(left ? Ztking::padleft(str, zf, num) : Ztking::padright(str, zf, num), expected);
}

void TstText::paddingTooLong()
{
    QVERIFY_THROWS_EXCEPTION(Ztking::EZtkError,
                             Ztking::padleft(QString(), QStringLiteral("ab"), INT_MAX));
}

void TstText::randomText()
{
    static const QString alphabet = QStringLiteral("1234567890abcdefghijklmnopqrstuvwxyz");
    QCOMPARE(Ztking::sjm(0), QString());
    QCOMPARE(Ztking::sjm(-4), QString());
    QSet<QChar> seen;
    for (int i = 0; i < 200; ++i) {
        const QString s = Ztking::sjm(8);
        QCOMPARE(s.size(), 8);
        for (QChar c : s) {
            QVERIFY2(alphabet.contains(c), qPrintable(s));
            seen.insert(c);
        }
    }
    // 1600 draws leave out one of 36 characters with odds below 1e-17.
    QCOMPARE(seen.size(), 36);
}

void TstText::randomRange_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");

    QTest::newRow("single value") << 5 << 5 << 5 << 5;
    QTest::newRow("a below 1") << -3 << 2 << 1 << 2;
    QTest::newRow("small range") << 1 << 3 << 1 << 3;
    QTest::newRow("top of int") << INT_MAX << INT_MAX << INT_MAX << INT_MAX;
    QTest::newRow("near top of int") << INT_MAX - 1 << INT_MAX << INT_MAX - 1 << INT_MAX;
    QTest::newRow("b below 1") << -5 << 0 << 0 << 0;
    QTest::newRow("a above b") << 9 << 3 << 0 << 0;
}

void TstText::randomRange()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, low);
    QFETCH(int, high);
    QSet<int> seen;
    for (int i = 0; i < 300; ++i) {
        const int r = Ztking::sjs(a, b);
        QVERIFY2(r >= low && r <= high, qPrintable(QString::number(r)));
        seen.insert(r);
    }
    QCOMPARE(seen.size(), high - low + 1);
}

void TstText::urlEncode_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("encoded");

    QTest::newRow("blank") << "a b" << "a+b";
    QTest::newRow("Chinese") << "中" << "%E4%B8%AD";
    QTest::newRow("reserved") << "~/?" << "%7E%2F%3F";
    QTest::newRow("kept characters") << "Az09!$'()*-.@_" << "Az09!$'()*-.@_";
    QTest::newRow("percent and plus") << "%+" << "%25%2B";
    QTest::newRow("line break") << "\r\n" << "%0D%0A";
    QTest::newRow("empty") << "" << "";
}

void TstText::urlEncode()
{
    QFETCH(QString, plain);
    QFETCH(QString, encoded);
    QCOMPARE(Ztking::URLencode(plain), encoded);
    QCOMPARE(Ztking::URLdecode(encoded), plain);
}

void TstText::urlDecode_data()
{
    QTest::addColumn<QString>("encoded");
    QTest::addColumn<QString>("plain");

    QTest::newRow("plus and Chinese") << "a+b%E4%B8%AD" << "a b中";
    QTest::newRow("double percent") << "100%%" << "100%";
    QTest::newRow("lower-case hex") << "%e4%b8%ad" << "中";
    QTest::newRow("unescaped Chinese kept") << "书卷%21" << "书卷!";
    QTest::newRow("invalid UTF-8") << "a%FFb" << "a\uFFFDb";
    QTest::newRow("percent digits after double") << "%%41" << "%41";
}

void TstText::urlDecode()
{
    QFETCH(QString, encoded);
    QFETCH(QString, plain);
    QCOMPARE(Ztking::URLdecode(encoded), plain);
}

void TstText::urlDecodeErrors_data()
{
    QTest::addColumn<QString>("encoded");
    QTest::addColumn<QString>("message");

    QTest::newRow("percent at end")
        << "abc%" << "Error decoding URL style (%XX) encoded string at position 4";
    QTest::newRow("one digit at end")
        << "%4" << "Error decoding URL style (%XX) encoded string at position 1";
    QTest::newRow("not hex")
        << "ab%zz" << "Invalid URL encoded character (%zz) at position 3";
    QTest::newRow("half hex") << "%2x1" << "Invalid URL encoded character (%2x) at position 1";
}

void TstText::urlDecodeErrors()
{
    QFETCH(QString, encoded);
    QFETCH(QString, message);
    try {
        Ztking::URLdecode(encoded);
        QFAIL("no error raised");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

QTEST_GUILESS_MAIN(TstText)
#include "tst_text.moc"
