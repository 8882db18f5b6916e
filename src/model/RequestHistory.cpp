#include "RequestHistory.h"

void RequestHistory::reset()
{
    entries.clear();
    HistoryPos = -1;
    RequestSerial = 0;
    ReplayQueue.clear();
    ReplayCursor = -1;
}

void RequestHistory::record(const QByteArray &tag, const QByteArray &params)
{
    // A new request after walking back discards the forward part. A dictionary
    // request does not: it leaves the concordance where it is (the reply to a replayed
    // context request looks up its line's headword), so it goes in after the current
    // entry and the forward part stays for the next step forward.
    const qsizetype at = qBound(qsizetype(0), qsizetype(HistoryPos) + 1, entries.size());
    if (!tag.startsWith("DC_")) {
        while (entries.size() > at)
            entries.removeLast();
    }
    entries.insert(at, Entry{tag + '=' + params, RequestSerial});
    HistoryPos = int(at);
    ++RequestSerial;
}

std::optional<std::pair<QByteArray, QByteArray>> RequestHistory::replayRequest() const
{
    if (ReplayCursor < 0 || ReplayCursor >= ReplayQueue.size())
        return std::nullopt;
    const int index = ReplayQueue[ReplayCursor];
    if (index < 0 || index >= entries.size())
        return std::nullopt;
    const QByteArray &text = entries[index].text;
    const qsizetype eq = text.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return std::make_pair(text.left(eq), text.mid(eq + 1));
}

void RequestHistory::replaySent()
{
    if (ReplayCursor >= 0)
        --ReplayCursor;
}

void RequestHistory::finishReplayIfDone()
{
    if (ReplayCursor < 0 && !ReplayQueue.isEmpty()) {
        HistoryPos = ReplayQueue.first();
        ReplayQueue.clear();
    }
}

void RequestHistory::startReplay(const QList<int> &queue)
{
    ReplayQueue = queue;
    ReplayCursor = int(queue.size()) - 1;
}
