// velloran-transfer-bench: times exports and imports of a book of 10,000
// units, headless, and prints one line per figure in velloran-bench's form
// with its floor (reading what the work reads, and nothing else), and one
// line for each figure's peak memory. The book and the sources are laid
// fresh in a temporary folder on every run.
#include "store/catalogue.h"
#include "store/connection.h"
#include "store/escape.h"
#include "transfer/text.h"
#include "transfer/transfer.h"
#include "ztking/ztking.h"

#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <functional>

namespace {

constexpr int Chapters = 100;
constexpr int PagesPerChapter = 100;
constexpr int Pictures = 20;

// About 1 KB of mixed Chinese and Latin text for page n.
QString pageText(int n)
{
    static const QStringList phrases = {QStringLiteral("书卷里的文字"), QStringLiteral("春风又绿江南岸"),
                                        QStringLiteral("明月何时照我还"), QStringLiteral("the quick brown fox"),
                                        QStringLiteral("jumps over the lazy dog"), QStringLiteral("第%1页").arg(n)};
    QString text;
    for (int i = 0; text.toUtf8().size() < 1000; ++i)
        text += phrases[(n + i) % phrases.size()] + (i % 5 == 4 ? QStringLiteral("。") : QStringLiteral("，"));
    return text;
}

QString pageHtml(int n)
{
    QString html = QStringLiteral("<p>") + pageText(n) + QStringLiteral("</p>");
    // One page in fifty shows a picture of the image library.
    if (n % 50 == 0)
        html += QStringLiteral("<img src=\"%1/pic%2.png\">").arg(transfer::PictureToken).arg(n / 50 % Pictures);
    return html;
}

// Every memory page the process ever held counts from here on.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double peakMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

void figure(const QString &name, double goalMs, const std::function<void()> &floor, const std::function<void()> &work)
{
    const double f = timeMs(floor);
    resetPeak();
    const double ms = timeMs(work);
    const double mb = peakMb();
    std::printf("%s: %.1f ms (floor %.1f ms, %.2fx) goal %.0f ms %s\n", qPrintable(name), ms, f, ms / f, goalMs,
                ms <= goalMs ? "met" : "NOT MET");
    std::printf("%s-memory: %.1f MB goal 300 MB %s\n", qPrintable(name), mb, mb <= 300 ? "met" : "NOT MET");
    std::fflush(stdout);
}

// The book through the store's statements, keys numbered as a new library
// numbers them: category 1, book 2, units from 1.
void layBook(TADOConnection *db)
{
    db->BeginTrans();
    Ztking::Datado(db, sqlcat::bookInsert(QStringLiteral("$"), Dataesc(QStringLiteral("分类")), Ztking::Getpy(QStringLiteral("分类")), QStringLiteral("1")), QString());
    Ztking::Datado(db, sqlcat::bookInsert(QStringLiteral("1"), Dataesc(QStringLiteral("万页书")), Ztking::Getpy(QStringLiteral("万页书")), QStringLiteral("1")), QString());
    int key = 0;
    for (int c = 1; c <= Chapters; ++c) {
        const QString title = QStringLiteral("第%1章").arg(c);
        Ztking::Datado(db, sqlcat::unitInsert(QStringLiteral("2"), QStringLiteral("$"), Dataesc(title), Ztking::Getpy(title), QString::number(c)), QString());
        const QString chapter = QString::number(++key);
        for (int p = 1; p <= PagesPerChapter; ++p) {
            const int n = (c - 1) * PagesPerChapter + p;
            const QString pageTitle = QStringLiteral("第%1节 page %2").arg(p).arg(n);
            Ztking::Datado(db, sqlcat::unitInsert(QStringLiteral("2"), chapter, Dataesc(pageTitle), Ztking::Getpy(pageTitle), QString::number(p)), QString());
            const QString unit = QString::number(++key);
            Ztking::Datado(db, sqlcat::unitSave(Dataesc(pageHtml(n)), Dataesc(pageText(n)), unit), QString());
        }
    }
    db->CommitTrans();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// 10,000 small HTML files in 100 folders.
void layFolder(const QString &root)
{
    for (int c = 1; c <= Chapters; ++c) {
        const QString folder = root + QStringLiteral("/%1 第%2章").arg(c, 3, 10, QLatin1Char('0')).arg(c);
        QDir().mkpath(folder);
        for (int p = 1; p <= PagesPerChapter; ++p) {
            const int n = (c - 1) * PagesPerChapter + p;
            writeFile(folder + QStringLiteral("/%1.html").arg(p, 3, 10, QLatin1Char('0')),
                      QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>第%1页</title></head>"
                                     "<body><p>%2</p></body></html>")
                          .arg(n)
                          .arg(pageText(n))
                          .toUtf8());
        }
    }
}

// A CherryTree document of 10,000 nodes, 100 at the top with 99 below each,
// laid in its documented schema.
void layCherryTree(const QString &path)
{
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
                 "CREATE TABLE bookmark (node_id INTEGER UNIQUE, sequence INTEGER);"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt *node = nullptr, *child = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO node VALUES (?, ?, ?, 'custom-colors', '', 0, 1, 0, 0, 0, 0, 0, 0)", -1, &node, nullptr);
    sqlite3_prepare_v2(h, "INSERT INTO children VALUES (?, ?, ?)", -1, &child, nullptr);
    const auto add = [&](int id, int father, int sequence, const QString &name, const QString &text) {
        const QByteArray n = name.toUtf8();
        const QByteArray t = (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><node><rich_text>")
                              + transfer::escapeHtml(text) + QStringLiteral("</rich_text></node>"))
                                 .toUtf8();
        sqlite3_bind_int(node, 1, id);
        sqlite3_bind_text(node, 2, n.constData(), int(n.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(node, 3, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        sqlite3_step(node);
        sqlite3_reset(node);
        sqlite3_bind_int(child, 1, id);
        sqlite3_bind_int(child, 2, father);
        sqlite3_bind_int(child, 3, sequence);
        sqlite3_step(child);
        sqlite3_reset(child);
    };
    int id = 0;
    for (int c = 1; c <= Chapters; ++c) {
        const int top = ++id;
        add(top, 0, c, QStringLiteral("第%1章").arg(c), pageText(top));
        for (int p = 1; p < PagesPerChapter; ++p) {
            ++id;
            add(id, top, p, QStringLiteral("第%1节").arg(id), pageText(id));
        }
    }
    sqlite3_finalize(node);
    sqlite3_finalize(child);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(h);
}

// A figure counts only when the work took in the whole book.
void wholeBook(const transfer::Report &report)
{
    if (report.pages < Chapters * PagesPerChapter)
        throw std::runtime_error("only " + std::to_string(report.pages) + " pages went through");
}

// The floor of an export: every page's document read from the store.
void readPages(TADOConnection *db)
{
    TADOQuery q(db);
    q.SQL = QStringLiteral("select ucon from units where sc=2");
    q.Open();
    for (qint64 bytes = 0; !q.Eof(); q.Next())
        bytes += q.FieldByName(QStringLiteral("ucon")).size();
}

void readFiles(const QString &root)
{
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile f(it.next());
        f.open(QIODevice::ReadOnly);
        f.readAll();
    }
}

void readCherryTree(const QString &path)
{
    sqlite3 *h = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(h, "SELECT n.name, n.txt, c.father_id FROM node n JOIN children c USING (node_id)", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_column_bytes(st, 1);
    sqlite3_finalize(st);
    sqlite3_close(h);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        QTemporaryDir work;
        const QString pictures = work.filePath(QStringLiteral("images"));
        QDir().mkpath(pictures);
        for (int i = 0; i < Pictures; ++i) {
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 360 / Pictures, 200, 220));
            image.save(pictures + QStringLiteral("/pic%1.png").arg(i));
        }
        const QString path = work.filePath(QStringLiteral("vlbook.mdb"));
        TADOConnection::CreateLibrary(path);
        TADOConnection db;
        db.ConnectionString = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
        db.Open();
        layBook(&db);
        const QString folder = work.filePath(QStringLiteral("folder"));
        layFolder(folder);
        const QString ctb = work.filePath(QStringLiteral("notes.ctb"));
        layCherryTree(ctb);

        figure(QStringLiteral("export-epub-10k"), 20000, [&] { readPages(&db); }, [&] {
            wholeBook(transfer::exportItem(&db, QStringLiteral("2"), transfer::Format::Epub, work.filePath(QStringLiteral("out.epub")), pictures));
        });
        figure(QStringLiteral("export-html-10k"), 20000, [&] { readPages(&db); }, [&] {
            wholeBook(transfer::exportItem(&db, QStringLiteral("2"), transfer::Format::Html, work.filePath(QStringLiteral("out-html")), pictures));
        });
        figure(QStringLiteral("import-folder-10k"), 30000, [&] { readFiles(folder); }, [&] {
            wholeBook(transfer::importBook(&db, QStringLiteral("1"), folder, pictures));
        });
        figure(QStringLiteral("import-ctb-10k"), 30000, [&] { readCherryTree(ctb); }, [&] {
            wholeBook(transfer::importBook(&db, QStringLiteral("1"), ctb, pictures));
        });
    } catch (const transfer::Refused &e) {
        std::fprintf(stderr, "velloran-transfer-bench: %s\n", qPrintable(e.message()));
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "velloran-transfer-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
