#pragma once
// The filter pages as the concordance page and the text view see them: the five
// filter rows (FilterPanel), the composed filter sets (ComposedFilterPage) and the
// list settings with the groups (CharListPage), behind one set of named operations.
#include "filters/api/FilterRowsView.h"

class CharListPage;
class ComposedFilterPage;
class FilterPanel;

class FilterSide : public FilterRowsView {
public:
    FilterSide(FilterPanel &rows, ComposedFilterPage &composed, CharListPage &lists);

    bool filterOn() const override;
    bool rowOneEnabled() const override;
    bool listPosX() const override;
    void uncheckListPosX() override;
    conccore::FilterRows exportRows() const override;
    QColor filterColor() const override;
    bool distanceEditFocused() const override;
    void syncRows() override;
    void applyFilterMarks() override;
    void fillRowCaptions() override;
    void restoreRows() override;
    void selectRowFilter(int charNo) override;
    void filterSetWideFull() override;
    void groupsChanged(const QList<conccore::Group> &groups) override;
    void selectGroupZero() override;

private:
    FilterPanel &m_panel;
    ComposedFilterPage &m_composed;
    CharListPage &m_lists;
};
