// The picture library and the template dialog against the real web engine,
// with pictures served from files, data: addresses and a local web server.
#include "editor/docengine.h"
#include "editor/editor.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <sys/stat.h>

#include <utility>

// Serves /pic.png (also with a query) and /big.png, one byte more than a
// picture may have, with its length told or not; answers 404 elsewhere and
// never answers /hang.png.
class PictureServer : public QTcpServer
{
public:
    explicit PictureServer(QObject *parent) : QTcpServer(parent)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { answer(s); });
            }
        });
    }
    QByteArray picture;
    QStringList requests;
    bool progressShown = false;

private:
    void answer(QTcpSocket *s)
    {
        const QByteArray head = s->peek(s->bytesAvailable());
        if (!head.contains("\r\n\r\n"))
            return;
        s->readAll();
        const QByteArray path = head.split(' ').value(1);
        requests << QString::fromLatin1(path);
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QProgressDialog *>(w) && w->isVisible())
                progressShown = true;
        }
        if (path.startsWith("/hang.png"))
            return;
        if (path == "/big.png" || path == "/big.png?untold") {
            s->write(QByteArray("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n")
                     + (path == "/big.png" ? "Content-Length: " + QByteArray::number(downfileLimit + 1) + "\r\n" : "")
                     + "\r\n");
            // A megabyte at a time, as a server streams: the server's own
            // memory never stands in for the client's.
            auto left = std::make_shared<qint64>(downfileLimit + 1);
            const auto more = [s, left] {
                if (s->bytesToWrite() > (1 << 20))
                    return;
                if (*left <= 0) {
                    s->disconnectFromHost();
                    return;
                }
                const qint64 n = std::min<qint64>(*left, 1 << 20);
                *left -= n;
                s->write(QByteArray(n, 'x'));
            };
            connect(s, &QTcpSocket::bytesWritten, s, more);
            more();
            return;
        }
        const bool found = path == "/pic.png" || path == "/pic.png?a=1&b=2";
        const QByteArray body = found ? picture : QByteArray("not here");
        s->write((found ? "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n" : "HTTP/1.1 404 Not Found\r\n")
                 + QByteArray("Content-Length: ") + QByteArray::number(body.size())
                 + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }
};

// The process's peak resident memory in KB since the last reset.
qint64 peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Starts a new peak at the memory held now, and returns it.
qint64 resetPeakKb()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
    return peakKb();
}

class TstEditorLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void downfileFetches_data();
    void downfileFetches();
    void downfileRefuses_data();
    void downfileRefuses();
    void savepicReportsRefused();
    void pageWithoutPictures();
    void noLibrary_data();
    void noLibrary();
    void savepicCopies_data();
    void savepicCopies();
    void secondSaveCopiesNothing();
    void progressWhileFetching();

    void templatesListed();
    void templateApplied_data();
    void templateApplied();
    void templateNotChosen();
    void templateUnreadable();

private:
    QString body() { return ed->htmlgetBody(); }
    // What the code tab shows when the reader opens it.
    QString codeView()
    {
        ed->findChild<QTabWidget *>(QStringLiteral("pgc1"))->setCurrentIndex(1);
        return ed->findChild<QPlainTextEdit *>(QStringLiteral("mmo1"))->toPlainText();
    }
    QStringList libraryFiles() const { return QDir(tuku.path()).entryList(QDir::Files, QDir::Name); }
    QString web(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server->serverPort()).arg(path);
    }
    void writeTemplate(const QString &name, const QByteArray &bytes);

    QWidget *page = nullptr;
    TZthtmleditorx *ed = nullptr;
    TForm5 *form5 = nullptr;
    PictureServer *server = nullptr;
    QTemporaryDir tuku;
    QTemporaryDir source;
    QByteArray png;
    int deadPort = 0;
    QString moban;
};

