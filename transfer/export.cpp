#include "transfer/text.h"
#include "transfer/transfer.h"
#include "transfer/zipfile.h"

#include "library/shelf.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QBuffer>
#include <QTextDocument>
#include <QSet>
#include <QUrl>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace transfer {

namespace {

// One item of what is exported: a bookshelf item (with its units when it is
// a book) or a unit.
struct Item
{
    QString title;
    QString unitKey; // empty for a bookshelf item
    QList<Item> children;
};

qint64 countUnits(const QList<Item> &items)
{
    qint64 n = 0;
    for (const Item &i : items)
        n += (i.unitKey.isEmpty() ? 0 : 1) + countUnits(i.children);
    return n;
}

QList<Item> unitItems(const QList<shelf::Node> &nodes)
{
    QList<Item> items;
    for (const shelf::Node &n : nodes)
        items.append({n.caption, n.rec.Tid, unitItems(n.children)});
    return items;
}

// The bookshelf item with everything below it: its books' units hang under
// them, after any items the book holds.
Item shelfItem(TADOConnection *db, const shelf::Node &node)
{
    Item item{node.caption, QString(), {}};
    for (const shelf::Node &child : node.children)
        item.children << shelfItem(db, child);
    item.children << unitItems(shelf::unitTree(db, node.rec.Tid, QString()));
    return item;
}

const shelf::Node *findNode(const QList<shelf::Node> &nodes, const QString &key)
{
    for (const shelf::Node &n : nodes) {
        if (n.rec.Tid == key)
            return &n;
        if (const shelf::Node *found = findNode(n.children, key))
            return found;
    }
    return nullptr;
}

// A library picture name that stays inside the image folder.
bool insideName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(u'\\') || name.contains(u':'))
        return false;
    const QStringList segments = name.split(u'/');
    return !segments.contains(QStringLiteral("..")) && !segments.contains(QStringLiteral(".")) && !segments.contains(QString());
}

QString encodedPath(const QString &path)
{
    QStringList segments;
    for (const QString &p : path.split(u'/'))
        segments << QString::fromLatin1(QUrl::toPercentEncoding(p));
    return segments.join(u'/');
}

class Exporter
{
public:
    Exporter(TADOConnection *db, const QString &pictureFolder, const Progress &progress)
        : m_db(db)
        , m_pictures(pictureFolder)
        , m_progress(progress)
    {
    }

    void setTotal(qint64 total) { m_total = total; }
    Report report;

protected:
    TADOConnection *m_db;
    QDir m_pictures;
    Progress m_progress;
    qint64 m_total = 0;
    qint64 m_done = 0;
    QHash<QString, QString> m_copied; // library name: where it went

    // A page as the program shows it: its title in place of the title
    // token its template may hold.
    QString page(const Item &item)
    {
        return shelf::pageDocument(m_db, item.unitKey)
            .replace(QStringLiteral("#mytitle#"), escapeHtml(item.title), Qt::CaseInsensitive);
    }

    // One unit done, its page written or (a unit that only holds others)
    // not.
    void tick(bool written)
    {
        report.pages += written ? 1 : 0;
        if (m_progress && !m_progress(++m_done, m_total))
            throw Refused(Refused::Reason::Cancelled, QStringLiteral("导出已取消，已写的部分已删除。"));
    }

    // The library's file for name, or empty with the reason noted.
    QString libraryFile(const QString &name, const QString &where)
    {
        const QFileInfo file(m_pictures.filePath(name));
        const QString root = m_pictures.canonicalPath();
        if (!insideName(name) || !file.isFile() || root.isEmpty()
            || !file.canonicalFilePath().startsWith(root + u'/')) {
            report.skipped.append({where + QStringLiteral(" › ") + name, QStringLiteral("图片不在图库中")});
            return {};
        }
        return file.filePath();
    }
};

// Whether a page holds anything a reader would miss: text or a picture.
bool hasContent(const QString &doc)
{
    return !plainText(doc).trimmed().isEmpty() || !tokenPictures(doc).isEmpty();
}

// HTML and Markdown: a folder per item that holds others, a file per page,
// the pictures under pictures/ at the top.
class FolderExporter : public Exporter
{
public:
    FolderExporter(TADOConnection *db, const QString &pictureFolder, const Progress &progress, const QString &target,
                   bool markdown)
        : Exporter(db, pictureFolder, progress)
        , m_root(target)
        , m_markdown(markdown)
    {
    }

