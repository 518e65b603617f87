// The editor against the real web engine: views, path tokens, reading back,
// the code view, the toolbar, the mouse filter and the engine's limits.
#include "editor/docengine.h"
#include "editor/editor.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>

class TstEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void usableBeforeShownAndKeptWhenShownAgain();
    void views_data();
    void views();
    void readingViewHidesOpenCodeTab();
    void pathtourlEscapes_data();
    void pathtourlEscapes();
    void libraryToken_data();
    void libraryToken();
    void readBackToken_data();
    void readBackToken();
    void otherLoadModes();
    void setBody();
    void wholeDocumentCrLf();
    void wholeDocumentEveryNode_data();
    void wholeDocumentEveryNode();
    void chineseWhateverCharset_data();
    void chineseWhateverCharset();
    void welcomePage();
    void pageScriptsDoNotRun();
    void linksDoNotNavigate();
    void tenMegabytePage();
    void codeViewRoundTrip();
    void toolbar_data();
    void toolbar();
    void colour_data();
    void colour();
    void address_data();
    void address();
    void pastePlainText();
    void toolbarNames();
    void mouseFilter();
    void hangBecomesError();

private:
    QVariant js(const QString &body) { return ed->document()->call(body); }
    void selectWord(const QString &id, int length);

    QWidget *host = nullptr;
    QLineEdit *other = nullptr;
    TZthtmleditorx *ed = nullptr;
    QTemporaryDir lib;
};

void TstEditor::initTestCase()
{
    QVERIFY(lib.isValid());
    host = new QWidget;
    host->resize(900, 650);
    auto *layout = new QVBoxLayout(host);
    other = new QLineEdit(host);
    other->setObjectName(QStringLiteral("other"));
    layout->addWidget(other);
    ed = new TZthtmleditorx(host);
    ed->setObjectName(QStringLiteral("Zthtmleditorx1"));
    layout->addWidget(ed, 1);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host));
    QVERIFY(ed->document()->hasDocument());
    // The lists stand on their first items once the editor is shown.
    QCOMPARE(ed->findChild<QComboBox *>(QStringLiteral("cbb1"))->currentText(), QStringLiteral("宋体"));
    QCOMPARE(ed->findChild<QComboBox *>(QStringLiteral("cbb2"))->currentText(), QStringLiteral("2"));
    QCOMPARE(ed->findChild<QComboBox *>(QStringLiteral("cbb3"))->currentText(), QStringLiteral("普通"));
}

void TstEditor::cleanupTestCase()
{
    delete host;
}

void TstEditor::init()
{
    ed->Tuku = lib.path();
    ed->WebTitle = QString();
    ed->document()->setTimeout(30000);
}

void TstEditor::selectWord(const QString &id, int length)
{
    const QString chosen = js(QStringLiteral("var t=document.getElementById('%1').firstChild,r=document.createRange();"
                                             "r.setStart(t,0);r.setEnd(t,%2);var s=getSelection();"
                                             "s.removeAllRanges();s.addRange(r);return s.toString();")
                                  .arg(id)
                                  .arg(length))
                               .toString();
    QCOMPARE(chosen.size(), length);
}

void TstEditor::usableBeforeShownAndKeptWhenShownAgain()
{
    QWidget page;
    page.resize(400, 300);
    auto *layout = new QVBoxLayout(&page);
    auto *fresh = new TZthtmleditorx(&page);
    layout->addWidget(fresh);
    fresh->htmlsetAll(QStringLiteral("<p>loaded early</p>"), QStringLiteral("R"), 0);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(fresh->htmlgetBody(), QStringLiteral("<p>loaded early</p>"));
    page.hide();
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(fresh->htmlgetBody(), QStringLiteral("<p>loaded early</p>"));
}

void TstEditor::views_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("heading");

    QTest::newRow("empty title edits") << QString() << true << QStringLiteral("编辑") << QStringLiteral("#MyTitle#");
    QTest::newRow("title reads") << QStringLiteral("Note") << false << QStringLiteral("Note")
                                 << QStringLiteral("卷一·序");
}

