#include "ztking/textfile.h"
#include "ztking/ztking.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileRead readRegularFile(const QString &path, QByteArray &bytes, QString &why)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileRead::Missing;
    if (!info.isFile()) {
        why = QStringLiteral("Not a regular file");
        return FileRead::Refused;
    }
    // Opened without waiting and looked at once open: something other than a
    // file put in its place meanwhile is still never read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return FileRead::Missing;
        why = qt_error_string(errno);
        return FileRead::Refused;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = QStringLiteral("Not a regular file");
        return FileRead::Refused;
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        why = f.errorString();
        return FileRead::Refused;
    }
    bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        why = f.errorString();
        return FileRead::Refused;
    }
    return FileRead::Read;
}

bool replaceFile(const QString &path, const QByteArray &bytes, QString &why)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        why = QStringLiteral("Not a regular file");
        return false;
    }
    // No fallback to writing in place: where no new file can be laid beside
    // the old one, the write fails and the old file stays whole.
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        why = f.errorString();
        return false;
    }
    return true;
}

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
    // Appending, too, writes the whole file anew, so that no failure leaves
    // half the text behind.
    QByteArray bytes;
    QString why;
    if (!Cover && readRegularFile(Filename, bytes, why) == FileRead::Refused)
        throw EZtkError(QStringLiteral("Cannot open file \"%1\". %2").arg(Filename, why));
    bytes += toAnsi(Filetxt);
    if (!replaceFile(Filename, bytes, why))
        throw EZtkError(QStringLiteral("Cannot write to file \"%1\". %2").arg(Filename, why));
}

QString Ztking::ReadFilex(const QString &Filename, int linenum)
{
    QByteArray bytes;
    QString why;
    if (linenum < -1 || readRegularFile(Filename, bytes, why) != FileRead::Read)
        return QString();
    const QStringList lines = splitLines(decodeText(bytes).text);
    if (lines.isEmpty())
        return QString();
    if (linenum == -1)
        return lines.join(QStringLiteral("\r\n"));
    return lines[std::min<qsizetype>(linenum, lines.size() - 1)];
}
