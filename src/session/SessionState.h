#pragma once
// The session's query state, owned by the main window for the life of a connection
// and handed to the pages. Plain values: a connect re-creates them, a disconnect or
// the window's close drops them.
#include "filters/core/ComposedFilters.h"
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "model/RequestHistory.h"
#include "text/core/Buffer.h"
#include "text/core/PendingFragment.h"

#include <QByteArray>
#include <QList>
#include <memory>

struct DictEntry {
    QByteArray name;   // as the server named it (1251)
    tCDictPos pos;
};

struct CharEntry {
    QByteArray name;
    qint32 count = 0;
};

struct SessionState {
    // Dictionaries: one position per server dictionary, in the server's order.
    QList<DictEntry> DictPosList;
    int CurDict = -1;
    // Index into DictPosList of the current position; -1 when there is none.
    int CurDictPos = -1;
    bool KeepDictPos = false;

    // The concordance query; absent before the concordance page is set up and after
    // a disconnect.
    std::unique_ptr<tCConcPos> CurrentConcPos;
    OptionList Options = OptionList::initial();
    QList<CharEntry> CharList;
    RequestHistory History;
    // The composed filter-lists; made anew when the concordance page is set up.
    filtercore::tComposed_Filters_Set ComposedFilters;
    // The buffer of collected lines; kept on disk between runs, and emptied only by
    // the user (the set-up of the concordance page asks first).
    textcore::Buffer Buffer;
    // Lines or words marked for the buffer and not yet copied.
    textcore::PendingFragment PendingFragment;

    QByteArray PendingRequest;   // empty or "Запрос не завершён"
    bool idleForKeys = true;     // cleared by every send, set by every reply
    int registrationRetries = 0;

    // Tab flags kept by the session (cleared at first show and at disconnect).
    bool dictTabFlag = false;
    bool concTabFlag = false;
    bool chatTabFlag = false;
    bool concDictTabFlag = false;   // "SS"="YES" seen; never cleared again

    // A reply's dictionary position: stored as the record of its dictionary (a
    // number far beyond any dictionary is a broken record and is ignored). Returns
    // the index of the dictionary that becomes current: the reply's when it names a
    // headword, else `selectedDict` (the dictionary chosen on the page) when valid,
    // else -1.
    int storeReplyDictPos(const tCDictPos &pos, int selectedDict);
    // Makes DictPosList[candidate] current (the first record when `candidate` is
    // negative and records exist); none when it is not a valid record.
    void setCurrentDict(int candidate);

    tCDictPos *currentDictPos()
    {
        return CurDictPos >= 0 && CurDictPos < DictPosList.size() ? &DictPosList[CurDictPos].pos
                                                                  : nullptr;
    }
};
