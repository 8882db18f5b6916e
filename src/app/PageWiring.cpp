#include "PageWiring.h"

#include "MainWindow.h"
#include "Watchdog.h"
#include "SessionController.h"
#include "ServerLogPage.h"
#include "LocalLinkSession.h"
#include "concordance/ConcDictLinks.h"
#include "concordance/ConcPage.h"
#include "dictionary/DictPage.h"
#include "dictionary/UsagePanel.h"
#include "filters/CharListPage.h"
#include "filters/ComposedFilterPage.h"
#include "filters/FilterPanel.h"
#include "filters/FilterSide.h"
#include "filters/HistoryButtons.h"
#include "filters/HistoryNavigation.h"
#include "text/TextPanel.h"

#include <QAction>
#include <QBoxLayout>
#include <QTabWidget>

PagePanels::PagePanels() = default;
PagePanels::PagePanels(PagePanels &&) noexcept = default;
PagePanels &PagePanels::operator=(PagePanels &&) noexcept = default;
PagePanels::~PagePanels() = default;

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

// Adds `w` at the end of `page`'s layout; on a page with none yet, at its foot.
void appendTo(QWidget *page, QWidget *w)
{
    if (!page->layout())
        (new QVBoxLayout(page))->addStretch(1);
    page->layout()->addWidget(w);
}

void makeSubPages(MainWindow &frame, ConcPage *conc, PagePanels &p)
{
    p.text = new TextPanel(frame, conc->TS_Conc_T);
    conc->placeTextSubPage(p.text);
    p.usage = new UsagePanel(frame, conc->TS_Conc_D);
    p.usage->adoptEntryTree(conc->TreeDOx);
    conc->placeUsageSubPage(p.usage);
}

void makeFilterPages(MainWindow &frame, ConcPage *conc, PagePanels &p)
{
    p.filterRows = new FilterPanel(frame, *conc, *p.text, conc->TS_Fltr);
    p.composed = new ComposedFilterPage(frame, *conc, *p.filterRows, conc->TS_FGrp);
    p.filterRows->setComposedPage(p.composed);
    putOnTop(conc->TS_Fltr, p.filterRows);
    putOnTop(conc->TS_FGrp, p.composed);
    QObject::connect(conc->PC_Fltrs, &QTabWidget::currentChanged, p.composed,
                     &ComposedFilterPage::PC_FltrsChange);

    p.historyButtons = new HistoryButtons(*frame.historyNavigation(), conc->TS_Fltr, conc->TS_FGrp);
    appendTo(conc->TS_Fltr, p.historyButtons->panelStrip);
    appendTo(conc->TS_FGrp, p.historyButtons->setStrip);
    p.lists = new CharListPage(frame, *conc, conc->TS_CharList, conc->CB_DST,
                               [&frame] { return frame.F_ListSel; });
    p.filters = std::make_unique<FilterSide>(*p.filterRows, *p.composed, *p.lists);
}

void connectNeighbours(MainWindow &frame, ConcPage *conc, DictPage *dict, PagePanels &p)
{
    HistoryNavigation *nav = frame.historyNavigation();
    conc->connectNeighbours({p.text, p.usage, dict, p.filters.get(), nav});
    p.text->connectNeighbours({conc, p.filters.get(), dict, p.usage});
    p.usage->connectNeighbours(conc, dict);
    nav->connectNeighbours(conc, p.filters.get());
    // The dictionary browser shows entries and a line's dictionary links on the
    // concordance page through the page's own operations.
    dict->setConcordanceView(conc->dictView());
}

// The signals between the pages, and the frame's font commands.
void connectSignals(MainWindow &frame, ConcPage *conc, DictPage *dict, PagePanels &p)
{
    QObject::connect(conc->dictView(), &ConcDictLinks::entryLinkClicked, dict, &DictPage::TreeDOxClick);
    QObject::connect(conc->dictView(), &ConcDictLinks::linkChosen, dict, &DictPage::RBD1Click);
    QObject::connect(conc->dictView(), &ConcDictLinks::hierarchyToggled, dict, &DictPage::CB_DSTClick);
    QObject::connect(dict, &DictPage::concordanceTied, conc, &ConcPage::tieToEntry);
    // The concordance set-up resets the dictionary side, then the filter pages.
    QObject::connect(conc, &ConcPage::concordanceReset, dict, &DictPage::concordanceReset);
    FilterPanel *rows = p.filterRows;
    ComposedFilterPage *composed = p.composed;
    QObject::connect(conc, &ConcPage::concordanceReset, rows, [rows, composed] {
        composed->reset();
        rows->reset();
    });
    HistoryButtons *buttons = p.historyButtons;
    CharListPage *lists = p.lists;
    QObject::connect(conc, &ConcPage::concordanceReset, buttons, [buttons, lists] {
        buttons->reset();
        lists->reset();
    });
    QObject::connect(frame.M_Font, &QAction::triggered, conc, &ConcPage::M_FontClick);
    QObject::connect(frame.M_ConcFont, &QAction::triggered, conc, [conc] { conc->M_FontTClick(conc->fontTTag()); });
    QAction *concFont = frame.M_ConcFont;
    QObject::connect(conc, &ConcPage::fontTChanged, concFont, [concFont](const QString &caption, int tag) {
        concFont->setText(caption);
        concFont->setProperty("tag", tag);
    });
}

} // namespace

PagePanels wirePages(MainWindow &frame)
{
    ConcPage *conc = frame.TS_Conc;
    DictPage *dict = frame.TS_Dict;
    PagePanels p;
    makeSubPages(frame, conc, p);
    makeFilterPages(frame, conc, p);
    connectNeighbours(frame, conc, dict, p);
    connectSignals(frame, conc, dict, p);
    return p;
}
