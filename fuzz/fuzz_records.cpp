// Position records, the framed records of a reply body and the two byte codecs.
// Invariants: nothing crashes; a written record reads back to itself (dictionary
// position); a framed length byte always equals the bytes that follow it; the
// record parser only ever removes bytes from the front of the body.
#include "model/ConcPos.h"
#include "model/Cp1251.h"
#include "wire/DdeWire.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/ReplyRecords.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

void checkFrame(const QByteArray &f, char kind)
{
    if (f.isEmpty())
        return;
    check(f.size() >= 2 && f[0] == kind);
    check(static_cast<unsigned char>(f[1]) == f.size() - 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    tCDictPos dict;
    dict.readText(input);
    tCDictPos again = dict;
    again.readText(dict.text());
    check(again == dict);
    checkFrame(dict.framed(), 2);
    check(!dict.framed().isEmpty());

    QByteArray framedDict = input;
    tCDictPos fromFrame;
    if (fromFrame.readFramed(framedDict))
        check(input.endsWith(framedDict) && framedDict.size() < input.size());
    else
        check(framedDict == input);

    tCConcPos conc;
    conc.readText(input);
    checkFrame(conc.framed(), 3);
    check(conc.text().size() <= tCConcPos::MaxTextLength || conc.framed().isEmpty());

    QByteArray framedConc = input;
    tCConcPos concFromFrame;
    if (concFromFrame.readFramed(framedConc))
        check(input.endsWith(framedConc) && framedConc.size() < input.size());
    else
        check(framedConc == input);

    QByteArray body = input;
    tCConcPos replyConc;
    tCDictPos replyDict;
    OptionList options = OptionList::initial();
    parseReplyRecords(body, replyConc, replyDict, options);
    check(input.endsWith(body));
    checkFrame(replyConc.framed(), 3);
    QByteArray optionRecord = options.framed();
    OptionList optionsBack;
    if (!options.isEmpty()) {
        check(readOptionRecord(optionRecord, optionsBack) == OptionRecordResult::Consumed);
        check(optionsBack == options && optionRecord.isEmpty());
    }

    check(ddewire::decode(ddewire::encode(input)) == input);
    check(ddewire::decode(input).size() == input.size() / 2);
    check(cp1251::encode(cp1251::decode(input)) == input);
    return 0;
}
