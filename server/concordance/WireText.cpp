#include "concordance/WireText.h"

namespace corvus::conc {

void cleanBytesFrom(QByteArray &out, qsizetype from)
{
    if (from < out.size())
        cleanBytes(out.data() + from, size_t(out.size() - from));
}

void cleanBytes(char *p, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        const auto u = uint8_t(p[i]);
        if (u < 32)
            p[i] = ' ';
        else if (u == '$')
            p[i] = char(0xA4);   // the generic currency sign of 1251
        else if (u == '`')
            p[i] = '\'';
    }
}

void appendCleanBytes(QByteArray &out, std::string_view bytes)
{
    const qsizetype from = out.size();
    out.append(bytes.data(), qsizetype(bytes.size()));
    cleanBytesFrom(out, from);
}

} // namespace corvus::conc
