#include "corpus/Charset.h"

#include "corpus/TextCleaning.h"
#include "model/Cp1251.h"

#include <QString>

#include <array>
#include <cstring>

namespace corvus::charset {
namespace {

constexpr uint8_t kDrop = 0;      // code point vanishes (combining accents, BOM, soft hyphen)
constexpr uint8_t kUnknown = '?';

// Case pairs of the 1251 letters outside the two 0xC0..0xFF halves.
const uint8_t kPairs[][2] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
    {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
    {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

enum : uint8_t { cLetter = 1, cCyr = 2, cDigit = 4, cUpper = 8, cSpace = 16 };

struct Tables {
    std::array<uint8_t, 65536> fromUnicode{};   // BMP code point -> 1251 byte, 0 = none
    std::array<uint8_t, 256> cls{};
    std::array<uint8_t, 256> lower{}, upper{};
    std::array<uint8_t, 256> weight{};

    Tables()
    {
        // The code page itself (U+0000 stays 0, "none"), then what import folds onto it.
        for (int b = 1; b < 0x100; ++b)
            fromUnicode[cp1251::toUnicode(uchar(b))] = uint8_t(b);
        for (int c = 0x300; c < 0x370; ++c)
            fromUnicode[c] = kDrop;
        fromUnicode[0xFEFF] = kDrop;
        fromUnicode[0x00AD] = kDrop;
        fromUnicode[0x200B] = kDrop;   // zero-width space
        fromUnicode[0x0462] = 0xC5;    // Ѣ -> Е
        fromUnicode[0x0463] = 0xE5;    // ѣ -> е
        fromUnicode[0x0472] = 0xD4;    // Ѳ -> Ф
        fromUnicode[0x0473] = 0xF4;    // ѳ -> ф
        fromUnicode[0x0474] = 0xC8;    // Ѵ -> И
        fromUnicode[0x0475] = 0xE8;    // ѵ -> и
        fromUnicode[0x2011] = '-';     // non-breaking hyphen
        fromUnicode[0x2010] = '-';
        fromUnicode[0x2212] = '-';     // minus sign
        fromUnicode[0x2002] = ' ';
        fromUnicode[0x2003] = ' ';
        fromUnicode[0x2009] = ' ';
        fromUnicode[0x202F] = 0xA0;

        for (int i = 0; i < 256; ++i) {
            lower[i] = upper[i] = uint8_t(i);
        }
        auto pair = [&](int up, int lo, uint8_t extra) {
            cls[up] = uint8_t(cLetter | cUpper | extra);
            cls[lo] = uint8_t(cLetter | extra);
            lower[up] = uint8_t(lo);
            upper[lo] = uint8_t(up);
        };
        for (int i = 0; i < 26; ++i)
            pair('A' + i, 'a' + i, 0);
        for (int i = 0; i < 32; ++i)
            pair(0xC0 + i, 0xE0 + i, cCyr);
        for (const auto &p : kPairs)
            pair(p[0], p[1], cCyr);
        for (int i = '0'; i <= '9'; ++i)
            cls[i] = cDigit;
        for (int c : {int(' '), int('\t'), int('\v'), int('\f'), 0xA0})
            cls[c] = cSpace;

        // Collation: blanks, joiners, Russian letters (ё after е, each capital
        // after its small letter), the other Cyrillic letters, Latin, digits, the
        // rest.
        int next = 0;
        std::array<bool, 256> placed{};
        auto put = [&](int c) {
            if (!placed[c]) {
                placed[c] = true;
                weight[c] = uint8_t(next++);
            }
        };
        put(' ');
        put(0xA0);
        put('-');
        put('\'');
        put(0x92);
        for (int i = 0; i < 32; ++i) {
            put(0xE0 + i);
            put(0xC0 + i);
            if (i == 5) { // е
                put(0xB8);
                put(0xA8);
            }
        }
        for (const auto &p : kPairs) {
            put(p[1]);
            put(p[0]);
        }
        for (int i = 0; i < 26; ++i) {
            put('a' + i);
            put('A' + i);
        }
        for (int i = '0'; i <= '9'; ++i)
            put(i);
        for (int i = 0; i < 256; ++i)
            put(i);
    }
};

const Tables &T()
{
    static const Tables t;
    return t;
}

// Length of a valid UTF-8 sequence at p (1..4), or 0 when malformed.
inline int utf8Length(const unsigned char *p, const unsigned char *end, uint32_t &cp)
{
    const unsigned char c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int n;
    uint32_t min;
    if ((c & 0xE0) == 0xC0) { n = 2; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { n = 3; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { n = 4; cp = c & 0x07; min = 0x10000; }
    else return 0;
    if (end - p < n)
        return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

Encoding detect(std::string_view bytes)
{
    // Russian in 1251 is almost never valid UTF-8: its small letters 0xE0..0xFF
    // would have to be followed by two bytes of 0x80..0xBF. So a file is UTF-8 when
    // its valid multi-byte sequences outnumber the malformed bytes a hundred to
    // one (a stray bad byte in a UTF-8 file does not turn it into 1251).
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    uint64_t valid = 0, bad = 0;
    while (p < end) {
        // Skip ASCII eight bytes at a time.
        if (end - p >= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            if (!(w & 0x8080808080808080ull)) {
                p += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        uint32_t cp;
        const int n = utf8Length(p, end, cp);
        if (n == 0) {
            ++bad;
            ++p;
        } else {
            ++valid;
            p += n;
        }
    }
    return bad == 0 || bad * 100 <= valid ? Encoding::Utf8 : Encoding::Cp1251;
}

namespace {

// Adds the word around out[at - 1] (the letter that carried a dropped accent) to
// the counts' list of stressed words, folded, unless it is listed already.
void listStressedWord(const std::string &out, size_t begin, size_t at, cleaning::Counts &counts)
{
    if (counts.stressedWords.size() >= cleaning::kStressedWordsListed || at <= begin)
        return;
    const auto inWord = [&](size_t i) {
        const auto c = uint8_t(out[i]);
        return isLetter(c) || isDigit(c) || c == '-' || c == '\'' || c == 0x92;
    };
    size_t first = at - 1, last = at;
    if (!inWord(first))
        return;
    while (first > begin && inWord(first - 1))
        --first;
    while (last < out.size() && inWord(last))
        ++last;
    std::string word = fold(std::string_view(out).substr(first, last - first));
    for (const std::string &w : counts.stressedWords)
        if (w == word)
            return;
    counts.stressedWords.push_back(std::move(word));
}

// A few places, without allocating.
class Places {
public:
    size_t size() const { return m_n; }
    static constexpr size_t capacity() { return 32; }
    void push_back(size_t at) { m_at[m_n++] = at; }
    const size_t *begin() const { return m_at; }
    const size_t *end() const { return m_at + m_n; }

private:
    size_t m_at[32];
    size_t m_n = 0;
};

// 1251 text as it is, but CR and CRLF made LF and soft hyphens dropped; returns
// the end of the output.
inline char *copyCp1251(const unsigned char *p, const unsigned char *end, char *o)
{
    while (p < end) {
        const unsigned char c = *p++;
        if (c == '\r') {
            *o++ = '\n';
            if (p < end && *p == '\n')
                ++p;
        } else if (c != 0xAD) {
            *o++ = char(c);
        }
    }
    return o;
}

// A code point beyond ASCII (and below 0x10000) written in 1251 at o; returns the
// end of the output. A stress mark (or another combining accent) goes, counted,
// the first few places kept (from outStart) to name their words in the report;
// an invisible mark (BOM, soft hyphen, zero-width space) goes; an accented Latin
// letter keeps its word whole as the base letter.
inline char *putCodePoint(uint32_t cp, const Tables &t, char *o, const char *outStart, cleaning::Counts *counts,
                          bool listing, Places &stressedAt)
{
    const uint8_t b = t.fromUnicode[cp];
    if (b != 0) {
        *o++ = char(b);
    } else if (cp >= 0x300 && cp < 0x370) {
        if (counts) {
            ++counts->stressMarks;
            if (stressedAt.size() < stressedAt.capacity() && listing)
                stressedAt.push_back(size_t(o - outStart));
        }
    } else if (cp != 0xFEFF && cp != 0xAD && cp != 0x200B) {
        // Rare: an accented Latin letter keeps its word whole as the base letter.
        const char base = cleaning::baseLatinLetter(cp);
        *o++ = base ? base : char(kUnknown);
        if (base && counts)
            ++counts->foldedLetters;
    }
    return o;
}

// UTF-8 text in 1251, CR and CRLF made LF, a malformed byte or a character 1251
// lacks written as kUnknown; returns the end of the output.
inline char *decodeUtf8(const unsigned char *p, const unsigned char *end, char *o, const char *outStart,
                        cleaning::Counts *counts, bool listing, Places &stressedAt)
{
    const Tables &t = T();
    while (p < end) {
        // Copy ASCII eight bytes at a time while there is no CR among them
        // (the output never runs ahead of the input, so it has the room).
        if (end - p >= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            const uint64_t cr = w ^ 0x0D0D0D0D0D0D0D0Dull;
            const bool hasCr = ((cr - 0x0101010101010101ull) & ~cr & 0x8080808080808080ull) != 0;
            if (!(w & 0x8080808080808080ull) && !hasCr) {
                std::memcpy(o, &w, 8);
                o += 8;
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            if (c == '\r') {
                *o++ = '\n';
                if (p < end && *p == '\n')
                    ++p;
            } else {
                *o++ = char(c);
            }
            continue;
        }
        uint32_t cp;
        const int n = utf8Length(p, end, cp);
        if (n == 0) {
            *o++ = kUnknown;
            ++p;
            continue;
        }
        p += n;
        if (cp > 0xFFFF) {
            *o++ = kUnknown;
            continue;
        }
        o = putCodePoint(cp, t, o, outStart, counts, listing, stressedAt);
    }
    return o;
}

} // namespace

void toCp1251(std::string_view bytes, Encoding from, std::string &out, cleaning::Counts *counts)
{
    const size_t base = out.size();
    Places stressedAt;
    const bool listing = counts && counts->stressedWords.size() < cleaning::kStressedWordsListed;
    out.resize(base + bytes.size());
    char *o = out.data() + base;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    if (from == Encoding::Cp1251)
        o = copyCp1251(p, end, o);
    else
        o = decodeUtf8(p, end, o, out.data(), counts, listing, stressedAt);
    out.resize(size_t(o - out.data()));
    if (counts)
        for (const size_t at : stressedAt)
            listStressedWord(out, base, at, *counts);
}

std::string toCp1251(std::string_view bytes)
{
    std::string out;
    toCp1251(bytes, detect(bytes), out);
    return out;
}

std::string cp1251ToUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size() * 2);
    for (unsigned char c : s) {
        const uint32_t cp = cp1251::toUnicode(c);
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string utf8ToCp1251(std::string_view utf8)
{
    std::string out;
    toCp1251(utf8, Encoding::Utf8, out);
    return out;
}

QString toQString(std::string_view s)
{
    QString out;
    out.reserve(qsizetype(s.size()));
    for (unsigned char c : s)
        out.append(QChar(cp1251::toUnicode(c)));
    return out;
}

QByteArray toCp1251(const QString &text)
{
    const Tables &t = T();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            out.append('?');
            continue;
        }
        const uint8_t b = t.fromUnicode[c];
        if (c == 0)
            out.append('\0');
        else if (b != 0)
            out.append(char(b));
        else if (!(c >= 0x300 && c < 0x370) && c != 0xFEFF && c != 0xAD && c != 0x200B)
            out.append('?');
    }
    return out;
}

uint8_t byteOf(char16_t u) { return T().fromUnicode[u]; }
bool isLetter(uint8_t c) { return T().cls[c] & cLetter; }
bool isCyrillic(uint8_t c) { return T().cls[c] & cCyr; }
bool isDigit(uint8_t c) { return T().cls[c] & cDigit; }
bool isUpper(uint8_t c) { return T().cls[c] & cUpper; }
bool isSpace(uint8_t c) { return T().cls[c] & cSpace; }
uint8_t lower(uint8_t c) { return T().lower[c]; }
uint8_t upper(uint8_t c) { return T().upper[c]; }
uint8_t weight(uint8_t c) { return T().weight[c]; }
const uint8_t *lowerTable() { return T().lower.data(); }
const uint8_t *weightTable() { return T().weight.data(); }

void foldInPlace(std::string &s)
{
    const Tables &t = T();
    for (char &ch : s) {
        const auto c = uint8_t(ch);
        ch = c == 0x92 ? '\'' : char(t.lower[c]);
    }
}

std::string fold(std::string_view s)
{
    std::string out(s);
    foldInPlace(out);
    return out;
}

int compareAlpha(std::string_view a, std::string_view b)
{
    const auto &w = T().weight;
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const int d = int(w[uint8_t(a[i])]) - int(w[uint8_t(b[i])]);
        if (d)
            return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int compareReverse(std::string_view a, std::string_view b)
{
    const auto &w = T().weight;
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 1; i <= n; ++i) {
        const int d = int(w[uint8_t(a[a.size() - i])]) - int(w[uint8_t(b[b.size() - i])]);
        if (d)
            return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

} // namespace corvus::charset
