#pragma once
// What the filter pages do for the concordance page and the text view: the state
// of the five filter rows, their captions and marks, the composed filter sets and
// the list groups. The filter pages implement it; the main window hands it on.
#include "concordance/core/ConcExport.h"
#include "concordance/core/ConcReplies.h"

#include <QColor>
#include <QList>

class FilterRowsView {
public:
    virtual ~FilterRowsView() = default;

    // ---- The rows' state.
    virtual bool filterOn() const = 0;          // the first row is checked
    virtual bool rowOneEnabled() const = 0;
    virtual bool listPosX() const = 0;          // "В начало"
    virtual void uncheckListPosX() = 0;
    // The rows and CB_Perm as the export headers show them.
    virtual conccore::FilterRows exportRows() const = 0;
    virtual QColor filterColor() const = 0;
    // The distance edit has the keyboard ("+" and "-" are its own then).
    virtual bool distanceEditFocused() const = 0;

    // ---- Following the query.
    // Every reply, before its tag's handler: the rows follow the options.
    virtual void syncRows() = 0;
    // The marks of the value list's filters, and the rows of the current level.
    virtual void applyFilterMarks() = 0;
    // A list was chosen from the text view: the rows' captions anew.
    virtual void fillRowCaptions() = 0;
    // A history step restored the position: rows up to its level shown.
    virtual void restoreRows() = 0;
    // The current characteristic's row in the composed filter page.
    virtual void selectRowFilter(int charNo) = 0;
    // "M_Wide_Full" while the filter-set page is shown.
    virtual void filterSetWideFull() = 0;

    // ---- The list groups ("CN_Cx").
    virtual void groupsChanged(const QList<conccore::Group> &groups) = 0;
    virtual void selectGroupZero() = 0;
};
