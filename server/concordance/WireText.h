#pragma once
// Small helpers for the texts that the concordance replies put on the wire: code
// page 1251 bytes, appended in place.
#include "model/Cp1251.h"

#include <QByteArray>

#include <charconv>
#include <cstdint>
#include <string_view>

namespace corvus::conc {

// A Russian literal of the source as 1251 bytes.
using cp1251::ru;

// Appends a number in decimal, "-" for negatives, without a temporary array.
inline void appendNumber(QByteArray &out, int64_t n)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, qsizetype(r.ptr - buf));
}

// The bytes of an array as a view, the form in which the corpus hands out its texts.
inline std::string_view viewOf(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), size_t(bytes.size()));
}

// Appends corpus bytes with '$' and control bytes replaced (so they cannot form a
// marker or a reply tag) and '`' as "'" (the backquote marks line ends).
void appendCleanBytes(QByteArray &out, std::string_view bytes);

} // namespace corvus::conc
