#include "HistoryNavigation.h"

#include "app/PageHost.h"
#include "app/SessionState.h"
#include "filters/core/HistoryNav.h"

HistoryNavigation::HistoryNavigation(PageHost &host, QObject *parent)
    : QObject(parent), m_host(host)
{
}

void HistoryNavigation::B_FBackClick()
{
    SessionState &s = m_host.state();
    const filtercore::StepPlan plan = filtercore::stepBack(s.History, skipFlag);
    if (plan.started && beforeStep)
        beforeStep();
    if (!plan.go)
        return;
    RestoreFromHistory(plan.text);
    m_host.startReplay(plan.queue, plan.tag, plan.text);
}

void HistoryNavigation::B_FNextClick()
{
    SessionState &s = m_host.state();
    const filtercore::StepPlan plan = filtercore::stepForward(s.History);
    if (plan.started && beforeStep)
        beforeStep();
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
    if (afterRestore)
        afterRestore();
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
        if (wordListPane)
            wordListPane();
        return true;
    }
    if (key == Qt::Key_Right) {
        if (lowerPane)
            lowerPane();
        return true;
    }
    return false;
}
