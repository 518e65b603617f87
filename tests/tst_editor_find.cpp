// Finding in the page shown and marking the hits of a library search: what
// the reader sees, and that neither ever reaches what is read back.
#include "editor/docengine.h"
#include "editor/editor.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

// "apple" five times, once across a tag; its shorter prefixes more often.
const QString fruit = QStringLiteral("<p>apple Apple APPLE</p><p>pine<i>apple</i> and <b>app</b>le</p>"
                                     "<p>application</p><p>梨 pear</p>");
// Below a screenful, in a page that styles marks of its own: "velloran"
// three times in text, once split by a tag (missed), once in a script and
// once in a text area (never marked); "书" twice.
const QString library = QStringLiteral("<style>mark{background:none}</style><div style=\"height:3000px\"></div>"
                                       "<p id=\"p\">Velloran keeps books. VELLORAN 书库里的书</p>"
                                       "<p>ｖｅｌｌｏｒａｎ, Vel<b>loran</b></p>"
                                       "<script>velloran</script><textarea>velloran</textarea>");

} // namespace

class TstEditorFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { delete host; }

    void findBar_data();
    void findBar();
    void highlight_data();
    void highlight();
    void marksNeverReadBack_data();
    void marksNeverReadBack();

private:
    QVariant js(const QString &body) { return ed->document()->call(body); }
    QStringList readBacks()
    {
        return {ed->htmlgetAll(), ed->htmlgetAllx(), ed->htmlgetBody(), ed->htmlgetBodyx(), ed->htmlgetBodytxt()};
    }

    QWidget *host = nullptr;
    TZthtmleditorx *ed = nullptr;
};

void TstEditorFind::initTestCase()
{
    host = new QWidget;
    host->resize(800, 500);
    ed = new TZthtmleditorx(host);
    (new QVBoxLayout(host))->addWidget(ed);
    host->show();
    QVERIFY(QTest::qWaitForWindowActive(host));
}

void TstEditorFind::findBar_data()
{
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("counts");

    // After typing, Enter, Shift+Enter, Shift+Enter (back past the first).
    const QStringList apples = {"第 1 个，共 5 个", "第 2 个，共 5 个", "第 1 个，共 5 个", "第 5 个，共 5 个"};
    QTest::newRow("reading") << false << "apple" << apples;
    QTest::newRow("editing") << true << "apple" << apples;
    QTest::newRow("chinese") << true << "梨" << QStringList(4, "第 1 个，共 1 个");
    QTest::newRow("absent") << false << "plum" << QStringList(4, "没有找到");
}

void TstEditorFind::findBar()
{
    QFETCH(bool, editing);
    QFETCH(QString, text);
    QFETCH(QStringList, counts);

    ed->htmlsetAll(fruit, editing ? QString() : QStringLiteral("R"), 0);
    const QString before = ed->htmlgetAll();
    auto *wb1 = ed->findChild<QWebEngineView *>(QStringLiteral("wb1"));
    auto *bar = ed->findChild<QWidget *>(QStringLiteral("findbar"));
    auto *edit = ed->findChild<QLineEdit *>(QStringLiteral("findText"));
    auto *count = ed->findChild<QLabel *>(QStringLiteral("findCount"));
    // Text left from an earlier row would be found again on opening.
    edit->clear();
    wb1->setFocus();
    QTRY_VERIFY(wb1->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QTRY_VERIFY(edit->hasFocus());

    // One event with the whole text, as an input method commits it.
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, text, Qt::NoModifier);
    QTRY_COMPARE(count->text(), counts.at(0));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(count->text(), counts.at(1));
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    QTRY_COMPARE(count->text(), counts.at(2));
    QTest::keyClick(edit, Qt::Key_Enter, Qt::ShiftModifier);
    QTRY_COMPARE(count->text(), counts.at(3));
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(bar->isHidden());
    QTRY_VERIFY(wb1->hasFocus());

    QCOMPARE(ed->htmlgetAll(), before);
    QCOMPARE(ed->document()->designMode(), editing);
}

