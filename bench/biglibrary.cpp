#include "bench/biglibrary.h"

#include "bench/rawstore.h"
#include "editor/editor.h"
#include "store/catalogue.h"
#include "store/connection.h"
#include "store/escape.h"
#include "ztking/ztking.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QStringList>

#include <random>

namespace biglibrary {

const QString UnitWord = QStringLiteral("lantern");
const QString BookWordStart = QStringLiteral("rive");
const QString BookWord = QStringLiteral("river");

const QStringList Phrases{
    "春眠不觉晓", "处处闻啼鸟", "夜来风雨声", "花落知多少", "床前明月光", "疑是地上霜", "举头望明月",
    "低头思故乡", "白日依山尽", "黄河入海流", "欲穷千里目", "更上一层楼", "读书破万卷", "下笔如有神",
    "学而时习之", "温故而知新", "三人行必有我师", "知之为知之", "山重水复疑无路", "柳暗花明又一村",
    "海内存知己", "天涯若比邻", "长风破浪会有时", "直挂云帆济沧海", "落霞与孤鹜齐飞", "秋水共长天一色",
    "桃花潭水深千尺", "会当凌绝顶", "一览众山小", "采菊东篱下"};
const QStringList Titles{"诗经", "楚辞", "史记", "汉书", "论语", "孟子", "庄子", "文选", "唐诗", "宋词",
                         "山海经", "水经注", "世说新语", "梦溪笔谈", "天工开物", "本草纲目", "徐霞客游记"};

namespace {

// No word holds the unit word or the book word, so only the pages and books
// laid with them match their filters.
const QStringList Words{"the",    "reader's", "notes",  "library", "chapter", "page",    "quiet",   "morning",
                        "autumn", "spring",   "wind",   "rain",    "moon",    "mountain", "letter", "ink",
                        "brush",  "paper",    "window", "garden",  "bridge",  "travel",  "memory",  "winter",
                        "summer", "willow",   "blossom", "silver", "stone",   "cloud",   "thread",  "book",
                        "margin", "copy",     "study",  "teacher", "student", "poem",    "tea",     "kept"};

const QString LargestBook = QStringLiteral("万页书 largest");
const QString ThousandBook = QStringLiteral("千页书 thousand");
const QString ThousandChapter = QStringLiteral("千页章 thousand pages");
const QString FiveBook = QStringLiteral("五千书 five thousand");
const QString FiveChapter = QStringLiteral("五千章 five thousand units");
const QString PictureBook = QStringLiteral("图文书 pictures");
const QString PicturePage = QStringLiteral("大图页 one megabyte");
const QString SmallBook = QStringLiteral("小书 small");

const QStringList NameWords{BookWord, "meadow", "lamp", "harbour", "orchard"};

constexpr int Categories = 50;
constexpr int BooksPerCategory = 40;
constexpr int Units = 100000;
constexpr int PictureCount = 20;

struct Page
{
    QString html;
    QString text;
};

// The wording of every page: drawn from the phrases and words above by a
// generator seeded with the unit's number, so every page differs and every
// laying is the same.
class Pages
{
public:
    explicit Pages(QStringList pictureUrls)
        : m_pictures(std::move(pictureUrls))
    {
    }

    Page page(int unit, const QString &title, bool withWord, qsizetype bytes = 4000)
    {
        std::mt19937 rng(unit);
        QStringList paragraphs;
        qsizetype size = head(title).toUtf8().size() + tail().size();
        const int wordAt = withWord ? int(rng() % 6) : -1;
        int pictures = 0;
        QString body;
        while (size < bytes) {
            QString p = paragraph(rng);
            if (paragraphs.size() == wordAt)
                p += QStringLiteral(" A %1 by the window.").arg(UnitWord);
            paragraphs << p;
            QString html = QStringLiteral("<p>") + p + QStringLiteral("</p>");
            // Pictures spread evenly through a page of their own.
            if (bytes > 100000 && pictures < m_pictures.size() && size >= pictures * bytes / m_pictures.size()) {
                html += QStringLiteral("<p><img src=\"%1\" width=\"200\" height=\"150\"></p>")
                            .arg(m_pictures.at(pictures++));
            }
            size += html.toUtf8().size();
            body += html;
        }
        return {head(title) + body + tail(), paragraphs.join(QStringLiteral("\n\n"))};
    }

private:
    static QString head(const QString &title)
    {
        return QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                              "<title>%1</title></head><body style=\"font-family: 宋体; font-size: 10pt;margin:8px\">")
            .arg(title);
    }
    static QString tail() { return QStringLiteral("</body></html>"); }

