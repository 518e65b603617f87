#include "transfer/sources.h"
#include "transfer/text.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>
#include <QXmlStreamReader>

#include <sqlite3.h>

#include <map>

// A CherryTree document (.ctb) is an SQLite file: node holds each node's
// name and text, children the tree (father 0 at the top, in sequence),
// image, codebox and grid what is anchored in a rich text at a character
// offset. Rich text is XML, <node> holding <rich_text> runs whose attributes
// carry the formatting; offsets count characters (code points) of the text
// with every anchored object as one.

namespace transfer {

namespace {

using Attributes = std::map<QString, QString>;

struct Run
{
    QString text;
    Attributes attrs;
    QString object; // an anchored object as HTML, in place of text
};

// "#rrrrggggbbbb" as GTK writes colours, or "#rrggbb", as CSS.
QString cssColour(const QString &c)
{
    if (c.size() == 13 && c.startsWith(u'#'))
        return u'#' + c.mid(1, 2) + c.mid(5, 2) + c.mid(9, 2);
    return c.startsWith(u'#') && c.size() == 7 ? c : QString();
}

QString inlineHtml(const Run &run)
{
    if (!run.object.isEmpty())
        return run.object;
    QString html = escapeHtml(run.text);
    const auto attr = [&](const char *name) {
        const auto it = run.attrs.find(QLatin1String(name));
        return it == run.attrs.end() ? QString() : it->second;
    };
    const auto wrap = [&](const QString &tag, const QString &extra = {}) {
        html = u'<' + tag + extra + u'>' + html + QStringLiteral("</") + tag + u'>';
    };
    if (attr("family") == QLatin1String("monospace"))
        wrap(QStringLiteral("code"));
    if (attr("weight") == QLatin1String("heavy"))
        wrap(QStringLiteral("b"));
    if (attr("style") == QLatin1String("italic"))
        wrap(QStringLiteral("i"));
    if (!attr("underline").isEmpty())
        wrap(QStringLiteral("u"));
    if (attr("strikethrough") == QLatin1String("true"))
        wrap(QStringLiteral("s"));
    const QString scale = attr("scale");
    if (scale == QLatin1String("sup") || scale == QLatin1String("sub") || scale == QLatin1String("small"))
        wrap(scale);
    QStringList style;
    if (const QString c = cssColour(attr("foreground")); !c.isEmpty())
        style << QStringLiteral("color:") + c;
    if (const QString c = cssColour(attr("background")); !c.isEmpty())
        style << QStringLiteral("background-color:") + c;
    if (!style.isEmpty())
        wrap(QStringLiteral("span"), QStringLiteral(" style=\"") + style.join(u';') + u'"');
    const QString link = attr("link");
    if (link.startsWith(QLatin1String("webs ")))
        wrap(QStringLiteral("a"), QStringLiteral(" href=\"") + escapeHtml(link.mid(5)) + u'"');
    return html;
}

// The lines of the runs as blocks: a line whose text is all of one heading
// scale is that heading; justification aligns the line.
QString blocks(const QList<Run> &runs)
{
    QList<QList<Run>> lines{{}};
    for (const Run &run : runs) {
        if (!run.object.isEmpty()) {
            lines.last() << run;
            continue;
        }
        const QStringList segments = run.text.split(u'\n');
        for (qsizetype i = 0; i < segments.size(); ++i) {
            if (i > 0)
                lines << QList<Run>();
            if (!segments.at(i).isEmpty())
                lines.last() << Run{segments.at(i), run.attrs, {}};
        }
    }
    QString html;
    for (const QList<Run> &line : lines) {
        QString scale, align;
        bool heading = !line.isEmpty();
        QString inner;
        for (const Run &r : line) {
            const auto s = r.attrs.find(QStringLiteral("scale"));
            const QString sc = s == r.attrs.end() ? QString() : s->second;
            if (scale.isEmpty())
                scale = sc;
            heading = heading && r.object.isEmpty() && sc == scale && sc.size() == 2 && sc.startsWith(u'h');
            if (const auto j = r.attrs.find(QStringLiteral("justification")); j != r.attrs.end() && align.isEmpty())
                align = j->second;
            inner += inlineHtml(r);
        }
        const QString tag = heading ? scale : QStringLiteral("div");
        const QString style = align.isEmpty() || align == QLatin1String("left")
                                  ? QString()
                                  : QStringLiteral(" style=\"text-align:%1\"").arg(align == QLatin1String("fill") ? QStringLiteral("justify") : align);
        html += u'<' + tag + style + u'>' + (inner.isEmpty() ? QStringLiteral("<br>") : inner) + QStringLiteral("</") + tag
                + QStringLiteral(">\n");
    }
    return html;
}

class Database
{
public:
    ~Database() { sqlite3_close_v2(db); }
    sqlite3 *db = nullptr;
};

class Query
{
public:
    Query(sqlite3 *db, const char *sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            st = nullptr;
    }
    ~Query() { sqlite3_finalize(st); }
    bool ok() const { return st != nullptr; }
    Query &bind(int i, qint64 v)
    {
        sqlite3_bind_int64(st, i, v);
        return *this;
    }
    bool next() { return st && sqlite3_step(st) == SQLITE_ROW; }
    qint64 integer(int c) const { return sqlite3_column_int64(st, c); }
    QString text(int c) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c));
    }
    QByteArray blob(int c) const
    {
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c));
    }

