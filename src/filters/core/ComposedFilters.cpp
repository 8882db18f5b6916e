#include "ComposedFilters.h"

#include "model/Cp1251.h"

#include <QString>

namespace filtercore {

namespace {

// Lists sort by their texts as the user reads them: letters without regard to case,
// then the bytes, so that two different texts never compare equal.
bool textBefore(const QByteArray &a, const QByteArray &b)
{
    const int c = QString::compare(cp1251::decode(a), cp1251::decode(b), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

} // namespace

void tComposed_Filters_Set::appendUnnamed()
{
    filters.append(ComposedFilter());
}

bool tComposed_Filters_Set::SelectFilter(int index)
{
    if (!validIndex(index))
        return false;
    ComposedFilter &f = filters[index];
    f.hasValues = true;
    current = index;
    valueSelected = f.values.isEmpty() ? -1 : 0;
    selected = index;
    return true;
}

bool tComposed_Filters_Set::EnsureFilter(int index)
{
    if (!validIndex(selected))
        selected = int(filters.size()) - 1;
    if (filters.isEmpty()) {
        appendUnnamed();
        filters.last().hasValues = true;
        selected = 0;
    }
    SelectFilter(validIndex(index) ? index : selected);
    return true;
}

bool tComposed_Filters_Set::SelectFilterForCharacteristic(const QByteArray &charName, int charNo)
{
    Q_UNUSED(charName);
    if (filters.isEmpty()) {
        appendUnnamed();
        selected = 0;
    }
    for (int i = 0; i < filters.size(); ++i) {
        if (filters[i].charObject == charNo + 1 || filters[i].charObject == 0) {
            selected = i;
            SelectFilter(i);
            return true;
        }
    }
    appendUnnamed();
    selected = int(filters.size()) - 1;
    SelectFilter(selected);
    return true;
}

bool tComposed_Filters_Set::AddValue(const QByteArray &text, const conccore::ListRecord &rec, int charNo,
                                     const QByteArray &charName)
{
    if (!validIndex(selected))
        return false;
    ComposedFilter &named = filters[selected];
    if (!named.named()) {
        named.charName = charName;
        named.charObject = charNo + 1;
        named.line = cp1251::ru("СостФильтр") + QByteArray::number(Counter) + " - " + charName;
        ++Counter;
    }
    if (!validIndex(current))
        SelectFilter(selected);
    QList<ComposedValue> &values = filters[current].values;
    int at = 0;
    while (at < values.size() && textBefore(values[at].text, text))
        ++at;
    if (at >= values.size() || values[at].text != text)
        values.insert(at, ComposedValue{text, rec});
    valueSelected = at;
    return true;
}

bool tComposed_Filters_Set::DeleteValue()
{
    if (!validIndex(current) || valueSelected < 0 || valueSelected >= filters[current].values.size())
        return false;
    QList<ComposedValue> &values = filters[current].values;
    values.removeAt(valueSelected);
    valueSelected = values.isEmpty() ? -1 : qMin(valueSelected, int(values.size()) - 1);
    return true;
}

bool tComposed_Filters_Set::ClearFilterValues()
{
    if (!SelectFilter(selected))
        return false;
    filters[selected].values.clear();
    valueSelected = -1;
    return true;
}

bool tComposed_Filters_Set::DeleteCurrentFilter()
{
    if (!ClearFilterValues())
        return false;
    filters.removeAt(selected);
    current = -1;
    valueSelected = -1;
    if (!filters.isEmpty())
        selected = int(filters.size()) - 1;
    else
        EnsureFilter(-1);
    return true;
}

bool tComposed_Filters_Set::DeleteFilter(int index)
{
    if (!validIndex(index))
        return false;
    selected = index;
    return DeleteCurrentFilter();
}

bool tComposed_Filters_Set::DeleteSelectedFilter()
{
    if (!DeleteFilter(selected))
        return false;
    if (!filters.isEmpty())
        SelectFilter(int(filters.size()) - 1);
    return true;
}

bool tComposed_Filters_Set::DeleteAllFilters()
{
    // The window closes or the session starts anew: nothing of the lists is kept,
    // so no list can stay current without its line.
    filters.clear();
    selected = current = valueSelected = -1;
    return true;
}

void tComposed_Filters_Set::NewFilter(const QByteArray &charName, int charNo)
{
    ComposedFilter f;
    f.charName = charName;
    f.charObject = charNo + 1;
    // Named from the start: it gets its label now, as the first value would give it.
    f.line = cp1251::ru("СостФильтр") + QByteArray::number(Counter++) + " - " + charName;
    filters.append(f);
    selected = int(filters.size()) - 1;
    EnsureFilter(-1);
}

const QList<ComposedValue> &tComposed_Filters_Set::currentValues() const
{
    static const QList<ComposedValue> none;
    return validIndex(current) ? filters[current].values : none;
}

QByteArray tComposed_Filters_Set::requestText(int index) const
{
    QByteArray out = "**";
    if (!validIndex(index))
        return out;
    const QList<ComposedValue> &values = filters[index].values;
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += ',';
        out += QByteArray::number(values[i].rec.AlphaNo);
    }
    return out;
}

QByteArray tComposed_Filters_Set::valuesText(int index) const
{
    QByteArray out;
    if (!validIndex(index))
        return out;
    for (const ComposedValue &v : filters[index].values) {
        if (!out.isEmpty())
            out += ',';
        out += v.text;
    }
    return out;
}

} // namespace filtercore
