#include "ztking/ztking.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <future>

namespace {

// Folder rights bind root only once it has given them up; root then acts as
// "nobody", whom the test's folder and files let in.
constexpr uid_t nobody = 65534;

// The two texts a writer puts into one file in turn, long enough that a
// write takes a while.
QString longText(int which)
{
    return QString(2'000'000, which ? u'b' : u'a');
}

// One writing helper on file p with the text "x"; the message it raised, or
// "" when it raised none.
QString writeError(const QString &op, const QString &p)
{
    try {
        if (op == u"Iniwrite")
            Ztking::Iniwrite(p, QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("x"));
        else if (op == u"Inideljie")
            Ztking::Inideljie(p, QStringLiteral("s"));
        else if (op == u"Inidelkey")
            Ztking::Inidelkey(p, QStringLiteral("s"), QStringLiteral("k"));
        else
            Ztking::SaveFilex(p, QStringLiteral("x"), op == u"SaveFilex cover");
    } catch (const Ztking::EZtkError &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

// Whether message is the error the helper op must raise for file p.
bool isRefusal(const QString &op, const QString &p, const QString &message)
{
    return op.startsWith(u"Ini") ? message == QStringLiteral("Unable to write to ") + p
                                 : message.contains(u'"' + p + u'"');
}

// The child of killedMidWrite: writes the two long texts in turn with op
// until it is killed, one line on standard output per attempt.
int writeLoop(const QString &op, const QString &p)
{
    if (geteuid() == 0 && setuid(nobody) != 0) {
        std::perror("setuid");
        return 2;
    }
    for (int i = 0;; ++i) {
        try {
            if (op == u"Iniwrite")
                Ztking::Iniwrite(p, QStringLiteral("s"), QStringLiteral("k"), longText(i % 2));
            else
                Ztking::SaveFilex(p, longText(i % 2), true);
            std::puts("written");
        } catch (const Ztking::EZtkError &e) {
            std::puts(e.what());
        }
        std::fflush(stdout);
    }
}

} // namespace

class TstFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void iniValues_data();
    void iniValues();
    void iniMissing_data();
    void iniMissing();
    void iniDelete();
    void iniFileKept_data();
    void iniFileKept();
    void iniRefused_data();
    void iniRefused();
    void saveAppendAndCover();
    void saveCreates_data();
    void saveCreates();
    void saveRefused();
    void readOnlyFolder_data();
    void readOnlyFolder();
    void killedMidWrite_data();
    void killedMidWrite();
    void notRegular_data();
    void notRegular();
    void readLines_data();
    void readLines();
    void readUnreadable_data();
    void readUnreadable();
    void commandLine_data();
    void commandLine();
    void commandRuns();
    void hostAddress_data();
    void hostAddress();
    void digest_data();
    void digest();

private:
    QString path(const QString &name) const { return dir->filePath(name); }
    void writeBytes(const QString &name, const QByteArray &bytes) const;
    QByteArray readBytes(const QString &name) const;

    std::unique_ptr<QTemporaryDir> dir;
};

void TstFiles::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TstFiles::writeBytes(const QString &name, const QByteArray &bytes) const
{
    QFile f(path(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray TstFiles::readBytes(const QString &name) const
{
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void TstFiles::iniValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "v" << "v";
    QTest::newRow("Chinese") << "书卷·一" << "书卷·一";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("equals inside") << "a=b" << "a=b";
    QTest::newRow("blanks at ends") << "  x  " << "  x  ";
    QTest::newRow("quoted") << "\"q\"" << "\"q\"";
    QTest::newRow("one quote") << "\"" << "\"";
    QTest::newRow("cut at 2047") << QString(3000, u'x') << QString(2047, u'x');
}

void TstFiles::iniValues()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    const QString p = path(QStringLiteral("a.ini"));
    Ztking::Iniwrite(p, QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("old"));
    Ztking::Iniwrite(p, QStringLiteral("s"), QStringLiteral("k"), value);
    QCOMPARE(Ztking::Iniread(p, QStringLiteral("s"), QStringLiteral("k")), expected);
}

void TstFiles::iniMissing_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("jie");
    QTest::addColumn<QString>("key");

    QTest::newRow("missing key") << "a.ini" << "s" << "x";
    QTest::newRow("missing section") << "a.ini" << "t" << "k";
    QTest::newRow("missing file") << "none.ini" << "s" << "k";
    QTest::newRow("key in later section only") << "a.ini" << "s" << "other";
    QTest::newRow("comment is no key") << "a.ini" << "s" << ";c";
}

void TstFiles::iniMissing()
{
    QFETCH(QString, file);
    QFETCH(QString, jie);
    QFETCH(QString, key);
    writeBytes(QStringLiteral("a.ini"), "[s]\r\nk=v\r\n;c=1\r\n[u]\r\nother=1\r\n");
    QCOMPARE(Ztking::Iniread(path(file), jie, key), QString());
}

void TstFiles::iniDelete()
{
    const QString p = path(QStringLiteral("d.ini"));
    const QString s = QStringLiteral("s"), t = QStringLiteral("t");
    const QString k = QStringLiteral("k"), k2 = QStringLiteral("k2");
    Ztking::Iniwrite(p, s, k, QStringLiteral("v"));
    Ztking::Iniwrite(p, s, k2, QStringLiteral("v2"));
    Ztking::Iniwrite(p, t, k, QStringLiteral("w"));
    QCOMPARE(Ztking::Iniread(p, s, k), QStringLiteral("v"));

    Ztking::Inidelkey(p, s, k);
    QCOMPARE(Ztking::Iniread(p, s, k), QString());
    QCOMPARE(Ztking::Iniread(p, s, k2), QStringLiteral("v2"));

    Ztking::Inideljie(p, QStringLiteral("S"));
    QCOMPARE(Ztking::Iniread(p, s, k2), QString());
    QCOMPARE(Ztking::Iniread(p, t, k), QStringLiteral("w"));
    QCOMPARE(readBytes(QStringLiteral("d.ini")), QByteArray("[t]\r\nk=w\r\n"));

    Ztking::Inidelkey(path(QStringLiteral("none.ini")), s, k);
    Ztking::Inideljie(path(QStringLiteral("none.ini")), s);
    QVERIFY(!QFile::exists(path(QStringLiteral("none.ini"))));
}

void TstFiles::iniFileKept_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file")
        << QByteArray() << "write s k v" << QByteArray("[s]\r\nk=v\r\n");
    QTest::newRow("comments kept, key replaced in place")
        << QByteArray("; top\r\n[s]\r\n; note\r\nk = old\r\nz=1\r\n")
        << "write s k v" << QByteArray("; top\r\n[s]\r\n; note\r\nk=v\r\nz=1\r\n");
    QTest::newRow("section and key without regard to case")
        << QByteArray("[Sec]\r\nKey=1\r\n") << "write sec key 2"
        << QByteArray("[Sec]\r\nkey=2\r\n");
    QTest::newRow("new key after last entry, before blank")
        << QByteArray("[s]\r\na=1\r\n\r\n[t]\r\n") << "write s b 2"
        << QByteArray("[s]\r\na=1\r\nb=2\r\n\r\n[t]\r\n");
    QTest::newRow("new section appended")
        << QByteArray("[s]\r\na=1\r\n") << "write t b 2"
        << QByteArray("[s]\r\na=1\r\n[t]\r\nb=2\r\n");
    QTest::newRow("LF file stays LF")
        << QByteArray("[s]\na=1\n") << "write s b 2" << QByteArray("[s]\na=1\nb=2\n");
    QTest::newRow("GB18030 file")
        << QByteArray("[\xca\xe9]\r\n") << "write 书 k 卷"
        << QByteArray("[\xca\xe9]\r\nk=\xbe\xed\r\n");
    QTest::newRow("UTF-8 mark kept")
        << QByteArray("\xEF\xBB\xBF[s]\r\n") << "write s k 书"
        << QByteArray("\xEF\xBB\xBF[s]\r\nk=\xE4\xB9\xA6\r\n");
    QTest::newRow("UTF-16 file stays UTF-16")
        << QByteArray("\xFF\xFE[\0s\0]\0\r\0\n\0", 12) << "write s k v"
        << QByteArray("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0", 22);
    QTest::newRow("delete duplicated key")
        << QByteArray("[s]\r\nk=1\r\nK=2\r\nx=3\r\n") << "delkey s k"
        << QByteArray("[s]\r\nx=3\r\n");
    QTest::newRow("delete every section of the name")
        << QByteArray("[s]\r\na=1\r\n[t]\r\nb=2\r\n[ S ]\r\nc=3\r\n") << "deljie s"
        << QByteArray("[t]\r\nb=2\r\n");
    QTest::newRow("delete missing key leaves file")
        << QByteArray("[s]\na=1") << "delkey s x" << QByteArray("[s]\na=1");
}

void TstFiles::iniFileKept()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, op);
    QFETCH(QByteArray, after);
    const QString name = QStringLiteral("f.ini");
    if (!before.isEmpty())
        writeBytes(name, before);
    const QStringList w = op.split(u' ');
    if (w[0] == u"write")
        Ztking::Iniwrite(path(name), w[1], w[2], w[3]);
    else if (w[0] == u"delkey")
        Ztking::Inidelkey(path(name), w[1], w[2]);
    else
        Ztking::Inideljie(path(name), w[1]);
    QCOMPARE(readBytes(name), after);
}

