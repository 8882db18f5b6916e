#pragma once
// tComposed_Filters_Set: named lists of values of one characteristic, gathered from
// the value list. Attached to a filter row, a list makes the row the condition "the
// characteristic takes any of these values"; the server receives it as the row's
// request text "**" + the values' numbers. The lists live only in memory, for the
// life of a connection. Pure: the page shows `filters` as LB_Filter_Chars and the
// current list's values as LB_Filter.
#include "concordance/core/ConcReplies.h"

#include <QByteArray>
#include <QList>

namespace filtercore {

struct ComposedValue {
    QByteArray text;              // the value-list line (1251)
    conccore::ListRecord rec;     // its own copy of the value's numbers
};

struct ComposedFilter {
    QByteArray line;              // its line in LB_Filter_Chars; empty while unnamed
    QByteArray charName;          // the characteristic's name; empty while unnamed
    int charObject = 0;           // the characteristic number + 1; 0 while unnamed
    bool hasValues = false;       // the value list exists (made on first selection)
    QList<ComposedValue> values;  // sorted by text, no text twice
    bool named() const { return charObject != 0; }
};

class tComposed_Filters_Set {
public:
    // The lines (LB_Filter_Chars with the parallel Characteristics entries).
    QList<ComposedFilter> filters;
    int selected = -1;        // the selected line of LB_Filter_Chars
    int current = -1;         // LB_Filter's tag: the list whose values it shows
    int valueSelected = -1;   // the selected value of LB_Filter
    int Counter = 0;          // number of the next list that gets named; only grows

    // Makes line `index` current (its value list made when it has none), its first
    // value selected. False for an index outside the lines.
    bool SelectFilter(int index);
    // A valid selection (the last line, or a fresh unnamed list when there is
    // none), then SelectFilter(index), or of the selection when index is invalid.
    bool EnsureFilter(int index);
    // The list named for characteristic `charNo`, else the first unnamed one, else
    // a new unnamed one, becomes current.
    bool SelectFilterForCharacteristic(const QByteArray &charName, int charNo);
    // Adds a value to the current list, naming the selected list first when it is
    // unnamed ("СостФильтр" + Counter + " - " + name). False with no selection.
    bool AddValue(const QByteArray &text, const conccore::ListRecord &rec, int charNo,
                  const QByteArray &charName);
    bool DeleteValue();
    bool ClearFilterValues();
    bool DeleteCurrentFilter();
    bool DeleteFilter(int index);
    // DeleteFilter of the selection; the last line left becomes current. On false
    // the caller reports "Неудачная попытка удалить составной фильтр номер " + index.
    bool DeleteSelectedFilter();
    bool DeleteAllFilters();
    // "Новый фильтр": a new list already named for the characteristic, current.
    void NewFilter(const QByteArray &charName, int charNo);

    // The values LB_Filter shows (none when no list is current).
    const QList<ComposedValue> &currentValues() const;
    bool validIndex(int index) const { return index >= 0 && index < filters.size(); }
    // "**" + the values' AlphaNo numbers joined by ",": a row's request text.
    QByteArray requestText(int index) const;
    // The values' texts joined by ",": a row's caption after " = ".
    QByteArray valuesText(int index) const;

private:
    void appendUnnamed();
};

} // namespace filtercore
