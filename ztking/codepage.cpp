#include "ztking/ztking.h"

#include <QStringDecoder>
#include <QStringEncoder>

// GB18030 holds every character of the older Chinese code page byte for byte
// and encodes every other character too, so no text is lost on the way to
// bytes. Converters are cheap to make but keep state, hence one per call.
QByteArray Ztking::toAnsi(const QString &text)
{
    QStringEncoder enc("GB18030");
    return enc.encode(text);
}

QString Ztking::fromAnsi(const QByteArray &bytes)
{
    QStringDecoder dec("GB18030");
    return dec.decode(bytes);
}
