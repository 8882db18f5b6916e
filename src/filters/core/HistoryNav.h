#pragma once
// Walking the request history back and forward in units of a word list together with
// the context shown for one of its values. A step does not rebuild screens: it
// restores the query state from a remembered request text and re-sends remembered
// requests, whose replies rebuild the screens. Pure: works on the history.
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "model/RequestHistory.h"

#include <QByteArray>
#include <QList>

namespace filtercore {

// What a step does: restore the state from `text`, queue `queue` (sent from its last
// element to its first) and send (tag, text) — with a non-empty queue the sender
// replaces it by the last queued entry. `go` is false when the step does nothing.
struct StepPlan {
    bool started = false;   // the history was long enough to look: the filter page shows
    bool go = false;
    QList<int> queue;
    QByteArray tag;
    QByteArray text;
    int historyPosAfter = -1;   // forward step: HistoryPos once the request is sent; -1 none
};

// Entry kinds by the start of an entry.
bool isDictionaryRequest(const QByteArray &entry);
bool isWordListRequest(const QByteArray &entry);
// "CT_N=", "CT_W=" or "CT_D=" that did not write into the buffer.
bool isReplayableContext(const QByteArray &entry);

// One step back. Moves history.HistoryPos as the walk goes; clears `skipFlag` (set
// around the step back that an empty word list asks for) during the walk.
StepPlan stepBack(RequestHistory &history, bool &skipFlag);
// One step forward. history is not changed; apply historyPosAfter after the send.
StepPlan stepForward(const RequestHistory &history);

// The records of a stored request text ("New" in any case first, then records
// introduced by the bytes 2, 3 and 5), read into the given state. Reading stops at
// the first byte that introduces none of them. False when `dict` is null (no current
// dictionary position): nothing is changed then.
bool restoreFromHistory(QByteArray text, tCDictPos *dict, tCConcPos &conc, OptionList &options);

// The history written out for the buffer: one line per entry (its index, a blank,
// the entry) and a closing line of asterisks. The serial count starts again from 0
// and the current entry becomes the last one.
QList<QByteArray> dumpHistory(RequestHistory &history);

} // namespace filtercore