    // Writes items under the folder at path (relative to the root, depth
    // folders down) and returns the nested list the index shows of them.
    QString write(const QList<Item> &items, const QString &path, int depth, const QString &where)
    {
        if (items.isEmpty())
            return {};
        const int width = std::max(2, int(QString::number(items.size()).size()));
        QString list = QStringLiteral("<ul>\n");
        for (qsizetype i = 0; i < items.size(); ++i) {
            const Item &item = items.at(i);
            const QString name = QStringLiteral("%1_%2").arg(i + 1, width, 10, QLatin1Char('0')).arg(fileNameFor(item.title));
            const QString here = path.isEmpty() ? name : path + u'/' + name;
            const QString place = where.isEmpty() ? item.title : where + QStringLiteral(" › ") + item.title;
            list += QStringLiteral("<li>");
            bool linked = false;
            if (!item.unitKey.isEmpty()) {
                const QString doc = page(item);
                if (item.children.isEmpty() || hasContent(doc)) {
                    const QString file = here + (m_markdown ? QStringLiteral(".md") : QStringLiteral(".html"));
                    writeFile(file, pageFile(doc, item.title, depth, place));
                    list += QStringLiteral("<a href=\"%1\">%2</a>").arg(encodedPath(file), escapeHtml(item.title));
                    linked = true;
                }
                tick(linked);
            }
            if (!linked)
                list += escapeHtml(item.title);
            if (!item.children.isEmpty()) {
                if (!QDir(m_root).mkpath(here))
                    throw Refused(Refused::Reason::Target, QStringLiteral("无法建立文件夹“%1”，没有导出。").arg(m_root.filePath(here)));
                list += u'\n' + write(item.children, here, depth + 1, place);
            }
            list += QStringLiteral("</li>\n");
        }
        return list + QStringLiteral("</ul>\n");
    }

    void writeIndex(const QString &title, const QString &list)
    {
        writeFile(QStringLiteral("index.html"),
                  QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                                 "<meta name=\"generator\" content=\"Velloran\"><title>%1</title></head>\n"
                                 "<body>\n<h1>%1</h1>\n%2</body></html>\n")
                      .arg(escapeHtml(title), list)
                      .toUtf8());
    }

private:
    QDir m_root;
    bool m_markdown;

    void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile f(m_root.filePath(path));
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.write(bytes) != bytes.size() || !f.flush())
            throw Refused(Refused::Reason::Target, QStringLiteral("无法写入“%1”，没有导出。").arg(f.fileName()));
    }

    QByteArray pageFile(const QString &doc, const QString &title, int depth, const QString &where)
    {
        const QString up = QStringLiteral("../").repeated(depth);
        const QString html = mapTokenPictures(doc, [&](const QString &name) {
            const QString copied = copyPicture(name, where);
            return copied.isEmpty() ? PictureToken + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(name, "/"))
                                    : up + encodedPath(copied);
        });
        if (!m_markdown)
            return standalone(html, title).toUtf8();
        QTextDocument text;
        text.setHtml(html);
        return text.toMarkdown().toUtf8();
    }

    QString copyPicture(const QString &name, const QString &where)
    {
        if (const auto it = m_copied.constFind(name); it != m_copied.constEnd())
            return *it;
        const QString from = libraryFile(name, where);
        if (from.isEmpty())
            return {};
        const QString to = QStringLiteral("pictures/") + name;
        if (!m_root.mkpath(QFileInfo(to).path()) || !QFile::copy(from, m_root.filePath(to)))
            throw Refused(Refused::Reason::Target, QStringLiteral("无法把图片复制到“%1”，没有导出。").arg(m_root.filePath(to)));
        ++report.pictures;
        m_copied.insert(name, to);
        return to;
    }
};

// EPUB: the book's units in reading order, each an XHTML document, the
// chapter tree as its navigation.
class EpubExporter : public Exporter
{
public:
    EpubExporter(TADOConnection *db, const QString &pictureFolder, const Progress &progress, const QString &target)
        : Exporter(db, pictureFolder, progress)
        , m_zip(target)
    {
    }

