#pragma once
// Numbers in the record texts: an optional '-' or '+' followed by decimal digits,
// within the 32-bit signed range. Anything else (blanks, an empty text, a lone
// sign, overflow) is a failure, as the record readers expect.
#include <QByteArrayView>
#include <QtGlobal>
#include <optional>

namespace strictint {

inline std::optional<qint32> parse(QByteArrayView s)
{
    if (s.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i >= s.size())
        return std::nullopt;
    qint64 v = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > qint64(1) << 31)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v < qint64(INT32_MIN) || v > qint64(INT32_MAX))
        return std::nullopt;
    return qint32(v);
}

} // namespace strictint
