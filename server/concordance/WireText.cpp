#include "concordance/WireText.h"

namespace corvus::conc {

void appendCleanBytes(QByteArray &out, std::string_view bytes)
{
    for (const char c : bytes) {
        const auto u = uint8_t(c);
        if (u < 32)
            out += ' ';
        else if (c == '$')
            out += char(0xA4);   // the generic currency sign of 1251
        else if (c == '`')
            out += '\'';
        else
            out += c;
    }
}

} // namespace corvus::conc
