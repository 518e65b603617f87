#include "transfer/text.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextDocument>
#include <QUrl>

#include <uchardet.h>

#include <memory>

namespace transfer {

const QString PictureToken = QStringLiteral("#Tuku\u00B7vostrelan#");

namespace {

// The names a declaration or uchardet gives, as the decoder knows them; the
// older Chinese code pages are subsets of GB18030.
QByteArray decoderName(QByteArray name)
{
    name = name.trimmed().toUpper();
    if (name == "GB2312" || name == "GBK" || name == "GB18030" || name == "X-GBK" || name == "CP936"
        || name == "EUC-CN" || name == "HZ-GB-2312")
        return "GB18030";
    if (name.startsWith("BIG5") || name == "X-X-BIG5" || name == "CP950")
        return "Big5";
    if (name == "ASCII" || name == "US-ASCII" || name == "UTF8")
        return "UTF-8";
    return name;
}

bool usable(const QByteArray &name)
{
    return !name.isEmpty() && QStringDecoder(name.constData()).isValid();
}

QByteArray declared(const QByteArray &bytes)
{
    static const QRegularExpression meta(
        QStringLiteral("<meta\\b[^>]*?charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression xml(QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9_.:-]+)"));
    const QString head = QString::fromLatin1(bytes.left(4096));
    if (const auto m = xml.match(head); m.hasMatch())
        return m.captured(1).toLatin1();
    if (const auto m = meta.match(head); m.hasMatch())
        return m.captured(1).toLatin1();
    return {};
}

QString decodeEntities(QString value)
{
    static const QRegularExpression ref(QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|amp|lt|gt|quot|apos);"));
    QString out;
    qsizetype last = 0;
    for (auto it = ref.globalMatch(value); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(value).mid(last, m.capturedStart() - last);
        const QString r = m.captured(1);
        if (r.startsWith(u'#')) {
            bool ok = false;
            const uint code = r.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? r.mid(2).toUInt(&ok, 16)
                                                                                       : r.mid(1).toUInt(&ok);
            if (ok && code > 0 && code <= 0x10FFFF)
                out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        } else {
            out += r == QLatin1String("amp")    ? u'&'
                   : r == QLatin1String("lt")   ? u'<'
                   : r == QLatin1String("gt")   ? u'>'
                   : r == QLatin1String("quot") ? u'"'
                                                : u'\'';
        }
        last = m.capturedEnd();
    }
    out += QStringView(value).mid(last);
    return out;
}

const QRegularExpression &tokenReference()
{
    // As the bin reads them: up to a quote, a blank, a bracket or a ")".
    static const QRegularExpression ref(QRegularExpression::escape(PictureToken)
                                            + QStringLiteral("/([^\"'<>\\s)]+)"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ref;
}

} // namespace

QByteArray detectEncoding(const QByteArray &bytes, bool markup)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (bytes.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    if (bytes.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    if (markup) {
        const QByteArray name = decoderName(declared(bytes));
        if (usable(name))
            return name;
    }
    // Text that is whole UTF-8 is that: the Chinese code pages' bytes
    // almost never make valid UTF-8, while a short UTF-8 text with few
    // characters beyond ASCII can mislead a statistical guess.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes); // decoding happens on conversion
    if (!utf8.hasError())
        return "UTF-8";
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> ud(uchardet_new(), uchardet_delete);
    if (uchardet_handle_data(ud.get(), bytes.constData(), size_t(bytes.size())) == 0) {
        uchardet_data_end(ud.get());
        const QByteArray name = decoderName(uchardet_get_charset(ud.get()));
        if (usable(name))
            return name;
    }
    // Nothing certain: most likely the Chinese code page.
    return "GB18030";
}

QString decodeText(const QByteArray &bytes, bool markup)
{
    QStringDecoder dec(detectEncoding(bytes, markup).constData(), QStringDecoder::Flag::Stateless);
    QString text = dec.decode(bytes);
    if (text.startsWith(QChar::ByteOrderMark))
        text.remove(0, 1);
    return text;
}

QString mapPictures(const QString &html, const std::function<QString(const QString &src)> &map)
{
    static const QRegularExpression img(QStringLiteral("<img\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression src(QStringLiteral("(\\ssrc\\s*=\\s*)(\"[^\"]*\"|'[^']*'|[^\\s>\"']+)"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString out;
    out.reserve(html.size());
    qsizetype last = 0;
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const auto tag = it.next();
        out += QStringView(html).mid(last, tag.capturedStart() - last);
        QString t = tag.captured(0);
        if (const auto s = src.match(t); s.hasMatch()) {
            QString value = s.captured(2);
            if (value.startsWith(u'"') || value.startsWith(u'\''))
                value = value.mid(1, value.size() - 2);
            const QString was = decodeEntities(value);
            const QString now = map(was);
            if (now != was)
                t.replace(s.capturedStart(2), s.capturedLength(2), u'"' + escapeHtml(now) + u'"');
        }
        out += t;
        last = tag.capturedEnd();
    }
    out += QStringView(html).mid(last);
    return out;
}

QStringList tokenPictures(const QString &html)
{
    QStringList names;
    for (auto it = tokenReference().globalMatch(html); it.hasNext();) {
        const QString name = QUrl::fromPercentEncoding(it.next().captured(1).toUtf8());
        if (!names.contains(name))
            names << name;
    }
    return names;
}

QString mapTokenPictures(const QString &html, const std::function<QString(const QString &name)> &map)
{
    QString out;
    qsizetype last = 0;
    for (auto it = tokenReference().globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(html).mid(last, m.capturedStart() - last);
        out += map(QUrl::fromPercentEncoding(m.captured(1).toUtf8()));
        last = m.capturedEnd();
    }
    out += QStringView(html).mid(last);
    return out;
}

QString standalone(const QString &html, const QString &title, const QString &extraHead)
{
    static const QRegularExpression charset(QStringLiteral("<meta\\b[^>]*charset[^>]*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression titles(QStringLiteral("<title\\b[^>]*>.*?</title\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression xmlDecl(QStringLiteral("^\\s*<\\?xml[^>]*\\?>\\s*"));
    static const QRegularExpression headOpen(QStringLiteral("<head\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression htmlOpen(QStringLiteral("<html\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression bodyOpen(QStringLiteral("<body\\b"), QRegularExpression::CaseInsensitiveOption);
    QString doc = html;
    doc.remove(xmlDecl);
    doc.remove(charset);
    doc.remove(titles);
    const QString head = QStringLiteral("<meta charset=\"utf-8\"><title>") + escapeHtml(title)
                         + QStringLiteral("</title>") + extraHead;
    if (const auto m = headOpen.match(doc); m.hasMatch())
        return doc.insert(m.capturedEnd(), head);
    if (const auto m = htmlOpen.match(doc); m.hasMatch())
        return doc.insert(m.capturedEnd(), QStringLiteral("<head>") + head + QStringLiteral("</head>"));
    // A fragment: what a browser would take as the body is put in one.
    if (!bodyOpen.match(doc).hasMatch())
        doc = QStringLiteral("<body>") + doc + QStringLiteral("</body>");
    return QStringLiteral("<!DOCTYPE html>\n<html><head>") + head + QStringLiteral("</head>") + doc
           + QStringLiteral("</html>\n");
}

QString plainText(const QString &html)
{
    QTextDocument doc;
    doc.setHtml(html);
    // The document marks paragraph ends and breaks with characters of their own, and
    // pictures with a character the page's text never shows; blanks at the
    // end are only the markup's.
    QString text = doc.toPlainText()
                       .replace(QChar::ParagraphSeparator, u'\n')
                       .replace(QChar::LineSeparator, u'\n')
                       .remove(QChar::ObjectReplacementCharacter);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

QString pageFromText(const QString &text)
{
    QString body;
    const QStringList lines = QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(u'\n');
    for (const QString &line : lines)
        body += line.isEmpty() ? QStringLiteral("<div><br></div>") : QStringLiteral("<div>") + escapeHtml(line) + QStringLiteral("</div>");
    return QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>") + body + QStringLiteral("</body></html>");
}

QString pageFromMarkdown(const QString &markdown)
{
    // Qt's reader drops a picture whose alternative text is empty.
    static const QRegularExpression bare(QStringLiteral("!\\[\\s*\\]\\("));
    QTextDocument doc;
    doc.setMarkdown(QString(markdown).replace(bare, QStringLiteral("![图片](")));
    return doc.toHtml();
}

QString escapeHtml(const QString &text)
{
    return text.toHtmlEscaped();
}

QString fileNameFor(const QString &title)
{
    QString name;
    for (const QChar c : title.simplified())
        name += (c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c)) ? u'_' : c;
    // Windows drops trailing dots and blanks; a long title would pass the
    // 255 bytes a name may take.
    name = name.left(60);
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("无题") : name;
}

} // namespace transfer
