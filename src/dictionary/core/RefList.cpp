#include "RefList.h"

#include "model/StrictInt.h"

QByteArray tRefC::text() const
{
    return QByteArray::number(NestRef) + ',' + QByteArray::number(NestSize) + ','
        + QByteArray::number(Extra1) + ',' + QByteArray::number(Extra2);
}

bool tRefC::operator==(const tRefC &o) const
{
    return NestRef == o.NestRef && NestSize == o.NestSize && Reserved == o.Reserved
        && Extra1 == o.Extra1 && Extra2 == o.Extra2;
}

namespace reflist {

namespace {
constexpr qsizetype MarkerLength = 3;
}

std::optional<tRefC> parseRefText(QByteArrayView text)
{
    const QList<QByteArrayView> fields = [&] {
        QList<QByteArrayView> out;
        qsizetype start = 0;
        for (;;) {
            const qsizetype comma = text.indexOf(',', start);
            if (comma < 0) {
                out.append(text.sliced(start));
                return out;
            }
            out.append(text.sliced(start, comma - start));
            start = comma + 1;
        }
    }();
    if (fields.size() != 4)
        return std::nullopt;
    qint32 numbers[4];
    for (int i = 0; i < 4; ++i) {
        const std::optional<qint32> v = strictint::parse(fields[i]);
        if (!v)
            return std::nullopt;
        numbers[i] = *v;
    }
    if (numbers[0] == -1)
        return std::nullopt;
    tRefC ref;
    ref.NestRef = numbers[0];
    ref.NestSize = numbers[1];
    ref.Extra1 = numbers[2];
    ref.Extra2 = numbers[3];
    return ref;
}

std::optional<RefElement> RefListReader::next()
{
    const qsizetype n = m_body.size();
    if (m_pos >= n)
        return std::nullopt;
    const qsizetype begin = m_pos;
    const qsizetype open = m_body.indexOf(OpenMarker, begin);
    const qsizetype close = m_body.indexOf(CloseMarker, begin);
    if (open < 0 || close < 0 || close - open < MarkerLength) {
        m_pos = n;
        return std::nullopt;
    }

    // The element ends at the separator that follows its closing marker. Of "," and
    // ";" the nearer one counts, so that a list mixing both separators loses no
    // element; after ";" one more byte (a line break or blank) is skipped.
    // One scan for whichever comes first: searching for each separator on its own
    // would run to the end of the body for every element of a list that never uses
    // the other one (a value list of a million elements has no ";").
    const char *data = m_body.constData();
    qsizetype sep = close + MarkerLength;
    while (sep < n && data[sep] != ',' && data[sep] != ';')
        ++sep;
    if (sep >= n)
        m_pos = n;
    else
        m_pos = data[sep] == ',' ? sep + 1 : sep + 2;

    // Both markers lie inside the element: the opening one first, the closing one
    // after it and before the separator.
    RefElement element;
    element.text = m_body.sliced(begin, open - begin);
    element.ref = parseRefText(
        QByteArrayView(m_body).sliced(open + MarkerLength, close - open - MarkerLength));
    return element;
}

QList<RefElement> readAll(const QByteArray &body)
{
    QList<RefElement> out;
    RefListReader reader(body);
    while (std::optional<RefElement> e = reader.next())
        out.append(std::move(*e));
    return out;
}

QList<RefElement> readUntilUnreferenced(const QByteArray &body)
{
    QList<RefElement> out;
    RefListReader reader(body);
    while (std::optional<RefElement> e = reader.next()) {
        if (!e->ref)
            break;
        out.append(std::move(*e));
    }
    return out;
}

QByteArray writeElement(const QByteArray &text, const tRefC &ref)
{
    return text + OpenMarker + ref.text() + CloseMarker;
}

QByteArray writeList(const QList<RefElement> &elements)
{
    QByteArray out;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (i > 0)
            out += ',';
        const RefElement &e = elements[i];
        out += e.ref ? writeElement(e.text, *e.ref)
                     : e.text + OpenMarker + QByteArrayLiteral("-1,0,0,0") + CloseMarker;
    }
    return out;
}

} // namespace reflist
