#pragma once
// A read-only view of a contiguous array (C++17 has no std::span). The index keeps
// its arrays either in vectors it built or in the memory-mapped cache file; both
// are handed out as Span.
#include <cstddef>
#include <cstdint>
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

} // namespace corvus
