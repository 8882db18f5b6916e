#pragma once
// The word forms and punctuation of a corpus as the lines show them, ready to be
// copied: for every form id (word forms, then punctuation strings) its display
// text, cleaned like every corpus text on the wire and in lower case (a token's
// case is applied to the copy), held in its 8-byte entry when it has at most seven
// bytes and in one buffer beside them when longer. An export reads some six
// million tokens' texts: one read of an entry for each instead of the lexicon's
// offsets, its bytes and their cleaning. Made once per corpus, about 9 bytes per
// form and the bytes of the longer ones.
#include "concordance/WireText.h"
#include "corpus/Corpus.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace corvus::conc {

class ShownForms {
public:
    // A length that the tables do not hold (a text of 255 bytes or more).
    static constexpr uint8_t kUnknown = 0xFF;
    // Texts of up to this many bytes are held in their entries.
    static constexpr uint8_t kShort = 7;
    // Byte 7 the length of the text; bytes 0..6 the text itself (those past its
    // length zero) or, for a longer one, its offset in the buffer (4 bytes).
    using Entry = std::array<char, 8>;

    explicit ShownForms(const Corpus &corpus);

    // The length of a form id's text; kUnknown out of range or when not held.
    uint8_t length(uint32_t form) const { return form < m_lengths.size() ? m_lengths[form] : kUnknown; }
    // Writes the text of a token (its word of Corpus::tokenWords()) as
    // LineEngine::writeShown() does on the form base: a word form's text with the
    // token's case, or punctuation. False, with nothing written, where the tables
    // do not hold it (a spelling stored apart, an unknown id, a text too long).
    bool write(uint32_t word, LineSink &out) const
    {
        const uint8_t flags = flagPart(word);
        const uint32_t f = formPart(word);
        const bool punct = flags & kPunct;
        if (punct ? f < m_words : ((flags & kSurfaceOwn) || f >= m_words))
            return false;
        if (out.counts()) {
            const uint8_t n = length(f);
            if (n == kUnknown)
                return false;
            out.putShort(nullptr, n);
            return true;
        }
        if (f >= m_entries.size())
            return false;
        const Entry &e = m_entries[f];
        const auto n = uint8_t(e[7]);
        char *at;
        if (n <= kShort) {
            at = out.putShort(e.data(), n);
        } else if (n != kUnknown) {
            uint32_t offset;
            std::memcpy(&offset, e.data(), sizeof offset);
            const qint64 from = out.size();
            out.put(m_long.data() + offset, n);
            at = out.at(from);
        } else {
            return false;
        }
        if (!punct)
            applyCase(at, n, flags & kCaseMask);
        return true;
    }
    size_t heldBytes() const
    {
        return m_lengths.capacity() + m_entries.capacity() * sizeof(Entry) + m_long.capacity();
    }

private:
    void applyCase(char *bytes, uint8_t n, uint8_t pattern) const
    {
        if (pattern == kCapital && n > 0)
            bytes[0] = char(m_upper[uint8_t(bytes[0])]);
        else if (pattern == kUpper)
            for (uint8_t i = 0; i < n; ++i)
                bytes[i] = char(m_upper[uint8_t(bytes[i])]);
    }

    uint32_t m_words = 0;   // ids below are word forms, the others punctuation
    std::vector<uint8_t> m_lengths;
    std::vector<Entry> m_entries;
    std::vector<char> m_long;   // the texts longer than kShort
    std::array<uint8_t, 256> m_upper{};
};

} // namespace corvus::conc