void TstEditorFind::highlight_data()
{
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("marks");

    QTest::newRow("any case and width") << false << QStringList{"velloran"} << 3;
    QTest::newRow("chinese") << false << QStringList{"书"} << 2;
    QTest::newRow("several words") << false << QStringList{"books", "书库", "keeps"} << 3;
    QTest::newRow("overlapping words") << false << QStringList{"书", "书库"} << 2;
    QTest::newRow("full-width word") << false << QStringList{"ＢＯＯＫＳ"} << 1;
    QTest::newRow("absent") << false << QStringList{"plum", ""} << 0;
    QTest::newRow("no words") << false << QStringList() << 0;
    QTest::newRow("editing view") << true << QStringList{"velloran"} << 0;
}

void TstEditorFind::highlight()
{
    QFETCH(bool, editing);
    QFETCH(QStringList, words);
    QFETCH(int, marks);

    ed->htmlsetAll(library, editing ? QString() : QStringLiteral("R"), 0);
    const QVariant text = js(QStringLiteral("return document.body.textContent;"));
    // A second round replaces the first rather than marking inside it.
    ed->highlightHits({QStringLiteral("vel"), QStringLiteral("书")});
    ed->highlightHits(words);
    QCOMPARE(ed->highlightedHits(), marks);
    QCOMPARE(js(QStringLiteral("return document.querySelectorAll('mark').length;")).toInt(), marks);
    QCOMPARE(js(QStringLiteral("return document.body.textContent;")), text);
    if (marks > 0) {
        QTRY_VERIFY(js(QStringLiteral("var r=document.querySelector('mark').getBoundingClientRect();"
                                      "return r.top>=0&&r.bottom<=innerHeight;"))
                        .toBool());
        QCOMPARE(js(QStringLiteral("return getComputedStyle(document.querySelector('mark')).backgroundColor;")).toString(),
                 QStringLiteral("rgb(255, 255, 0)"));
    }
}

void TstEditorFind::marksNeverReadBack_data()
{
    QTest::addColumn<QString>("then");

    QTest::newRow("read while shown") << "";
    QTest::newRow("editing view") << "edit";
    QTest::newRow("another document") << "load";
    QTest::newRow("body written") << "write";
}

void TstEditorFind::marksNeverReadBack()
{
    QFETCH(QString, then);

    ed->htmlsetAll(library, QStringLiteral("R"), 0);
    const QStringList before = readBacks();
    const int nodes = js(QStringLiteral("return document.getElementById('p').childNodes.length;")).toInt();
    ed->highlightHits({QStringLiteral("velloran"), QStringLiteral("书")});
    QCOMPARE(ed->highlightedHits(), 5);
    QCOMPARE(readBacks(), before);
    // Reading back leaves the marks where the reader sees them.
    QCOMPARE(ed->highlightedHits(), 5);

    if (then == QLatin1String("edit")) {
        ed->EditView(true, QString());
        QCOMPARE(readBacks(), before);
        // The text the marks had split is one node again.
        QCOMPARE(js(QStringLiteral("return document.getElementById('p').childNodes.length;")).toInt(), nodes);
    } else if (then == QLatin1String("load")) {
        ed->htmlsetAll(library, QStringLiteral("R"), 0);
    } else if (then == QLatin1String("write")) {
        ed->htmlsetBody(QStringLiteral("<p>velloran</p>"), QStringLiteral("R"));
    }
    const int left = then.isEmpty() ? 5 : 0;
    QCOMPARE(ed->highlightedHits(), left);
    QCOMPARE(js(QStringLiteral("return document.querySelectorAll('mark').length;")).toInt(), left);
}

QTEST_MAIN(TstEditorFind)
#include "tst_editor_find.moc"
