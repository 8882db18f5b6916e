#pragma once
// A read-only view of a contiguous array (C++17 has no std::span). The index keeps
// its arrays either in vectors it built or in the memory-mapped cache file; both
// are handed out as Span. Table is such an array together with its storage when it
// was built rather than mapped.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace corvus {

template <typename T>
class Span {
public:
    Span() = default;
    Span(const T *data, size_t size) : m_data(data), m_size(size) {}
    Span(const std::vector<T> &v) : m_data(v.data()), m_size(v.size()) {}

    const T *data() const { return m_data; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const T &operator[](size_t i) const { return m_data[i]; }
    const T *begin() const { return m_data; }
    const T *end() const { return m_data + m_size; }
    Span sub(size_t offset, size_t count) const { return Span(m_data + offset, count); }

private:
    const T *m_data = nullptr;
    size_t m_size = 0;
};

// An array that was built (and is owned here) or is mapped from the cache file
// (owned by whoever keeps the mapping). Moving keeps the view valid: a moved
// vector keeps its buffer.
template <typename T>
class Table {
public:
    Table() = default;
    Table(std::vector<T> built) : m_own(std::move(built)), m_view(m_own) {}
    Table(Span<T> mapped) : m_view(mapped) {}
    Table(Table &&other) noexcept : m_own(std::move(other.m_own)), m_view(other.m_view) { other.m_view = {}; }
    Table &operator=(Table &&other) noexcept
    {
        m_own = std::move(other.m_own);
        m_view = other.m_view;
        other.m_view = {};
        return *this;
    }
    // A copy of a built table owns a copy of the array; a mapped one stays a view.
    Table(const Table &other) : m_own(other.m_own), m_view(m_own.empty() ? other.m_view : Span<T>(m_own)) {}
    Table &operator=(const Table &other)
    {
        if (this != &other) {
            m_own = other.m_own;
            m_view = m_own.empty() ? other.m_view : Span<T>(m_own);
        }
        return *this;
    }

    Span<T> span() const { return m_view; }
    operator Span<T>() const { return m_view; }
    const T *data() const { return m_view.data(); }
    size_t size() const { return m_view.size(); }
    bool empty() const { return m_view.empty(); }
    const T &operator[](size_t i) const { return m_view[i]; }
    const T *begin() const { return m_view.begin(); }
    const T *end() const { return m_view.end(); }

private:
    std::vector<T> m_own;
    Span<T> m_view;
};

} // namespace corvus
