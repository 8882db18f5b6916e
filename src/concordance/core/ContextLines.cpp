#include "ContextLines.h"

#include "model/StrictInt.h"

namespace conccore {

namespace {

constexpr char LeftEnd[] = " $@$ ";
constexpr char RightStart[] = " $*$ ";
constexpr char LineEnd[] = " $$$";
constexpr char NameStart[] = " $+$ ";
constexpr char FieldEnd[] = " $^$ ";
constexpr qsizetype MarkerSize = 5;   // " $@$ ", " $*$ ", " $+$ ", " $^$ "

// A "$$+" / "$$-" from `from` on that is not the tail of "$$$+" / "$$$-".
qsizetype findFragmentMarker(const QByteArray &text, const char *marker, qsizetype from)
{
    qsizetype i = text.indexOf(marker, from);
    while (i > from && text[i - 1] == '$')
        i = text.indexOf(marker, i + 1);
    return i;
}

int lineNumber(QByteArrayView text)
{
    const std::optional<qint32> n = strictint::parse(text);
    return n ? *n : 0;
}

} // namespace

QList<ContextLine> parseContextLines(const QByteArray &bodyIn)
{
    QList<ContextLine> out;
    const QByteArray body = bodyIn + ' ';
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = body.indexOf(" $$$ ", start);
        if (end < 0)
            break;
        const qsizetype plus = findFragmentMarker(body, "$$+", start);
        const qsizetype minus = findFragmentMarker(body, "$$-", start);
        const qsizetype at = body.indexOf(LeftEnd, start);
        const qsizetype star = body.indexOf(RightStart, start);
        if (star >= 0 && star < end) {
            ContextLine line;
            const bool hasAt = at >= 0 && at < star;
            const qsizetype leftEnd = hasAt ? at : star;
            const bool fragment = plus >= 0 && minus > plus && minus < leftEnd;
            qsizetype leftStart = start;
            if (fragment) {
                line.tag = "$$+" + body.mid(plus + 3, minus - plus - 3);
                leftStart = minus + 3;
            }
            line.left = body.mid(leftStart, leftEnd - leftStart);
            if (hasAt) {
                const QByteArray middle = body.mid(at + MarkerSize, star - at - MarkerSize);
                const qsizetype comma = middle.indexOf(',');
                line.number = lineNumber(QByteArrayView(middle).first(comma < 0 ? middle.size() : comma));
                QByteArray rest = comma < 0 ? QByteArray() : middle.mid(comma + 1);
                const qsizetype name = rest.indexOf(NameStart);
                if (name >= 0) {
                    line.name = rest.mid(name + MarkerSize);
                    const qsizetype again = line.name.indexOf(NameStart);
                    if (again >= 0)
                        line.name.truncate(again);
                    rest.truncate(name);
                }
                line.centre = rest;
            }
            line.right = body.mid(star + MarkerSize, end + 1 - (star + MarkerSize));
            out.append(std::move(line));
        }
        start = end + 4;
    }
    return out;
}

QByteArray renderMarks(const QByteArray &text, bool prose)
{
    if (!text.contains('`'))
        return text;
    QByteArray out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '`') {
            out += text[i];
            continue;
        }
        if (prose)
            continue;
        out += "||";
        if (i + 1 < text.size() && text[i + 1] == '`')
            ++i;
        while (i + 1 < text.size() && text[i + 1] == '`') {
            out += ' ';
            ++i;
        }
    }
    return out;
}

ConcCount parseConcCount(const QByteArray &text)
{
    ConcCount c;
    const qsizetype open = text.indexOf('(');
    const qsizetype dash = text.indexOf('-');
    const qsizetype close = text.indexOf(')');
    if (open >= 0 && dash > open)
        c.first = text.mid(open + 1, dash - open - 1);
    if (dash >= 0 && close > dash)
        c.last = text.mid(dash + 1, close - dash - 1);
    return c;
}

bool ExportReader::next(ExportLine *line)
{
    for (;;) {
        const qsizetype end = m_body.indexOf(LineEnd, m_pos);
        if (end < 0) {
            m_pos = m_body.size();
            return false;
        }
        const qsizetype from = m_pos;
        m_pos = end + 4;
        const qsizetype at = m_body.indexOf(LeftEnd, from);
        const qsizetype star = m_body.indexOf(RightStart, from);
        if (at < 0 || at > end || star < at || star > end)
            continue;
        ExportLine l;
        qsizetype fieldStart = from;
        for (;;) {
            const qsizetype f = m_body.indexOf(FieldEnd, fieldStart);
            if (f < 0 || f >= at)
                break;
            l.heading += m_body.mid(fieldStart, f - fieldStart).trimmed() + '/';
            fieldStart = f + MarkerSize;
        }
        l.left = m_body.mid(fieldStart, at - fieldStart).trimmed();
        QByteArray centre = m_body.mid(at + MarkerSize, star - at - MarkerSize);
        const qsizetype comma = centre.indexOf(',');
        if (comma >= 0)
            centre.remove(0, comma + 1);
        const qsizetype cut = centre.indexOf("$+$");
        if (cut >= 0)
            centre.truncate(cut);
        l.centre = centre.trimmed();
        l.right = m_body.mid(star + MarkerSize, end - star - MarkerSize).trimmed();
        *line = std::move(l);
        return true;
    }
}

QByteArray exportLineText(int number, const ExportLine &line, bool prose)
{
    return "     " + QByteArray::number(number) + ' ' + renderMarks(line.left, prose) + "  "
        + renderMarks(line.centre, prose) + "  " + renderMarks(line.right, prose);
}

} // namespace conccore
