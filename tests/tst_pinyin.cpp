// Pinyin initials: the table's ends, the Y boundary and what gets no letter.
#include "store/escape.h"
#include "ztking/ztking.h"

#include <QtTest>

class TstPinyin : public QObject
{
    Q_OBJECT
private slots:
    void getpy_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("initials");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("中国") << "中国" << "ZG";
        QTest::newRow("拼音") << "拼音" << "PY";
        QTest::newRow("书卷") << "书卷" << "SJ";
        QTest::newRow("章节") << "章节" << "ZJ";
        QTest::newRow("内容") << "内容" << "NR";
        QTest::newRow("ascii and digits give nothing") << "ab1中" << "Z";
        QTest::newRow("first code of the table") << "啊" << "A";
        QTest::newRow("last code of the table") << "座" << "Z";
        QTest::newRow("Y starts right after X") << "选" << "Y";
        QTest::newRow("Y at its classic start") << "压" << "Y";
        QTest::newRow("last X") << QString::fromUtf8(QByteArray::fromHex("e8a5bf")) /*西*/ << "X";
        QTest::newRow("second-level character") << "亍" << "";
        QTest::newRow("full-width letter") << "Ａ" << "";
        QTest::newRow("extension character inside a run") << Ztking::fromAnsi(QByteArray::fromHex("b140")) << "B";
        QTest::newRow("four-byte character") << QString::fromUtf8("\xf0\xa0\x80\x80") << "";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << "";
        QTest::newRow("escaped name keeps its initials") << Dataesc("书's go卷") << "SJ";
        QTest::newRow("each run's letter") << "啊吧擦大额发嘎哈鸡卡拉马拿哦啪七然撒他哇西压匝" << "ABCDEFGHJKLMNOPQRSTWXYZ";
    }
    void getpy()
    {
        QFETCH(QString, text);
        QFETCH(QString, initials);
        QCOMPARE(Ztking::Getpy(text), initials);
    }

    void getpychar_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<char>("letter");
        QTest::newRow("A first") << QByteArray::fromHex("b0a1") << 'A';
        QTest::newRow("A last") << QByteArray::fromHex("b0c4") << 'A';
        QTest::newRow("B first") << QByteArray::fromHex("b0c5") << 'B';
        QTest::newRow("X last") << QByteArray::fromHex("d188") << 'X';
        QTest::newRow("Y first") << QByteArray::fromHex("d189") << 'Y';
        QTest::newRow("Z last") << QByteArray::fromHex("d7f9") << 'Z';
        QTest::newRow("past the table") << QByteArray::fromHex("d7fa") << ' ';
        QTest::newRow("before the table") << QByteArray::fromHex("b0a0") << ' ';
        QTest::newRow("single byte") << QByteArray("a") << ' ';
        QTest::newRow("empty") << QByteArray() << ' ';
        QTest::newRow("four bytes") << QByteArray::fromHex("95328236") << ' ';
    }
    void getpychar()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(char, letter);
        QCOMPARE(Getpychar(bytes), letter);
    }
};

QTEST_GUILESS_MAIN(TstPinyin)
#include "tst_pinyin.moc"
