#include "HistoryNav.h"

namespace filtercore {

bool isDictionaryRequest(const QByteArray &entry)
{
    return entry.startsWith("DC_");
}

bool isWordListRequest(const QByteArray &entry)
{
    return entry.startsWith("CN_W=");
}

bool isReplayableContext(const QByteArray &entry)
{
    return (entry.startsWith("CT_N=") || entry.startsWith("CT_W=") || entry.startsWith("CT_D="))
           && !entry.contains("PrintConc=True");
}

namespace {

const QByteArray &entryAt(const RequestHistory &h, int i)
{
    static const QByteArray none;
    return i >= 0 && i < h.entries.size() ? h.entries[i].text : none;
}

// The entry that a step restores from and sends: split at its first "=".
bool splitEntry(const QByteArray &entry, StepPlan &plan)
{
    const qsizetype eq = entry.indexOf('=');
    if (eq < 0)
        return false;
    plan.tag = entry.left(eq);
    plan.text = entry.mid(eq + 1);
    plan.go = true;
    return true;
}

} // namespace

StepPlan stepBack(RequestHistory &history, bool &skipFlag)
{
    StepPlan plan;
    int &pos = history.HistoryPos;
    if (pos <= 4)
        return plan;
    plan.started = true;
    bool needContext = true;
    bool pendingList = false;
    while (pos > 3) {
        while (pos > 1 && isDictionaryRequest(entryAt(history, pos)))
            --pos;
        --pos;
        while (pos > 1 && isDictionaryRequest(entryAt(history, pos)))
            --pos;
        const QByteArray &entry = entryAt(history, pos);
        if (needContext && isReplayableContext(entry) && !skipFlag) {
            plan.queue.append(pos);
            needContext = false;
        }
        skipFlag = false;
        if (isWordListRequest(entry)) {
            if (needContext) {
                pendingList = true;
            } else {
                plan.queue.append(pos);
                pendingList = false;
            }
        }
        if (pos < 4 || (!needContext && !pendingList))
            break;
    }
    if (pos <= 0)
        pos += 2;
    if (!splitEntry(entryAt(history, pos + 1), plan))
        plan.queue.clear();
    return plan;
}

StepPlan stepForward(const RequestHistory &history)
{
    StepPlan plan;
    const int pos = history.HistoryPos;
    const int last = int(history.entries.size()) - 1;
    if (pos >= last)
        return plan;
    plan.started = true;
    int found = -1;
    bool pendingList = false;
    for (int i = pos + 1; i <= last; ++i) {
        const QByteArray &entry = entryAt(history, i);
        if (isReplayableContext(entry)) {
            found = i;
            break;
        }
        if (isWordListRequest(entry))
            pendingList = true;
    }
    if (found < 0)
        return plan;
    plan.queue.append(found);
    for (int j = found - 1; j >= pos + 1 && pendingList; --j) {
        if (isWordListRequest(entryAt(history, j))) {
            plan.queue.append(j);
            pendingList = false;
        }
    }
    if (!splitEntry(entryAt(history, pos + 1), plan)) {
        plan.queue.clear();
        return plan;
    }
    plan.historyPosAfter = found;
    return plan;
}

bool restoreFromHistory(QByteArray text, tCDictPos *dict, tCConcPos &conc, OptionList &options)
{
    if (text.left(3).toUpper() == "NEW")
        text.remove(0, 3);
    if (!dict)
        return false;
    for (;;) {
        if (text.isEmpty())
            break;
        const char kind = text[0];
        if (kind == 2) {
            if (!dict->readFramed(text))
                break;
        } else if (kind == 3) {
            if (!conc.readFramed(text))
                break;
        } else if (kind == 5) {
            if (readOptionRecord(text, options) != OptionRecordResult::Consumed)
                break;
        } else {
            break;
        }
    }
    return true;
}

QList<QByteArray> dumpHistory(RequestHistory &history)
{
    history.RequestSerial = 0;
    history.HistoryPos = int(history.entries.size()) - 1;
    QList<QByteArray> lines;
    for (int i = 0; i < history.entries.size(); ++i)
        lines.append(QByteArray::number(i) + ' ' + history.entries[i].text);
    lines.append("***********");
    return lines;
}

} // namespace filtercore