void TstEditor::views()
{
    QFETCH(QString, title);
    QFETCH(bool, editing);
    QFETCH(QString, caption);
    QFETCH(QString, heading);

    ed->WebTitle = QStringLiteral("卷一·序");
    ed->htmlsetAll(QStringLiteral("<html><head><title>#mytitle#</title></head><body><h1 id=\"h\">#MyTitle#</h1></body></html>"),
                   title, 0);
    auto *pgc1 = ed->findChild<QTabWidget *>(QStringLiteral("pgc1"));
    auto *pnl1 = ed->findChild<QWidget *>(QStringLiteral("pnl1"));
    QCOMPARE(pgc1->tabText(0), caption);
    QCOMPARE(pgc1->isTabVisible(1), editing);
    QCOMPARE(pgc1->tabText(1), QStringLiteral("代码"));
    QCOMPARE(pnl1->isVisible(), editing);
    QCOMPARE(pnl1->height(), editing ? 46 : 0);
    QCOMPARE(ed->findChild<QWidget *>(QStringLiteral("tlb1"))->isVisible(), editing);
    QCOMPARE(ed->findChild<QWidget *>(QStringLiteral("tlb2"))->isVisible(), editing);
    QCOMPARE(ed->Editstate, editing);
    QCOMPARE(ed->document()->designMode(), editing);
    QCOMPARE(js(QStringLiteral("return document.getElementById('h').textContent;")).toString(), heading);
}

void TstEditor::readingViewHidesOpenCodeTab()
{
    ed->htmlsetAll(QStringLiteral("<p>editing</p>"), QString(), 0);
    auto *pgc1 = ed->findChild<QTabWidget *>(QStringLiteral("pgc1"));
    pgc1->setCurrentIndex(1);
    ed->findChild<QPlainTextEdit *>(QStringLiteral("mmo1"))->setPlainText(QStringLiteral("<p>stale code</p>"));

    ed->htmlsetAll(QStringLiteral("<p>stored page</p>"), QStringLiteral("Page"), 0);

    QCOMPARE(pgc1->currentIndex(), 0);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p>stored page</p>"));
    QVERIFY(!ed->document()->designMode());
}

void TstEditor::pathtourlEscapes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("back");

    QTest::newRow("blank") << "/A B/images" << "file:///A%20B/images" << "file:///A B/images";
    QTest::newRow("empty") << "" << "file:///" << "file:///";
    QTest::newRow("escape in a name") << "/a%20b" << "file:///a%2520b" << "file:///a%20b";
    QTest::newRow("all ten") << "/x%y #^&{}[]'" << "file:///x%25y%20%23%5E%26%7B%7D%5B%5D%27"
                             << "file:///x%y #^&{}[]'";
    QTest::newRow("backslashes") << "C:\\Lib Books\\images" << "file:///C:/Lib%20Books/images"
                                 << "file:///C:/Lib Books/images";
    QTest::newRow("chinese kept") << "/书库/图片" << "file:///书库/图片" << "file:///书库/图片";
}

void TstEditor::pathtourlEscapes()
{
    QFETCH(QString, path);
    QFETCH(QString, url);
    QFETCH(QString, back);
    QCOMPARE(pathtourl(path), url);
    QCOMPARE(urlunescape(url), back);
    QCOMPARE(urlunescape(QString(url).replace(QStringLiteral("%5E"), QStringLiteral("%5e"))), back);
}

void TstEditor::libraryToken_data()
{
    QTest::addColumn<QString>("tuku");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("src");

    QTest::newRow("blank in path") << "/A B/images" << "#Tuku·vostrelan#"
                                   << "file:///A%20B/images/system/index.jpg";
    QTest::newRow("any letter case") << "/A B/images" << "#tUKU·VOSTRELAN#"
                                     << "file:///A%20B/images/system/index.jpg";
    QTest::newRow("no library") << "" << "#Tuku·vostrelan#" << "file:////system/index.jpg";
}

void TstEditor::libraryToken()
{
    QFETCH(QString, tuku);
    QFETCH(QString, token);
    QFETCH(QString, src);
    ed->Tuku = tuku;
    ed->htmlsetAll(QStringLiteral("<img src=\"%1/system/index.jpg\">").arg(token), QStringLiteral("T"), 0);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<img src=\"%1\">").arg(src));
}

