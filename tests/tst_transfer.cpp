// Books out to HTML, Markdown and EPUB and back in, CherryTree documents in,
// and every hostile or damaged source refused with the library unchanged.
#include "testsupport.h"

#include "library/shelf.h"
#include "store/connection.h"
#include "store/intake.h"
#include "transfer/text.h"
#include "transfer/transfer.h"
#include "transfer/zipfile.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QtTest>

#include <sqlite3.h>

using transfer::Refused;

namespace {

// The pixels, so that a picture converted to another format is the same.
QByteArray pixelsOf(const QString &path)
{
    const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
    return QCryptographicHash::hash(QByteArrayView(image.constBits(), image.sizeInBytes()), QCryptographicHash::Md5)
        .toHex()
        .left(8);
}

QByteArray hashOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex()
                                       : QByteArray("missing");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray png(Qt::GlobalColor colour, int side = 8)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    image.save(&b, "PNG");
    return bytes;
}

} // namespace

class TstTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;
    QString pictures;
    QString category;
    QTemporaryDir work;

    QString unit(const QString &book, const QString &parent, const QString &title, const QString &html)
    {
        const QString key = shelf::addUnit(db, book, parent, title).rec.Tid;
        if (!html.isEmpty())
            shelf::savePage(db, key, html, transfer::plainText(html));
        return key;
    }

    // The tree of a book as "title[text|pictures](children)", pictures by
    // their bytes, text with its blanks closed up.
    QString tree(const QString &book, const QString &jb = QStringLiteral("$"))
    {
        QStringList segments;
        for (const shelf::Node &n : shelf::unitTree(db, book, QString(), jb)) {
            const QString doc = shelf::pageDocument(db, n.rec.Tid);
            QStringList pics;
            for (const QString &p : transfer::tokenPictures(doc))
                pics << QString::fromLatin1(pixelsOf(pictures + u'/' + p));
            const QString text = transfer::plainText(doc).simplified();
            segments << n.caption + u'[' + text + u'|' + pics.join(u',') + u']'
                         + (n.children.isEmpty() ? QString() : u'(' + tree(book, n.rec.Tid) + u')');
        }
        return segments.join(u' ');
    }

    // Everything an import could touch: both tables and the image folder.
    QString snapshot()
    {
        QStringList all = firstColumn(db, QStringLiteral("select id||jb||lbm||px from books order by id"));
        all << firstColumn(db, QStringLiteral("select id||sc||jb||utitle||ucon||px from units order by id"));
        for (QDirIterator it(pictures, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            all << it.next();
        all.sort();
        return all.join(u'\n');
    }

    QString bookNamed(const QString &name)
    {
        const QStringList keys = transfer::findItems(db, name, false);
        return keys.size() == 1 ? keys.first() : QString();
    }

    QString epubOf(const QString &book)
    {
        const QString path = work.filePath(QStringLiteral("book%1.epub").arg(QRandomGenerator::global()->generate()));
        transfer::exportItem(db, book, transfer::Format::Epub, path, pictures);
        return path;
    }

    // A .ctb laid as CherryTree lays one.
    QString cherryTree(const std::function<void(sqlite3 *)> &fill)
    {
        const QString path = work.filePath(QStringLiteral("notes%1.ctb").arg(QRandomGenerator::global()->generate()));
        sqlite3 *h = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &h);
        sqlite3_exec(h,
                     "CREATE TABLE node (node_id INTEGER UNIQUE, name TEXT, txt TEXT, syntax TEXT, tags TEXT, is_ro INTEGER,"
                     " is_richtxt INTEGER, has_codebox INTEGER, has_table INTEGER, has_image INTEGER, level INTEGER,"
                     " ts_creation INTEGER, ts_lastsave INTEGER);"
                     "CREATE TABLE codebox (node_id INTEGER, offset INTEGER, justification TEXT, txt TEXT, syntax TEXT,"
                     " width INTEGER, height INTEGER, is_width_pix INTEGER, do_highl_bra INTEGER, do_show_linenum INTEGER);"
                     "CREATE TABLE grid (node_id INTEGER, offset INTEGER, justification TEXT, txt TEXT, col_min INTEGER,"
                     " col_max INTEGER);"
                     "CREATE TABLE image (node_id INTEGER, offset INTEGER, justification TEXT, anchor TEXT, png BLOB,"
                     " filename TEXT, link TEXT, time INTEGER);"
                     "CREATE TABLE children (node_id INTEGER UNIQUE, father_id INTEGER, sequence INTEGER);"
                     "CREATE TABLE bookmark (node_id INTEGER UNIQUE, sequence INTEGER);",
                     nullptr, nullptr, nullptr);
        fill(h);
        sqlite3_close(h);
        return path;
    }

    static void node(sqlite3 *h, int id, int father, int sequence, const char *name, const QString &txt,
                     const char *syntax = "custom-colors")
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(h, "INSERT INTO node VALUES (?, ?, ?, ?, '', 0, 1, 0, 0, 0, 0, 0, 0)", -1, &st, nullptr);
        const QByteArray t = txt.toUtf8();
        sqlite3_bind_int(st, 1, id);
        sqlite3_bind_text(st, 2, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, syntax, -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
        sqlite3_exec(h, QStringLiteral("INSERT INTO children VALUES (%1, %2, %3)").arg(id).arg(father).arg(sequence).toUtf8(),
                     nullptr, nullptr, nullptr);
    }

    void expectRefused(const QString &source, Refused::Reason reason)
    {
        const QString before = snapshot();
        try {
            transfer::importBook(db, category, source, pictures);
            QFAIL("the import went through");
        } catch (const Refused &e) {
            QCOMPARE(int(e.reason()), int(reason));
            QVERIFY2(e.message().contains(QStringLiteral("没有导入")), qPrintable(e.message()));
        }
        QCOMPARE(snapshot(), before);
    }

private slots:
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
        pictures = lib->folder() + QStringLiteral("/images");
        writeFile(pictures + QStringLiteral("/vl_red.png"), png(Qt::red));
        writeFile(pictures + QStringLiteral("/sub/蓝 图.png"), png(Qt::blue));
        QImage(4, 4, QImage::Format_RGB32).save(pictures + QStringLiteral("/vl_green.bmp"), "BMP");
        category = shelf::addBook(db, QStringLiteral("$"), QStringLiteral("分类")).rec.Tid;
        const QString book = shelf::addBook(db, category, QStringLiteral("书")).rec.Tid;
        const QString one = unit(book, QStringLiteral("$"), QStringLiteral("第一章"), {});
        unit(book, one, QStringLiteral("甲页"),
             QStringLiteral("<html><head><meta charset=\"gb2312\"><title>x</title></head><body><p>第一段 <b>粗</b> "
                            "&amp; it's</p><img src=\"#Tuku\u00B7vostrelan#/vl_red.png\"></body></html>"));
        unit(book, one, QStringLiteral("乙页"),
             QStringLiteral("<body><ul><li>一</li><li>二</li></ul><img src=\"#Tuku\u00B7vostrelan#/sub/%E8%93%9D%20%E5%9B%BE.png\">"
                            "<img src=\"#Tuku\u00B7vostrelan#/vl_green.bmp\"></body>"));
        const QString two = unit(book, QStringLiteral("$"), QStringLiteral("第二章"), QStringLiteral("<p>章前言</p>"));
        const QString deep = unit(book, two, QStringLiteral("丙节"), QStringLiteral("<p>节文</p>"));
        unit(book, deep, QStringLiteral("丁页"), QStringLiteral("<table><tr><td>格</td></tr></table><img src=\"#Tuku\u00B7vostrelan#/vl_red.png\">"));
    }

    void cleanup() { lib.reset(); }

    void roundTrip_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("html") << int(transfer::Format::Html);
        QTest::newRow("epub") << int(transfer::Format::Epub);
    }

    void roundTrip()
    {
        QFETCH(int, format);
        const QString book = bookNamed(QStringLiteral("书"));
        const QString target = work.filePath(QStringLiteral("out%1").arg(format))
                               + (format == int(transfer::Format::Epub) ? QStringLiteral(".epub") : QString());
        const transfer::Report out = transfer::exportItem(db, book, transfer::Format(format), target, pictures);
        QCOMPARE(out.pages, 5); // the first chapter holds nothing of its own
        QCOMPARE(out.pictures, 3);
        const transfer::Report in = transfer::importBook(db, category, target, pictures);
        QVERIFY2(in.skipped.size() <= 1, qPrintable(in.text())); // an HTML folder's own index
        QCOMPARE(in.name, format == int(transfer::Format::Epub) ? QStringLiteral("书（2）") : QFileInfo(target).fileName());
        QCOMPARE(tree(in.target), tree(book));
    }

    void markdownFolder()
    {
        const QString target = work.filePath(QStringLiteral("md"));
        transfer::exportItem(db, bookNamed(QStringLiteral("书")), transfer::Format::Markdown, target, pictures);
        QFile page(target + QStringLiteral("/01_第一章/01_甲页.md"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString md = QString::fromUtf8(page.readAll());
        QVERIFY2(md.contains(QStringLiteral("**粗**")) && md.contains(QStringLiteral("(../pictures/vl_red.png)")), qPrintable(md));
        QCOMPARE(hashOf(target + QStringLiteral("/pictures/vl_red.png")), hashOf(pictures + QStringLiteral("/vl_red.png")));
        QVERIFY(QFileInfo::exists(target + QStringLiteral("/02_第二章.md")));
        QVERIFY(QFileInfo::exists(target + QStringLiteral("/02_第二章/01_丙节/01_丁页.md")));
    }

    void epubPassesEpubcheck()
    {
        // Debian's epubcheck is a jar, run by Java.
        const QString epubcheck = QStandardPaths::findExecutable(QStringLiteral("epubcheck"));
        const QString java = QStandardPaths::findExecutable(QStringLiteral("java"));
        if (epubcheck.isEmpty() || java.isEmpty())
            QSKIP("epubcheck is not installed (apt-get install epubcheck)");
        QProcess check;
        check.start(java, {QStringLiteral("-jar"), QFileInfo(epubcheck).canonicalFilePath(), epubOf(bookNamed(QStringLiteral("书")))});
        QVERIFY(check.waitForFinished(120000));
        const QString said = QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
        QVERIFY2(check.exitCode() == 0 && !said.contains(QLatin1String("ERROR")), qPrintable(said));
    }

    // An EPUB 2 of another program: its NCX is the tree; a heading that
    // opens its first child's document leaves the page to the child; what
    // the reading order holds beyond the tree follows it.
    void epubOfAnotherProgram()
    {
        const QString path = work.filePath(QStringLiteral("other.epub"));
        {
            transfer::ZipWriter zip(path);
            zip.add(QStringLiteral("mimetype"), "application/epub+zip", true);
            zip.add(QStringLiteral("META-INF/container.xml"),
                    "<container><rootfiles><rootfile full-path=\"OPS/book.opf\"/></rootfiles></container>");
            zip.add(QStringLiteral("OPS/book.opf"),
                    "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\"><metadata "
                    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>别人的书</dc:title></metadata><manifest>"
                    "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
                    "<item id=\"c1\" href=\"text/c1.xhtml\" media-type=\"application/xhtml+xml\"/>"
                    "<item id=\"c2\" href=\"text/c%202.xhtml\" media-type=\"application/xhtml+xml\"/>"
                    "<item id=\"c3\" href=\"text/c3.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
                    "<spine toc=\"ncx\"><itemref idref=\"c1\"/><itemref idref=\"c2\"/><itemref idref=\"c3\"/></spine></package>");
            zip.add(QStringLiteral("OPS/toc.ncx"),
                    "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>"
                    "<navPoint><navLabel><text>卷一</text></navLabel><content src=\"text/c1.xhtml\"/>"
                    "<navPoint><navLabel><text>第一节</text></navLabel><content src=\"text/c1.xhtml#s1\"/></navPoint></navPoint>"
                    "<navPoint><navLabel><text>第二节</text></navLabel><content src=\"text/c%202.xhtml\"/></navPoint>"
                    "</navMap></ncx>");
            zip.add(QStringLiteral("OPS/text/c1.xhtml"), "<?xml version=\"1.0\"?><html><body><p>一节</p></body></html>");
            zip.add(QStringLiteral("OPS/text/c 2.xhtml"),
                    "<html><head><link rel=\"stylesheet\" href=\"../css/a.css\"/></head><body><p>二节</p>"
                    "<img src=\"../images/a.png\"/></body></html>");
            zip.add(QStringLiteral("OPS/text/c3.xhtml"), "<html><body><p>附录</p></body></html>");
            zip.add(QStringLiteral("OPS/images/a.png"), png(Qt::red));
            zip.commit();
        }
        const transfer::Report in = transfer::importBook(db, category, path, pictures);
        QCOMPARE(in.name, QStringLiteral("别人的书"));
        QCOMPARE(tree(in.target), QStringLiteral("卷一[|](第一节[一节|]) 第二节[二节|%1] c3[附录|]")
                                      .arg(QString::fromLatin1(pixelsOf(pictures + QStringLiteral("/vl_red.png")))));
        QVERIFY(!firstColumn(db, QStringLiteral("select ucon from units where utitle='第二节'")).first().contains(QLatin1String("<link")));
    }

    void exportNeverReplaces_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("html into a folder that holds a file") << int(transfer::Format::Html);
        QTest::newRow("epub over a file") << int(transfer::Format::Epub);
    }

    void exportNeverReplaces()
    {
        QFETCH(int, format);
        const bool epub = format == int(transfer::Format::Epub);
        const QString target = work.filePath(epub ? QStringLiteral("kept.epub") : QStringLiteral("kept"));
        const QString file = epub ? target : target + QStringLiteral("/mine.txt");
        writeFile(file, "mine");
        try {
            transfer::exportItem(db, bookNamed(QStringLiteral("书")), transfer::Format(format), target, pictures);
            QFAIL("exported over what was there");
        } catch (const Refused &e) {
            QCOMPARE(e.reason(), Refused::Reason::Target);
        }
        QCOMPARE(hashOf(file), QCryptographicHash::hash("mine", QCryptographicHash::Md5).toHex());
    }

    void cherryTreeImport()
    {
        const QByteArray picture = png(Qt::green);
        const QString path = cherryTree([&](sqlite3 *h) {
            // "标题\n粗 斜 链接 红😀[picture]后\n[code][table]": objects
            // at their character offsets, the emoji one character.
            node(h, 1, 0, 1, "根节点",
                 QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><node>"
                                "<rich_text scale=\"h1\">标题</rich_text><rich_text>\n</rich_text>"
                                "<rich_text weight=\"heavy\">粗</rich_text><rich_text> </rich_text>"
                                "<rich_text style=\"italic\">斜</rich_text><rich_text> </rich_text>"
                                "<rich_text link=\"webs https://example.org/\">链接</rich_text><rich_text> </rich_text>"
                                "<rich_text foreground=\"#ffff00000000\">红😀后</rich_text><rich_text>\n</rich_text></node>"));
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(h, "INSERT INTO image VALUES (1, 12, 'left', '', ?, '', '', 0)", -1, &st, nullptr);
            sqlite3_bind_blob(st, 1, picture.constData(), int(picture.size()), SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_finalize(st);
            sqlite3_exec(h,
                         "INSERT INTO codebox VALUES (1, 15, 'left', 'int x = 1 < 2;', 'c', 300, 100, 1, 0, 0);"
                         "INSERT INTO grid VALUES (1, 16, 'left', '<table><row><cell>值</cell></row>"
                         "<row><cell>表头</cell></row></table>', 40, 400);",
                         nullptr, nullptr, nullptr);
            node(h, 2, 1, 1, "子节点", QStringLiteral("plain <text>\nline two"), "plain-text");
            node(h, 3, 0, 2, "代码", QStringLiteral("echo 'hi'"), "sh");
        });
        const transfer::Report in = transfer::importBook(db, category, path, pictures);
        QCOMPARE(in.pages, 3);
        QCOMPARE(in.pictures, 1);
        const QList<shelf::Node> units = shelf::unitTree(db, in.target, QString());
        QCOMPARE(units.size(), 2);
        QCOMPARE(units.at(0).caption, QStringLiteral("根节点"));
        QCOMPARE(units.at(0).children.at(0).caption, QStringLiteral("子节点"));
        QCOMPARE(units.at(1).caption, QStringLiteral("代码"));
        const QString root = shelf::pageDocument(db, units.at(0).rec.Tid);
        for (const QString &piece : {QStringLiteral("<h1>标题</h1>"), QStringLiteral("<b>粗</b>"), QStringLiteral("<i>斜</i>"),
                                    QStringLiteral("<a href=\"https://example.org/\">链接</a>"),
                                    QStringLiteral("<span style=\"color:#ff0000\">红😀</span><img src=\"#Tuku"),
                                    QStringLiteral("\"><span style=\"color:#ff0000\">后</span></div>"),
                                    QStringLiteral("<div><pre>int x = 1 &lt; 2;</pre><table border=\"1\"><tr><th>表头</th></tr><tr><td>值</td>")})
            QVERIFY2(root.contains(piece), qPrintable(piece + QStringLiteral(" not in ") + root));
        const QStringList pics = transfer::tokenPictures(root);
        QCOMPARE(pics.size(), 1);
        QCOMPARE(hashOf(pictures + u'/' + pics.first()), QCryptographicHash::hash(picture, QCryptographicHash::Md5).toHex());
        QCOMPARE(firstColumn(db, QStringLiteral("select ucontxt from units where id=%1").arg(units.at(0).children.at(0).rec.Tid)),
                 QStringList(QStringLiteral("plain <text>\nline two")));
        QVERIFY(shelf::pageDocument(db, units.at(1).rec.Tid).contains(QStringLiteral("<pre>echo 'hi'</pre>")));
    }

    void hostileRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("reason");
        const int hostile = int(Refused::Reason::Hostile);
        const int damaged = int(Refused::Reason::Damaged);
        QTest::newRow("zip bomb") << "bomb" << hostile;
        QTest::newRow("epub entry climbing out") << "entry" << hostile;
        QTest::newRow("epub reference climbing out") << "reference" << hostile;
        QTest::newRow("folder picture climbing out") << "climb" << hostile;
        QTest::newRow("folder picture by absolute path") << "absolute" << hostile;
        QTest::newRow("folder picture over 50 MB") << "huge" << hostile;
        QTest::newRow("stored token climbing out") << "token" << hostile;
        QTest::newRow("damaged epub") << "truncated" << damaged;
        QTest::newRow("damaged ctb") << "ctb" << damaged;
        QTest::newRow("ctb nodes in a loop") << "loop" << damaged;
    }

    void hostileRefused()
    {
        QFETCH(QString, kind);
        QFETCH(int, reason);
        const QString folder = work.filePath(kind);
        QString source = folder;
        const auto epub = [&](const QList<std::pair<QString, QByteArray>> &entries) {
            source = folder + QStringLiteral(".epub");
            transfer::ZipWriter zip(source);
            zip.add(QStringLiteral("mimetype"), "application/epub+zip", true);
            zip.add(QStringLiteral("META-INF/container.xml"),
                    "<container><rootfiles><rootfile full-path=\"content.opf\"/></rootfiles></container>");
            for (const auto &[name, bytes] : entries)
                zip.add(name, bytes);
            zip.commit();
        };
        const QByteArray opf = "<package><manifest><item id=\"a\" href=\"a.xhtml\"/></manifest>"
                               "<spine><itemref idref=\"a\"/></spine></package>";
        writeFile(work.filePath(QStringLiteral("outside.png")), png(Qt::red));
        if (kind == QLatin1String("bomb")) {
            // Unread by the import: only the archive's own figures give it away.
            epub({{QStringLiteral("content.opf"), opf}, {QStringLiteral("a.xhtml"), "<html/>"},
                  {QStringLiteral("filler.bin"), QByteArray(120 << 20, ' ')}});
        } else if (kind == QLatin1String("entry")) {
            epub({{QStringLiteral("content.opf"), opf}, {QStringLiteral("../a.xhtml"), "<html/>"}});
        } else if (kind == QLatin1String("reference")) {
            epub({{QStringLiteral("content.opf"), opf}, {QStringLiteral("a.xhtml"), "<html><img src=\"../../x.png\"/></html>"}});
        } else if (kind == QLatin1String("climb")) {
            writeFile(folder + QStringLiteral("/a.html"), "<img src=\"../outside.png\">");
        } else if (kind == QLatin1String("absolute")) {
            writeFile(folder + QStringLiteral("/a.html"), "<img src=\"" + QFile::encodeName(work.filePath(QStringLiteral("outside.png"))) + "\">");
        } else if (kind == QLatin1String("huge")) {
            writeFile(folder + QStringLiteral("/a.md"), "![](big.png)");
            QFile big(folder + QStringLiteral("/big.png"));
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize((50 << 20) + 1));
        } else if (kind == QLatin1String("token")) {
            writeFile(folder + QStringLiteral("/a.html"), QStringLiteral("<img src=\"#Tuku\u00B7vostrelan#/../../x.png\">").toUtf8());
        } else if (kind == QLatin1String("truncated")) {
            QFile whole(epubOf(bookNamed(QStringLiteral("书"))));
            QVERIFY(whole.open(QIODevice::ReadOnly));
            source = folder + QStringLiteral(".epub");
            writeFile(source, whole.read(whole.size() / 2));
        } else if (kind == QLatin1String("ctb")) {
            QFile whole(cherryTree([](sqlite3 *h) { node(h, 1, 0, 1, "n", QStringLiteral("<node><rich_text>x</rich_text></node>")); }));
            QVERIFY(whole.open(QIODevice::ReadOnly));
            QByteArray bytes = whole.readAll();
            bytes.replace(bytes.size() - 4096, 4096, QByteArray(4096, '\x5a'));
            source = folder + QStringLiteral(".ctb");
            writeFile(source, bytes);
        } else if (kind == QLatin1String("loop")) {
            // CherryTree keeps one father a node; a file laid by hand may not.
            source = cherryTree([](sqlite3 *h) {
                sqlite3_exec(h, "DROP TABLE children; CREATE TABLE children (node_id INTEGER, father_id INTEGER, sequence INTEGER)",
                             nullptr, nullptr, nullptr);
                node(h, 1, 0, 1, "a", QStringLiteral("<node/>"));
                node(h, 2, 1, 1, "b", QStringLiteral("<node/>"));
                sqlite3_exec(h, "INSERT INTO children VALUES (1, 2, 1)", nullptr, nullptr, nullptr);
            });
        }
        expectRefused(source, Refused::Reason(reason));
    }

    void cancelLeavesNothing()
    {
        const QString target = work.filePath(QStringLiteral("cancel"));
        transfer::exportItem(db, bookNamed(QStringLiteral("书")), transfer::Format::Html, target, pictures);
        const QString before = snapshot();
        try {
            transfer::importBook(db, category, target, pictures, [](qint64 done, qint64) { return done < 5; });
            QFAIL("the import was not stopped");
        } catch (const Refused &e) {
            QCOMPARE(e.reason(), Refused::Reason::Cancelled);
        }
        QCOMPARE(snapshot(), before);
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("text");
        const QString simplified = QStringLiteral("这是一个简体中文的测试文件，我们用它来检查编码的检测是否正确。书籍与章节都在这里。");
        const QString traditional = QStringLiteral("這是一個繁體中文的測試文件，我們用它來檢查編碼的偵測是否正確。書籍與章節都在這裡。");
        QTest::newRow("utf-8") << QByteArray("UTF-8") << "txt" << QByteArray() << simplified;
        // uchardet alone takes this one for ISO-8859-7.
        QTest::newRow("utf-8, one character") << QByteArray("UTF-8") << "txt" << QByteArray() << QStringLiteral("书");
        QTest::newRow("utf-8 with its mark") << QByteArray("UTF-8") << "md" << QByteArray("\xEF\xBB\xBF") << simplified;
        QTest::newRow("gb18030") << QByteArray("GB18030") << "txt" << QByteArray() << simplified;
        QTest::newRow("big5") << QByteArray("Big5") << "txt" << QByteArray() << traditional;
        // Too short for uchardet, which takes these bytes for Windows-1252.
        QTest::newRow("declared big5") << QByteArray("Big5") << "html"
                                       << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">")
                                       << QStringLiteral("書籍章節");
    }

    void encodings()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QString, suffix);
        QFETCH(QByteArray, head);
        QFETCH(QString, text);
        QStringEncoder enc(encoding.constData());
        const QByteArray bytes = head + enc.encode(text);
        QCOMPARE(transfer::detectEncoding(bytes, suffix == QLatin1String("html")), encoding);
        const QString folder = work.filePath(QStringLiteral("enc_") + QString::fromLatin1(QTest::currentDataTag()));
        writeFile(folder + QStringLiteral("/页.") + suffix, bytes);
        const transfer::Report in = transfer::importBook(db, category, folder, pictures);
        QCOMPARE(firstColumn(db, QStringLiteral("select ucontxt from units where sc='%1'").arg(in.target)), QStringList(text));
    }

    void heldElsewhere()
    {
        QVERIFY(intake::heldElsewhere(lib->path()));
        db->Close();
        QVERIFY(!intake::heldElsewhere(lib->path()));
    }

    void tools_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QStringList import{QStringLiteral("--under"), QStringLiteral("分类"), QStringLiteral("SOURCE"),
                                 QStringLiteral("--library"), QStringLiteral("LIBRARY")};
        QTest::newRow("help") << "velloran-import" << QStringList{QStringLiteral("--help")} << false << 0 << "usage:";
        QTest::newRow("unknown option") << "velloran-export" << QStringList{QStringLiteral("--bogus")} << false << 2
                                        << "Unknown option";
        QTest::newRow("library held") << "velloran-import" << import << true << 1 << "正被 Velloran 或另一个程序打开";
        QTest::newRow("import") << "velloran-import" << import << false << 0 << "页面：1，图片：0";
        QTest::newRow("no such book") << "velloran-export"
                                      << QStringList{QStringLiteral("--book"), QStringLiteral("无此书"), QStringLiteral("--format"),
                                                     QStringLiteral("epub"), QStringLiteral("OUT"), QStringLiteral("--library"),
                                                     QStringLiteral("LIBRARY")}
                                      << false << 1 << "没有名为“无此书”的书";
        QTest::newRow("pdf of a book") << "velloran-export"
                                       << QStringList{QStringLiteral("--book"), QStringLiteral("书"), QStringLiteral("--format"),
                                                      QStringLiteral("pdf"), QStringLiteral("OUT.pdf"),
                                                      QStringLiteral("--library"), QStringLiteral("LIBRARY")}
                                       << false << 0 << "页面：6，图片：3";
    }

    // The tools are built beside the tests' folder.
    void tools()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(bool, open);
        QFETCH(int, status);
        QFETCH(QString, says);
        const QString folder = work.filePath(QStringLiteral("cli"));
        writeFile(folder + QStringLiteral("/页.txt"), "文字");
        arguments.replaceInStrings(QStringLiteral("SOURCE"), folder);
        arguments.replaceInStrings(QStringLiteral("LIBRARY"), lib->path());
        arguments.replaceInStrings(QStringLiteral("OUT"), work.filePath(QStringLiteral("cli.epub")));
        if (!open)
            db->Close();
        QProcess run;
        run.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/") + tool, arguments);
        QVERIFY2(run.waitForFinished(60000), qPrintable(run.errorString()));
        const QString said = QString::fromUtf8(run.readAllStandardOutput() + run.readAllStandardError());
        QCOMPARE(run.exitCode(), status);
        QVERIFY2(said.contains(says), qPrintable(said));
    }
};

QTEST_MAIN(TstTransfer)
#include "tst_transfer.moc"
