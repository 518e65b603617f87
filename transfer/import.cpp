#include "transfer/sources.h"
#include "transfer/text.h"
#include "transfer/zipfile.h"

#include "store/catalogue.h"
#include "store/connection.h"
#include "store/intake.h"
#include "ztking/ztking.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

namespace transfer {

namespace {

QString hostile(const QString &what)
{
    return what + QStringLiteral("，可能是恶意文件，没有导入，书库保持原样。");
}

bool isWeb(const QString &src)
{
    return src.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
           || src.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// A reference as a path: its query and fragment cut, %-escapes decoded.
QString referencePath(QString src)
{
    src = src.section(u'#', 0, 0).section(u'?', 0, 0);
    return QUrl::fromPercentEncoding(src.toUtf8());
}

// "03_Title" is the third of its siblings, titled "Title": the order
// number an export writes before a name.
QString titleOf(const QString &name)
{
    static const QRegularExpression number(QStringLiteral("^\\d+_(?=.)"));
    return QString(name).remove(number);
}

const QStringList PageSuffixes{QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("xhtml"),
                               QStringLiteral("md"),   QStringLiteral("markdown"), QStringLiteral("txt")};
const QStringList PictureSuffixes{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                  QStringLiteral("gif"), QStringLiteral("bmp"), QStringLiteral("webp"),
                                  QStringLiteral("svg"), QStringLiteral("ico"), QStringLiteral("tif"),
                                  QStringLiteral("tiff"), QStringLiteral("css")};

// A page's links to style sheets and the like beside it in its source: in
// the library nothing is beside it, and a relative link would be read from
// around the image folder.
QString withoutLocalLinks(const QString &html)
{
    static const QRegularExpression link(QStringLiteral("<link\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(QStringLiteral("\\shref\\s*=\\s*[\"']?\\s*(https?:)?"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype last = 0;
    for (auto it = link.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(html).mid(last, m.capturedStart() - last);
        const auto h = href.match(m.captured(0));
        if (!h.hasMatch() || h.hasCaptured(1))
            out += m.captured(0);
        last = m.capturedEnd();
    }
    out += QStringView(html).mid(last);
    return out;
}

// The picture references of a page from a tree: relative ones resolved from
// the page's place, web ones left, anything that leaves the tree refused.
QString adoptPictures(const QString &html, const QString &pagePath, const QString &where, Report &report,
                      const std::function<QString(const QString &path)> &adopt)
{
    return mapPictures(withoutLocalLinks(html), [&](const QString &src) {
        const QString s = src.trimmed();
        if (s.isEmpty() || s.startsWith(QLatin1String("data:"), Qt::CaseInsensitive)
            || s.startsWith(PictureToken, Qt::CaseInsensitive))
            return src;
        if (isWeb(s)) {
            report.skipped.append({where + QStringLiteral(" › ") + s, QStringLiteral("网上的图片没有下载，保留了原地址")});
            return src;
        }
        if (absoluteSource(s))
            throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("“%1”中的图片“%2”指向导入内容之外").arg(where, s)));
        const QString reference = referencePath(s);
        if (reference.isEmpty()) // only a fragment or a query: nothing to fetch
            return src;
        const QString path = resolveInside(pagePath, reference);
        if (path.isEmpty())
            throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("“%1”中的图片“%2”指向导入内容之外").arg(where, s)));
        const QString ref = adopt(path);
        if (ref.isEmpty()) {
            report.skipped.append({where + QStringLiteral(" › ") + s, QStringLiteral("找不到这张图片")});
            return src;
        }
        return ref;
    });
}

// The stored document of a page file's text.
QString pageDocument(const QString &text, const QString &suffix, const QString &title)
{
    if (suffix == QLatin1String("md") || suffix == QLatin1String("markdown"))
        return standalone(pageFromMarkdown(text), title);
    if (suffix == QLatin1String("txt"))
        return standalone(pageFromText(text), title);
    return standalone(text, title);
}

QByteArray readPageFile(const QString &path, const Limits &limits)
{
    QFile f(path);
    if (f.size() > limits.page)
        throw Refused(Refused::Reason::Hostile,
                      hostile(QStringLiteral("页面文件“%1”大于 %2 MB").arg(path).arg(limits.page >> 20)));
    if (!f.open(QIODevice::ReadOnly))
        throw Refused(Refused::Reason::Source, QStringLiteral("无法读取“%1”，没有导入。").arg(path));
    return f.read(limits.page + 1);
}

// --- a folder ------------------------------------------------------------

class FolderReader : public Source
{
public:
    FolderReader(const QString &root, Pictures &pictures, Report &report, const Limits &limits)
        : m_root(QDir(root).canonicalPath())
        , m_pictures(pictures)
        , m_report(report)
        , m_limits(limits)
    {
        m_order.setNumericMode(true);
    }