void TstEditor::readBackToken_data()
{
    QTest::addColumn<QString>("spelling");

    QTest::newRow("as written") << "file:///A%20B/images";
    QTest::newRow("other case") << "FILE:///a%20b/IMAGES";
}

void TstEditor::readBackToken()
{
    QFETCH(QString, spelling);
    ed->Tuku = QStringLiteral("/A B/images");
    ed->htmlsetAll(QStringLiteral("<p><img src=\"%1/a.jpg\"><img src=\"%1/b.jpg\"></p>").arg(spelling), QString(), 0);
    const QString expected = QStringLiteral("<p><img src=\"#Tuku·vostrelan#/a.jpg\"><img src=\"#Tuku·vostrelan#/b.jpg\"></p>");
    QCOMPARE(ed->htmlgetBodyx(), expected);
    const QString all = ed->htmlgetAllx();
    QVERIFY2(all.contains(expected), qPrintable(all));
    QVERIFY(ed->htmlgetBody().contains(spelling));
}

void TstEditor::otherLoadModes()
{
    ed->htmlsetAll(QStringLiteral("<p>kept</p>"), QString(), 0);
    ed->htmlsetAll(QStringLiteral("<p>never loaded</p>"), QStringLiteral("Read"), 2);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p>kept</p>"));
    QVERIFY(!ed->Editstate);
    QVERIFY(!ed->document()->designMode());

    QFile page(lib.filePath(QStringLiteral("page.htm")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body><p>from a file</p></body></html>");
    page.close();
    ed->htmlsetAll(QUrl::fromLocalFile(page.fileName()).toString(), QString(), 1);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p>from a file</p>"));
    QVERIFY(ed->document()->designMode());
}

void TstEditor::setBody()
{
    ed->WebTitle = QStringLiteral("标题");
    ed->htmlsetAll(QStringLiteral("<p>old</p>"), QString(), 0);
    ed->htmlsetBody(QStringLiteral("<p>#mytitle# 新</p>"), QStringLiteral("R"));
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p>标题 新</p>"));
    QVERIFY(!ed->document()->designMode());
    ed->htmlsetBody(QStringLiteral("<p>#mytitle#</p>"), QString());
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p>#mytitle#</p>"));
    QVERIFY(ed->document()->designMode());
}

void TstEditor::wholeDocumentCrLf()
{
    ed->htmlsetAll(QStringLiteral("<!DOCTYPE html>\n<html><head>\n<title>t</title>\r\n</head><body>\n<p>a</p>\n</body></html>"),
                   QString(), 0);
    const QString all = ed->htmlgetAll();
    QVERIFY2(all.startsWith(QStringLiteral("<!DOCTYPE html>\r\n<html><head>\r\n<title>t</title>\r\n")), qPrintable(all));
    QVERIFY(all.contains(QStringLiteral("<p>a</p>\r\n")));
    QCOMPARE(all.count(QLatin1Char('\n')), all.count(QStringLiteral("\r\n")));
    QCOMPARE(all.count(QLatin1Char('\r')), all.count(QStringLiteral("\r\n")));
}

void TstEditor::wholeDocumentEveryNode_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    const QString page = QStringLiteral("<html><head></head><body><p>a</p></body></html>");
    QTest::newRow("comment first") << "<!-- saved by hand -->\n" + page << "<!-- saved by hand -->\r\n" + page;
    QTest::newRow("doctype and comments") << "<!DOCTYPE html>\n<!--one-->\n<!--two-->\n" + page
                                          << "<!DOCTYPE html>\r\n<!--one-->\r\n<!--two-->\r\n" + page;
    QTest::newRow("processing instruction") << "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n" + page
                                            << "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n" + page;
    QTest::newRow("comments after the end") << page + "<!--end--><!--x-->" << page + "<!--end--><!--x-->";
    QTest::newRow("comment that starts with ?") << "<!--?a>b?-->" + page << "<!--?a>b?-->\r\n" + page;
}

void TstEditor::wholeDocumentEveryNode()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    ed->htmlsetAll(source, QString(), 0);
    QCOMPARE(ed->htmlgetAll(), expected);
    // Stored and shown again, the page comes back the same.
    ed->htmlsetAll(expected, QString(), 0);
    QCOMPARE(ed->htmlgetAll(), expected);
}