void TstFiles::iniRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("jie");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("folder missing") << "no/such/a.ini" << "s" << "k" << "v";
    QTest::newRow("line break in value") << "a.ini" << "s" << "k" << "v\r\n[x]";
    QTest::newRow("line break in key") << "a.ini" << "s" << "k\nj" << "v";
    QTest::newRow("equals in key") << "a.ini" << "s" << "k=1" << "v";
    QTest::newRow("bracket in section") << "a.ini" << "s]x" << "k" << "v";
    QTest::newRow("key like a section") << "a.ini" << "s" << "[k" << "v";
}

void TstFiles::iniRefused()
{
    QFETCH(QString, file);
    QFETCH(QString, jie);
    QFETCH(QString, key);
    QFETCH(QString, value);
    writeBytes(QStringLiteral("a.ini"), "[s]\r\nk=1\r\n");
    try {
        Ztking::Iniwrite(path(file), jie, key, value);
        QFAIL("write was not refused");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Unable to write to ") + path(file));
    }
    QCOMPARE(readBytes(QStringLiteral("a.ini")), QByteArray("[s]\r\nk=1\r\n"));
}

void TstFiles::saveAppendAndCover()
{
    const QString f = path(QStringLiteral("s.txt"));
    Ztking::SaveFilex(f, QStringLiteral("ab"), true);
    Ztking::SaveFilex(f, QStringLiteral("cd"), false);
    QCOMPARE(readBytes(QStringLiteral("s.txt")), QByteArray("abcd"));
    Ztking::SaveFilex(f, QStringLiteral("x"), true);
    QCOMPARE(readBytes(QStringLiteral("s.txt")), QByteArray("x"));
}

