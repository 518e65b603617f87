// The text work every export and import shares: telling a file's encoding,
// pages' pictures, plain text and file names. Internal to the module.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace transfer {

// The token stored pages use for the library's image folder.
extern const QString PictureToken;

// The encoding of a text file's bytes, as a name QStringDecoder knows: a
// byte-order mark first, then (for HTML and XML) the charset the document
// declares, then UTF-8 when the bytes are valid UTF-8, else what uchardet
// finds.
QByteArray detectEncoding(const QByteArray &bytes, bool markup);
QString decodeText(const QByteArray &bytes, bool markup);

// Calls map with the source of every picture of html (entities decoded)
// and puts what it returns in its place, attribute-encoded.
QString mapPictures(const QString &html, const std::function<QString(const QString &src)> &map);
// The names (relative to the image folder, %-decoded) behind the picture
// token in a stored page, each once, in order.
QStringList tokenPictures(const QString &html);
// html with the token's references to the image folder replaced: name (a
// %-decoded library name) goes to what map returns.
QString mapTokenPictures(const QString &html, const std::function<QString(const QString &name)> &map);

// html as a UTF-8 document of its own titled title: any charset it declared
// gives way to UTF-8, a fragment gets a head.
QString standalone(const QString &html, const QString &title, const QString &extraHead = {});
// The text a reader sees of html, as the program keeps beside a page.
QString plainText(const QString &html);
// A page for plain text, one paragraph a line.
QString pageFromText(const QString &text);
QString pageFromMarkdown(const QString &markdown);

QString escapeHtml(const QString &text);
// A file or folder name for title on any system: characters no file system
// takes are replaced, and it stays short.
QString fileNameFor(const QString &title);

} // namespace transfer