void TstEditor::chineseWhateverCharset_data()
{
    QTest::addColumn<QString>("head");

    QTest::newRow("gb2312 http-equiv")
        << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">";
    QTest::newRow("big5") << "<meta charset=\"big5\">";
    QTest::newRow("latin-1") << "<meta charset=\"iso-8859-1\">";
    QTest::newRow("shift_jis") << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">";
    QTest::newRow("utf-16") << "<meta charset=\"utf-16\">";
    QTest::newRow("none") << "";
}

void TstEditor::chineseWhateverCharset()
{
    QFETCH(QString, head);
    const QString text = QStringLiteral("修心养性，从阅读开始 …… 𠀋 ·");
    ed->htmlsetAll(QStringLiteral("<html><head>%1</head><body><p>%2</p></body></html>").arg(head, text), QStringLiteral("读"), 0);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p>") + text + QStringLiteral("</p>"));
    QCOMPARE(ed->htmlgetBodytxt(), text);
    QVERIFY(ed->htmlgetAll().contains(head));
}

void TstEditor::welcomePage()
{
    QVERIFY(QDir(lib.path()).mkpath(QStringLiteral("system")));
    QImage picture(500, 120, QImage::Format_RGB32);
    picture.fill(QColor(0x9C, 0xC8, 0x7A));
    QVERIFY(picture.save(lib.filePath(QStringLiteral("system/index.jpg"))));
    const QString welcome = QStringLiteral(
        "<html><head><meta http-equiv=\"Content-Language\" content=\"zh-cn\"><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
        "<title>Velloran欢迎您</title></head><body bgcolor=\"#FFFFE6\"><div align=\"center\">"
        "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"500\" height=\"50\"><tr><td align=\"center\">"
        "<img border=\"0\" src=\"#Tuku·vostrelan#/system/index.jpg\" width=\"500\"></td></tr><tr>"
        "<td height=\"43\" bgcolor=\"#E6F7FF\" style=\"font-family: 宋体; font-size: 14px;text-align:center;\"><b><font color=\"#F23100\">修心养性，从阅读开始 ……</font></b></td></tr><tr>"
        "<td height=\"80\" valign=\"top\" style=\"padding:8px; text-align: left;font-size: 14px; line-height:150%\">"
        "Velloran使用简介：<br>"
        "1、在左侧“书卷、章节·内容”列表中点击鼠标右键进行各种操作。<br>"
        "2、鼠标可拖动节点进行排序。</td></tr><tr>"
        "<td height=\"25\" valign=\"top\" style=\"padding:8px; text-align: right;font-size: 9pt; line-height:150%\">"
        "<font color=\"#663300\">谢谢您的阅读。</font></td>"
        "</tr></table></div></body></html>");
    ed->htmlsetAll(welcome, QStringLiteral("静心阅读"), 0);
    QCOMPARE(ed->findChild<QTabWidget *>(QStringLiteral("pgc1"))->tabText(0), QStringLiteral("静心阅读"));
    const QString text = ed->htmlgetBodytxt();
    QVERIFY2(text.contains(QStringLiteral("修心养性，从阅读开始 ……")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("1、在左侧“书卷、章节·内容”列表中点击鼠标右键进行各种操作。")));
    QTRY_COMPARE(js(QStringLiteral("return document.images[0].naturalWidth;")).toInt(), 500);
    QVERIFY(ed->htmlgetAllx().contains(QStringLiteral("src=\"#Tuku·vostrelan#/system/index.jpg\"")));
}

void TstEditor::pageScriptsDoNotRun()
{
    ed->htmlsetAll(QStringLiteral("<html><head><script>document.title='ran';</script></head><body>"
                                  "<p id=\"p\">text</p><script>document.getElementById('p').textContent='changed';</script>"
                                  "<img src=\"missing.png\" onerror=\"document.body.setAttribute('data-err','1')\">"
                                  "</body></html>"),
                   QStringLiteral("R"), 0);
    QTRY_VERIFY(js(QStringLiteral("return document.images[0].complete;")).toBool());
    QCOMPARE(js(QStringLiteral("return document.getElementById('p').textContent;")).toString(), QStringLiteral("text"));
    QVERIFY(!js(QStringLiteral("return document.body.hasAttribute('data-err');")).toBool());
    QVERIFY(js(QStringLiteral("return document.title;")).toString() != QLatin1String("ran"));
}

