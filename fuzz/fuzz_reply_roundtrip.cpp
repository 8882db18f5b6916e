// The reply codec both ways: whatever reply the client's reader finds a tag in, the
// server's writer writes again (its dictionary position and option records, then
// its text), the assembler takes it in pieces (the first byte chooses their size)
// and the reader reads back the same tag, records and text.
// Invariants: the written reply is assembled whole from its length header, in
// pieces as over TCP and at once as over the local link; it reads back with the
// same tag unless the records the writer puts in front end with "$" and the text
// goes on as the marker of a tag earlier in the client's list (the format has no
// escape); the same text and option list, the same dictionary position (one marked
// as broken, letter -2, carries its dictionary and reserved numbers only).
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"
#include "wire/ReplyWriter.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

void checkDict(const tCDictPos &back, const tCDictPos &sent)
{
    if (sent.LetterNo == -2) {
        check(back.DictNo == sent.DictNo && back.Reserved == sent.Reserved && back.LetterNo == -2);
        return;
    }
    check(back == sent);
}

// The reply as the assembler gives it, fed in pieces of `step` bytes.
QByteArray assembled(const QByteArray &bytes, qsizetype step)
{
    ReplyAssembler assembler;
    QList<ReplyAssembler::Item> items;
    for (qsizetype at = 0; at < bytes.size(); at += step)
        items += assembler.feed(bytes.mid(at, step));
    check(items.size() == 1 && items[0].ok && items[0].counted && !assembler.isIncomplete());
    const ReplyAssembler::Stripped whole = ReplyAssembler::stripLengthHeader(bytes);
    check(whole.ok && whole.counted && whole.text == items[0].reply);
    check(bytes.endsWith(items[0].reply) && bytes.startsWith("##"));
    return items[0].reply;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype step = 1 + data[0] % 64;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    tCConcPos conc;
    tCDictPos dict;
    OptionList options;
    const replyreader::ReplyRead first = replyreader::readReply(input, conc, dict, options);
    if (!first.found)
        return 0;
    const std::optional<tCDictPos> sentDict =
        first.recordsSeen.dictPos ? std::optional<tCDictPos>(dict) : std::nullopt;
    const std::optional<OptionList> sentOptions =
        first.recordsSeen.options ? std::optional<OptionList>(options) : std::nullopt;
    const QByteArray records = reply::body(sentDict, sentOptions, QByteArray());
    const QByteArray bytes = reply::wire(first.tag, records + first.body);
    check(reply::body(sentDict, sentOptions, first.body) == records + first.body);
    const QByteArray reply = assembled(bytes, step);

    tCConcPos concBack;
    tCDictPos dictBack;
    OptionList optionsBack;
    const replyreader::ReplyRead back = replyreader::readReply(reply, concBack, dictBack, optionsBack);
    check(back.found);
    if (back.tag != first.tag) {
        // The records, or the records and the body's first bytes together, can read
        // as another reply's tag ("...$$DC" then "=..."), and the list order
        // decides: the tag read must be there.
        check(records.endsWith('$') || (records + first.body).contains("$" + back.tag + "="));
        return 0;
    }
    check(back.mark == ' ');
    check(back.body == first.body);
    check(!back.recordsSeen.concPos);
    check(back.recordsSeen.dictPos == first.recordsSeen.dictPos);
    if (sentDict)
        checkDict(dictBack, *sentDict);
    // An emptied option record stays in the text and empties the list again.
    check(back.recordsSeen.options == (!options.isEmpty() || first.body.startsWith("\x05/")));
    check(optionsBack == options);
    return 0;
}
