#pragma once
// Interned strings with dense ids, for the corpus builder.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace corvus {

inline uint64_t hashBytes(std::string_view s)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (s.size() * 0xFF51AFD7ED558CCDull);
    const char *p = s.data();
    size_t n = s.size();
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xC2B2AE3D27D4EB4Full;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 32;
    h *= 0x165667B19E3779F9ull;
    h ^= h >> 29;
    return h;
}

// Interned strings with dense ids in order of first appearance.
class StringTable {
public:
    StringTable() { rehash(1 << 12); }
    uint32_t intern(std::string_view s)
    {
        const uint64_t h = hashBytes(s);
        const uint32_t tag = uint32_t(h >> 32);
        size_t i = size_t(h) & m_mask;
        for (;;) {
            const uint64_t slot = m_slots[i];
            if (slot == 0)
                break;
            if (uint32_t(slot >> 32) == tag) {
                const uint32_t id = uint32_t(slot) - 1;
                if (view(id) == s)
                    return id;
            }
            i = (i + 1) & m_mask;
        }
        const uint32_t id = uint32_t(m_offsets.size() - 1);
        m_chars.append(s.data(), s.size());
        m_offsets.push_back(uint32_t(m_chars.size()));
        m_hashes.push_back(h);
        m_slots[i] = (uint64_t(tag) << 32) | (id + 1);
        if ((m_offsets.size() - 1) * 2 > m_slots.size())
            rehash(m_slots.size() * 2);
        return id;
    }
    // Room for n strings of `bytes` bytes in all, taken now (by the calling thread).
    void reserve(size_t n, size_t bytes)
    {
        m_chars.reserve(bytes);
        m_offsets.reserve(n + 1);
        m_hashes.reserve(n);
        size_t room = m_slots.size();
        while (room < 2 * n)
            room *= 2;
        if (room != m_slots.size())
            rehash(room);
    }
    uint32_t size() const { return uint32_t(m_offsets.size() - 1); }
    // Bytes of all the strings together.
    size_t bytes() const { return m_chars.size(); }
    // Frees the hash index once nothing more is interned: view() and size() keep
    // working, intern() must not be called again.
    void dropLookup()
    {
        std::vector<uint64_t>().swap(m_hashes);
        std::vector<uint64_t>().swap(m_slots);
        m_mask = 0;
    }
    // Frees the strings too; the table is empty and unusable afterwards. (Assigning
    // an empty table would not do: a string moved from a short one keeps its buffer.)
    void release()
    {
        dropLookup();
        std::string().swap(m_chars);
        std::vector<uint32_t>{0}.swap(m_offsets);
    }
    std::string_view view(uint32_t id) const
    {
        return std::string_view(m_chars.data() + m_offsets[id], m_offsets[id + 1] - m_offsets[id]);
    }

private:
    void rehash(size_t n)
    {
        m_slots.assign(n, 0);
        m_mask = n - 1;
        for (uint32_t id = 0; id + 1 < m_offsets.size(); ++id) {
            const uint64_t h = m_hashes[id];
            size_t i = size_t(h) & m_mask;
            while (m_slots[i])
                i = (i + 1) & m_mask;
            m_slots[i] = (uint64_t(uint32_t(h >> 32)) << 32) | (id + 1);
        }
    }
    std::string m_chars;
    std::vector<uint32_t> m_offsets{0};
    std::vector<uint64_t> m_hashes;
    std::vector<uint64_t> m_slots;
    size_t m_mask = 0;
};

} // namespace corvus
