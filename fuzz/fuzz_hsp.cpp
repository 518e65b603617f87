#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int bao = in.ConsumeIntegralInRange(-1, 2);
    const QString gjc = fuzzText(in, 8);
    const QString str = fuzzText(in, 4096);
    const QString r = Ztking::hsp(str, gjc, bao);
    require(r == Ztking::Failtext || str.endsWith(r), "hsp gives a tail of the text");
    return 0;
}
