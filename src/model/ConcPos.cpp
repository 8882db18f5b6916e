#include "ConcPos.h"

#include "StrictInt.h"

#include <algorithm>

// Keeping the text form within 255 bytes: the record itself puts no limit on the
// typed prefixes, but the framed form carries its length in one byte. When the
// written form would be longer, the prefixes of levels 1..5 are cut first, one
// byte at a time from the end of the longest, then CharFlags, and the prefix of
// level 0 (which carries the client version) last. The cutting affects only the
// written text; the record keeps what the user typed. Only absurd numbers in all
// fields at once can still exceed the limit with every text emptied; framed() then
// gives no record at all rather than a length byte that disagrees with its bytes.

tCConcPos::tCConcPos()
{
    Mark.fill('N');
}

namespace {

struct Texts {
    std::array<QByteArray, tCConcPos::Levels> request;
    QByteArray charFlags;
};

QByteArray num(qint32 v)
{
    return QByteArray::number(v);
}

QByteArray compose(const tCConcPos &p, const Texts &t)
{
    QByteArray out;
    out.reserve(256);
    for (int l = 0; l < tCConcPos::Levels; ++l) {
        out += "$(";
        out += p.Mark[l];
        out += num(p.CharNo[l]);
        out += ',';
        out += num(p.ValueNo[l] < 0 ? -1 : p.ValueNo[l]);
        out += p.Move[l];
        out += ',';
        out += num(p.Found[l]);
        out += ',';
        QByteArray req = t.request[l];
        req.replace(',', '.');
        out += req;
        out += ',';
        out += num(p.Distance[l]);
        if (l == 0) {
            out += ',';
            out += num(p.FirstLine);
            out += "++";
            out += num(p.Level);
            out += ',';
            out += t.charFlags;
            out += ',';
            out += num(p.CurLine);
        }
        out += ")$";
        out += l + 1 < tCConcPos::Levels ? ',' : ';';
    }
    return out;
}

// Bounds of the n-th comma (0-based) of `inner`; a missing comma sits just after
// the end.
std::array<qsizetype, 7> commaPositions(const QByteArray &inner, int &found)
{
    std::array<qsizetype, 7> c{};
    found = 0;
    qsizetype from = 0;
    for (int k = 0; k < 7; ++k) {
        const qsizetype at = from <= inner.size() ? inner.indexOf(',', from) : -1;
        if (at < 0) {
            for (int j = k; j < 7; ++j)
                c[j] = inner.size();
            return c;
        }
        c[k] = at;
        from = at + 1;
        ++found;
    }
    return c;
}

// The bytes strictly between positions a and b, empty when there are none.
QByteArrayView between(const QByteArray &s, qsizetype a, qsizetype b)
{
    const qsizetype from = qMin(a + 1, s.size());
    const qsizetype to = qMin(b, s.size());
    if (to <= from)
        return {};
    return QByteArrayView(s).sliced(from, to - from);
}

} // namespace

QByteArray tCConcPos::text()
{
    // Substitution rule: the record takes the server's number too.
    for (int l = 0; l < Levels; ++l) {
        if (SubstNo >= 0 && Level >= 0 && qint64(SubstBase) == qint64(CharNo[l]) + 1)
            CharNo[l] = SubstNo;
    }

    Texts t{Request, CharFlags};
    QByteArray out = compose(*this, t);
    qsizetype excess = out.size() - MaxTextLength;
    if (excess <= 0)
        return out;

    // Levels 1..5, longest first, one byte at a time.
    while (excess > 0) {
        int longest = -1;
        for (int l = 1; l < Levels; ++l) {
            if (!t.request[l].isEmpty()
                && (longest < 0 || t.request[l].size() > t.request[longest].size()))
                longest = l;
        }
        if (longest < 0)
            break;
        // Cut down to the next-longest length (or as far as needed) in one step;
        // the result equals cutting one byte at a time from the longest.
        qsizetype second = 0;
        for (int l = 1; l < Levels; ++l) {
            if (l != longest)
                second = std::max(second, t.request[l].size());
        }
        const qsizetype room = t.request[longest].size() - second;
        const qsizetype cut = std::max<qsizetype>(1, std::min(room, excess));
        t.request[longest].chop(cut);
        excess -= cut;
    }
    if (excess > 0) {
        const qsizetype cut = std::min(excess, t.charFlags.size());
        t.charFlags.chop(cut);
        excess -= cut;
    }
    if (excess > 0) {
        const qsizetype cut = std::min(excess, t.request[0].size());
        t.request[0].chop(cut);
        excess -= cut;
    }
    return compose(*this, t);
}

