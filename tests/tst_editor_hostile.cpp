// Stored pages written to do harm, shown and edited in the real web engine:
// what they may show from the disk, whether they can replace the document,
// run a script, fetch anything or navigate away.
#include "editor/docengine.h"
#include "editor/editor.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

#include <sys/stat.h>

// Notes every connection and request line that reaches it, and answers none.
class Listener : public QTcpServer
{
public:
    explicit Listener(QObject *parent) : QTcpServer(parent)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                s->setParent(this);
                ++connections;
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    requests << QString::fromLatin1(s->readAll().split('\r').value(0));
                });
            }
        });
    }
    int connections = 0;
    QStringList requests;
};

class TstEditorHostile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void localFiles_data();
    void localFiles();
    void refreshKeepsDocument_data();
    void refreshKeepsDocument();
    void hostilePage_data();
    void hostilePage();

private:
    QVariant js(const QString &body) { return ed->document()->call(body); }
    QString expand(QString html) const;
    static bool canaryCame(TDocengine *doc);
    void writeFile(const QString &path, const QByteArray &bytes);

    QWidget *host = nullptr;
    TZthtmleditorx *ed = nullptr;
    Listener *server = nullptr;
    QTemporaryDir lib;
    QTemporaryDir outside;
};

// A frame that refreshes itself after half a second to a page of its own:
// once it has, every load and refresh of the page around it has had its turn.
static const char canary[] =
    "<iframe id=\"canary\" srcdoc=\"<meta http-equiv='refresh' content='0.5;url=about:blank#canary'>\"></iframe>";

void TstEditorHostile::initTestCase()
{
    QVERIFY(lib.isValid());
    QVERIFY(outside.isValid());
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(&buffer, "PNG"));
    for (const QTemporaryDir *dir : {&lib, &outside}) {
        writeFile(dir->filePath(QStringLiteral("pic.png")), png);
        writeFile(dir->filePath(QStringLiteral("secret.htm")), "<p>secret words</p>");
        writeFile(dir->filePath(QStringLiteral("secret.css")), "#c{color:rgb(1,2,3)}");
    }

    QCOMPARE(mkfifo(QFile::encodeName(outside.filePath(QStringLiteral("pipe.png"))).constData(), 0600), 0);

    server = new Listener(this);
    QVERIFY(server->listen(QHostAddress::LocalHost));

    host = new QWidget;
    host->resize(800, 600);
    auto *layout = new QVBoxLayout(host);
    ed = new TZthtmleditorx(host);
    layout->addWidget(ed);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host));
}

void TstEditorHostile::init()
{
    ed->Tuku = lib.path();
    server->connections = 0;
    server->requests.clear();
}

void TstEditorHostile::cleanupTestCase()
{
    delete host;
}

void TstEditorHostile::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QString TstEditorHostile::expand(QString html) const
{
    return html.replace(QStringLiteral("$O"), QUrl::fromLocalFile(outside.path()).toString())
        .replace(QStringLiteral("$W"), QStringLiteral("http://127.0.0.1:%1").arg(server->serverPort()))
        .replace(QStringLiteral("$C"), QLatin1String(canary));
}

bool TstEditorHostile::canaryCame(TDocengine *doc)
{
    return doc->call(QStringLiteral("var f=document.getElementById('canary');"
                             "return !!(f&&f.contentDocument&&f.contentDocument.URL=='about:blank#canary');"))
        .toBool();
}

