// The engine's UTF-8 read as code points and folded for letter case, one way
// for the filters' like and for the index, so that both find the same text.
#pragma once

#include <QChar>

// Calls f(codePoint, firstByte, endByte) for each character of the n bytes
// at b; a byte that starts no valid character stands as U+FFFD.
template<typename F>
void forEachCodePoint(const unsigned char *b, int n, F &&f)
{
    for (int i = 0; i < n;) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            f(char32_t(c), i, i + 1);
            ++i;
            continue;
        }
        const int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        char32_t cp = len == 4 ? c & 0x07 : len == 3 ? c & 0x0F : c & 0x1F;
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            ok = (b[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (b[i + k] & 0x3F);
        }
        if (!ok || cp > 0x10FFFF) {
            f(char32_t(0xFFFD), i, i + 1);
            ++i;
            continue;
        }
        f(cp, i, i + len);
        i += len;
    }
}

inline char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? char32_t(c + 32) : c;
    return QChar::toCaseFolded(c);
}
