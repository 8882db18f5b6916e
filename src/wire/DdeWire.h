#pragma once
// Byte-pair encoding of text on the local link: a byte b >= 40 is written twice,
// any other as 255 then b + 40. Decoding takes pairs from the end of the text; two
// equal bytes give that byte, any other pair its second byte minus 40 (so an
// odd-length text loses its first byte).
#include <QByteArray>

namespace ddewire {
QByteArray encode(const QByteArray &plain);
QByteArray decode(const QByteArray &encoded);
} // namespace ddewire
