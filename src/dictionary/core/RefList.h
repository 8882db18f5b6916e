#pragma once
// tRefC and the reference list: the element format of the list replies "DC_C",
// "DC_CC", "DC_W", also used by the concordance value list and the composed filter
// sets. An element is the item text, byte 4 + "$(", four decimal integers joined by
// ",", byte 4 + ")$", then a separator ("," or ";"). Commas inside the item text are
// part of the text: an element ends only at a separator after its closing marker.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>
#include <optional>

// The numbers attached to one list item (one nest of a dictionary). The concordance
// value list reads the four carried numbers as AlphaNo, Count, FilterNo, FreqNo.
struct tRefC {
    qint32 NestRef = 0;
    qint32 NestSize = 0;
    qint32 Reserved = 0;   // not carried in the text form
    qint32 Extra1 = 0;
    qint32 Extra2 = 0;

    // "NestRef,NestSize,Extra1,Extra2"
    QByteArray text() const;
    bool operator==(const tRefC &o) const;
    bool operator!=(const tRefC &o) const { return !(*this == o); }
};

namespace reflist {

inline constexpr char OpenMarker[] = "\x04$(";
inline constexpr char CloseMarker[] = "\x04)$";

// Exactly four integers joined by single commas. Nothing when a field is empty or
// not an integer, when there are fewer or more than four fields, or when NestRef
// is -1 (the server's "no reference").
std::optional<tRefC> parseRefText(QByteArrayView text);

struct RefElement {
    QByteArray text;             // everything before the opening marker
    std::optional<tRefC> ref;    // absent when the reference does not parse
    // What a list box shows for the item.
    QByteArray display() const { return text + QByteArrayLiteral(" - "); }
};

// Splits a list body element by element. The reader never loops: every element
// read moves the read position forward, and the list ends at the end of the body
// or where no further pair of markers is found.
class RefListReader {
public:
    explicit RefListReader(QByteArray body) : m_body(std::move(body)) {}
    std::optional<RefElement> next();
    bool atEnd() const { return m_pos >= m_body.size(); }

private:
    QByteArray m_body;
    qsizetype m_pos = 0;
};

// Every element of the body, with or without its reference.
QList<RefElement> readAll(const QByteArray &body);
// Elements up to (not including) the first one without a reference.
QList<RefElement> readUntilUnreferenced(const QByteArray &body);

// One element in wire form, without separator: text + markers around ref.text().
QByteArray writeElement(const QByteArray &text, const tRefC &ref);
// Elements joined by ",".
QByteArray writeList(const QList<RefElement> &elements);

} // namespace reflist
