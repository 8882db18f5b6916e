#pragma once
// The request history with its replay. The requests themselves are written by
// wire/RequestWriter.h.
#include <QByteArray>
#include <QList>
#include <optional>
#include <utility>

// tFHistory with the sender's replay state. Entries are "tag=params" with the
// serial number that was current when they were recorded.
class RequestHistory {
public:
    struct Entry {
        QByteArray text;
        int serial = 0;
    };

    QList<Entry> entries;
    int HistoryPos = -1;
    int RequestSerial = 0;
    QList<int> ReplayQueue;   // history indexes, sent from the last to the first
    int ReplayCursor = -1;    // -1: no replay running

    // Set-up of the concordance page: empty history, serial 0, no replay.
    void reset();
    // An ordinary send: drops the entries after HistoryPos (a dictionary request
    // keeps them and goes in before them), appends, advances.
    void record(const QByteArray &tag, const QByteArray &params);
    bool replaying() const { return ReplayCursor >= 0; }
    // The stored request at the replay cursor split at its first "="; nothing when
    // the index is out of range or the entry has no "=" (the replay stops there).
    std::optional<std::pair<QByteArray, QByteArray>> replayRequest() const;
    // After a replayed request went out: moves the cursor back by one.
    void replaySent();
    // After every successful send: when the cursor is below 0 and the queue is not
    // empty, the replay is complete: HistoryPos takes the first queued index and the
    // queue is cleared.
    void finishReplayIfDone();
    // Fills the queue and points the cursor at its last entry.
    void startReplay(const QList<int> &queue);
};
