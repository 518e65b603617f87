#include "ztking/ztking.h"

bool Ztking::wjjhf(const QString &str)
{
    static const QString forbidden = QStringLiteral("\\/:*?<>|\"'");
    for (const QChar c : str) {
        if (forbidden.contains(c))
            return false;
    }
    return true;
}
