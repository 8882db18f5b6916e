#pragma once
// A request the client sent, read back as the server reads it: tag and records.
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/ReplyRecords.h"

#include <QByteArray>

struct Sent {
    QByteArray wire;
    QByteArray tag;
    tCConcPos conc;
    tCDictPos dict{-1};
    OptionList options;
    ReplyRecordsSeen records;
};

inline Sent readSent(const QByteArray &wire)
{
    Sent s;
    s.wire = wire;
    const qsizetype eq = wire.indexOf('=');
    s.tag = wire.mid(1, eq - 1);
    QByteArray rest = wire.mid(eq + 1);
    if (rest.startsWith("New"))
        rest.remove(0, 3);
    s.records = parseReplyRecords(rest, s.conc, s.dict, s.options);
    return s;
}
