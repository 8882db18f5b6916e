#pragma once
// Cleaning of word forms at import: Latin letters that stand in for Cyrillic ones
// inside a Russian word, and Latin letters with diacritics that code page 1251
// cannot hold. Both would otherwise split one word into several dictionary entries
// ("КO" beside "КО") or cut it ("été" read as "?t?").
#include <QByteArray>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvus::cleaning {

// What cleaning replaced, for the import report.
struct Counts {
    uint64_t lookAlikeWords = 0;   // words whose Latin look-alikes became Cyrillic
    uint64_t foldedLetters = 0;    // accented Latin letters written as their base letter
    uint64_t stressMarks = 0;      // combining accents dropped (stress marks, U+0300..U+036F)
    // The first distinct words (folded, 1251) that lost one, at most kStressedWordsListed.
    std::vector<std::string> stressedWords;
};
constexpr size_t kStressedWordsListed = 20;

// A 1251 word holding at least one Cyrillic letter and Latin letters that all have
// a Cyrillic twin ("A" and "А", "o" and "о", "I" and "І"...) becomes all Cyrillic.
// A word with a Latin letter that has no twin, or with no Cyrillic letter at all,
// is left as it is. Returns whether the word changed.
bool fixLookAlikes(std::string &word1251);

// The base Latin letter of an accented BMP code point that 1251 lacks ("é" -> 'e',
// "Ł" -> 'L'); 0 when the code point is not such a letter.
char baseLatinLetter(uint32_t codePoint);

// A caption of a text attribute (1251, from vrt.conf or a file's attribute key) as
// it may go on the wire in a reply: control bytes become blanks, "$" the currency
// sign "¤" and "`" "'", so that no caption can form a reply tag ("$CN_C="), a link
// marker ("$$+") or a record (they start with a control byte), as the replies clean
// the attribute values.
QByteArray cleanCaption(QByteArray caption);

} // namespace corvus::cleaning