void TstEditorLibrary::initTestCase()
{
    QVERIFY(tuku.isValid());
    QVERIFY(source.isValid());
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(picture.save(&buffer, "PNG"));
    for (const QString &name : {QStringLiteral("a b.png"), QStringLiteral("pic.png"), QStringLiteral("图 片.png"),
                               QStringLiteral("50%#[1].png")}) {
        QFile f(source.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(png);
    }
    // Sparse, so they cost no disk.
    for (const auto &[name, size] : {std::pair{"big.png", downfileLimit + 1}, std::pair{"limit.png", downfileLimit}}) {
        QFile f(source.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(size));
    }
    QCOMPARE(mkfifo(QFile::encodeName(source.filePath(QStringLiteral("pipe.png"))).constData(), 0600), 0);

    server = new PictureServer(this);
    server->picture = png;
    QVERIFY(server->listen(QHostAddress::LocalHost));
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    deadPort = closed.serverPort();
    closed.close();

    page = new QWidget;
    page->resize(800, 600);
    auto *layout = new QVBoxLayout(page);
    ed = new TZthtmleditorx(page);
    ed->setObjectName(QStringLiteral("Zthtmleditorx1"));
    layout->addWidget(ed);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));

    moban = QCoreApplication::applicationDirPath() + QStringLiteral("/images/Moban");
    // The test folder's images belong to this test alone; a run that was
    // cut short may have left them.
    QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/images")).removeRecursively();
    QVERIFY(QDir().mkpath(moban + QStringLiteral("/A/images")));
    form5 = new TForm5(page);
}

void TstEditorLibrary::init()
{
    ed->Tuku = tuku.path();
    for (const QString &f : libraryFiles())
        QVERIFY(QFile::remove(tuku.filePath(f)));
    server->requests.clear();
    server->progressShown = false;
    form5->hide();
}

void TstEditorLibrary::cleanupTestCase()
{
    delete page;
    QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/images")).removeRecursively();
}

void TstEditorLibrary::downfileFetches_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("fetched");

    QTest::newRow("file url with blank") << QStringLiteral("file://%1/a b.png") << true;
    QTest::newRow("plain path") << QStringLiteral("%1/pic.png") << true;
    QTest::newRow("percent-encoded file url") << QStringLiteral("file://%1/%E5%9B%BE%20%E7%89%87.png") << true;
    QTest::newRow("web") << QStringLiteral("@/pic.png") << true;
    QTest::newRow("data") << QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()) << true;
    QTest::newRow("missing file") << QStringLiteral("file://%1/none.png") << false;
    QTest::newRow("web 404") << QStringLiteral("@/none.png") << false;
    QTest::newRow("dead address") << QStringLiteral("dead") << false;
    QTest::newRow("no answer") << QStringLiteral("@/hang.png") << false;
    QTest::newRow("other scheme") << QStringLiteral("ftp://127.0.0.1/pic.png") << false;
}

void TstEditorLibrary::downfileFetches()
{
    QFETCH(QString, url);
    QFETCH(bool, fetched);
    if (url == QLatin1String("dead"))
        url = QStringLiteral("http://127.0.0.1:%1/pic.png").arg(deadPort);
    else if (url.startsWith(QLatin1Char('@')))
        url = web(url.mid(1));
    else if (url.contains(QLatin1String("%1")))
        url = url.arg(source.path());
    const QString target = tuku.filePath(QStringLiteral("copy.png"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(downfile(url, target, 1500), fetched);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(QFileInfo::exists(target), fetched);
    if (fetched) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), png);
        // An existing file is never overwritten.
        QVERIFY(!downfile(QStringLiteral("data:text/plain,x"), target));
        QCOMPARE(QFileInfo(target).size(), png.size());
    }
}

void TstEditorLibrary::downfileRefuses_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("why");

    // why: the refusal reported; empty when the picture is copied.
    const QString large = QStringLiteral("大于 50 MB");
    QTest::newRow("web, length told") << QStringLiteral("@/big.png") << large;
    QTest::newRow("web, length untold") << QStringLiteral("@/big.png?untold") << large;
    QTest::newRow("file") << QStringLiteral("file://%1/big.png") << large;
    QTest::newRow("file at the limit") << QStringLiteral("file://%1/limit.png") << QString();
    QTest::newRow("pipe") << QStringLiteral("file://%1/pipe.png") << QStringLiteral("不是普通文件");
    QTest::newRow("device") << QStringLiteral("file:///dev/zero") << QStringLiteral("不是普通文件");
}

void TstEditorLibrary::downfileRefuses()
{
    QFETCH(QString, url);
    QFETCH(QString, why);
    url = url.startsWith(QLatin1Char('@')) ? web(url.mid(1)) : url.arg(source.path());
    const QString target = tuku.filePath(QStringLiteral("copy.png"));
    QString refused;
    // The picture is never held whole: the peak stays well below its size.
    // The buffers of the in-process server and of the network thread, and
    // the memory their threads keep, vary by a few megabytes from run to run.
    const qint64 before = resetPeakKb();
    QCOMPARE(downfile(url, target, 10000, &refused), why.isEmpty());
    const qint64 grown = peakKb() - before;
    QVERIFY2(grown < downfileLimit / 1024 * 3 / 5, qPrintable(QStringLiteral("peak memory grew by %1 KB").arg(grown)));
    QCOMPARE(refused, why);
    QCOMPARE(QFileInfo::exists(target), why.isEmpty());
    if (why.isEmpty())
        QCOMPARE(QFileInfo(target).size(), downfileLimit);
}

