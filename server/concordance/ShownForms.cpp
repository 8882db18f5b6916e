#include "concordance/ShownForms.h"

#include "corpus/Charset.h"

namespace corvus::conc {

ShownForms::ShownForms(const Corpus &corpus)
{
    // Punctuation ids follow the word forms; an id past them (none is empty) is
    // left to the lexicon's reading.
    const uint32_t forms = corpus.forms().size();
    uint32_t ids = forms;
    while (ids < kFormMask && !corpus.punctText(ids).empty())
        ++ids;
    m_words = forms;
    for (int b = 0; b < 256; ++b)
        m_upper[size_t(b)] = charset::upper(uint8_t(b));
    m_lengths.assign(ids, kUnknown);
    m_entries.assign(ids, Entry{0, 0, 0, 0, 0, 0, 0, char(kUnknown)});
    for (uint32_t id = 0; id < ids; ++id) {
        const std::string_view text = id < forms ? corpus.forms().text(id) : corpus.punctText(id);
        if (text.size() >= kUnknown || m_long.size() + text.size() > UINT32_MAX)
            continue;
        Entry &e = m_entries[id];
        e.fill(0);
        e[7] = char(text.size());
        m_lengths[id] = uint8_t(text.size());
        if (text.size() <= kShort) {
            std::memcpy(e.data(), text.data(), text.size());
            cleanBytes(e.data(), text.size());
        } else {
            const auto offset = uint32_t(m_long.size());
            std::memcpy(e.data(), &offset, sizeof offset);
            m_long.insert(m_long.end(), text.begin(), text.end());
            cleanBytes(m_long.data() + offset, text.size());
        }
    }
    m_long.shrink_to_fit();
}

} // namespace corvus::conc