private:
    sqlite3_stmt *st = nullptr;
};

class CherryTreeReader : public Source
{
public:
    CherryTreeReader(const QString &path, Pictures &pictures, Report &report)
        : m_path(path)
        , m_pictures(pictures)
        , m_report(report)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.read(16) != QByteArray("SQLite format 3", 16))
            damaged(QStringLiteral("不是 SQLite 格式的 CherryTree 文档"));
        // Read as it lies: nothing of it, nor a journal beside it, is written.
        const QByteArray uri = "file:" + QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/") + "?immutable=1";
        if (sqlite3_open_v2(uri.constData(), &m_db.db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
            damaged(QString::fromUtf8(sqlite3_errmsg(m_db.db)));
        Query check(m_db.db, "PRAGMA quick_check");
        if (!check.next() || check.text(0) != QLatin1String("ok"))
            damaged(QStringLiteral("文件已损坏"));
        Query tables(m_db.db, "SELECT name FROM sqlite_master WHERE type = 'table'");
        while (tables.next())
            m_tables.insert(tables.text(0));
        if (!m_tables.contains(QStringLiteral("node")) || !m_tables.contains(QStringLiteral("children")))
            damaged(QStringLiteral("缺少 node 或 children 表"));
    }

    Outline outline() override
    {
        QHash<qint64, QList<qint64>> children;
        {
            Query q(m_db.db, "SELECT node_id, father_id FROM children ORDER BY father_id, sequence, node_id");
            if (!q.ok())
                damaged(QStringLiteral("children 表无法读取"));
            while (q.next())
                children[q.integer(1)] << q.integer(0);
        }
        QSet<qint64> seen;
        const std::function<QList<Entry>(qint64, int)> level = [&](qint64 father, int depth) {
            if (depth > 64)
                damaged(QStringLiteral("节点层次太深"));
            QList<Entry> entries;
            for (qint64 id : children.value(father)) {
                // A node met twice would make the tree a loop.
                if (seen.contains(id))
                    damaged(QStringLiteral("节点的层次关系有环"));
                seen.insert(id);
                Query n(m_db.db, "SELECT name FROM node WHERE node_id = ?");
                n.bind(1, id);
                if (!n.next()) {
                    m_report.skipped.append({QString::number(id), QStringLiteral("节点没有内容记录")});
                    continue;
                }
                const QString title = n.text(0);
                entries << Entry{title, page(id, title), level(id, depth + 1)};
            }
            return entries;
        };
        return {QFileInfo(m_path).completeBaseName(), level(0, 0)};
    }

private:
    QString m_path;
    Database m_db;
    Pictures &m_pictures;
    Report &m_report;
    QSet<QString> m_tables;

    [[noreturn]] void damaged(const QString &why)
    {
        throw Refused(Refused::Reason::Damaged,
                      QStringLiteral("“%1”不是完好的 CherryTree 文档（%2），没有导入，书库保持原样。").arg(m_path, why));
    }

    std::function<QString()> page(qint64 id, const QString &title)
    {
        return [this, id, title] {
            Query q(m_db.db, "SELECT txt, syntax FROM node WHERE node_id = ?");
            q.bind(1, id);
            if (!q.next())
                damaged(QStringLiteral("节点“%1”无法读取").arg(title));
            const QString txt = q.text(0);
            const QString syntax = q.text(1);
            QString body;
            if (syntax == QLatin1String("custom-colors"))
                body = blocks(richText(id, title, txt));
            else if (syntax == QLatin1String("plain-text") || syntax.isEmpty())
                body = blocks({Run{txt, {}, {}}});
            else
                body = QStringLiteral("<pre>") + escapeHtml(txt) + QStringLiteral("</pre>");
            return standalone(QStringLiteral("<body>") + body + QStringLiteral("</body>"), title);
        };
    }

    // The runs of a rich text with its anchored objects in place.
    QList<Run> richText(qint64 id, const QString &title, const QString &xml)
    {
        std::multimap<qint64, QString> objects = anchored(id, title);
        QList<Run> runs;
        QXmlStreamReader r(xml);
        qint64 at = 0; // characters so far, objects included
        const auto placeObjects = [&] {
            for (auto it = objects.begin(); it != objects.end() && it->first <= at;) {
                runs << Run{{}, {}, it->second};
                ++at;
                it = objects.erase(it);
            }
        };
        while (!r.atEnd()) {
            r.readNext();
            if (!r.isStartElement() || r.name() != QLatin1String("rich_text"))
                continue;
            Attributes attrs;
            for (const QXmlStreamAttribute &a : r.attributes())
                attrs[a.name().toString()] = a.value().toString();
            const QString text = r.readElementText(QXmlStreamReader::IncludeChildElements);
            // Objects stand between characters: split the run where one does.
            qsizetype from = 0;
            const QList<uint> chars = text.toUcs4();
            placeObjects();
            while (from < chars.size()) {
                const qint64 room = objects.empty() ? chars.size() - from
                                                    : std::min<qint64>(chars.size() - from, objects.begin()->first - at);
                const qint64 take = std::max<qint64>(room, 1);
                runs << Run{QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData() + from), take), attrs, {}};
                from += take;
                at += take;
                placeObjects();
            }
        }
        if (r.hasError())
            damaged(QStringLiteral("节点“%1”的内容不是完好的 XML").arg(title));
        for (const auto &o : objects)
            runs << Run{{}, {}, o.second};
        return runs;
    }

    // Pictures, code boxes and tables of a node, as HTML by their offsets.
    std::multimap<qint64, QString> anchored(qint64 id, const QString &title)
    {
        std::multimap<qint64, QString> objects;
        if (m_tables.contains(QStringLiteral("image"))) {
            Query q(m_db.db, "SELECT offset, anchor, filename, length(png), rowid FROM image WHERE node_id = ? ORDER BY offset");
            q.bind(1, id);
            while (q.next()) {
                if (!q.text(1).isEmpty())
                    continue; // an anchor to link to, nothing to see
                if (!q.text(2).isEmpty()) {
                    m_report.skipped.append({title + QStringLiteral(" › ") + q.text(2), QStringLiteral("嵌入的附件没有导入")});
                    continue;
                }
                const qint64 row = q.integer(4);
                const QString ref = m_pictures.adopt(QStringLiteral("%1#%2").arg(m_path).arg(row),
                                                     QStringLiteral("cherrytree.png"), q.integer(3), [this, row] {
                                                         Query png(m_db.db, "SELECT png FROM image WHERE rowid = ?");
                                                         png.bind(1, row);
                                                         return png.next() ? png.blob(0) : QByteArray();
                                                     });
                objects.emplace(q.integer(0), QStringLiteral("<img src=\"%1\">").arg(escapeHtml(ref)));
            }
        }
        if (m_tables.contains(QStringLiteral("codebox"))) {
            Query q(m_db.db, "SELECT offset, txt FROM codebox WHERE node_id = ? ORDER BY offset");
            q.bind(1, id);
            while (q.next())
                objects.emplace(q.integer(0), QStringLiteral("<pre>") + escapeHtml(q.text(1)) + QStringLiteral("</pre>"));
        }
        // Tables live in "grid" and, in older documents, in "table".
        for (const char *table : {"grid", "table"}) {
            if (!m_tables.contains(QLatin1String(table)))
                continue;
            Query q(m_db.db, QByteArray("SELECT offset, txt FROM \"") + table + "\" WHERE node_id = ? ORDER BY offset");
            q.bind(1, id);
            while (q.next())
                objects.emplace(q.integer(0), tableHtml(q.text(1), title));
        }
        return objects;
    }

    // CherryTree writes a table's header row last.
    QString tableHtml(const QString &xml, const QString &title)
    {
        QList<QStringList> rows;
        QXmlStreamReader r(xml);
        while (!r.atEnd()) {
            r.readNext();
            if (r.isStartElement() && r.name() == QLatin1String("row"))
                rows << QStringList();
            else if (r.isStartElement() && r.name() == QLatin1String("cell") && !rows.isEmpty())
                rows.last() << r.readElementText(QXmlStreamReader::IncludeChildElements);
        }
        if (r.hasError())
            damaged(QStringLiteral("节点“%1”中的表格不是完好的 XML").arg(title));
        if (rows.isEmpty())
            return {};
        rows.prepend(rows.takeLast());
        QString html = QStringLiteral("<table border=\"1\">");
        for (qsizetype i = 0; i < rows.size(); ++i) {
            html += QStringLiteral("<tr>");
            for (const QString &cell : rows.at(i))
                html += (i == 0 ? QStringLiteral("<th>") : QStringLiteral("<td>")) + escapeHtml(cell)
                        + (i == 0 ? QStringLiteral("</th>") : QStringLiteral("</td>"));
            html += QStringLiteral("</tr>");
        }
        return html + QStringLiteral("</table>");
    }
};

} // namespace

std::unique_ptr<Source> cherryTreeSource(const QString &path, Pictures &pictures, Report &report, const Limits &)
{
    return std::make_unique<CherryTreeReader>(path, pictures, report);
}

} // namespace transfer