void TstEditorHostile::localFiles_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QString>("expected");

    // What every frame of the page shows.
    const QString frames = QStringLiteral(
        "var t='';for(var i=0;i<window.length;i++){try{t+=window[i].document.body.innerText;}catch(e){}}return t;");
    const QString colour = QStringLiteral("return getComputedStyle(document.getElementById('c')).color;");
    const QString width = QStringLiteral("return String(document.images[0].naturalWidth);");

    QTest::newRow("frame") << "<iframe src=\"$O/secret.htm\"></iframe>" << frames << "";
    QTest::newRow("object") << "<object data=\"$O/secret.htm\" type=\"text/html\"></object>" << frames << "";
    QTest::newRow("embed") << "<embed src=\"$O/secret.htm\" type=\"text/html\">" << frames << "";
    QTest::newRow("frame of the library") << "<iframe src=\"#Tuku·vostrelan#/secret.htm\"></iframe>" << frames << "";
    QTest::newRow("style sheet") << "<link rel=\"stylesheet\" href=\"$O/secret.css\"><p id=\"c\">x</p>" << colour
                                 << "rgb(0, 0, 0)";
    QTest::newRow("imported style sheet") << "<style>@import url(\"$O/secret.css\");</style><p id=\"c\">x</p>" << colour
                                          << "rgb(0, 0, 0)";
    // Templates keep their style sheets in the library.
    QTest::newRow("library style sheet") << "<link rel=\"stylesheet\" href=\"#Tuku·vostrelan#/secret.css\"><p id=\"c\">x</p>"
                                         << colour << "rgb(1, 2, 3)";
    QTest::newRow("picture") << "<img src=\"$O/pic.png\">" << width << "8";
    QTest::newRow("library picture") << "<img src=\"#Tuku·vostrelan#/pic.png\">" << width << "8";
    // Neither holds the page's load.
    QTest::newRow("picture from a pipe") << "<img src=\"$O/pipe.png\">" << width << "0";
    QTest::newRow("picture from a device") << "<img src=\"file:///dev/zero\">" << width << "0";
}

void TstEditorHostile::localFiles()
{
    QFETCH(QString, html);
    QFETCH(QString, probe);
    QFETCH(QString, expected);
    ed->htmlsetAll(expand(html), QStringLiteral("R"), 0);
    QTRY_COMPARE(js(probe).toString(), expected);
}

void TstEditorHostile::refreshKeepsDocument_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("meta");
    QTest::addColumn<QString>("stored");

    const QString blank = QStringLiteral("<meta http-equiv=\"refresh\" content=\"0; url=about:blank\">");
    QTest::newRow("read") << "read" << blank << blank;
    QTest::newRow("edited") << "edit" << blank << blank;
    QTest::newRow("letter case") << "read" << "<META HTTP-EQUIV=Refresh CONTENT=\"0;URL=about:blank\">"
                                 << "<meta http-equiv=\"Refresh\" content=\"0;URL=about:blank\">";
    QTest::newRow("to itself") << "read" << "<meta http-equiv=\"refresh\" content=\"0\">"
                               << "<meta http-equiv=\"refresh\" content=\"0\">";
    QTest::newRow("srcdoc address") << "edit" << "<meta http-equiv=\"refresh\" content=\"0; url=about:srcdoc\">"
                                    << "<meta http-equiv=\"refresh\" content=\"0; url=about:srcdoc\">";
    QTest::newRow("typed in the code view") << "code" << blank << blank;
    QTest::newRow("written into the document") << "write" << blank << blank;
}

void TstEditorHostile::refreshKeepsDocument()
{
    QFETCH(QString, how);
    QFETCH(QString, meta);
    QFETCH(QString, stored);
    const QString body = QStringLiteral("<p id=\"p\">stays</p>") + meta + expand(QStringLiteral("$C"));
    if (how == QLatin1String("code") || how == QLatin1String("write")) {
        ed->htmlsetAll(QStringLiteral("<p>before</p>"), QString(), 0);
        if (how == QLatin1String("code"))
            ed->document()->setBodyHtml(body);
        else
            ed->htmlsetBody(body, QString());
    } else {
        ed->htmlsetAll(QStringLiteral("<html><head></head><body>") + body + QStringLiteral("</body></html>"),
                       how == QLatin1String("read") ? QStringLiteral("R") : QString(), 0);
    }
    const QUrl shown = ed->document()->url();
    QTRY_VERIFY(ed->document()->url() != shown || canaryCame(ed->document()));
    QCOMPARE(ed->document()->url(), shown);
    QCOMPARE(js(QStringLiteral("var p=document.getElementById('p');return p?p.textContent:'';")).toString(),
             QStringLiteral("stays"));
    // The page keeps its tag as written, to be stored again.
    QVERIFY2(ed->htmlgetBody().contains(stored), qPrintable(ed->htmlgetBody()));
    QVERIFY(ed->htmlgetAll().contains(stored));
}

