#pragma once
// The checksum of the cache file, shared by its writer, its full check and its seal.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvus {

// Streaming checksum: four multiply-xor lanes over 32-byte blocks.
class CacheHasher {
public:
    void add(const void *data, size_t n)
    {
        if (n == 0)
            return;
        auto p = static_cast<const unsigned char *>(data);
        m_total += n;
        if (m_fill) {
            const size_t take = std::min(n, sizeof(m_buf) - m_fill);
            std::memcpy(m_buf + m_fill, p, take);
            m_fill += take;
            p += take;
            n -= take;
            if (m_fill < sizeof(m_buf))
                return;
            block(m_buf);
            m_fill = 0;
        }
        while (n >= 32) {
            block(p);
            p += 32;
            n -= 32;
        }
        std::memcpy(m_buf, p, n);
        m_fill = n;
    }
    uint64_t result()
    {
        unsigned char last[32] = {};
        std::memcpy(last, m_buf, m_fill);
        block(last);
        uint64_t h = m_total * 0x9E3779B97F4A7C15ull;
        for (uint64_t l : m_lane) {
            h ^= l;
            h *= 0xC2B2AE3D27D4EB4Full;
            h ^= h >> 31;
        }
        return h;
    }

private:
    void block(const unsigned char *p)
    {
        for (int i = 0; i < 4; ++i) {
            uint64_t w;
            std::memcpy(&w, p + 8 * i, 8);
            uint64_t x = (m_lane[i] ^ w) * 0x87C37B91114253D5ull;
            m_lane[i] = (x << 31 | x >> 33) + w;
        }
    }
    uint64_t m_lane[4] = {1, 2, 3, 4};
    unsigned char m_buf[32] = {};
    size_t m_fill = 0;
    uint64_t m_total = 0;
};


} // namespace corvus
