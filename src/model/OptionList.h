#pragma once
// The session's name=value option list. Names compare case-insensitively (Latin
// letters); setting an empty value removes the entry. Sent as the last framed
// record of most requests: byte 5, "/", length, "/", byte 5, comma text.
#include <QByteArray>
#include <QList>
#include <optional>

class OptionList {
public:
    OptionList() = default;
    static OptionList initial();            // the single entry "1=2"
    static OptionList fromCommaText(const QByteArray &text);

    QByteArray value(const QByteArray &name) const;   // empty when absent
    bool has(const QByteArray &name) const;
    void set(const QByteArray &name, const QByteArray &value);   // empty value removes
    void remove(const QByteArray &name);
    void clear() { m_entries.clear(); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    int size() const { return int(m_entries.size()); }
    const QList<QByteArray> &entries() const { return m_entries; }   // "name=value"

    QByteArray commaText() const;
    // The framed record; empty when the list is empty.
    QByteArray framed() const;

    bool operator==(const OptionList &o) const { return m_entries == o.m_entries; }

private:
    int indexOf(const QByteArray &name) const;
    QList<QByteArray> m_entries;
};

// Reading of an option-list record at the front of `body` (which starts with byte 5).
// Consumed: the list replaces the caller's and the record is removed. Emptied: byte 5
// and "/" came first but the rest does not fit; the caller's list becomes empty and
// the record section ends. NotARecord: body does not start with byte 5 + "/".
enum class OptionRecordResult { Consumed, Emptied, NotARecord };
OptionRecordResult readOptionRecord(QByteArray &body, OptionList &list);
