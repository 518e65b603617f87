#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    bool raw = false;
    const QString str = fuzzText(in, 4096, &raw);
    try {
        Ztking::URLdecode(str);
    } catch (const Ztking::EZtkError &) {
        // A malformed escape is reported; that is the expected outcome.
    }
    // Texts from code-page bytes hold no lone surrogates and so survive the
    // trip through UTF-8 unchanged.
    if (!raw)
        require(Ztking::URLdecode(Ztking::URLencode(str)) == str, "URL coding round trip");
    return 0;
}
