#include "FilterWiring.h"

#include "MainWindow.h"
#include "concordance/ConcPage.h"
#include "filters/ComposedFilterPage.h"
#include "filters/FilterPanel.h"

#include <QBoxLayout>
#include <QTabWidget>

namespace {

// The sub-page's own layout, made when nobody made one yet; `widget` goes on top.
void putOnTop(QWidget *page, QWidget *widget)
{
    if (!page->layout())
        new QVBoxLayout(page);
    if (auto *box = qobject_cast<QBoxLayout *>(page->layout()))
        box->insertWidget(0, widget, 1);
    else
        page->layout()->addWidget(widget);
}

} // namespace

void connectFilters(MainWindow &frame)
{
    ConcPage *page = frame.TS_Conc;
    auto *rows = new FilterPanel(*page, page->TS_Fltr);
    auto *composed = new ComposedFilterPage(*page, *rows, page->TS_FGrp);
    rows->setComposedPage(composed);
    putOnTop(page->TS_Fltr, rows);
    putOnTop(page->TS_FGrp, composed);

    ConcHooks &h = page->hooks();
    filtercore::FilterRows &r = rows->rows();
    h.filterOn = [&r] { return r.state().row(1).checked; };
    h.filterRowOneEnabled = [&r] { return r.state().row(1).enabled; };
    h.listPosX = [&r] { return r.state().listPosX; };
    h.filterRows = [&r] { return r.exportRows(); };
    h.applyFilterMarks = [page, rows, &r] {
        r.ApplyFilterMarks();
        if (const tCConcPos *c = page->state().CurrentConcPos.get())
            r.SetFilter(c->Level);
        rows->render();
    };
    h.fillRowCaptions = [rows, &r] {
        r.FillRowCaptions();
        rows->render();
    };
    h.syncFilterRows = [rows, &r] {
        r.SyncFilterRows();
        rows->render();
    };
    h.selectRowFilter = [composed](int charNo) { composed->SelectRowFilter(charNo); };
    h.filterColor = [rows] { return rows->filterColor(); };
    h.distanceEditFocused = [rows] { return rows->distanceEditFocused(); };
    h.filterSetTabActive = [page] { return page->PC_Fltrs->currentWidget() == page->TS_FGrp; };
    h.filterSetWideFull = [composed] { composed->M_Wide_FullClick(); };
    QObject::connect(page, &ConcPage::concordanceReset, rows, [rows, composed] {
        composed->reset();
        rows->reset();
    });

    // A history step restored the position: the rows show it before its reply comes
    // (the history's own wiring calls this after each restore).
    h.restoreFilterRows = [rows, &r] {
        r.restoreRows();
        rows->render();
    };
}
