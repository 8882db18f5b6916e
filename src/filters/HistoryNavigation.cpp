#include "HistoryNavigation.h"

#include "concordance/api/ConcordanceView.h"
#include "filters/api/FilterRowsView.h"
#include "session/Neighbour.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "filters/core/HistoryNav.h"

HistoryNavigation::HistoryNavigation(PageHost &host, QObject *parent)
    : QObject(parent), m_host(host)
{
}

void HistoryNavigation::connectNeighbours(ConcordanceView *conc, FilterRowsView *filters)
{
    m_conc = &neighbour(conc, "The history", "concordance page");
    m_filters = &neighbour(filters, "The history", "filter rows");
}

ConcordanceView &HistoryNavigation::conc() const { return neighbour(m_conc, "The history", "concordance page"); }
FilterRowsView &HistoryNavigation::filters() const { return neighbour(m_filters, "The history", "filter rows"); }

void HistoryNavigation::stepBack(bool skip)
{
    m_skip = skip;
    B_FBackClick();
    m_skip = false;
}

void HistoryNavigation::B_FBackClick()
{
    SessionState &s = m_host.state();
    const filtercore::StepPlan plan = filtercore::stepBack(s.History, m_skip);
    if (plan.started)
        conc().showFilterRowsPage();
    if (!plan.go)
        return;
    RestoreFromHistory(plan.text);
    m_host.startReplay(plan.queue, plan.tag, plan.text);
}

void HistoryNavigation::B_FNextClick()
{
    SessionState &s = m_host.state();
    const filtercore::StepPlan plan = filtercore::stepForward(s.History);
    if (plan.started)
        conc().showFilterRowsPage();
    if (!plan.go)
        return;
    RestoreFromHistory(plan.text);
    m_host.startReplay(plan.queue, plan.tag, plan.text);
    s.History.HistoryPos = plan.historyPosAfter;
}

bool HistoryNavigation::RestoreFromHistory(const QByteArray &text)
{
    SessionState &s = m_host.state();
    if (!s.CurrentConcPos)
        return false;
    if (!filtercore::restoreFromHistory(text, s.currentDictPos(), *s.CurrentConcPos, s.Options))
        return false;
    filters().restoreRows();
    return true;
}

void HistoryNavigation::B_FMarkClick()
{
    SessionState &s = m_host.state();
    s.Buffer.append(filtercore::dumpHistory(s.History));
}

bool HistoryNavigation::BB_FBackKeyDown(int key)
{
    if (key == Qt::Key_Left) {
        conc().activateWordList();
        return true;
    }
    if (key == Qt::Key_Right) {
        conc().activateLowerZone();
        return true;
    }
    return false;
}
