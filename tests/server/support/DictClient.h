#pragma once
// The client's side of the dictionary browser, driven by the client's own code: the
// reply reader, the record handling of the reply handler and the dictionary page's
// reply handlers. A test feeds it the server's reply bytes and gets back the
// follow-up requests exactly as the client would send them, so a chain
// DC_C -> DC_CC -> DC_W -> DC_S can run against the server.
#include "dictionary/core/DictBrowser.h"
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QList>
#include <functional>

class DictClient {
public:
    explicit DictClient(int dictionaries = 1);

    QList<tCDictPos> DictPosList;
    int CurDict = 0;
    OptionList options = OptionList::initial();
    tCConcPos conc;
    bool KeepDictPos = false;
    dictcore::DictPageState page;
    QList<QByteArray> messages;   // message boxes the client would have shown (1251)
    QList<QByteArray> tags;       // tags of the replies applied, in order

    tCDictPos *current();
    // Applies one whole reply (with or without length header) and returns the wire
    // bytes of the requests the client sends next.
    QList<QByteArray> apply(const QByteArray &reply);
    // The request bytes of an outcome.
    QList<QByteArray> requestsOf(const dictcore::DictOutcome &outcome);

    // Sends each request through `server` (request bytes -> reply bytes) and applies
    // the reply, until no follow-up request comes or `maxSteps` replies were taken.
    // Returns the number of replies applied.
    int runChain(QList<QByteArray> requests, const std::function<QByteArray(const QByteArray &)> &server,
                 int maxSteps = 20);
};
