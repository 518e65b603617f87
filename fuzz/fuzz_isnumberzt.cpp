#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString lx = fuzzText(in, 16);
    const QString str = fuzzText(in, 256);
    const bool any = Ztking::Isnumberzt(str, QString());
    require(!Ztking::Isnumberzt(str, lx) || any, "a condition never makes a non-number one");
    require(!Ztking::Isnumberzt(str, QStringLiteral("+,-")), "no number is both + and -");
    return 0;
}
