#include "DdeWire.h"

namespace ddewire {

QByteArray encode(const QByteArray &plain)
{
    QByteArray out;
    out.reserve(plain.size() * 2);
    for (const char ch : plain) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 40) {
            out.append(ch);
            out.append(ch);
        } else {
            out.append(char(255));
            out.append(char(b + 40));
        }
    }
    return out;
}

QByteArray decode(const QByteArray &encoded)
{
    const qsizetype pairs = encoded.size() / 2;
    QByteArray out(pairs, '\0');
    // Pairs are counted from the end, so an odd first byte is the one left over.
    qsizetype src = encoded.size() - 2;
    for (qsizetype k = pairs - 1; k >= 0; --k, src -= 2) {
        const char a = encoded[src];
        const char b = encoded[src + 1];
        out[k] = a == b ? a : char(static_cast<unsigned char>(b) - 40);
    }
    return out;
}

} // namespace ddewire
