#include "corpus/Tokeniser.h"

#include "corpus/Charset.h"

#include <array>

namespace corvus {
namespace {

enum Cls : uint8_t { Space, Newline, Word, Joiner, Punct };

// A word longer than this is cut into pieces: the wire carries lengths in one byte.
constexpr size_t kMaxWord = 200;

struct ClassTable {
    std::array<uint8_t, 256> c{};
    ClassTable()
    {
        for (int i = 0; i < 256; ++i) {
            const auto b = uint8_t(i);
            if (b == '\n')
                c[i] = Newline;
            else if (b < 0x20 || b == 0x7F || charset::isSpace(b))
                c[i] = Space;
            else if (charset::isLetter(b) || charset::isDigit(b))
                c[i] = Word;
            else if (b == '-' || b == '\'' || b == 0x92)
                c[i] = Joiner;
            else
                c[i] = Punct;
        }
    }
};

const ClassTable &classes()
{
    static const ClassTable t;
    return t;
}

inline bool sentenceMark(uint8_t c) { return c == '.' || c == '!' || c == '?'; }

} // namespace

bool Tokeniser::next(RawToken &token)
{
    const auto &cls = classes().c;
    const auto *s = reinterpret_cast<const uint8_t *>(m_text.data());
    const size_t n = m_text.size();
    size_t i = m_pos;

    bool space = false;
    if (!m_started) {
        // Leading blanks and line breaks before the first token.
        m_started = true;
        while (i < n && (cls[s[i]] == Space || cls[s[i]] == Newline))
            ++i;
    } else {
        space = m_spaceNext;
    }
    if (i >= n) {
        m_pos = i;
        return false;
    }

    const size_t start = i;
    if (cls[s[i]] == Word) {
        ++i;
        while (i < n && i - start < kMaxWord) {
            const uint8_t k = cls[s[i]];
            if (k == Word) {
                ++i;
            } else if (k == Joiner && i + 1 < n && cls[s[i + 1]] == Word && i + 1 - start < kMaxWord) {
                i += 2;
            } else {
                break;
            }
        }
        token.punct = false;
    } else {
        const uint8_t c = s[i];
        ++i;
        if (sentenceMark(c)) {
            while (i < n && sentenceMark(s[i]) && i - start < kMaxWord)
                ++i;
        } else {
            while (i < n && s[i] == c && i - start < kMaxWord)
                ++i;
        }
        token.punct = true;
    }
    token.text = m_text.substr(start, i - start);
    token.spaceBefore = space;

    // What separates this token from the next one.
    int breaks = 0;
    bool blank = false;
    while (i < n) {
        const uint8_t k = cls[s[i]];
        if (k == Newline)
            ++breaks;
        else if (k != Space)
            break;
        blank = true;
        ++i;
    }
    m_breaksAfter = breaks;
    m_spaceNext = blank;
    m_pos = i;
    return true;
}

} // namespace corvus