void TstEditor::linksDoNotNavigate()
{
    QSignalSpy refused(ed->document(), &TDocengine::navigationRefused);
    ed->htmlsetAll(QStringLiteral("<p><a id=\"a\" href=\"https://example.invalid/\">link</a></p>"
                                  "<form id=\"f\" action=\"https://example.invalid/post\"></form>"),
                   QStringLiteral("R"), 0);
    const QUrl shown = ed->document()->url();
    js(QStringLiteral("document.getElementById('a').click();return true;"));
    QTRY_COMPARE(refused.count(), 1);
    js(QStringLiteral("document.getElementById('f').submit();return true;"));
    QTRY_COMPARE(refused.count(), 2);
    QCOMPARE(refused.at(0).at(0).toUrl(), QUrl(QStringLiteral("https://example.invalid/")));
    QCOMPARE(ed->document()->url(), shown);
    QVERIFY(ed->htmlgetBody().contains(QStringLiteral("link</a>")));
}

void TstEditor::tenMegabytePage()
{
    QString body;
    body.reserve(10 * 1024 * 1024 + 100);
    for (int i = 0; body.size() < 10 * 1024 * 1024; ++i)
        body += QStringLiteral("<p>第%1段 lorem ipsum dolor sit amet, consectetur adipiscing elit.</p>").arg(i);
    body += QStringLiteral("<p>末尾</p>");
    ed->htmlsetAll(QStringLiteral("<html><head></head><body>") + body + QStringLiteral("</body></html>"), QString(), 0);
    const QString back = ed->htmlgetBody();
    QCOMPARE(back.size(), body.size());
    QVERIFY(back == body);
    QVERIFY(ed->htmlgetAll().contains(QStringLiteral("<p>末尾</p></body></html>")));
    ed->htmlsetAll(QStringLiteral("<p>small</p>"), QString(), 0);
}

void TstEditor::codeViewRoundTrip()
{
    ed->htmlsetAll(QStringLiteral("<html><head><title>keep</title></head><body><p>before</p></body></html>"), QString(), 0);
    auto *pgc1 = ed->findChild<QTabWidget *>(QStringLiteral("pgc1"));
    auto *mmo1 = ed->findChild<QPlainTextEdit *>(QStringLiteral("mmo1"));
    pgc1->setCurrentIndex(1);
    QCOMPARE(mmo1->toPlainText(), QStringLiteral("<p>before</p>"));
    mmo1->setPlainText(QStringLiteral("<h2>after</h2>\n<p>代码 &amp; 文字&nbsp;</p>"));
    pgc1->setCurrentIndex(0);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<h2>after</h2>\n<p>代码 &amp; 文字&nbsp;</p>"));
    QVERIFY(ed->document()->designMode());
    QVERIFY(ed->htmlgetAll().contains(QStringLiteral("<title>keep</title>")));
}

void TstEditor::toolbar_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("expected");

    QTest::newRow("bold") << "cxButton1" << -1 << "<p id=\"w\"><b>hello</b> world</p>";
    QTest::newRow("italic") << "cxButton2" << -1 << "<p id=\"w\"><i>hello</i> world</p>";
    QTest::newRow("underline") << "cxButton3" << -1 << "<p id=\"w\"><u>hello</u> world</p>";
    QTest::newRow("strike") << "cxButton4" << -1 << "<p id=\"w\"><strike>hello</strike> world</p>";
    QTest::newRow("centre") << "cxButton8" << -1 << "<p id=\"w\" style=\"text-align: center;\">hello world</p>";
    QTest::newRow("numbered") << "cxButton11" << -1 << "<p id=\"w\"><ol><li>hello world</li></ol></p>";
    QTest::newRow("font name") << "cbb1" << 1 << "<p id=\"w\"><font face=\"黑体\">hello</font> world</p>";
    QTest::newRow("font size") << "cbb2" << 4 << "<p id=\"w\"><font size=\"5\">hello</font> world</p>";
    QTest::newRow("heading") << "cbb3" << 1 << "<h1>hello world</h1>";
    QTest::newRow("paragraph") << "cbb3" << 7 << "<p id=\"w\">hello world</p>";
    QTest::newRow("preformatted") << "cbb3" << 12 << "<pre>hello world</pre>";
}

