#include "HistoryListsWiring.h"

#include "MainWindow.h"
#include "concordance/ConcPage.h"
#include "filters/CharListPage.h"
#include "filters/HistoryButtons.h"
#include "filters/HistoryNavigation.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Adds `w` at the end of `page`'s layout; on a page with none yet, at its foot.
void appendTo(QWidget *page, QWidget *w)
{
    if (!page->layout())
        (new QVBoxLayout(page))->addStretch(1);
    page->layout()->addWidget(w);
}

} // namespace

void wireHistoryAndLists(MainWindow &frame)
{
    ConcPage *page = frame.TS_Conc;
    ConcHooks &h = page->hooks();
    HistoryNavigation *nav = frame.historyNavigation();

    auto *buttons = new HistoryButtons(*nav, page->TS_Fltr, page->TS_FGrp);
    appendTo(page->TS_Fltr, buttons->panelStrip);
    appendTo(page->TS_FGrp, buttons->setStrip);
    nav->beforeStep = [page] { page->PC_Fltrs->setCurrentWidget(page->TS_Fltr); };
    nav->afterRestore = [page] {
        if (page->hooks().restoreFilterRows)
            page->hooks().restoreFilterRows();
    };
    nav->wordListPane = [page] { page->activateWordList(); };
    nav->lowerPane = [page] { page->activateLowerZone(); };

    auto *lists = new CharListPage(frame, *page, page->TS_CharList, page->CB_DST,
                                   [&frame] { return frame.F_ListSel; });
    h.groupsChanged = [lists](const QList<conccore::Group> &groups) { lists->groupsChanged(groups); };
    h.selectGroupZero = [lists] { lists->selectGroupZero(); };

    QObject::connect(page, &ConcPage::concordanceReset, buttons, [buttons, lists] {
        buttons->reset();
        lists->reset();
    });
}