void TstEditorHostile::hostilePage_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("read") << "read";
    QTest::newRow("edited") << "edit";
    QTest::newRow("written into a fresh editor") << "fresh";
}

void TstEditorHostile::hostilePage()
{
    QFETCH(QString, how);
    const QString page = expand(QStringLiteral(
        "<html><head><meta http-equiv=\"refresh\" content=\"0; url=$W/refresh\">"
        "<script>document.body.setAttribute('data-ran','head');new Image().src='$W/script';</script>"
        "<link rel=\"stylesheet\" href=\"$W/link.css\"><link rel=\"preconnect\" href=\"$W/\">"
        "<link rel=\"prefetch\" href=\"$W/prefetch\"><link rel=\"preload\" as=\"image\" href=\"$W/preload.png\">"
        "<link rel=\"icon\" href=\"$W/icon.png\">"
        "<style>@import url($W/import.css);body{background-image:url($W/body.png)}"
        "@font-face{font-family:f;src:url($W/font.woff)}p{font-family:f}</style></head>"
        "<body onload=\"document.body.setAttribute('data-ran','onload')\">"
        "<p style=\"background:url('$W/style.png')\">text</p>"
        "<img src=\"$W/pic.png\"><img srcset=\"$W/srcset.png 1x\">"
        "<img src=\"nowhere.png\" onerror=\"document.body.setAttribute('data-ran','onerror');new Image().src='$W/onerror'\">"
        "<picture><source srcset=\"$W/source.png\"><img></picture>"
        "<video src=\"$W/v.mp4\" poster=\"$W/poster.png\" autoplay></video><audio src=\"$W/a.mp3\" autoplay></audio>"
        "<iframe src=\"$W/frame\"></iframe><iframe src=\"javascript:parent.document.body.setAttribute('data-ran','url')\"></iframe>"
        "<iframe srcdoc=\"<img src='$W/srcdoc.png'>\"></iframe>"
        "<object data=\"$W/object\"></object><embed src=\"$W/embed\">"
        "<svg><image href=\"$W/svg.png\"/><script>document.body.setAttribute('data-ran','svg')</script></svg>"
        "<a id=\"a\" href=\"$W/link\" ping=\"$W/ping\">link</a><a id=\"b\" href=\"$W/blank\" target=\"_blank\">new</a>"
        "<form id=\"f\" action=\"$W/form\"><input name=\"q\" value=\"1\"></form>"
        "$C<script>document.body.setAttribute('data-ran','body')</script></body></html>"));
    TZthtmleditorx *editor = ed;
    std::unique_ptr<QWidget> fresh;
    if (how == QLatin1String("fresh")) {
        fresh = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(fresh.get());
        editor = new TZthtmleditorx(fresh.get());
        layout->addWidget(editor);
        fresh->show();
        QVERIFY(QTest::qWaitForWindowExposed(fresh.get()));
        editor->htmlsetBody(page, QString());
    } else {
        editor->htmlsetAll(page, how == QLatin1String("read") ? QStringLiteral("R") : QString(), 0);
    }
    TDocengine *doc = editor->document();
    const QUrl shown = doc->url();
    QSignalSpy refused(doc, &TDocengine::navigationRefused);
    doc->call(QStringLiteral("document.getElementById('a').click();document.getElementById('b').click();"
                             "document.getElementById('f').submit();return true;"));
    QTRY_VERIFY(canaryCame(doc));
    QCOMPARE(server->requests, QStringList());
    QCOMPARE(server->connections, 0);
    QCOMPARE(doc->url(), shown);
    QVERIFY(!doc->call(QStringLiteral("return document.body.hasAttribute('data-ran');")).toBool());
    QStringList refusedUrls;
    for (const QList<QVariant> &r : refused)
        refusedUrls << r.at(0).toUrl().toString(QUrl::RemoveQuery);
    QVERIFY2(refusedUrls.contains(expand(QStringLiteral("$W/form"))), qPrintable(refusedUrls.join(' ')));
    QVERIFY(editor->htmlgetBody().contains(QStringLiteral("<a id=\"a\" href=")));
}

QTEST_MAIN(TstEditorHostile)
#include "tst_editor_hostile.moc"