    Outline outline() override { return {QFileInfo(m_root).fileName(), scan(QString(), 0)}; }

    QList<Entry> scan(const QString &relative, int depth)
    {
        if (depth > 64)
            throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("“%1”的文件夹层次太深").arg(relative)));
        const QDir dir(relative.isEmpty() ? m_root : m_root + u'/' + relative);
        QFileInfoList infos = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::NoSort);
        m_seen += infos.size();
        if (m_seen > m_limits.archiveEntries)
            throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("文件夹里的文件超过 %1 个").arg(m_limits.archiveEntries)));
        std::sort(infos.begin(), infos.end(),
                  [this](const QFileInfo &a, const QFileInfo &b) { return m_order.compare(a.fileName(), b.fileName()) < 0; });
        QHash<QString, QString> pageOf; // base name: the page file of that name
        for (const QFileInfo &i : infos) {
            if (i.isFile() && !i.isSymLink() && PageSuffixes.contains(i.suffix().toLower()))
                pageOf.insert(i.completeBaseName(), i.fileName());
        }
        QList<std::pair<QString, Entry>> entries; // by the name they come from
        QSet<QString> merged; // page files that are a folder's own page
        for (const QFileInfo &i : infos) {
            const QString rel = relative.isEmpty() ? i.fileName() : relative + u'/' + i.fileName();
            if (i.isSymLink()) {
                m_report.skipped.append({rel, QStringLiteral("符号链接，没有跟随")});
            } else if (i.isDir()) {
                Entry e{titleOf(i.fileName()), {}, scan(rel, depth + 1)};
                const QString own = pageOf.value(i.fileName());
                if (!own.isEmpty()) {
                    merged.insert(own);
                    e.load = page(relative.isEmpty() ? own : relative + u'/' + own, e.title);
                }
                if (!e.children.isEmpty() || e.load)
                    entries.append({i.fileName(), e});
            }
        }
        for (const QFileInfo &i : infos) {
            const QString rel = relative.isEmpty() ? i.fileName() : relative + u'/' + i.fileName();
            if (!i.isFile() || i.isSymLink() || merged.contains(i.fileName()))
                continue;
            const QString suffix = i.suffix().toLower();
            if (!PageSuffixes.contains(suffix)) {
                if (!PictureSuffixes.contains(suffix))
                    m_report.skipped.append({rel, QStringLiteral("不是能导入的页面（.html .htm .md .txt）")});
                continue;
            }
            if (relative.isEmpty() && i.fileName().compare(QLatin1String("index.html"), Qt::CaseInsensitive) == 0
                && exportIndex(i.filePath())) {
                m_report.skipped.append({rel, QStringLiteral("导出时写的目录页，不作为页面")});
                continue;
            }
            const QString title = titleOf(i.completeBaseName());
            entries.append({i.completeBaseName(), Entry{title, page(rel, title), {}}});
        }
        // Files take their place among the folders by name.
        std::stable_sort(entries.begin(), entries.end(),
                         [this](const auto &a, const auto &b) { return m_order.compare(a.first, b.first) < 0; });
        QList<Entry> out;
        for (auto &e : entries)
            out << std::move(e.second);
        return out;
    }

