#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString gjc = fuzzText(in, 8);
    const QString str = fuzzText(in, 4096);
    const int n = Ztking::tjs(str, gjc);
    require(n >= 0 && n <= 101, "tjs counts 0 to 101");
    require(n <= str.count(gjc) || gjc.isEmpty(), "tjs counts no more than there are");
    return 0;
}