void TstFiles::saveCreates_data()
{
    QTest::addColumn<bool>("cover");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("cover") << true << "a\r\nb" << QByteArray("a\r\nb");
    QTest::newRow("append") << false << "a" << QByteArray("a");
    QTest::newRow("GB18030, no mark") << true << "中文" << QByteArray("\xd6\xd0\xce\xc4");
    QTest::newRow("empty text") << false << "" << QByteArray("");
}

void TstFiles::saveCreates()
{
    QFETCH(bool, cover);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    Ztking::SaveFilex(path(QStringLiteral("new.txt")), text, cover);
    QCOMPARE(readBytes(QStringLiteral("new.txt")), bytes);
}

void TstFiles::saveRefused()
{
    QVERIFY_THROWS_EXCEPTION(
        Ztking::EZtkError,
        Ztking::SaveFilex(path(QStringLiteral("no/such.txt")), QStringLiteral("x"), true));
}

void TstFiles::readOnlyFolder_data()
{
    QTest::addColumn<QString>("op");
    for (const char *op : {"Iniwrite", "Inideljie", "Inidelkey", "SaveFilex cover", "SaveFilex append"})
        QTest::newRow(op) << op;
}

void TstFiles::readOnlyFolder()
{
    // The file may be written, its folder takes no new file: no write may
    // happen in place, where a failure or a kill would leave half a file.
    QFETCH(QString, op);
    const QString name = QStringLiteral("a.ini");
    const QByteArray before("[s]\r\nk=1\r\n");
    writeBytes(name, before);
    QVERIFY(QFile::setPermissions(path(name), QFileDevice::Permissions::fromInt(0x6666)));
    QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::Permissions::fromInt(0x5555)));
    const bool root = geteuid() == 0;
    const auto restore = qScopeGuard([&] {
        if (root && seteuid(0) != 0)
            qFatal("cannot take back root's rights");
        QFile::setPermissions(dir->path(), QFileDevice::Permissions::fromInt(0x7700));
    });
    if (root)
        QCOMPARE(seteuid(nobody), 0);

    const QString message = writeError(op, path(name));
    QVERIFY2(isRefusal(op, path(name), message), qPrintable(message));
    QCOMPARE(readBytes(name), before);
}