void TstEditorLibrary::savepicReportsRefused()
{
    const QString big = QStringLiteral("file://%1/big.png").arg(source.path());
    const QString pipe = QStringLiteral("file://%1/pipe.png").arg(source.path());
    ed->htmlsetAll(QStringLiteral("<p><img src=\"%1\"><img src=\"file://%2/pic.png\"><img src=\"%3\"></p>")
                       .arg(big, source.path(), pipe),
                   QString(), 0);
    BoxAnswerer boxes;
    ed->savepic(QStringLiteral("vl"));
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("这些图片没有复制到图库：\r\n%1（大于 50 MB）\r\n%2（不是普通文件）")
                                          .arg(big, pipe)});
    QCOMPARE(libraryFiles().size(), 1);
    const QString after = body();
    QVERIFY(after.contains(big));
    QVERIFY(after.contains(pipe));
}

void TstEditorLibrary::pageWithoutPictures()
{
    const QString html = QStringLiteral("<p>没有图片 &lt;img src=\"x.png\"&gt;</p>");
    ed->htmlsetAll(html, QString(), 0);
    const QString before = body();
    ed->savepic(QStringLiteral("vl"));
    QCOMPARE(body(), before);
    QCOMPARE(codeView(), before);
    QVERIFY(libraryFiles().isEmpty());
}

void TstEditorLibrary::noLibrary_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("message");

    QTest::newRow("not set") << QString() << QStringLiteral("请先设置图库路径[例如：Tuku=zteditor\\pic]！");
    const QString missing = QDir::tempPath() + QStringLiteral("/velloran-no-such-library");
    QTest::newRow("missing folder") << missing
                                    << QStringLiteral("请建立文件夹：") + missing + QStringLiteral("\r\n否则无法保存图片！");
}

void TstEditorLibrary::noLibrary()
{
    QFETCH(QString, library);
    QFETCH(QString, message);
    ed->htmlsetAll(QStringLiteral("<p><img src=\"file://%1/pic.png\"></p>").arg(source.path()), QString(), 0);
    auto *mmo1 = ed->findChild<QPlainTextEdit *>(QStringLiteral("mmo1"));
    mmo1->setPlainText(QStringLiteral("code view"));
    const QString before = body();
    ed->Tuku = library;
    BoxAnswerer boxes;
    ed->savepic(QStringLiteral("vl"));
    QCOMPARE(boxes.texts, QStringList{message});
    QCOMPARE(body(), before);
    QCOMPARE(mmo1->toPlainText(), QStringLiteral("code view"));
    QVERIFY(libraryFiles().isEmpty());
    QVERIFY(library.isEmpty() || !QFileInfo::exists(library));
}

void TstEditorLibrary::savepicCopies_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<QString>("name");

    // name: the file name a copy gets after the prefix and five random
    // characters; empty when the reference must stay as it is.
    QTest::newRow("file url with %20") << QStringLiteral("file://$S/a%20b.png") << QStringLiteral("a b.png");
    QTest::newRow("plain path") << QStringLiteral("$S/pic.png") << QStringLiteral("pic.png");
    QTest::newRow("web") << QStringLiteral("$W/pic.png") << QStringLiteral("pic.png");
    QTest::newRow("web with query") << QStringLiteral("$W/pic.png?a=1&amp;b=2") << QStringLiteral("pic.png");
    QTest::newRow("name with url characters") << QStringLiteral("file://$S/50%25%23%5B1%5D.png") << QStringLiteral("50__[1].png");
    QTest::newRow("data") << QStringLiteral("data:image/png;base64,$B") << QStringLiteral("picture.png");
    QTest::newRow("dead address") << QStringLiteral("http://127.0.0.1:$D/pic.png") << QString();
    QTest::newRow("web 404") << QStringLiteral("$W/none.png") << QString();
    QTest::newRow("missing file") << QStringLiteral("file://$S/none.png") << QString();
    QTest::newRow("library url") << QStringLiteral("$U/old.png") << QString();
    QTest::newRow("library path") << QStringLiteral("$L/old.png") << QString();
}

