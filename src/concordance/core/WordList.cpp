#include "WordList.h"

#include "model/Cp1251.h"
#include "model/StrictInt.h"

namespace conccore {

namespace {
constexpr char Orders[] = "ABQ";

QByteArray num(qint64 n)
{
    return QByteArray::number(n);
}
} // namespace

QByteArray sortLetter(int index)
{
    return index >= 0 && index < 3 ? QByteArray(1, Orders[index]) : QByteArray("A");
}

int sortIndex(const QByteArray &SortD)
{
    return SortD.isEmpty() ? -1 : int(QByteArray(Orders).indexOf(SortD));
}

QByteArray quantCaption(qint32 charNo, int index)
{
    if (index >= 0 && index < 3 && Orders[index] == 'Q')
        return cp1251::ru("Частота словоупотр.");
    return charNo > 1 ? cp1251::ru("Объём(словоупотр.)") : cp1251::ru("Кол.словоупотр.");
}

QByteArray frequencySuffix(const ListRecord &r, bool filterOn)
{
    QByteArray s = cp1251::ru(" ,НА=") + num(qint64(r.AlphaNo) + 1);
    if (filterOn)
        s += cp1251::ru(" ,НФЧ=") + num(qint64(r.FilterNo) + 1);
    return s + cp1251::ru(" ,НЧ=") + num(qint64(r.FreqNo) + 1);
}

QByteArray withFrequencySuffix(const QByteArray &text, const ListRecord &r, bool filterOn)
{
    if (text.contains(cp1251::ru(",НЧ=")))
        return text;
    return text + frequencySuffix(r, filterOn);
}

Numbering numbering(const ListRecord &r, const QByteArray &SortD, bool filterOn)
{
    const qint64 alpha = qint64(r.AlphaNo) + 1;
    const qint64 filtered = qint64(r.FilterNo) + 1;
    const qint64 freq = qint64(r.FreqNo) + 1;
    const bool byFrequency = SortD == "Q";
    Numbering n;
    if (!byFrequency && !filterOn) {
        n.text = cp1251::ru(" Ном.в слов.") + num(alpha);
        n.first = alpha;
    } else if (!byFrequency) {
        n.text = cp1251::ru(" Ном.в фильт.слов.") + num(filtered) + cp1251::ru(", в алф.словаре ") + num(alpha);
        n.first = filtered;
    } else if (!filterOn) {
        n.text = cp1251::ru(" Ном.в част.слов.") + num(freq) + cp1251::ru(", в алф.словаре ") + num(alpha);
        n.first = freq;
    } else {
        n.text = cp1251::ru(" Ном.в част.фильт.слов.") + num(filtered) + cp1251::ru(", в част.слов.") + num(freq);
        n.first = filtered;
    }
    return n;
}

QByteArray wncCaption(int itemCount, qint32 total, const Numbering &n)
{
    return cp1251::ru("Показано ") + num(itemCount) + cp1251::ru(" из ") + num(total) + ", " + n.text;
}

bool atListEnd(const Numbering &n, int itemCount, int itemIndex, qint32 total)
{
    return n.first - 1 + itemCount - itemIndex == qint64(total);
}

QByteArray ordinaryListPos(bool listPosX, const QByteArray &L_Req)
{
    return listPosX && L_Req.isEmpty() ? QByteArray("TOP") : QByteArray();
}

std::optional<QByteArray> stepConcWidth(const QByteArray &concWidth, int step)
{
    const qint32 w = strictint::parse(concWidth).value_or(DefaultConcWidth);
    if (step > 0 && w < MaxConcWidth)
        return num(qint64(w) + 1);
    if (step < 0 && w > MinConcWidth)
        return num(qint64(w) - 1);
    return std::nullopt;
}

QByteArray shownConcWidth(const QByteArray &concWidth)
{
    return num(strictint::parse(concWidth).value_or(DefaultConcWidth));
}

Typed typeKey(char key, QByteArray &L_Req, tCConcPos &conc, OptionList &options, bool alphabetical)
{
    if (conc.Level <= 0 || conc.Level >= tCConcPos::Levels)
        conc.Level = 1;
    const size_t level = size_t(conc.Level);
    const char c = key == '=' ? '+' : key;
    bool widthKey = false;
    if (c == '+' || (c == '-' && L_Req.isEmpty())) {
        widthKey = true;
        if (const std::optional<QByteArray> w = stepConcWidth(options.value("ConcWidth"), c == '+' ? 1 : -1))
            options.set("ConcWidth", *w);
    }
    Typed t;
    const bool printable = uchar(c) >= uchar(' ');
    if (c == '$') {
        // No value holds "$" (the server writes it as another sign), and in a
        // request it would read as the end of the position's field.
        t.consumed = true;
        t.then = TypedThen::Nothing;
        return t;
    }
    if (c == '#') {
        conc.Request[level].clear();
        L_Req.clear();
        conc.ValueNo[level] = 0;
        t.consumed = true;
    } else if (c == KeyBackspace && !L_Req.isEmpty()) {
        L_Req.chop(1);
        conc.Request[level] = L_Req;
        t.consumed = true;
    } else if ((printable && c != '+' && c != '-') || (c == '-' && !L_Req.isEmpty())) {
        if (!alphabetical) {
            L_Req.clear();
            t.then = TypedThen::Nothing;
            return t;
        }
        QByteArray r = L_Req + c;
        const qsizetype stars = r.indexOf("**");
        if (stars >= 0)
            r.remove(stars, 1);
        conc.Request[level] = r;
        L_Req = r;
        t.consumed = true;
    } else if (widthKey) {
        t.then = TypedThen::Context;
        return t;
    }
    t.then = c == KeyEnter && !t.consumed ? TypedThen::OpenText : TypedThen::SendList;
    return t;
}

Paging listKey(ListKey key, int row, int count, bool atEnd)
{
    Paging p;
    auto listPos = [&p](const char *pos) {
        p.kind = Paging::Kind::ListPos;
        p.listPos = pos;
    };
    switch (key) {
    case ListKey::PageUp:
        p.kind = Paging::Kind::Prev;
        p.consumed = true;
        break;
    case ListKey::Up:
        if (row == 0)
            listPos("PREV");
        break;
    case ListKey::Down:
        if (count > 0 && row == count - 1) {
            if (atEnd)
                p.consumed = true;
            else
                listPos("NEXT");
        }
        break;
    case ListKey::PageDown:
        p.consumed = true;
        if (!atEnd)
            p.kind = Paging::Kind::Next;
        break;
    case ListKey::End:
        p.consumed = true;
        if (!atEnd)
            listPos("END");
        break;
    case ListKey::Home:
        p.consumed = true;
        listPos("TOP");
        break;
    case ListKey::Other:
        break;
    }
    return p;
}

Scroll scrollEvent(ScrollState &state, ScrollCode code, int position, bool pending, bool lineCodes)
{
    Scroll s;
    if (pending) {
        s.act = Scroll::Act::Progress;
        s.keepThumb = code != ScrollCode::ThumbPress && code != ScrollCode::ThumbTrack;
        return s;
    }
    switch (code) {
    case ScrollCode::LineUp:
    case ScrollCode::LineDown:
        s.keepThumb = true;
        state.remembered = position;
        if (lineCodes)
            s.act = code == ScrollCode::LineUp ? Scroll::Act::LineUp : Scroll::Act::LineDown;
        return s;
    case ScrollCode::PageUp:
    case ScrollCode::PageDown:
        s.keepThumb = true;
        state.remembered = position;
        state.pageClick = true;
        s.act = code == ScrollCode::PageUp ? Scroll::Act::PagePrev : Scroll::Act::PageNext;
        return s;
    case ScrollCode::ThumbPress:
        state.remembered = position;
        return s;
    case ScrollCode::ThumbTrack:
        return s;
    case ScrollCode::EndScroll:
        if (position != state.remembered && !state.pageClick) {
            s.act = Scroll::Act::Position;
            s.position = position;
        } else {
            state.pageClick = false;
        }
        state.remembered = -1;
        return s;
    }
    return s;
}

} // namespace conccore
