// Whole text files as the file and INI helpers and the template dialog read
// and write them: the byte-order mark chooses the encoding, and a file
// without one is GB18030.
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

// Marks are tested in the order FF FE, FE FF, EF BB BF.
TextContent decodeText(const QByteArray &bytes);
// The text in the encoding of mark, the mark's bytes first.
QByteArray encodeText(const QString &text, TextMark mark);
// Lines ended by CR LF, LF or CR; an ending at the very end starts no
// further line, so the empty text has no lines.
QStringList splitLines(const QString &text);
// The first line ending of text, or CR LF when it has none.
QString firstLineEnding(const QString &text);