void TstFiles::killedMidWrite_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QFileDevice::Permissions>("folderRights");

    const auto all = QFileDevice::Permissions::fromInt(0x7777);
    const auto readOnly = QFileDevice::Permissions::fromInt(0x5555);
    for (const char *op : {"Iniwrite", "SaveFilex"}) {
        QTest::addRow("%s, folder open to all", op) << op << all;
        QTest::addRow("%s, read-only folder", op) << op << readOnly;
    }
}

void TstFiles::killedMidWrite()
{
    // Whenever a reader looks, and after a kill at any moment, the file holds
    // one text or the other, whole.
    QFETCH(QString, op);
    QFETCH(QFileDevice::Permissions, folderRights);
    const auto fileBytes = [&](int which) {
        const QByteArray text = longText(which).toLatin1();
        return op == u"Iniwrite" ? "[s]\r\nk=" + text + "\r\n" : text;
    };
    const QByteArray one = fileBytes(0), other = fileBytes(1);
    const QString name = QStringLiteral("w.ini");
    writeBytes(name, one);
    QVERIFY(QFile::setPermissions(path(name), QFileDevice::Permissions::fromInt(0x6666)));
    QVERIFY(QFile::setPermissions(dir->path(), folderRights));
    const auto restore = qScopeGuard([&] { QFile::setPermissions(dir->path(), QFileDevice::Permissions::fromInt(0x7700)); });

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--write-loop"), op, path(name)});
    QVERIFY(child.waitForStarted());
    QByteArray said;
    const QDeadlineTimer deadline(std::chrono::minutes(2));
    while (said.count('\n') < 8) {
        const QByteArray now = readBytes(name);
        QVERIFY2(now == one || now == other, qPrintable(QStringLiteral("a reader saw %1 bytes").arg(now.size())));
        QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
        QVERIFY(!deadline.hasExpired());
        child.waitForReadyRead(0);
        said += child.readAllStandardOutput();
    }
    QCOMPARE(::kill(pid_t(child.processId()), SIGKILL), 0);
    QVERIFY(child.waitForFinished());
    const QByteArray left = readBytes(name);
    QVERIFY2(left == one || left == other, qPrintable(QStringLiteral("the kill left %1 bytes").arg(left.size())));
    const QList<QByteArray> lines = said.trimmed().split('\n');
    for (const QByteArray &line : lines) {
        if (folderRights & QFileDevice::WriteOwner)
            QCOMPARE(line, QByteArray("written"));
        else
            QVERIFY2(isRefusal(op, path(name), QString::fromUtf8(line)), line.constData());
    }
}