private:
    QString m_root;
    Pictures &m_pictures;
    Report &m_report;
    Limits m_limits;
    QCollator m_order;
    qint64 m_seen = 0;

    bool exportIndex(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.read(4096).contains("<meta name=\"generator\" content=\"Velloran\">");
    }

    std::function<QString()> page(const QString &rel, const QString &title)
    {
        return [this, rel, title] {
            const QString suffix = QFileInfo(rel).suffix().toLower();
            const QByteArray bytes = readPageFile(m_root + u'/' + rel, m_limits);
            const bool markup = suffix.startsWith(QLatin1String("htm")) || suffix == QLatin1String("xhtml");
            const QString doc = pageDocument(decodeText(bytes, markup), suffix, title);
            return adoptPictures(doc, rel, rel, m_report, [this](const QString &path) {
                const QFileInfo file(m_root + u'/' + path);
                if (!file.isFile())
                    return QString();
                // A link inside the folder may still lead out of it.
                if (!file.canonicalFilePath().startsWith(m_root + u'/'))
                    throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("图片“%1”链接到导入的文件夹之外").arg(path)));
                return m_pictures.adopt(file.canonicalFilePath(), file.fileName(), file.size(), [file] {
                    QFile f(file.filePath());
                    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                });
            });
        };
    }
};

} // namespace

Pictures::Pictures(const QString &folder, const Limits &limits)
    : m_folder(folder)
    , m_limits(limits)
{
}

Pictures::~Pictures()
{
    if (!m_kept) {
        for (const QString &f : m_written)
            QFile::remove(f);
    }
}

QString Pictures::adopt(const QString &key, const QString &fileName, qint64 size,
                        const std::function<QByteArray()> &bytes)
{
    if (const auto it = m_adopted.constFind(key); it != m_adopted.constEnd())
        return *it;
    if (size > m_limits.picture)
        throw Refused(Refused::Reason::Hostile,
                      hostile(QStringLiteral("图片“%1”大于 %2 MB").arg(fileName).arg(m_limits.picture >> 20)));
    const QByteArray data = bytes();
    if (data.size() > m_limits.picture)
        throw Refused(Refused::Reason::Hostile,
                      hostile(QStringLiteral("图片“%1”大于 %2 MB").arg(fileName).arg(m_limits.picture >> 20)));
    if (!QDir().mkpath(m_folder))
        throw Refused(Refused::Reason::Target, QStringLiteral("无法建立图库文件夹“%1”，没有导入。").arg(m_folder));
    // A new name never replaces a picture of the library.
    const QString base = fileNameFor(fileName).replace(u' ', u'_');
    for (int tries = 0; tries < 100; ++tries) {
        const QString name = QStringLiteral("vl_") + Ztking::sjm(5) + u'_' + base;
        QFile f(m_folder + u'/' + name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            continue;
        m_written << f.fileName();
        if (f.write(data) != data.size() || !f.flush())
            throw Refused(Refused::Reason::Target, QStringLiteral("无法写入图片“%1”，没有导入。").arg(f.fileName()));
        const QString ref = PictureToken + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(name));
        m_adopted.insert(key, ref);
        return ref;
    }
    throw Refused(Refused::Reason::Target, QStringLiteral("无法在图库“%1”中为图片取新名字，没有导入。").arg(m_folder));
}

QString resolveInside(const QString &base, const QString &reference)
{
    if (reference.isEmpty() || absoluteSource(reference))
        return {};
    const qsizetype slash = base.lastIndexOf(u'/');
    const QString joined = (slash < 0 ? QString() : base.left(slash + 1)) + QString(reference).replace(u'\\', u'/');
    QStringList segments;
    for (const QString &p : joined.split(u'/')) {
        if (p.isEmpty() || p == QLatin1String("."))
            continue;
        if (p == QLatin1String("..")) {
            if (segments.isEmpty())
                return {};
            segments.removeLast();
        } else {
            segments << p;
        }
    }
    return segments.join(u'/');
}

bool absoluteSource(const QString &src)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    return src.startsWith(u'/') || src.startsWith(u'\\') || src.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
           || drive.match(src).hasMatch();
}

std::unique_ptr<Source> folderSource(const QString &root, Pictures &pictures, Report &report, const Limits &limits)
{
    return std::make_unique<FolderReader>(root, pictures, report, limits);
}

namespace {

// --- EPUB ----------------------------------------------------------------

class EpubReader : public Source
{
public:
    EpubReader(const QString &path, Pictures &pictures, Report &report, const Limits &limits)
        : m_path(path)
        , m_zip(path, limits)
        , m_pictures(pictures)
        , m_report(report)
        , m_limits(limits)
    {
    }

