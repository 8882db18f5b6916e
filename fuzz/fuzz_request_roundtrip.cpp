// The request codec both ways: whatever records request the server's reader takes
// from the input, the client's writer writes again and the reader reads back to the
// same records. Invariants: the written request is read whole, with the same tag,
// and the same position and option records, except where the writer deliberately
// changes what it sends:
// - a negative value number goes as -1;
// - a concordance text form over 255 bytes has its prefixes shortened (and with
//   absurd numbers everywhere there is no record at all); what is read back then
//   reads back to itself;
// - the format has no escape, so a text of the concordance record holding "$(" is
//   not carried faithfully, nor are the fields of level 0 behind a mark ",":
//   such records are left out;
// - a dictionary position marked as broken (letter -2) carries its dictionary and
//   reserved numbers only.
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/RequestReader.h"
#include "wire/RequestWriter.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

bool carried(const tCConcPos &c)
{
    if (c.Mark[0] == ',')
        return false;
    for (const QByteArray &r : c.Request) {
        if (r.contains("$("))
            return false;
    }
    return !c.CharFlags.contains("$(");
}

// The concordance record as the writer sends it.
tCConcPos asSent(tCConcPos c)
{
    for (qint32 &v : c.ValueNo)
        v = v < 0 ? -1 : v;
    return c;
}

void checkDict(const tCDictPos &back, const tCDictPos &sent)
{
    if (sent.LetterNo == -2) {
        // Broken: the reader stops there, and so it does when reading it back.
        check(back.DictNo == sent.DictNo && back.Reserved == sent.Reserved && back.LetterNo == -2);
        return;
    }
    check(back == sent);
}

QByteArray written(const wirerequest::Request &r, tCConcPos &conc)
{
    const OptionList options = r.options.value_or(OptionList());
    if (r.conc && r.dict)
        return requests::wire(r.tag, requests::concDictParams(conc, *r.dict, options));
    if (r.conc)
        return requests::wire(r.tag, requests::concParams(conc, options));
    return requests::wire(r.tag, requests::dictParams(*r.dict, options));
}

wirerequest::Request readWhole(const QByteArray &bytes)
{
    const wirerequest::Result r = wirerequest::parse(bytes, true);
    check(r.status == wirerequest::Status::Complete && r.size == bytes.size());
    return r.request;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const wirerequest::Result first = wirerequest::parse(input, true);
    if (first.status != wirerequest::Status::Complete || !first.request.records)
        return 0;
    const wirerequest::Request &sent = first.request;
    if (!sent.conc && !sent.dict)
        return 0;   // "New" and options alone: nothing the writer writes
    if (sent.conc && !carried(*sent.conc))
        return 0;

    tCConcPos conc = sent.conc.value_or(tCConcPos());
    const QByteArray bytes = written(sent, conc);
    const wirerequest::Request back = readWhole(bytes);
    check(back.tag == sent.tag && back.known == sent.known && back.records);
    check(back.options.value_or(OptionList()) == sent.options.value_or(OptionList()));
    if (sent.dict) {
        check(back.dict.has_value());
        checkDict(*back.dict, *sent.dict);
    } else {
        check(!back.dict);
    }
    if (!sent.conc)
        return 0;

    tCConcPos probe = asSent(*sent.conc);
    const qsizetype form = probe.text().size();
    if (form < tCConcPos::MaxTextLength) {
        check(back.conc.has_value() && *back.conc == asSent(*sent.conc));
        return 0;
    }
    // Shortened, or no record at all: what was read back travels as it is.
    if (!back.conc) {
        check(probe.framed().isEmpty());
        return 0;
    }
    for (int l = 0; l < tCConcPos::Levels; ++l)
        check(sent.conc->Request[l].startsWith(back.conc->Request[l]));
    check(sent.conc->CharFlags.startsWith(back.conc->CharFlags));
    tCConcPos again = *back.conc;
    const QByteArray bytesAgain = written(back, again);
    const wirerequest::Request third = readWhole(bytesAgain);
    check(third.conc.has_value() && *third.conc == *back.conc);
    return 0;
}