void TstFiles::notRegular_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("op");

    for (const char *kind : {"pipe", "device", "folder"}) {
        for (const char *op : {"Iniread", "ReadFilex", "Iniwrite", "Inideljie", "Inidelkey",
                               "SaveFilex cover", "SaveFilex append"})
            QTest::addRow("%s, %s", kind, op) << kind << op;
    }
}

void TstFiles::notRegular()
{
    // Nothing but a regular file is read or replaced: a pipe would block, a
    // device never ends, and either replaced by a file would be lost.
    QFETCH(QString, kind);
    QFETCH(QString, op);
    QString p = QStringLiteral("/dev/zero");
    if (kind == u"pipe") {
        p = path(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(p).constData(), 0600), 0);
    } else if (kind == u"folder") {
        p = path(QStringLiteral("sub"));
        QVERIFY(QDir().mkdir(p));
    }

    QString result;
    auto done = std::async(std::launch::async, [&] {
        if (op == u"Iniread")
            result = Ztking::Iniread(p, QStringLiteral("s"), QStringLiteral("k"));
        else if (op == u"ReadFilex")
            result = Ztking::ReadFilex(p, -1);
        else
            result = writeError(op, p);
    });
    const bool prompt = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!prompt) {
        // Opening both ends lets a helper that waits on the pipe go on, so
        // that the test fails rather than hangs.
        const QByteArray fifo = QFile::encodeName(p);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK));
        done.wait();
        ::close(reader);
    }
    QVERIFY2(prompt, "the helper waited on the file");
    done.get();
    if (op == u"Iniread" || op == u"ReadFilex")
        QCOMPARE(result, QString());
    else
        QVERIFY2(isRefusal(op, p, result), qPrintable(result));
    const QFileInfo after(p);
    QVERIFY(after.exists() && !after.isFile());
}

void TstFiles::readLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("linenum");
    QTest::addColumn<QString>("expected");

    const QByteArray abc("a\r\nb\r\nc");
    QTest::newRow("all lines") << abc << -1 << "a\r\nb\r\nc";
    QTest::newRow("first line") << abc << 0 << "a";
    QTest::newRow("last line") << abc << 2 << "c";
    QTest::newRow("beyond last line") << abc << 9 << "c";
    QTest::newRow("below -1") << abc << -2 << "";
    QTest::newRow("final ending starts no line") << QByteArray("a\r\nb\r\n") << 9 << "b";
    QTest::newRow("LF and CR endings") << QByteArray("a\nb\rc\n") << -1 << "a\r\nb\r\nc";
    QTest::newRow("empty lines kept") << QByteArray("a\n\n\nb") << 2 << "";
    QTest::newRow("only an ending") << QByteArray("\r\n") << -1 << "";
    QTest::newRow("empty file") << QByteArray() << -1 << "";
    QTest::newRow("empty file line 0") << QByteArray() << 0 << "";
    QTest::newRow("GB18030 without mark") << QByteArray("\xca\xe9\r\n\xbe\xed") << 1 << "卷";
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF\xE4\xB9\xA6\nx") << 0 << "书";
    QTest::newRow("UTF-16 LE mark")
        << QByteArray("\xFF\xFE\x66\x4e\r\0\n\0x\0", 10) << -1 << "书\r\nx";
    QTest::newRow("UTF-16 BE mark")
        << QByteArray("\xFE\xFF\x4e\x66\0\n\0x", 8) << 1 << "x";
    QTest::newRow("UTF-16 odd byte") << QByteArray("\xFF\xFEx\0y", 5) << 0 << "x\uFFFD";
    QTest::newRow("mark alone") << QByteArray("\xEF\xBB\xBF") << -1 << "";
}

void TstFiles::readLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, linenum);
    QFETCH(QString, expected);
    writeBytes(QStringLiteral("r.txt"), bytes);
    QCOMPARE(Ztking::ReadFilex(path(QStringLiteral("r.txt")), linenum), expected);
}