    Outline outline() override
    {
        if (!m_zip.contains(QStringLiteral("META-INF/container.xml")))
            damaged(QStringLiteral("缺少 META-INF/container.xml"));
        QString opf;
        {
            QXmlStreamReader r(text(QStringLiteral("META-INF/container.xml")));
            while (r.readNextStartElement() || !r.atEnd()) {
                if (r.isStartElement() && r.name() == QLatin1String("rootfile")) {
                    opf = r.attributes().value(QLatin1String("full-path")).toString();
                    break;
                }
                if (!r.isStartElement())
                    r.readNext();
            }
            if (r.hasError())
                damaged(QStringLiteral("container.xml 不是完好的 XML"));
        }
        if (!m_zip.contains(opf))
            damaged(QStringLiteral("找不到内容文件“%1”").arg(opf));
        readPackage(opf);
        Outline out;
        out.name = m_title.trimmed().isEmpty() ? QFileInfo(m_path).completeBaseName() : m_title.trimmed();
        if (!m_nav.isEmpty())
            out.entries = navEntries(m_nav);
        else if (!m_ncx.isEmpty())
            out.entries = ncxEntries(m_ncx);
        // What the reading order holds beyond the navigation follows it.
        for (const QString &doc : std::as_const(m_spine)) {
            if (doc != m_nav && !m_used.contains(doc)) {
                m_used.insert(doc);
                const QString title = QFileInfo(doc).completeBaseName();
                out.entries << Entry{title, page(doc, title), {}};
            }
        }
        return out;
    }

private:
    QString m_path;
    ZipReader m_zip;
    Pictures &m_pictures;
    Report &m_report;
    Limits m_limits;
    QString m_title, m_nav, m_ncx;
    QStringList m_spine;
    QSet<QString> m_used;

    [[noreturn]] void damaged(const QString &why)
    {
        throw Refused(Refused::Reason::Damaged, QStringLiteral("“%1”不是完好的 EPUB（%2），没有导入。").arg(m_path, why));
    }