QByteArray tCConcPos::framed()
{
    const QByteArray t = text();
    if (t.size() > MaxTextLength)
        return {};
    QByteArray f;
    f.reserve(t.size() + 2);
    f += char(3);
    f += char(static_cast<unsigned char>(t.size()));
    f += t;
    return f;
}

void tCConcPos::readText(const QByteArray &textIn)
{
    QByteArray text = textIn;
    Level = -1;
    Move.fill(' ');

    int level = -1;
    for (int group = 0; group < Levels; ++group) {
        const qsizetype open = text.indexOf("$(");
        const qsizetype close = text.indexOf(")$");
        if (open < 0 || close < 0 || close < open + 2)
            break;
        // Blank the dollar signs so that the next search finds the next group.
        text[open] = ' ';
        text[close + 1] = ' ';
        const QByteArray inner = text.mid(open + 2, close - open - 2);

        ++level;
        Mark[level] = 'N';
        CharNo[level] = -1;
        ValueNo[level] = -1;
        Distance[level] = 0;
        Request[level].clear();

        int commas = 0;
        const auto c = commaPositions(inner, commas);
        if (!inner.isEmpty())
            Mark[level] = inner[0];

        const auto charNo = strictint::parse(between(inner, 0, c[0]));
        if (!charNo)
            continue;
        CharNo[level] = *charNo;

        // The move is the byte just before the second comma.
        const qsizetype movePos = c[1] - 1;
        if (movePos >= 0 && movePos < inner.size()) {
            const char m = inner[movePos];
            if (m == '-' || m == '+' || m == 'B' || m == 'E' || m == 'C')
                Move[level] = m;
        }
        const auto valueNo = strictint::parse(between(inner, c[0], movePos));
        if (!valueNo)
            continue;
        ValueNo[level] = *valueNo;

        const auto found = strictint::parse(between(inner, c[1], c[2]));
        if (!found)
            continue;
        Found[level] = *found;

        Request[level] = between(inner, c[2], c[3]).toByteArray();

        const auto distance = strictint::parse(between(inner, c[3], c[4]));
        if (!distance)
            continue;
        Distance[level] = *distance;

        if (commas < 7)
            continue;
        const qsizetype plus = inner.indexOf("++", c[4] + 1);
        if (plus < 0)
            continue;
        const auto firstLine = strictint::parse(between(inner, c[4], plus));
        if (!firstLine)
            continue;
        FirstLine = *firstLine;
        const auto lev = strictint::parse(between(inner, plus + 1, c[5]));
        if (!lev)
            continue;
        Level = *lev;
        CharFlags = between(inner, c[5], c[6]).toByteArray();
        const auto curLine = strictint::parse(between(inner, c[6], inner.size()));
        if (!curLine)
            continue;
        CurLine = *curLine;
    }
}

bool tCConcPos::readFramed(QByteArray &text)
{
    if (text.size() <= 2 || text[0] != char(3))
        return false;
    const int n = static_cast<unsigned char>(text[1]);
    readText(text.mid(2, n));
    text.remove(0, qMin<qsizetype>(text.size(), qsizetype(n) + 2));
    return true;
}

void tCConcPos::applyReplySubstitution()
{
    if (SubstBase <= 0)
        return;
    const int last = qMin(Level, Levels - 1);
    for (int l = 1; l <= last; ++l) {
        if (CharNo[l] == SubstNo)
            CharNo[l] = SubstBase - 1;
    }
}

bool tCConcPos::operator==(const tCConcPos &o) const
{
    return CharNo == o.CharNo && Mark == o.Mark && ValueNo == o.ValueNo
        && Distance == o.Distance && Request == o.Request && Found == o.Found
        && Level == o.Level && FirstLine == o.FirstLine && CurLine == o.CurLine
        && CharFlags == o.CharFlags && Move == o.Move && SubstNo == o.SubstNo
        && SubstBase == o.SubstBase && Spare == o.Spare;
}