void TstFiles::readUnreadable_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("missing file") << "none.txt";
    QTest::newRow("folder") << ".";
    QTest::newRow("device") << "/dev/zero";
    QTest::newRow("empty name") << "";
}

void TstFiles::readUnreadable()
{
    QFETCH(QString, name);
    const QString f = name.startsWith(u'/') || name.isEmpty() ? name : path(name);
    QCOMPARE(Ztking::ReadFilex(f, -1), QString());
    QCOMPARE(Ztking::ReadFilex(f, 0), QString());
}

void TstFiles::commandLine_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("show");
    QTest::addColumn<QString>("expected");

    const QStringList two = {QStringLiteral("cd \\temp"), QStringLiteral("dir")};
    QTest::newRow("hidden") << two << "0" << "cmd /c cd \\temp && dir";
    QTest::newRow("shown") << two << "1" << "cmd /k cd \\temp && dir";
    QTest::newRow("any other show is hidden") << two << "01" << "cmd /c cd \\temp && dir";
    QTest::newRow("one line") << QStringList{QStringLiteral("dir")} << "1" << "cmd /k dir";
    QTest::newRow("empty list hidden") << QStringList() << "0" << "cmd /c ";
    QTest::newRow("empty list shown") << QStringList() << "1" << "cmd /k ";
}

void TstFiles::commandLine()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, show);
    QFETCH(QString, expected);
    QCOMPARE(Ztking::Rundosline(lines, show), expected);
}

void TstFiles::commandRuns()
{
    // Each line runs only when the one before succeeded; the group's end
    // is marked after it whatever happened inside, so the file is complete
    // once "end" is in it.
    const QString m = path(QStringLiteral("marker"));
    Ztking::Rundos({QStringLiteral("{ echo one > '%1'").arg(m), QStringLiteral("false"),
                    QStringLiteral("echo two >> '%1'; }; echo end >> '%1'").arg(m)},
                   QStringLiteral("0"));
    QTRY_COMPARE(readBytes(QStringLiteral("marker")), QByteArray("one\nend\n"));
}

void TstFiles::hostAddress_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("dotted address") << "127.0.0.1" << "127.0.0.1";
    QTest::newRow("local host") << "localhost" << "127.0.0.1";
    QTest::newRow("not resolving") << "no-such-host.invalid" << "no";
    QTest::newRow("empty") << "" << "no";
    QTest::newRow("blank inside") << "a b" << "no";
    QTest::newRow("NUL inside") << QStringLiteral("127.0.0.1") + QChar(0) + QStringLiteral("x") << "no";
}

void TstFiles::hostAddress()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(Ztking::GetIPFromName(name), expected);
}

void TstFiles::digest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("md5");

    QTest::newRow("empty") << "" << "d41d8cd98f00b204e9800998ecf8427e";
    QTest::newRow("a") << "a" << "0cc175b9c0f1b6a831c399e269772661";
    QTest::newRow("abc") << "abc" << "900150983cd24fb0d6963f7d28e17f72";
    QTest::newRow("message digest") << "message digest" << "f96b697d7cb7938d525a2f31aaf161d0";
    QTest::newRow("80 digits")
        << "12345678901234567890123456789012345678901234567890123456789012345678901234567890"
        << "57edf4a22be3c955ac49da2e2107b67a";
    QTest::newRow("100 bytes") << QStringLiteral("0123456789").repeated(10)
                               << "7a08b07e84641703e5f2c836aa59a170";
    QTest::newRow("GB18030 bytes") << "中文" << "bcce109775e8e1972e9f5fcda3e12895";
    QTest::newRow("100 GB18030 bytes") << QStringLiteral("书").repeated(50)
                                       << "5c42ef86ba3e0b32dc885f6f8f7cdbea";
}

void TstFiles::digest()
{
    QFETCH(QString, text);
    QFETCH(QString, md5);
    QCOMPARE(Ztking::MD5set(text), md5);
}

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--write-loop") == 0)
        return writeLoop(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    QCoreApplication app(argc, argv);
    TstFiles tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_files.moc"
