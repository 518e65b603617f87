#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString gjc = fuzzText(in, 8);
    const QString str = fuzzText(in, 4096);
    const QStringList pieces = Ztking::Splitzt(str, gjc);
    require(!pieces.isEmpty(), "Splitzt gives at least one piece");
    require(pieces.join(gjc) == str || gjc.isEmpty(), "the pieces rejoin to the text");
    return 0;
}