void TstEditor::toolbar()
{
    QFETCH(QString, control);
    QFETCH(int, item);
    QFETCH(QString, expected);

    ed->htmlsetAll(QStringLiteral("<p id=\"w\">hello world</p>"), QString(), 0);
    selectWord(QStringLiteral("w"), 5);
    if (item < 0) {
        QTest::mouseClick(ed->findChild<QToolButton *>(control), Qt::LeftButton);
    } else {
        auto *box = ed->findChild<QComboBox *>(control);
        box->setCurrentIndex(item);
        QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p id=\"w\">hello world</p>"));
        emit box->activated(item);
    }
    QCOMPARE(ed->htmlgetBody(), expected);
}

void TstEditor::colour_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("expected");

    QTest::newRow("red text") << "cxButton5" << true << "<p id=\"w\"><font color=\"#ff0000\">hello</font> world</p>";
    QTest::newRow("red ground") << "cxButton6" << true
                                << "<p id=\"w\"><span style=\"background-color: rgb(255, 0, 0);\">hello</span> world</p>";
    QTest::newRow("cancelled") << "cxButton5" << false << "<p id=\"w\">hello world</p>";
}

void TstEditor::colour()
{
    QFETCH(QString, button);
    QFETCH(bool, accept);
    QFETCH(QString, expected);

    ed->htmlsetAll(QStringLiteral("<p id=\"w\">hello world</p>"), QString(), 0);
    selectWord(QStringLiteral("w"), 5);
    BoxAnswerer answerer;
    answerer.whenShown(ed->findChild<QColorDialog *>(QStringLiteral("dlgColor1")), [accept](QColorDialog *d) {
        d->setCurrentColor(accept ? QColor(255, 0, 0) : QColor(0, 0, 255));
        accept ? d->accept() : d->reject();
    });
    QTest::mouseClick(ed->findChild<QToolButton *>(button), Qt::LeftButton);
    QCOMPARE(ed->htmlgetBody(), expected);
}

void TstEditor::address_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("expected");

    QTest::newRow("picture") << "cxButton13" << "file:///pics/a.png" << true
                             << "<p id=\"w\"><img src=\"file:///pics/a.png\">&nbsp;world</p>";
    QTest::newRow("link") << "cxButton14" << "https://example.org/" << true
                          << "<p id=\"w\"><a href=\"https://example.org/\">hello</a> world</p>";
    QTest::newRow("cancelled") << "cxButton14" << "https://example.org/" << false << "<p id=\"w\">hello world</p>";
    QTest::newRow("nothing typed") << "cxButton13" << "" << true << "<p id=\"w\">hello world</p>";
}

void TstEditor::address()
{
    QFETCH(QString, button);
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    QFETCH(QString, expected);

    ed->htmlsetAll(QStringLiteral("<p id=\"w\">hello world</p>"), QString(), 0);
    selectWord(QStringLiteral("w"), 5);
    BoxAnswerer answerer;
    answerer.whenShown(ed->findChild<QInputDialog *>(QStringLiteral("dlgInput1")), [typed, accept](QInputDialog *d) {
        d->setTextValue(typed);
        accept ? d->accept() : d->reject();
    });
    QTest::mouseClick(ed->findChild<QToolButton *>(button), Qt::LeftButton);
    QCOMPARE(ed->htmlgetBody(), expected);
}

void TstEditor::pastePlainText()
{
    ed->htmlsetAll(QStringLiteral("<p id=\"w\">hello world</p>"), QString(), 0);
    selectWord(QStringLiteral("w"), 5);
    QApplication::clipboard()->setText(QStringLiteral("纯文本<b>"));
    QTest::mouseClick(ed->findChild<QToolButton *>(QStringLiteral("cxButton19")), Qt::LeftButton);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p id=\"w\">纯文本&lt;b&gt; world</p>"));

    selectWord(QStringLiteral("w"), 3);
    QApplication::clipboard()->clear();
    QTest::mouseClick(ed->findChild<QToolButton *>(QStringLiteral("cxButton19")), Qt::LeftButton);
    QCOMPARE(ed->htmlgetBody(), QStringLiteral("<p id=\"w\">纯文本&lt;b&gt; world</p>"));
}

