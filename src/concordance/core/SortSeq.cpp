#include "SortSeq.h"

#include "model/Cp1251.h"

namespace conccore {

const QList<QByteArray> &sortEntries()
{
    static const QList<QByteArray> entries{
        cp1251::ru("центральное + слева + справа - CLR"), cp1251::ru("центральное + справа + слева - CRL"),
        cp1251::ru("слева + центральное + справа - LCR"), cp1251::ru("слева + справа + центральное - LRC"),
        cp1251::ru("справа + центральное + слева - RCL"), cp1251::ru("справа + слева + центральное - RLC"),
    };
    return entries;
}

QByteArray codeOfEntry(const QByteArray &entry)
{
    return entry.right(3);
}

int entryOfCode(const QByteArray &code)
{
    if (code.isEmpty())
        return -1;
    const QList<QByteArray> &entries = sortEntries();
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].contains(code))
            return i;
    return -1;
}

QByteArray sortDescription(const QByteArray &code)
{
    QByteArray d;
    for (const char c : code) {
        if (c == 'C')
            d += cp1251::ru("центр. + ");
        else if (c == 'L')
            d += cp1251::ru("слева + ");
        else if (c == 'R')
            d += cp1251::ru("справа + ");
    }
    if (d.size() > 1)
        d[d.size() - 2] = ' ';
    return d;
}

QByteArray sortButtonCaption(const QByteArray &code)
{
    return cp1251::ru("Сортировка : ") + sortDescription(code);
}

void SortDialogState::open()
{
    okVisible = false;
    if (selected < 0)
        selected = 0;
    if (chosen.isEmpty())
        chosen = codeOfEntry(sortEntries().at(selected));
    const int e = entryOfCode(chosen);
    if (e >= 0)
        selected = e;
    opening = codeOfEntry(sortEntries().at(selected));
}

void SortDialogState::select(int index)
{
    if (index < 0 || index >= sortEntries().size())
        return;
    selected = index;
    chosen = codeOfEntry(sortEntries().at(index));
    okVisible = chosen != opening;
}

} // namespace conccore