    static QString paragraph(std::mt19937 &rng)
    {
        QString p;
        const int sentences = 3 + int(rng() % 4);
        for (int s = 0; s < sentences; ++s) {
            p += Phrases.at(int(rng() % Phrases.size()));
            p += (rng() % 2) ? QStringLiteral("，") : QStringLiteral("。");
            const int words = 2 + int(rng() % 5);
            for (int w = 0; w < words; ++w) {
                p += Words.at(int(rng() % Words.size()));
                p += w + 1 < words ? QStringLiteral(" ") : QStringLiteral(". ");
            }
        }
        return p;
    }

    QStringList m_pictures;
};

// Lays rows with the catalogue's statements, numbering them as the engine
// does in a new library, so no row is read back.
class Layer
{
public:
    Layer(TADOConnection *db, Pages &pages)
        : m_db(db)
        , m_pages(pages)
    {
    }

    int book(const QString &parent, const QString &name, int px)
    {
        const QString n = Dataesc(name);
        Ztking::Datado(m_db, sqlcat::bookInsert(parent, n, Ztking::Getpy(n), QString::number(px)), QString());
        return ++m_books;
    }

    // A unit with its page; a chapter (parent 0) takes the next position
    // among all chapters of the library, as adding one does.
    int unit(int book, int parent, const QString &title, int px, bool withWord = false, qsizetype bytes = 4000)
    {
        const QString n = Dataesc(title);
        const QString jb = parent ? QString::number(parent) : QStringLiteral("$");
        if (!parent)
            px = ++m_chapters;
        Ztking::Datado(m_db, sqlcat::unitInsert(QString::number(book), jb, n, Ztking::Getpy(n), QString::number(px)),
                       QString());
        const int key = ++m_units;
        const Page p = m_pages.page(key, title, withWord, bytes);
        Ztking::Datado(m_db, sqlcat::unitSave(Dataesc(p.html), Dataesc(p.text), QString::number(key)), QString());
        // Commits now and then keep the journal small.
        if (key % 2000 == 0) {
            m_db->CommitTrans();
            m_db->BeginTrans();
        }
        return key;
    }

    int units() const { return m_units; }

private:
    TADOConnection *m_db;
    Pages &m_pages;
    int m_books = 0;
    int m_units = 0;
    int m_chapters = 0;
};

QStringList layPictures(const QString &folder, const QString &urlFolder)
{
    if (!QDir().mkpath(folder))
        throw EDatabaseError(QStringLiteral("cannot make ") + folder);
    QStringList urls;
    std::mt19937 rng(7);
    for (int i = 1; i <= PictureCount; ++i) {
        QImage image(200, 150, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 255 / 200 + int(rng() % 40)) & 255, (y + i * 12) & 255, int(rng() % 256)));
        }
        const QString name = QStringLiteral("picture%1.png").arg(i, 2, 10, QLatin1Char('0'));
        if (!image.save(folder + QLatin1Char('/') + name))
            throw EDatabaseError(QStringLiteral("cannot write ") + folder + QLatin1Char('/') + name);
        urls << pathtourl(urlFolder) + QLatin1Char('/') + name;
    }
    return urls;
}

QString keyOf(sqlite3 *db, const char *sql, const QString &name)
{
    const QByteArray key = raw::value(db, sql, {Dataesc(name)});
    if (key.isEmpty())
        throw EDatabaseError(QStringLiteral("the library has no “%1”").arg(name));
    return QString::fromUtf8(key);
}

} // namespace

