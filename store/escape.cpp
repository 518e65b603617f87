#include "store/escape.h"

#include <array>
#include <utility>

namespace {

// Apostrophes would end a quoted value; "go" would end a statement in a
// batch. The markers keep the letter case of each letter.
constexpr std::array<std::pair<const char16_t *, const char16_t *>, 5> Markers{{
    {u"'", u"&#8989"},
    {u"GO", u"[G#O]"},
    {u"Go", u"[G#o]"},
    {u"gO", u"[g#O]"},
    {u"go", u"[g#o]"},
}};

} // namespace

QString Dataesc(const QString &text)
{
    QString s = text;
    for (const auto &[plain, marker] : Markers)
        s.replace(QString::fromUtf16(plain), QString::fromUtf16(marker), Qt::CaseSensitive);
    return s;
}

QString Dataunesc(const QString &text)
{
    QString s = text;
    for (const auto &[plain, marker] : Markers)
        s.replace(QString::fromUtf16(marker), QString::fromUtf16(plain), Qt::CaseSensitive);
    return s;
}
