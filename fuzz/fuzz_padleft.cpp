#include "fuzzinput.h"

#include <climits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int num = fuzzInt(in);
    const QString zf = fuzzText(in, 8);
    const QString str = fuzzText(in, 512);
    const qint64 missing = std::max<qint64>(0, qint64(num) - str.size());
    const qint64 total = str.size() + (zf.isEmpty() ? 0 : missing * zf.size());
    if (total > INT_MAX) {
        bool refused = false;
        try {
            Ztking::padleft(str, zf, num);
        } catch (const Ztking::EZtkError &) {
            refused = true;
        }
        require(refused, "padleft refuses a text longer than an int counts");
        return 0;
    }
    // Results of millions of characters would only measure the allocator.
    if (total > (1 << 20))
        return 0;
    const QString r = Ztking::padleft(str, zf, num);
    require(r.size() == total && r.endsWith(str), "padleft fills in front up to num");
    return 0;
}
