#include "FilterSide.h"

#include "CharListPage.h"
#include "ComposedFilterPage.h"
#include "FilterPanel.h"
#include "filters/core/FilterRows.h"
#include "session/SessionState.h"


FilterSide::FilterSide(FilterPanel &rows, ComposedFilterPage &composed, CharListPage &lists)
    : m_panel(rows), m_composed(composed), m_lists(lists)
{
}

bool FilterSide::filterOn() const { return m_panel.rows().state().row(1).checked; }
bool FilterSide::rowOneEnabled() const { return m_panel.rows().state().row(1).enabled; }
bool FilterSide::listPosX() const { return m_panel.rows().state().listPosX; }

void FilterSide::uncheckListPosX()
{
    m_panel.rows().setListPosX(false);
    m_panel.render();
}

conccore::FilterRows FilterSide::exportRows() const { return m_panel.rows().exportRows(); }
QColor FilterSide::filterColor() const { return m_panel.filterColor(); }
bool FilterSide::distanceEditFocused() const { return m_panel.distanceEditFocused(); }

void FilterSide::syncRows()
{
    m_panel.rows().SyncFilterRows();
    m_panel.render();
}

void FilterSide::applyFilterMarks()
{
    filtercore::FilterRows &r = m_panel.rows();
    r.ApplyFilterMarks();
    if (const tCConcPos *c = m_panel.state().CurrentConcPos.get())
        r.SetFilter(c->Level);
    m_panel.render();
}

void FilterSide::fillRowCaptions()
{
    m_panel.rows().FillRowCaptions();
    m_panel.render();
}

void FilterSide::restoreRows()
{
    m_panel.rows().restoreRows();
    m_panel.render();
}

void FilterSide::selectRowFilter(int charNo) { m_composed.SelectRowFilter(charNo); }
void FilterSide::filterSetWideFull() { m_composed.M_Wide_FullClick(); }
void FilterSide::groupsChanged(const QList<conccore::Group> &groups) { m_lists.groupsChanged(groups); }
void FilterSide::selectGroupZero() { m_lists.selectGroupZero(); }
