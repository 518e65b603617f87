// Turns the fuzzer's bytes into the arguments of the helpers under test.
#pragma once

#include "ztking/ztking.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

// A text either of raw UTF-16 units, so that lone surrogates and NULs reach
// the helpers, or of GB18030 bytes as a file or a form would give them.
inline QString fuzzText(FuzzedDataProvider &in, size_t maxBytes, bool *raw = nullptr)
{
    const bool units = in.ConsumeBool();
    if (raw)
        *raw = units;
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    if (units)
        return QString(reinterpret_cast<const QChar *>(bytes.data()), qsizetype(bytes.size() / 2));
    return Ztking::fromAnsi(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

// Mostly small numbers around the interesting edges, sometimes any int.
inline int fuzzInt(FuzzedDataProvider &in)
{
    return in.ConsumeBool() ? in.ConsumeIntegralInRange(-3, 120) : in.ConsumeIntegral<int>();
}

// A broken promise of the helper: report it as a finding.
inline void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}