void lay(const QString &folder, const QString &pictureFolder)
{
    Pages pages(layPictures(folder + QStringLiteral("/pictures"), pictureFolder));
    const QString path = folder + QStringLiteral("/vlbook.mdb");
    TADOConnection::CreateLibrary(path);
    TADOConnection db;
    db.ConnectionString = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
    db.Open();
    db.BeginTrans();
    Layer layer(&db, pages);

    QList<int> books;
    for (int c = 1; c <= Categories; ++c) {
        const int category = layer.book(QStringLiteral("$"), QStringLiteral("%1类 shelf %2").arg(Titles.at(c % Titles.size())).arg(c), c);
        for (int b = 1; b <= BooksPerCategory; ++b) {
            const int n = int(books.size());
            QString name = QStringLiteral("%1 %2 %3").arg(Titles.at(n % Titles.size()), NameWords.at(n % NameWords.size())).arg(n + 1);
            if (c == 1 && b <= 5)
                name = QStringList{LargestBook, ThousandBook, FiveBook, PictureBook, SmallBook}.at(b - 1);
            books << layer.book(QString::number(category), name, b);
        }
    }

    // The largest book: 10 chapters of 9 sections of 10 parts of 10 pages.
    const int largest = books.at(0);
    for (int ch = 1; ch <= 10; ++ch) {
        const int chapter = layer.unit(largest, 0, QStringLiteral("第%1章 chapter %1").arg(ch), 0);
        for (int s = 1; s <= 9; ++s) {
            const int section = layer.unit(largest, chapter, QStringLiteral("第%1节 section %1").arg(s), s, true);
            for (int p = 1; p <= 10; ++p) {
                const int part = layer.unit(largest, section, QStringLiteral("第%1部分 part %1").arg(p), p, true);
                for (int q = 1; q <= 10; ++q)
                    layer.unit(largest, part, QStringLiteral("第%1页 page %1").arg(q), q, q % 2 == 0);
            }
        }
    }
    // A chapter of 1,000 pages.
    const int thousand = layer.unit(books.at(1), 0, ThousandChapter, 0);
    for (int p = 1; p <= 1000; ++p)
        layer.unit(books.at(1), thousand, QStringLiteral("第%1页 page %1").arg(p), p);
    // A chapter of 5,000 units: 50 sections of 99 pages.
    const int five = layer.unit(books.at(2), 0, FiveChapter, 0);
    for (int s = 1; s <= 50; ++s) {
        const int section = layer.unit(books.at(2), five, QStringLiteral("第%1节 section %1").arg(s), s);
        for (int p = 1; p <= 99; ++p)
            layer.unit(books.at(2), section, QStringLiteral("第%1页 page %1").arg(p), p);
    }
    // The rest, book by book in chapters of ten pages; the first page of the
    // picture book is the page of 1 MB.
    const int rest = int(books.size()) - 3;
    const int left = Units - layer.units();
    for (int i = 0; i < rest; ++i) {
        const int book = books.at(3 + i);
        const int count = left / rest + (i < left % rest ? 1 : 0);
        int chapter = 0;
        for (int u = 0; u < count; ++u) {
            if (u % 11 == 0) {
                chapter = layer.unit(book, 0, QStringLiteral("第%1章 chapter %1").arg(u / 11 + 1), 0);
            } else if (i == 0 && u == 1) {
                layer.unit(book, chapter, PicturePage, 1, false, 1000 * 1000);
            } else {
                layer.unit(book, chapter, QStringLiteral("第%1页 page %1").arg(u % 11), u % 11);
            }
        }
    }
    db.CommitTrans();
    const QByteArray count = raw::value(raw::handle(&db), "SELECT count(*) || ' ' || max(id) FROM units");
    if (count != QByteArray::number(Units) + ' ' + QByteArray::number(Units))
        throw EDatabaseError(QStringLiteral("laid units (count, last key): ") + QString::fromUtf8(count));
    db.Close();
}

Landmarks find(TADOConnection *db)
{
    sqlite3 *h = raw::handle(db);
    const char *book = "SELECT id FROM books WHERE lbm = ?";
    const char *unit = "SELECT id FROM units WHERE utitle = ?";
    Landmarks l;
    l.largestBook = keyOf(h, book, LargestBook);
    l.thousandBook = keyOf(h, book, ThousandBook);
    l.thousandChapter = keyOf(h, unit, ThousandChapter);
    l.fiveBook = keyOf(h, book, FiveBook);
    l.fiveChapter = keyOf(h, unit, FiveChapter);
    l.pictureBook = keyOf(h, book, PictureBook);
    l.picturePage = keyOf(h, unit, PicturePage);
    l.smallBook = keyOf(h, book, SmallBook);
    const std::vector<QByteArray> rows = raw::rows(
        h,
        "WITH RECURSIVE under(id) AS (SELECT ?1 UNION ALL SELECT u.id FROM units u JOIN under ON u.jb = "
        "CAST(under.id AS TEXT)) SELECT id FROM under",
        {l.fiveChapter.toLongLong()});
    for (const QByteArray &r : rows)
        l.fiveRows << QString::fromUtf8(r);
    return l;
}

qint64 storedTextBytes(TADOConnection *db, const QString &bookKey)
{
    return raw::value(raw::handle(db),
                      "SELECT sum(length(CAST(sc AS BLOB)) + length(CAST(jb AS BLOB)) + length(CAST(utitle AS BLOB))"
                      " + length(CAST(utpy AS BLOB)) + length(CAST(ucon AS BLOB)) + length(CAST(ucontxt AS BLOB))"
                      " + length(CAST(ucpy AS BLOB))) FROM units WHERE sc = ?",
                      {bookKey})
        .toLongLong();
}

} // namespace biglibrary