void TstEditorLibrary::savepicCopies()
{
    QFETCH(QString, src);
    QFETCH(QString, name);
    src.replace(QStringLiteral("$S"), source.path())
        .replace(QStringLiteral("$W"), web(QString()))
        .replace(QStringLiteral("$B"), QString::fromLatin1(png.toBase64()))
        .replace(QStringLiteral("$D"), QString::number(deadPort))
        .replace(QStringLiteral("$U"), pathtourl(tuku.path()))
        .replace(QStringLiteral("$L"), tuku.path());
    {
        QFile old(tuku.filePath(QStringLiteral("old.png")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(png);
    }
    ed->htmlsetAll(QStringLiteral("<p>前<img src=\"%1\">后</p><p><img alt=\"again\" src=\"%1\"></p>").arg(src), QString(), 0);
    const QString before = body();
    ed->savepic(QStringLiteral("vl"));
    const QString after = body();
    QStringList copies = libraryFiles();
    copies.removeOne(QStringLiteral("old.png"));
    if (name.isEmpty()) {
        QCOMPARE(after, before);
        QVERIFY(copies.isEmpty());
        return;
    }
    QCOMPARE(copies.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^vl_[0-9a-z]{5}") + QRegularExpression::escape(name) + QLatin1Char('$'))
                 .match(copies.first())
                 .hasMatch(),
             qPrintable(copies.first()));
    QFile copy(tuku.filePath(copies.first()));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), png);
    QString target = tuku.filePath(copies.first());
    target.replace(QLatin1String("&"), QLatin1String("&amp;"));
    QCOMPARE(after, QStringLiteral("<p>前<img src=\"%1\">后</p><p><img alt=\"again\" src=\"%1\"></p>").arg(target));
    QCOMPARE(codeView(), after);
    QTRY_VERIFY(ed->document()->call(QStringLiteral("return document.images[0].naturalWidth;")).toInt() == 8);

    ed->savepic(QStringLiteral("vl"));
    QCOMPARE(body(), after);
    QCOMPARE(libraryFiles().size(), copies.size() + 1);
}

void TstEditorLibrary::secondSaveCopiesNothing()
{
    ed->htmlsetAll(QStringLiteral("<p><img src=\"file://%1/pic.png\"><img src=\"%2\"><img src=\"data:image/png;base64,%3\"></p>")
                       .arg(source.path(), web(QStringLiteral("/pic.png")), QString::fromLatin1(png.toBase64())),
                   QString(), 0);
    ed->savepic(QStringLiteral("vl"));
    const QString first = body();
    QCOMPARE(libraryFiles().size(), 3);
    // Read back, stored and shown again, as the book page does.
    const QString stored = ed->htmlgetAll();
    ed->htmlsetAll(stored, QString(), 0);
    ed->savepic(QStringLiteral("vl"));
    QCOMPARE(body(), first);
    QCOMPARE(libraryFiles().size(), 3);
    QCOMPARE(server->requests.size(), 1);
}

void TstEditorLibrary::progressWhileFetching()
{
    ed->htmlsetAll(QStringLiteral("<p><img src=\"file://%1/pic.png\"></p>").arg(source.path()), QString(), 0);
    ed->savepic(QStringLiteral("vl"));
    QVERIFY(page->findChildren<QProgressDialog *>().isEmpty());

    ed->htmlsetAll(QStringLiteral("<p><img src=\"%1\"></p>").arg(web(QStringLiteral("/pic.png"))), QString(), 0);
    ed->savepic(QStringLiteral("vl"));
    QCOMPARE(server->requests, QStringList{QStringLiteral("/pic.png")});
    QVERIFY(server->progressShown);
    QVERIFY(page->findChildren<QProgressDialog *>().isEmpty());
}

void TstEditorLibrary::writeTemplate(const QString &name, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(moban + QLatin1Char('/') + name));
    QFile f(moban + QLatin1Char('/') + name + QStringLiteral("/page.htm"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void TstEditorLibrary::templatesListed()
{
    QFile readme(moban + QStringLiteral("/readme.txt"));
    QVERIFY(readme.open(QIODevice::WriteOnly));
    readme.close();
    QVERIFY(QDir().mkpath(moban + QStringLiteral("/B")));
    QVERIFY(QDir().mkpath(moban + QStringLiteral("/春")));
    form5->show();
    auto *cbb1 = form5->findChild<QComboBox *>(QStringLiteral("cbb1"));
    QStringList names;
    for (int i = 0; i < cbb1->count(); ++i)
        names << cbb1->itemText(i);
    QCOMPARE(names, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("春")}));
    QCOMPARE(form5->windowTitle(), QStringLiteral("使用模版"));
    QCOMPARE(form5->size(), QSize(438, 234));
    QVERIFY(!form5->isModal());
    QCOMPARE(form5->findChild<QPlainTextEdit *>(QStringLiteral("mmo1"))->toPlainText().split(QLatin1Char('\n')).size(), 6);
    form5->hide();
    QVERIFY(QDir(moban + QStringLiteral("/春")).removeRecursively());
}