    void write(const QString &title, const QList<Item> &items)
    {
        m_zip.add(QStringLiteral("mimetype"), "application/epub+zip", true);
        m_zip.add(QStringLiteral("META-INF/container.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
                  "  <rootfiles><rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>"
                  "</rootfiles>\n</container>\n");
        const QString nav = navList(items, title);
        m_zip.add(QStringLiteral("OEBPS/nav.xhtml"),
                  xhtml(title, QStringLiteral("<nav epub:type=\"toc\" id=\"toc\"><h1>%1</h1>\n%2</nav>")
                                   .arg(escapeHtml(title), nav.isEmpty() ? QStringLiteral("<ol><li><a href=\"nav.xhtml\">")
                                                                               + escapeHtml(title)
                                                                               + QStringLiteral("</a></li></ol>")
                                                                         : nav)));
        QString manifest = QStringLiteral("    <item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
                                          "properties=\"nav\"/>\n");
        QString spine = QStringLiteral("    <itemref idref=\"nav\"/>\n");
        for (const QString &id : m_documents) {
            manifest += QStringLiteral("    <item id=\"%1\" href=\"text/%1.xhtml\" media-type=\"application/xhtml+xml\"/>\n").arg(id);
            spine += QStringLiteral("    <itemref idref=\"%1\"/>\n").arg(id);
        }
        for (const auto &[path, type] : m_images)
            manifest += QStringLiteral("    <item id=\"%1\" href=\"%2\" media-type=\"%3\"/>\n")
                            .arg(QFileInfo(path).completeBaseName(), path, type);
        const QString opf =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"bookid\" "
                           "xml:lang=\"zh\">\n"
                           "  <metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                           "    <dc:identifier id=\"bookid\">urn:uuid:%1</dc:identifier>\n"
                           "    <dc:title>%2</dc:title>\n"
                           "    <dc:language>zh</dc:language>\n"
                           "    <meta property=\"dcterms:modified\">%3</meta>\n"
                           "  </metadata>\n  <manifest>\n%4  </manifest>\n  <spine>\n%5  </spine>\n</package>\n")
                .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), escapeHtml(title),
                     QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")), manifest, spine);
        m_zip.add(QStringLiteral("OEBPS/content.opf"), opf.toUtf8());
        m_zip.commit();
    }

