#pragma once
// The one place where text crosses between QString (widgets) and the 8-bit
// code page 1251 bytes that the wire, the records and the files hold.
#include <QByteArray>
#include <QString>

namespace cp1251 {

namespace detail {
// Unicode of the bytes 0x80..0xFF (see toUnicode()).
extern const char16_t kHigh[128];
} // namespace detail

// The Unicode character of one 1251 byte, for loops that convert byte by byte.
// The one unassigned byte 0x98 stands for U+0098, so that it survives a round trip.
inline char16_t toUnicode(uchar byte)
{
    return byte < 0x80 ? char16_t(byte) : detail::kHigh[byte - 0x80];
}

// QString -> 1251 bytes; a character the code page cannot hold becomes '?'.
QByteArray encode(QStringView text);
// 1251 bytes -> QString (every byte has a meaning in 1251 except 0x98).
QString decode(QByteArrayView bytes);
// A UTF-8 literal in the source (Russian texts of the protocol) as 1251 bytes.
QByteArray ru(const char *utf8);

} // namespace cp1251
