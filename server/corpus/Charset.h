#pragma once
// Byte-level text helpers of the corpus: code page 1251 is the index's internal
// encoding (one byte per letter, the encoding of the wire). Files arrive as UTF-8
// or 1251 and are converted once on import; everything after that works on bytes.
#include <QByteArray>

#include <cstdint>
#include <string>
#include <string_view>

namespace corvus::cleaning {
struct Counts;
}

namespace corvus::charset {

enum class Encoding { Utf8, Cp1251 };

// Detects the encoding of a file's bytes: UTF-8 when its valid multi-byte
// sequences outnumber its malformed bytes at least a hundred to one (pure ASCII
// included), 1251 otherwise.
Encoding detect(std::string_view bytes);

// Appends the bytes converted to 1251. UTF-8: a character the code page cannot
// hold becomes '?', combining accents (U+0300..U+036F, stress marks) and the BOM
// are dropped, the pre-reform letters ѣ, ѳ, ѵ become е, ф, и. Malformed UTF-8
// bytes become '?'. A Latin letter with a diacritic that 1251 lacks becomes its
// base letter ("ō" -> "o"), counted in counts->foldedLetters when counts is given.
// 1251 input is copied as is. CR LF and lone CR become LF.
void toCp1251(std::string_view bytes, Encoding from, std::string &out, cleaning::Counts *counts = nullptr);
// detect() + toCp1251().
std::string toCp1251(std::string_view bytes);

// 1251 <-> UTF-8 of single strings (hunspell, messages, file names).
std::string cp1251ToUtf8(std::string_view cp1251);
std::string utf8ToCp1251(std::string_view utf8);
// 1251 <-> QString.
QString toQString(std::string_view cp1251);
QByteArray toCp1251(const QString &text);

// The 1251 byte of a BMP code point as import writes it, 0 when it has none.
uint8_t byteOf(char16_t codePoint);

// Character classes of 1251 bytes.
bool isLetter(uint8_t c);      // Latin, Cyrillic (with Ё/ё and the other 1251 Cyrillic letters)
bool isCyrillic(uint8_t c);
bool isDigit(uint8_t c);
bool isUpper(uint8_t c);
bool isSpace(uint8_t c);       // blank, tab, NBSP, form feed, vertical tab (not LF)
uint8_t lower(uint8_t c);
uint8_t upper(uint8_t c);

// The folded (lookup) form: lower case, the typographic apostrophe (0x92) as "'",
// "ё" kept. fold() of a folded string is the same string.
std::string fold(std::string_view cp1251);
void foldInPlace(std::string &cp1251);

// Russian alphabetical order of folded strings, the one order of every list of
// the server: a blank (and the no-break space) first, then hyphen and apostrophe,
// then Cyrillic letters in the Russian alphabet with "ё" right after "е" (the
// other Cyrillic letters of 1251 after "я"), then Latin letters, then digits, then
// everything else. So "с того" < "стихи" and "кто" < "кто-то" < "ктото". Every
// byte has its own weight, so only equal strings compare equal.
int compareAlpha(std::string_view a, std::string_view b);
// The same order applied to the reversed strings (rhyme order).
int compareReverse(std::string_view a, std::string_view b);
// The collation weight of a byte (0..255, a permutation of the byte values).
uint8_t weight(uint8_t c);
// The lower-case and weight tables themselves (256 entries) for hot loops.
const uint8_t *lowerTable();
const uint8_t *weightTable();

} // namespace corvus::charset
