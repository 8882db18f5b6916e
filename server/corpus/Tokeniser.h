#pragma once
// Splits 1251 text into word and punctuation tokens.
//
// Words: runs of letters and digits; a hyphen or an apostrophe ("'" or the
// typographic "’") between two letters/digits stays inside the word ("кто-то",
// "д'Артаньян", "из-за"). Punctuation: a run of the same mark is one token ("...",
// "--", "!!!"), and so is a run of "?", "!" and "." mixed ("?!", "!.."); every
// other mark is a token of its own. Blanks separate tokens and are not tokens;
// line breaks set the line-end flag of the token before them and an empty line
// sets the paragraph-end flag.
#include <cstdint>
#include <string_view>

namespace corvus {

struct RawToken {
    std::string_view text;   // points into the input
    bool punct = false;
    bool spaceBefore = false;
};

class Tokeniser {
public:
    explicit Tokeniser(std::string_view cp1251) : m_text(cp1251) {}

    // Next token; false at the end. After each call, lineBreaksAfter() tells how
    // many line breaks lie between this token and the next one (or the end).
    bool next(RawToken &token);
    int lineBreaksAfter() const { return m_breaksAfter; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    int m_breaksAfter = 0;
    bool m_started = false;
    bool m_spaceNext = false;
};

} // namespace corvus
