// Reply assembly and reading on arbitrary bytes cut into arbitrary chunks.
// Invariants: nothing crashes or loops; replies never hold more bytes than arrived;
// progress stays within 0..100 while a reply is incomplete; a found tag's marker
// occurs in the reply and its body (before the records) is the reply's tail.
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

void readOne(const QByteArray &reply)
{
    const replyreader::TagMatch match = replyreader::findTag(reply, replyreader::ReplyTagList);
    if (match.found) {
        check(reply.contains('$' + match.tag + '='));
        check(reply.endsWith(match.body));
    } else {
        check(match.tag.isEmpty() && match.body.isEmpty());
    }
    tCConcPos conc;
    tCDictPos dict;
    OptionList options = OptionList::initial();
    const replyreader::ReplyRead read = replyreader::readReply(reply, conc, dict, options);
    check(read.found == match.found);
    if (read.found) {
        check(match.body.endsWith(read.body));
        check(conc.Request[0] == replyreader::ClientVersionText);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the chunk size, so one input explores many cuts.
    const qsizetype step = 1 + data[0] % 64;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    // A small limit, so that refused replies and their skipped bytes are explored too.
    ReplyAssembler assembler(qint64(step) * 16);
    qsizetype delivered = 0;
    for (qsizetype at = 0; at < input.size(); at += step) {
        const bool lostBefore = assembler.isLost();
        const QList<ReplyAssembler::Item> items = assembler.feed(input.mid(at, step));
        check(!lostBefore || items.isEmpty());   // nothing is read after the stream is lost
        for (const ReplyAssembler::Item &item : items) {
            if (!item.ok) {
                check(!item.error.isEmpty() && item.reply.isEmpty());
                continue;
            }
            check(item.reply.size() <= assembler.maxReplyLength() || !item.counted);
            delivered += item.reply.size();
            readOne(item.reply);
        }
        check(delivered <= at + step);
        const int percent = assembler.progressPercent();
        check(percent >= 0 && percent <= 100);
        if (assembler.expected() >= 0)
            check(assembler.received() < assembler.expected());
    }

    const ReplyAssembler::Stripped stripped = ReplyAssembler::stripLengthHeader(input);
    if (stripped.ok) {
        check(input.contains(stripped.text));
        readOne(stripped.text);
    } else {
        check(!stripped.error.isEmpty());
    }
    return 0;
}
