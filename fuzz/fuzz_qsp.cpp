#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int bao = in.ConsumeIntegralInRange(-1, 2);
    const QString gjc = fuzzText(in, 8);
    const QString str = fuzzText(in, 4096);
    const QString r = Ztking::qsp(str, gjc, bao);
    require(r == Ztking::Failtext || str.startsWith(r), "qsp gives a head of the text");
    return 0;
}
