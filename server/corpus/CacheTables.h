#pragma once
// What the layers above the index keep in the cache file beside it: the concordance
// engine's tables, the dictionaries and the thesaurus, each as arrays under ids of
// their own (1000 and up; the index uses ids below 200). They are written with the
// index (Corpus::writeCache) and mapped with it, so a start uses them in place
// instead of building them.
//
// A reader hands out arrays whose place in the file is checked already; what is in
// them is the taker's to check: the sizes always, and every id and offset when
// full() is set (the background check of a cache, and the fuzzer), before anything
// is served from them.
#include "corpus/Span.h"

#include <QByteArray>

#include <cstdint>
#include <deque>
#include <vector>

namespace corvus {

class TableWriter {
public:
    struct Item {
        uint32_t id;
        uint32_t elemSize;
        const void *data;
        uint64_t count;
    };
    // The array must stay alive until the cache is written.
    template <typename T>
    void add(uint32_t id, Span<T> data)
    {
        m_items.push_back({id, uint32_t(sizeof(T)), data.data(), uint64_t(data.size())});
    }
    // An array made only for the cache: the writer keeps it.
    template <typename T>
    void keep(uint32_t id, std::vector<T> data)
    {
        const QByteArray &b = m_kept.emplace_back(reinterpret_cast<const char *>(data.data()),
                                                   qsizetype(data.size() * sizeof(T)));
        m_items.push_back({id, uint32_t(sizeof(T)), b.constData(), uint64_t(data.size())});
    }
    const std::vector<Item> &items() const { return m_items; }

private:
    std::vector<Item> m_items;
    std::deque<QByteArray> m_kept;
};

class TableReader {
public:
    // The array under `id` with elements of T's size; false when there is none.
    template <typename T>
    bool get(uint32_t id, Span<T> &out) const
    {
        for (const Entry &e : m_entries) {
            if (e.id != id)
                continue;
            if (e.elemSize != sizeof(T))
                return false;
            out = Span<T>(reinterpret_cast<const T *>(e.data), size_t(e.count));
            return true;
        }
        return false;
    }
    bool empty() const { return m_entries.empty(); }
    // Every id and offset of the arrays is to be checked, not only their sizes.
    bool full() const { return m_full; }

private:
    friend class CacheFile;
    struct Entry {
        uint32_t id;
        uint32_t elemSize;
        const char *data;
        uint64_t count;
    };
    std::vector<Entry> m_entries;   // each within the file and aligned to its element
    bool m_full = false;
};

// Checks for the takers of a reader's arrays.
namespace tablecheck {

// n+1 offsets from 0, never decreasing, ending at `total`.
bool offsets(Span<uint32_t> off, size_t n, size_t total);
// order and rank are inverse permutations of 0..n-1.
bool permutation(Span<uint32_t> order, Span<uint32_t> rank, size_t n);
// Every value below `bound` (or kNone, when that is allowed).
bool below(Span<uint32_t> values, uint64_t bound, bool noneAllowed = false);

} // namespace tablecheck

} // namespace corvus
