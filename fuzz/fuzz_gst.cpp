#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int fx = in.ConsumeIntegralInRange(-2, 2);
    const int cd = fuzzInt(in);
    const int wei = fuzzInt(in);
    const int bao = in.ConsumeIntegralInRange(-1, 2);
    const QString gjc = fuzzText(in, 8);
    const QString str = fuzzText(in, 4096);
    const QString r = Ztking::gst(str, gjc, fx, cd, wei, bao);
    require(r == Ztking::Failtext || str.contains(r), "gst gives a piece of the text");
    return 0;
}