private:
    ZipWriter m_zip;
    QStringList m_documents;
    QList<std::pair<QString, QString>> m_images; // path in OEBPS, media type

    // Writes the documents of items in reading order and returns their
    // navigation: a unit without a page of its own is a heading of its
    // children.
    QString navList(const QList<Item> &items, const QString &where)
    {
        if (items.isEmpty())
            return {};
        QString list = QStringLiteral("<ol>\n");
        for (const Item &item : items) {
            const QString place = where + QStringLiteral(" › ") + item.title;
            const QString doc = page(item);
            QString entry;
            const bool own = item.children.isEmpty() || hasContent(doc);
            if (own) {
                const QString id = QStringLiteral("u%1").arg(m_documents.size() + 1);
                m_documents << id;
                m_zip.add(QStringLiteral("OEBPS/text/%1.xhtml").arg(id), xhtml(item.title, body(doc, place)));
                entry = QStringLiteral("<a href=\"text/%1.xhtml\">%2</a>").arg(id, escapeHtml(item.title));
            } else {
                entry = QStringLiteral("<span>%1</span>").arg(escapeHtml(item.title));
            }
            tick(own);
            list += QStringLiteral("<li>") + entry + navList(item.children, place) + QStringLiteral("</li>\n");
        }
        return list + QStringLiteral("</ol>\n");
    }

    QByteArray xhtml(const QString &title, const QString &bodyText)
    {
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
                              "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
                              "xml:lang=\"zh\" lang=\"zh\">\n<head><meta charset=\"utf-8\"/><title>%1</title></head>\n%2\n</html>\n")
            .arg(escapeHtml(title), bodyText.startsWith(QLatin1String("<body")) ? bodyText
                                                                                 : QStringLiteral("<body>") + bodyText + QStringLiteral("</body>"))
            .toUtf8();
    }

    // The picture name of the library as a file of the book, relative to
    // the documents; empty when it cannot go in.
    QString picture(const QString &name, const QString &where)
    {
        if (const auto it = m_copied.constFind(name); it != m_copied.constEnd())
            return *it;
        const QString from = libraryFile(name, where);
        if (from.isEmpty())
            return {};
        QImageReader reader(from);
        const QByteArray format = reader.format().toLower();
        static const QHash<QByteArray, QString> core{{"png", QStringLiteral("image/png")},
                                                     {"jpeg", QStringLiteral("image/jpeg")},
                                                     {"jpg", QStringLiteral("image/jpeg")},
                                                     {"gif", QStringLiteral("image/gif")},
                                                     {"svg", QStringLiteral("image/svg+xml")}};
        const QString id = QStringLiteral("i%1").arg(m_images.size() + 1);
        QString path;
        if (core.contains(format)) {
            path = QStringLiteral("images/%1.%2").arg(id, format == "jpeg" ? QStringLiteral("jpg") : QString::fromLatin1(format));
            m_zip.addFile(QStringLiteral("OEBPS/") + path, from);
            m_images.append({path, core.value(format)});
        } else {
            // Readers need only the core types; any other picture goes in
            // as PNG.
            const QImage image = reader.read();
            QByteArray png;
            QBuffer buffer(&png);
            if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
                report.skipped.append({where + QStringLiteral(" › ") + name, QStringLiteral("不是能读取的图片")});
                m_copied.insert(name, QString());
                return {};
            }
            path = QStringLiteral("images/%1.png").arg(id);
            m_zip.add(QStringLiteral("OEBPS/") + path, png);
            m_images.append({path, QStringLiteral("image/png")});
        }
        ++report.pictures;
        m_copied.insert(name, QStringLiteral("../") + path);
        return m_copied.value(name);
    }

    QString body(const QString &doc, const QString &where)
    {
        const QString html = mapTokenPictures(doc, [&](const QString &name) {
            const QString path = picture(name, where);
            return path.isEmpty() ? QStringLiteral("#") : path;
        });
        QTextDocument text;
        text.setHtml(html);
        QString out;
        if (!toXhtml(text.toHtml(), &out, where)) {
            report.skipped.append({where, QStringLiteral("排版无法转换，只保留了文字")});
            out.clear();
            for (const QString &line : text.toPlainText().split(QChar::ParagraphSeparator))
                out += QStringLiteral("<p>") + escapeHtml(line) + QStringLiteral("</p>\n");
        }
        return out;
    }

    // The body of the document Qt writes, as XHTML a reading system
    // accepts: only elements and attributes of HTML as it is now, old
    // presentational attributes turned into style.
    bool toXhtml(QString html, QString *out, const QString &where)
    {
        const qsizetype start = html.indexOf(QLatin1String("<html"));
        if (start < 0)
            return false;
        html = html.mid(start).replace(QLatin1String("&nbsp;"), QLatin1String("&#160;"));
        static const QSet<QString> kept{
            QStringLiteral("body"), QStringLiteral("p"),  QStringLiteral("span"),  QStringLiteral("a"),   QStringLiteral("b"),
            QStringLiteral("i"),    QStringLiteral("u"),  QStringLiteral("s"),     QStringLiteral("strong"), QStringLiteral("em"),
            QStringLiteral("sub"),  QStringLiteral("sup"), QStringLiteral("br"),   QStringLiteral("img"), QStringLiteral("table"),
            QStringLiteral("thead"), QStringLiteral("tbody"), QStringLiteral("tr"), QStringLiteral("td"), QStringLiteral("th"),
            QStringLiteral("ul"),   QStringLiteral("ol"), QStringLiteral("li"),    QStringLiteral("h1"),  QStringLiteral("h2"),
            QStringLiteral("h3"),   QStringLiteral("h4"), QStringLiteral("h5"),    QStringLiteral("h6"),  QStringLiteral("pre"),
            QStringLiteral("code"), QStringLiteral("hr"), QStringLiteral("div"),   QStringLiteral("blockquote")};
        QXmlStreamReader r(html);
        QXmlStreamWriter w(out);
        bool inBody = false;
        QList<bool> written; // per open element: whether it was written
        while (!r.atEnd()) {
            r.readNext();
            if (r.isStartElement()) {
                const QString name = r.name().toString().toLower();
                if (name == QLatin1String("body"))
                    inBody = true;
                const bool keep = inBody && kept.contains(name);
                written << keep;
                if (!keep)
                    continue;
                if (name == QLatin1String("img")) {
                    const QString src = r.attributes().value(QLatin1String("src")).toString();
                    if (!src.startsWith(QLatin1String("../images/"))) {
                        if (src != QLatin1String("#"))
                            report.skipped.append({where + QStringLiteral(" › ") + src, QStringLiteral("图库之外的图片没有放进 EPUB")});
                        written.last() = false;
                        continue;
                    }
                }
                w.writeStartElement(name);
                QStringList style;
                for (const QXmlStreamAttribute &a : r.attributes()) {
                    const QString attr = a.name().toString().toLower();
                    const QString value = a.value().toString();
                    if (attr == QLatin1String("style"))
                        style << value.trimmed();
                    else if (attr == QLatin1String("align"))
                        style << QStringLiteral("text-align:%1;").arg(value);
                    else if (attr == QLatin1String("valign"))
                        style << QStringLiteral("vertical-align:%1;").arg(value);
                    else if (attr == QLatin1String("bgcolor"))
                        style << QStringLiteral("background-color:%1;").arg(value);
                    else if (attr == QLatin1String("cellspacing"))
                        style << QStringLiteral("border-spacing:%1px;").arg(value.toInt());
                    else if (attr == QLatin1String("width") && name != QLatin1String("img"))
                        style << QStringLiteral("width:%1;").arg(value.endsWith(u'%') ? value : value + QStringLiteral("px"));
                    else if ((attr == QLatin1String("src") || attr == QLatin1String("width") || attr == QLatin1String("height"))
                             && name == QLatin1String("img"))
                        w.writeAttribute(attr, value);
                    else if ((attr == QLatin1String("colspan") || attr == QLatin1String("rowspan")) && value != QLatin1String("1"))
                        w.writeAttribute(attr, value);
                    else if (attr == QLatin1String("start") && name == QLatin1String("ol"))
                        w.writeAttribute(attr, value);
                    else if (attr == QLatin1String("border") && name == QLatin1String("table") && value.toInt() > 0)
                        style << QStringLiteral("border:%1px solid;").arg(value.toInt());
                    else if (attr == QLatin1String("href") && name == QLatin1String("a")
                             && (value.startsWith(QLatin1String("http://")) || value.startsWith(QLatin1String("https://"))
                                 || value.startsWith(QLatin1String("mailto:"))))
                        w.writeAttribute(attr, value);
                }
                if (name == QLatin1String("img"))
                    w.writeAttribute(QStringLiteral("alt"), QString());
                if (!style.isEmpty())
                    w.writeAttribute(QStringLiteral("style"), style.join(u' '));
            } else if (r.isEndElement()) {
                if (!written.isEmpty() && written.takeLast())
                    w.writeEndElement();
            } else if (r.isCharacters() && inBody) {
                w.writeCharacters(r.text().toString());
            }
        }
        return !r.hasError() && !out->isEmpty();
    }
};