void TstEditorLibrary::templateApplied_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QString html = QStringLiteral("<html><head><title>#mytitle#</title></head>\n<body><p>模版正文</p>\r\n"
                                        "<img src=\"#Tuku·vostrelan#/Moban/A/images/logo.png\"></body></html>");
    QStringEncoder le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QStringEncoder be(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + html.toUtf8();
    QTest::newRow("utf-16le with mark") << QByteArray(le(html));
    QTest::newRow("utf-16be with mark") << QByteArray(be(html));
    QTest::newRow("code page") << Ztking::toAnsi(html);
}

void TstEditorLibrary::templateApplied()
{
    QFETCH(QByteArray, bytes);
    QFile logo(moban + QStringLiteral("/A/images/logo.png"));
    QVERIFY(logo.open(QIODevice::WriteOnly));
    logo.write(png);
    logo.close();
    writeTemplate(QStringLiteral("A"), bytes);
    ed->Tuku = QCoreApplication::applicationDirPath() + QStringLiteral("/images");
    ed->WebTitle = QStringLiteral("章");
    ed->htmlsetAll(QStringLiteral("<p>old</p>"), QStringLiteral("reading"), 0);

    form5->cbookfrm = page;
    form5->show();
    auto *cbb1 = form5->findChild<QComboBox *>(QStringLiteral("cbb1"));
    cbb1->setCurrentIndex(cbb1->findText(QStringLiteral("A")));
    QTest::mouseClick(form5->findChild<QPushButton *>(QStringLiteral("btn1")), Qt::LeftButton);

    QVERIFY(ed->Editstate);
    QVERIFY(form5->isVisible());
    const QString url = pathtourl(ed->Tuku) + QStringLiteral("/Moban/A/images/logo.png");
    QCOMPARE(body(), QStringLiteral("<p>模版正文</p>\n<img src=\"%1\">\n").arg(url));
    QVERIFY(ed->htmlgetAll().contains(QStringLiteral("<title>#mytitle#</title>")));
    QTRY_COMPARE(ed->document()->call(QStringLiteral("return document.images[0].naturalWidth;")).toInt(), 8);
    form5->hide();
}

void TstEditorLibrary::templateNotChosen()
{
    ed->htmlsetAll(QStringLiteral("<p>kept</p>"), QStringLiteral("reading"), 0);
    QVERIFY(QDir(moban).removeRecursively());
    form5->cbookfrm = page;
    form5->show();
    QCOMPARE(form5->findChild<QComboBox *>(QStringLiteral("cbb1"))->count(), 0);
    BoxAnswerer boxes;
    QTest::mouseClick(form5->findChild<QPushButton *>(QStringLiteral("btn1")), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("请从下拉列表选择模版！")});
    QCOMPARE(body(), QStringLiteral("<p>kept</p>"));
    QVERIFY(!ed->Editstate);
    form5->hide();
}

void TstEditorLibrary::templateUnreadable()
{
    QVERIFY(QDir().mkpath(moban + QStringLiteral("/Empty")));
    ed->htmlsetAll(QStringLiteral("<p>kept</p>"), QStringLiteral("reading"), 0);
    form5->cbookfrm = page;
    form5->show();
    auto *cbb1 = form5->findChild<QComboBox *>(QStringLiteral("cbb1"));
    cbb1->setCurrentIndex(cbb1->findText(QStringLiteral("Empty")));
    QVERIFY_THROWS_EXCEPTION(EditorError, form5->btn1Click());
    QCOMPARE(body(), QStringLiteral("<p>kept</p>"));
    QVERIFY(!ed->Editstate);

    form5->cbookfrm = nullptr;
    QVERIFY_THROWS_EXCEPTION(EditorError, form5->btn1Click());
    form5->hide();
}

QTEST_MAIN(TstEditorLibrary)
#include "tst_editor_library.moc"
