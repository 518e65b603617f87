#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString gjc1 = fuzzText(in, 8);
    const QString gjc2 = fuzzText(in, 8);
    const QString str = fuzzText(in, 4096);
    const QString r = Ztking::msp(str, gjc1, gjc2);
    require(r == Ztking::Failtext || str.contains(r), "msp gives a piece of the text");
    return 0;
}
