#include "corpus/TextCleaning.h"

#include "corpus/Charset.h"

#include <QChar>
#include <QString>

#include <array>

namespace corvus::cleaning {
namespace {

// Latin byte -> its Cyrillic twin in 1251, 0 when it has none. Only letters that
// print the same in ordinary fonts: upper A B C E H I K M O P T X Y, lower a c e i
// o p x y.
struct Twins {
    std::array<uint8_t, 128> to{};
    Twins()
    {
        const char *latin = "ABCEHIKMOPTXYaceiopxy";
        const uint8_t cyr[] = {0xC0, 0xC2, 0xD1, 0xC5, 0xCD, 0xB2, 0xCA, 0xCC, 0xCE, 0xD0, 0xD2,
                               0xD5, 0xD3, 0xE0, 0xF1, 0xE5, 0xB3, 0xEE, 0xF0, 0xF5, 0xF3};
        for (int i = 0; latin[i]; ++i)
            to[uint8_t(latin[i])] = cyr[i];
    }
};

const Twins &twins()
{
    static const Twins t;
    return t;
}

} // namespace

bool fixLookAlikes(std::string &word)
{
    bool cyrillic = false, latin = false;
    for (const char ch : word) {
        const auto c = uint8_t(ch);
        if (charset::isCyrillic(c)) {
            cyrillic = true;
        } else if (c < 0x80 && charset::isLetter(c)) {
            if (!twins().to[c])
                return false;   // a Latin letter with no twin: a mixed word of its own
            latin = true;
        }
    }
    if (!cyrillic || !latin)
        return false;
    for (char &ch : word) {
        const auto c = uint8_t(ch);
        if (c < 0x80 && twins().to[c])
            ch = char(twins().to[c]);
    }
    return true;
}

char baseLatinLetter(uint32_t cp)
{
    if (cp < 0xC0 || cp > 0xFFFF)
        return 0;
    // Letters whose stroke is not a combining mark: no decomposition.
    switch (cp) {
    case 0xD8: return 'O';
    case 0xF8: return 'o';
    case 0x110: return 'D';
    case 0x111: return 'd';
    case 0x141: return 'L';
    case 0x142: return 'l';
    case 0x131: return 'i';
    default: break;
    }
    const QChar qc{char16_t(cp)};
    if (qc.decompositionTag() != QChar::Canonical)
        return 0;
    // Decomposition is recursive in Unicode's data ("ǘ" -> "ü" + acute): follow the
    // first character down to its base.
    QString d = qc.decomposition();
    while (!d.isEmpty() && d.at(0).decompositionTag() == QChar::Canonical)
        d = d.at(0).decomposition() + d.mid(1);
    if (d.isEmpty())
        return 0;
    const char16_t base = d.at(0).unicode();
    if ((base >= 'A' && base <= 'Z') || (base >= 'a' && base <= 'z'))
        return char(base);
    return 0;
}

QByteArray cleanCaption(QByteArray caption)
{
    for (char &c : caption) {
        if (uint8_t(c) < 32)
            c = ' ';
        else if (c == '$')
            c = char(0xA4);   // the generic currency sign of 1251
        else if (c == '`')
            c = '\'';
    }
    return caption;
}

} // namespace corvus::cleaning
