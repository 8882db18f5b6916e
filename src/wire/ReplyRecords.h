#pragma once
// The framed records at the front of a reply body: 2 dictionary position,
// 3 concordance position, 5 option list, 0 filler. Any other first byte ends them.
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"

struct ReplyRecordsSeen {
    bool dictPos = false;
    bool concPos = false;
    bool options = false;
};

// Consumes the records from the front of `body`, updating the three targets in
// place. A record that is too short or malformed to consume ends the section (the
// rest stays in `body`); the loop always makes progress. Afterwards the concordance
// substitution rule is applied to `conc`.
ReplyRecordsSeen parseReplyRecords(QByteArray &body, tCConcPos &conc, tCDictPos &dict,
                                   OptionList &options);
