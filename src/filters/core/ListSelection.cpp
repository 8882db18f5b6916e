#include "ListSelection.h"

namespace filtercore {

namespace {

char patternAt(const QByteArray &pattern, int i)
{
    return i < pattern.size() ? pattern[i] : ' ';
}

bool rankOne(char c)
{
    return c == '1' || c == 'X';
}

} // namespace

std::optional<ListSelSetup> prepareListSelection(const QByteArray &groupLine, const QByteArray &optionValue,
                                                 int charCount)
{
    const qsizetype dash = groupLine.indexOf(" - ");
    if (dash < 0)
        return std::nullopt;
    ListSelSetup s;
    s.name = groupLine.left(dash);
    const QByteArray pattern = groupLine.mid(dash + 3);
    const int usable = qBound(0, charCount, CodableCharacteristics);

    QByteArray raw = optionValue;
    if (!raw.isEmpty() && uchar(raw[0]) > 199)
        for (char &b : raw)
            b = char(uchar(b) + 56);   // less 200, modulo 256
    for (const char b : raw)
        if (uchar(b) < usable && !s.selection.contains(b))
            s.selection += b;
    s.fromOption = !s.selection.isEmpty();
    if (!s.fromOption) {
        for (char d = '1'; d <= '9'; ++d)
            for (int i = 0; i < usable; ++i) {
                const char c = patternAt(pattern, i);
                if (c == d || (d == '1' && c == 'X'))
                    s.selection += char(i);
            }
    }
    // A rank-one characteristic left out of the selection can be chosen again.
    for (int i = 0; i < qMax(charCount, 0); ++i) {
        const char c = patternAt(pattern, i);
        const bool offerable = c == '*' || (rankOne(c) && !s.selection.contains(char(i)));
        if (i >= usable)
            s.markers.append(NotOffered);
        else if (offerable)
            s.markers.append(i + 1);
        else
            s.markers.append(s.fromOption ? NotOffered : PatternOffered);
    }
    return s;
}

void ListSelection::open(const QList<int> &markers, const QByteArray &selection)
{
    m_saved = selection;
    m_selection = selection;
    m_offered.clear();
    for (int i = 0; i < markers.size(); ++i)
        m_offered.append(markers[i] < NotOffered && !selection.contains(char(i)));
}

QList<int> ListSelection::offered() const
{
    QList<int> out;
    for (int i = 0; i < m_offered.size(); ++i)
        if (m_offered[i])
            out.append(i);
    return out;
}

QByteArray ListSelection::availability() const
{
    QByteArray out(m_offered.size(), ' ');
    for (int i = 0; i < m_offered.size(); ++i)
        if (m_offered[i])
            out[i] = char(i);
    return out;
}

bool ListSelection::select(int charNo)
{
    if (charNo < 0 || charNo >= m_offered.size() || !m_offered[charNo])
        return false;
    m_selection += char(charNo);
    m_offered[charNo] = false;
    return true;
}

bool ListSelection::remove(int charNo)
{
    const qsizetype at = charNo >= 0 && charNo < 256 ? m_selection.indexOf(char(charNo)) : -1;
    if (at < 0)
        return false;
    m_selection.remove(at, 1);
    if (charNo < m_offered.size())
        m_offered[charNo] = true;
    return true;
}

bool ListSelection::moveUp(int index)
{
    if (index < 1 || index >= m_selection.size())
        return false;
    std::swap(m_selection[index], m_selection[index - 1]);
    return true;
}

bool ListSelection::moveDown(int index)
{
    return moveUp(index + 1);
}

void ListSelection::selectAll()
{
    for (const int c : offered())
        select(c);
}

void ListSelection::clear()
{
    for (const char c : std::as_const(m_selection))
        if (uchar(c) < m_offered.size())
            m_offered[uchar(c)] = true;
    m_selection.clear();
}

void ListSelection::cancel()
{
    m_selection = m_saved;
}

QByteArray groupCodeOf(const QByteArray &selection)
{
    QByteArray code = selection;
    for (char &b : code)
        b = char(uchar(b) + 200);
    return code;
}

} // namespace filtercore
