// Whole text files as the file and INI helpers and the template dialog read
// and write them: the byte-order mark chooses the encoding, and a file
// without one is GB18030. Only regular files are read or replaced, and a
// file is replaced only by a whole new one.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class TextMark { None, Utf16LE, Utf16BE, Utf8 };

struct TextContent
{
    QString text;
    TextMark mark = TextMark::None;
};

enum class FileRead { Read, Missing, Refused };

// The whole of path (a link is followed) when it is a regular file. A pipe, a
// device or a folder is Refused without being waited on or read from, as is
// a file that cannot be read; why then says what was wrong.
FileRead readRegularFile(const QString &path, QByteArray &bytes, QString &why);
// Replaces path, or creates it, with bytes: they go into a new file beside it
// that is renamed over it once written whole, so that a failure or a kill at
// any moment leaves the old file as it was. Never writes in place: false, with
// the reason in why, when the folder takes no new file or path is anything
// but a regular file.
bool replaceFile(const QString &path, const QByteArray &bytes, QString &why);

// Marks are tested in the order FF FE, FE FF, EF BB BF.
TextContent decodeText(const QByteArray &bytes);
// The text in the encoding of mark, the mark's bytes first.
QByteArray encodeText(const QString &text, TextMark mark);
// Lines ended by CR LF, LF or CR; an ending at the very end starts no
// further line, so the empty text has no lines.
QStringList splitLines(const QString &text);
// The first line ending of text, or CR LF when it has none.
QString firstLineEnding(const QString &text);