void TstEditor::toolbarNames()
{
    const QStringList hints = {
        "设置或取消文本加粗", "设置或取消文本斜体", "设置或取消文本下划线", "设置或取消文本删除线", "设置文本字体颜色",
        "设置文本背景色", "设置文本左对齐", "设置文本居中", "设置文本右对齐", "设置文本两端对齐", "数字编号", "项目编号",
        "插入图片", "插入超链接", "取消超链接", "清除格式", "增加缩进量", "减少缩进量", "粘贴纯文本"};
    for (int n = 1; n <= 19; ++n) {
        auto *b = ed->findChild<QToolButton *>(QStringLiteral("cxButton%1").arg(n));
        QVERIFY(b);
        QCOMPARE(b->toolTip(), hints.at(n - 1));
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        QCOMPARE(b->icon().actualSize(QSize(20, 20)), QSize(20, 20));
        QCOMPARE(b->parentWidget()->objectName(), QLatin1String(n <= 16 ? "tlb1" : "tlb2"));
    }
    auto *cbb1 = ed->findChild<QComboBox *>(QStringLiteral("cbb1"));
    QCOMPARE(cbb1->count(), 26);
    QCOMPARE(cbb1->itemText(3), QStringLiteral("仿宋_GB2312"));
    QCOMPARE(cbb1->itemText(25), QStringLiteral("Wingdings 3"));
    auto *cbb3 = ed->findChild<QComboBox *>(QStringLiteral("cbb3"));
    QCOMPARE(cbb3->count(), 13);
    QCOMPARE(cbb3->itemText(12), QStringLiteral("已编排格式"));
}

void TstEditor::mouseFilter()
{
    ed->htmlsetAll(QStringLiteral("<p><input type=\"checkbox\" id=\"a\"> <input type=\"checkbox\" id=\"b\"></p>"),
                   QStringLiteral("R"), 0);
    host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(host));
    auto *wb1 = ed->findChild<QWebEngineView *>(QStringLiteral("wb1"));
    auto centre = [this, wb1](const QString &id) {
        const QVariantList r = js(QStringLiteral("var r=document.getElementById('%1').getBoundingClientRect();"
                                                 "return [r.left+r.width/2,r.top+r.height/2];")
                                      .arg(id))
                                   .toList();
        return wb1->mapTo(host, QPoint(qRound(r.at(0).toDouble()), qRound(r.at(1).toDouble())));
    };
    auto checked = [this](const QString &id) {
        return js(QStringLiteral("return document.getElementById('%1').checked;").arg(id)).toBool();
    };

    // Counts the presses that reach the page, from our own script world.
    js(QStringLiteral("window.presses=0;document.addEventListener('mousedown',function(){window.presses++;},true);"
                      "return true;"));
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        // The first press only moves the focus into the document...
        QTest::mouseClick(host->windowHandle(), button, {}, centre(QStringLiteral("a")));
        QTRY_VERIFY(wb1->hasFocus());
    }
    // ...and the next one acts. Input reaches the page in order, so once b
    // is ticked, every earlier press has been handled too.
    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, centre(QStringLiteral("b")));
    QTRY_VERIFY(checked(QStringLiteral("b")));
    QCOMPARE(js(QStringLiteral("return window.presses;")).toInt(), 1);
    QVERIFY(!checked(QStringLiteral("a")));
    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, centre(QStringLiteral("a")));
    QTRY_VERIFY(checked(QStringLiteral("a")));
}

void TstEditor::hangBecomesError()
{
    ed->document()->setTimeout(300);
    QVERIFY_THROWS_EXCEPTION(EditorError, js(QStringLiteral("var t=Date.now();while(Date.now()-t<1500){}return 1;")));
    QVERIFY_THROWS_EXCEPTION(EditorError, js(QStringLiteral("throw new Error('broken');")));
    ed->document()->setTimeout(30000);
    QCOMPARE(js(QStringLiteral("return 6*7;")).toInt(), 42);
}

QTEST_MAIN(TstEditor)
#include "tst_editor.moc"
