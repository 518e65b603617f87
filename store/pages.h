// A page's document written with bound values: a megabyte spelled out in a
// statement would go through the dialect and the parser on every save.
#pragma once

#include <QString>

class TADOConnection;

namespace pages {

// Writes the document and plain text of the unit keyed key, escaped as every
// stored text, and clears its initials of content, as sqlcat::unitSave does;
// a key matches as cstr(id) would. Returns how many rows changed.
int save(TADOConnection *db, const QString &key, const QString &document, const QString &plainText);

} // namespace pages
