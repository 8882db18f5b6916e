#pragma once
// Small helpers for the texts that the concordance replies put on the wire: code
// page 1251 bytes, appended in place.
#include "model/Cp1251.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <string_view>

namespace corvus::conc {

// A Russian literal of the source as 1251 bytes.
using cp1251::ru;

// Appends a number in decimal, "-" for negatives, without a temporary array.
inline void appendNumber(QByteArray &out, int64_t n)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, qsizetype(r.ptr - buf));
}

// The bytes of an array as a view, the form in which the corpus hands out its texts.
inline std::string_view viewOf(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), size_t(bytes.size()));
}

// Appends corpus bytes with '$' and control bytes replaced (so they cannot form a
// marker or a reply tag) and '`' as "'" (the backquote marks line ends).
// Every byte keeps its place, so a cleaned text is as long as the corpus text.
void appendCleanBytes(QByteArray &out, std::string_view bytes);
// The same cleaning in place, for the bytes of `out` from `from` on.
void cleanBytesFrom(QByteArray &out, qsizetype from);
void cleanBytes(char *bytes, size_t size);

// Where the lines of the concordance are written: the end of a byte array, written
// through a pointer (a line is some fifty small pieces, too many for calls into
// the array), or nowhere when only their bytes are counted (an export is measured
// before it is sent). finish() or the destructor sets the array's size.
class LineSink {
public:
    // Null: count only.
    explicit LineSink(QByteArray *out)
        : m_out(out), m_p(out ? out->data() : nullptr), m_n(out ? out->size() : 0), m_cap(m_n)
    {
    }
    ~LineSink() { finish(); }
    LineSink(const LineSink &) = delete;
    LineSink &operator=(const LineSink &) = delete;

    bool counts() const { return !m_out; }
    // The bytes so far, those the array held before included.
    qint64 size() const { return m_n; }
    void put(const char *bytes, qsizetype n)
    {
        if (m_out) {
            room(n);
            copy(m_p + m_n, bytes, n);
        }
        m_n += n;
    }
    void put(std::string_view bytes) { put(bytes.data(), qsizetype(bytes.size())); }
    void put(const QByteArray &bytes) { put(bytes.constData(), bytes.size()); }
    template <size_t N>
    void put(const char (&literal)[N])
    {
        put(literal, qsizetype(N - 1));
    }
    void put(char c)
    {
        if (m_out) {
            room(1);
            m_p[m_n] = c;
        }
        ++m_n;
    }
    // The first n of 8 bytes (n at most 8): all 8 are stored, only n kept. Where
    // they went; null when counting.
    char *putShort(const char *bytes8, qsizetype n)
    {
        char *at = nullptr;
        if (m_out) {
            room(8);
            at = m_p + m_n;
            std::memcpy(at, bytes8, 8);
        }
        m_n += n;
        return at;
    }
    void putNumber(int64_t n)
    {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, n);
        put(buf, qsizetype(r.ptr - buf));
    }
    // The bytes written from `from` on, to be changed in place; only when writing.
    char *at(qint64 from) { return m_p + from; }
    void finish()
    {
        if (m_out && m_out->size() != m_n)
            m_out->resize(m_n);
    }

private:
    // Most pieces are a word or a marker: copied in place rather than by a call.
    static void copy(char *to, const char *from, qsizetype n)
    {
        if (n > 32) {
            std::memcpy(to, from, size_t(n));
            return;
        }
        for (; n >= 8; n -= 8, to += 8, from += 8)
            std::memcpy(to, from, 8);
        if (n & 4) {
            std::memcpy(to, from, 4);
            to += 4;
            from += 4;
        }
        if (n & 2) {
            std::memcpy(to, from, 2);
            to += 2;
            from += 2;
        }
        if (n & 1)
            *to = *from;
    }

    void room(qsizetype n)
    {
        if (m_n + n > m_cap) {
            m_cap = std::max({m_cap * 2, m_n + n + 256, m_out->capacity()});
            m_out->resize(m_cap);
            m_p = m_out->data();
        }
    }

    QByteArray *m_out;
    char *m_p = nullptr;
    qsizetype m_n;
    qsizetype m_cap;
};

} // namespace corvus::conc