// The target of a folder export: none yet, or an empty folder.
bool emptyTarget(const QString &target)
{
    const QFileInfo info(target);
    if (!info.exists())
        return QDir().mkpath(target);
    return info.isDir() && QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
           && info.isWritable();
}

} // namespace

Report exportItem(TADOConnection *db, const QString &itemKey, Format format, const QString &target,
                  const QString &pictureFolder, const Progress &progress)
{
    const QList<shelf::Node> shelfTree = shelf::bookTree(db, QString());
    const shelf::Node *node = findNode(shelfTree, itemKey);
    if (!node)
        throw Refused(Refused::Reason::NotFound, QStringLiteral("要导出的书架项已不在书库中。"));
    const Item root = shelfItem(db, *node);
    const qint64 total = countUnits(root.children);

    if (format == Format::Epub) {
        if (!node->children.isEmpty())
            throw Refused(Refused::Reason::Source, QStringLiteral("“%1”下还有书架项：EPUB 一次只导出一本书。").arg(node->caption));
        EpubExporter out(db, pictureFolder, progress, target);
        out.setTotal(total);
        out.write(root.title, root.children);
        out.report.target = target;
        return out.report;
    }

    const bool existed = QFileInfo(target).isDir();
    if (!emptyTarget(target))
        throw Refused(Refused::Reason::Target, QStringLiteral("“%1”已经存在且不是空文件夹，或无法写入，没有导出。").arg(target));
    FolderExporter out(db, pictureFolder, progress, target, format == Format::Markdown);
    out.setTotal(total);
    try {
        const QString list = out.write(root.children, QString(), 0, root.title);
        if (format == Format::Html)
            out.writeIndex(root.title, list);
    } catch (...) {
        // The folder was empty or not there: all in it is what was written.
        QDir(target).removeRecursively();
        if (existed)
            QDir().mkpath(target);
        throw;
    }
    out.report.target = target;
    return out.report;
}

} // namespace transfer
