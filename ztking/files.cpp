#include "ztking/textfile.h"
#include "ztking/ztking.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

TextContent decodeText(const QByteArray &bytes)
{
    const auto decode = [&](QStringConverter::Encoding enc, qsizetype markSize) {
        QStringDecoder dec(enc, QStringConverter::Flag::Stateless);
        return QString(dec.decode(QByteArrayView(bytes).sliced(markSize)));
    };
    if (bytes.startsWith("\xFF\xFE"))
        return {decode(QStringConverter::Utf16LE, 2), TextMark::Utf16LE};
    if (bytes.startsWith("\xFE\xFF"))
        return {decode(QStringConverter::Utf16BE, 2), TextMark::Utf16BE};
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {decode(QStringConverter::Utf8, 3), TextMark::Utf8};
    return {Ztking::fromAnsi(bytes), TextMark::None};
}

QByteArray encodeText(const QString &text, TextMark mark)
{
    const auto encode = [&](QStringConverter::Encoding enc) {
        QStringEncoder e(enc, QStringConverter::Flag::WriteBom);
        return QByteArray(e.encode(text));
    };
    switch (mark) {
    case TextMark::Utf16LE:
        return encode(QStringConverter::Utf16LE);
    case TextMark::Utf16BE:
        return encode(QStringConverter::Utf16BE);
    case TextMark::Utf8:
        return encode(QStringConverter::Utf8);
    case TextMark::None:
        break;
    }
    return Ztking::toAnsi(text);
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines += text.sliced(start, i - start);
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines += text.sliced(start);
    return lines;
}

QString firstLineEnding(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n')
            return QStringLiteral("\n");
        if (text[i] == u'\r')
            return text.mid(i + 1, 1) == u"\n" ? QStringLiteral("\r\n") : QStringLiteral("\r");
    }
    return QStringLiteral("\r\n");
}

void Ztking::SaveFilex(const QString &Filename, const QString &Filetxt, bool Cover)
{
    QFile f(Filename);
    if (!f.open(QIODevice::WriteOnly | (Cover ? QIODevice::Truncate : QIODevice::Append)))
        throw EZtkError(QStringLiteral("Cannot open file \"%1\". %2").arg(Filename, f.errorString()));
    const QByteArray bytes = toAnsi(Filetxt);
    if (f.write(bytes) != bytes.size() || !f.flush())
        throw EZtkError(QStringLiteral("Cannot write to file \"%1\". %2").arg(Filename, f.errorString()));
}

QString Ztking::ReadFilex(const QString &Filename, int linenum)
{
    // Only regular files: a device or a pipe could be read without end.
    if (linenum < -1 || !QFileInfo(Filename).isFile())
        return QString();
    QFile f(Filename);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return QString();
    const QStringList lines = splitLines(decodeText(bytes).text);
    if (lines.isEmpty())
        return QString();
    if (linenum == -1)
        return lines.join(QStringLiteral("\r\n"));
    return lines[std::min<qsizetype>(linenum, lines.size() - 1)];
}