    QString text(const QString &name)
    {
        if (m_zip.size(name) > m_limits.page)
            throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("“%1”中的“%2”太大").arg(m_path, name)));
        return decodeText(m_zip.read(name), true);
    }

    // A reference of the document at base, as a name in the archive.
    QString inside(const QString &base, const QString &href)
    {
        const QString path = resolveInside(base, referencePath(href));
        if (path.isEmpty() || absoluteSource(href))
            throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("“%1”中的“%2”指向压缩包之外").arg(m_path, href)));
        return path;
    }

    void readPackage(const QString &opf)
    {
        QHash<QString, QString> hrefOf;
        QStringList spineIds;
        QString tocId;
        QXmlStreamReader r(text(opf));
        while (!r.atEnd()) {
            r.readNext();
            if (!r.isStartElement())
                continue;
            const auto a = r.attributes();
            if (r.name() == QLatin1String("title") && m_title.isEmpty()) {
                m_title = r.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (r.name() == QLatin1String("item")) {
                const QString id = a.value(QLatin1String("id")).toString();
                const QString href = inside(opf, a.value(QLatin1String("href")).toString());
                hrefOf.insert(id, href);
                if (a.value(QLatin1String("properties")).toString().split(u' ').contains(QStringLiteral("nav")))
                    m_nav = href;
            } else if (r.name() == QLatin1String("spine")) {
                tocId = a.value(QLatin1String("toc")).toString();
            } else if (r.name() == QLatin1String("itemref")) {
                spineIds << a.value(QLatin1String("idref")).toString();
            }
        }
        if (r.hasError())
            damaged(QStringLiteral("内容文件不是完好的 XML"));
        for (const QString &id : spineIds) {
            if (hrefOf.contains(id) && m_zip.contains(hrefOf.value(id)))
                m_spine << hrefOf.value(id);
        }
        if (!tocId.isEmpty())
            m_ncx = hrefOf.value(tocId);
        if (!m_zip.contains(m_nav))
            m_nav.clear();
        if (!m_zip.contains(m_ncx))
            m_ncx.clear();
    }

    struct Point
    {
        QString title, doc;
        QList<Point> children;
    };

    QList<Entry> entries(const QList<Point> &points)
    {
        QList<Entry> out;
        for (const Point &p : points) {
            Entry e{p.title.simplified(), {}, {}};
            // A heading that opens the same document as its first child
            // leaves the page to the child.
            const bool heading = !p.children.isEmpty() && p.children.first().doc == p.doc;
            if (!p.doc.isEmpty() && !heading && !m_used.contains(p.doc)) {
                m_used.insert(p.doc);
                e.load = page(p.doc, e.title);
            }
            e.children = entries(p.children);
            if (e.load || !e.children.isEmpty())
                out << e;
            else
                m_report.skipped.append({e.title, QStringLiteral("目录项没有自己的页面")});
        }
        return out;
    }

    QList<Entry> navEntries(const QString &nav)
    {
        QXmlStreamReader r(text(nav));
        // The first navigation of the document that is the table of
        // contents; any navigation when none says so.
        QList<Point> found, first;
        while (!r.atEnd()) {
            r.readNext();
            if (r.isStartElement() && r.name() == QLatin1String("nav")) {
                const bool toc = r.attributes().value(QLatin1String("http://www.idpf.org/2007/ops"), QLatin1String("type"))
                                     .toString()
                                     .split(u' ')
                                     .contains(QStringLiteral("toc"));
                const QList<Point> points = navList(r, nav, 0);
                if (toc) {
                    found = points;
                    break;
                }
                if (first.isEmpty())
                    first = points;
            }
        }
        if (r.hasError())
            damaged(QStringLiteral("目录文件不是完好的 XML"));
        return entries(found.isEmpty() ? first : found);
    }

    // The items of the lists inside the element r stands on, to its end.
    QList<Point> navList(QXmlStreamReader &r, const QString &nav, int depth)
    {
        if (depth > 64)
            damaged(QStringLiteral("目录层次太深"));
        QList<Point> points;
        while (r.readNextStartElement()) {
            if (r.name() == QLatin1String("li"))
                points << navItem(r, nav, depth);
            else if (r.name() == QLatin1String("ol") || r.name() == QLatin1String("ul"))
                points << navList(r, nav, depth + 1);
            else
                r.skipCurrentElement();
        }
        return points;
    }

    Point navItem(QXmlStreamReader &r, const QString &nav, int depth)
    {
        Point p;
        while (r.readNextStartElement()) {
            if (r.name() == QLatin1String("a") || r.name() == QLatin1String("span")) {
                const QString href = r.attributes().value(QLatin1String("href")).toString();
                if (!href.isEmpty() && !isWeb(href))
                    p.doc = inside(nav, href);
                p.title = r.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (r.name() == QLatin1String("ol") || r.name() == QLatin1String("ul")) {
                p.children << navList(r, nav, depth + 1);
            } else {
                r.skipCurrentElement();
            }
        }
        return p;
    }

    QList<Entry> ncxEntries(const QString &ncx)
    {
        QXmlStreamReader r(text(ncx));
        QList<Point> points;
        while (!r.atEnd()) {
            r.readNext();
            if (r.isStartElement() && r.name() == QLatin1String("navMap")) {
                points = ncxPoints(r, ncx, 0);
                break;
            }
        }
        if (r.hasError())
            damaged(QStringLiteral("NCX 目录不是完好的 XML"));
        return entries(points);
    }

    // The navPoints inside the element r stands on.
    QList<Point> ncxPoints(QXmlStreamReader &r, const QString &ncx, int depth)
    {
        QList<Point> points;
        while (r.readNextStartElement()) {
            if (r.name() == QLatin1String("navPoint"))
                points << ncxPoint(r, ncx, depth);
            else
                r.skipCurrentElement();
        }
        return points;
    }

    Point ncxPoint(QXmlStreamReader &r, const QString &ncx, int depth)
    {
        if (depth > 64)
            damaged(QStringLiteral("目录层次太深"));
        Point p;
        while (r.readNextStartElement()) {
            if (r.name() == QLatin1String("navLabel")) {
                p.title = r.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (r.name() == QLatin1String("content")) {
                p.doc = inside(ncx, r.attributes().value(QLatin1String("src")).toString());
                r.skipCurrentElement();
            } else if (r.name() == QLatin1String("navPoint")) {
                p.children << ncxPoint(r, ncx, depth + 1);
            } else {
                r.skipCurrentElement();
            }
        }
        return p;
    }

    std::function<QString()> page(const QString &doc, const QString &title)
    {
        return [this, doc, title] {
            const QString html = standalone(text(doc), title);
            return adoptPictures(html, doc, doc, m_report, [this](const QString &path) {
                if (!m_zip.contains(path))
                    return QString();
                return m_pictures.adopt(path, QFileInfo(path).fileName(), m_zip.size(path), [this, path] { return m_zip.read(path); });
            });
        };
    }
};

// A name or title the program accepts: the characters it refuses in names
// give way to their full-width forms.
QString titleFor(const QString &text)
{
    QString t = text.simplified();
    const QString ascii = QStringLiteral("\\/:*?<>|\"");
    const QString wide = QStringLiteral("＼／：＊？＜＞｜＂");
    for (qsizetype i = 0; i < ascii.size(); ++i)
        t.replace(ascii.at(i), wide.at(i));
    return t.isEmpty() ? QStringLiteral("无题") : t.left(200);
}

qint64 countPages(const QList<Entry> &entries)
{
    qint64 n = 0;
    for (const Entry &e : entries)
        n += 1 + countPages(e.children);
    return n;
}

// A stored page may point at the image folder only below it.
void checkTokens(const QString &html, const QString &where)
{
    for (const QString &name : tokenPictures(html)) {
        if (name.split(u'/').contains(QStringLiteral("..")) || absoluteSource(name))
            throw Refused(Refused::Reason::Hostile, hostile(QStringLiteral("“%1”中的图片“%2”指向图库之外").arg(where, name)));
    }
}

} // namespace

std::unique_ptr<Source> epubSource(const QString &path, Pictures &pictures, Report &report, const Limits &limits)
{
    return std::make_unique<EpubReader>(path, pictures, report, limits);
}

Report importBook(TADOConnection *db, const QString &parentKey, const QString &source, const QString &pictureFolder,
                  const Progress &progress, const Limits &limits)
{
    Report report;
    Pictures pictures(pictureFolder, limits);
    const QFileInfo info(source);
    std::unique_ptr<Source> reader;
    if (info.isDir()) {
        reader = folderSource(source, pictures, report, limits);
    } else if (info.isFile() && info.suffix().compare(QLatin1String("epub"), Qt::CaseInsensitive) == 0) {
        reader = epubSource(source, pictures, report, limits);
    } else if (info.isFile() && info.suffix().compare(QLatin1String("ctb"), Qt::CaseInsensitive) == 0) {
        reader = cherryTreeSource(source, pictures, report, limits);
    } else {
        throw Refused(Refused::Reason::Source,
                      info.exists() ? QStringLiteral("“%1”不是能导入的内容：请选择文件夹、.epub 或 .ctb 文件。").arg(source)
                                    : QStringLiteral("找不到“%1”。").arg(source));
    }
    const Outline outline = reader->outline();
    const QString name = titleFor(outline.name);
    const qint64 total = countPages(outline.entries);

    db->BeginTrans();
    try {
        intake::Writer writer(db, [](const QString &stored) { return Ztking::Getpy(stored); });
        const auto [key, given] = writer.addBook(parentKey, name);
        const std::function<void(const QList<Entry> &, const QString &, const QString &)> write =
            [&](const QList<Entry> &entries, const QString &parent, const QString &where) {
                for (const Entry &e : entries) {
                    const QString place = where + QStringLiteral(" › ") + e.title;
                    const QString html = e.load ? e.load() : sqlcat::NewPageDocument;
                    checkTokens(html, place);
                    const QString unit = writer.addUnit(key, parent, titleFor(e.title), html, plainText(html));
                    ++report.pages;
                    if (progress && !progress(report.pages, total))
                        throw Refused(Refused::Reason::Cancelled, QStringLiteral("导入已取消，书库保持原样。"));
                    write(e.children, unit, place);
                }
            };
        write(outline.entries, QStringLiteral("$"), given);
        db->CommitTrans();
        report.target = key;
        report.name = given;
    } catch (...) {
        if (db->InTransaction())
            db->RollbackTrans();
        throw;
    }
    pictures.keep();
    report.pictures = pictures.count();
    return report;
}

} // namespace transfer
