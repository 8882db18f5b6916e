// Comma lists and option-list records. Invariants: split(join(split(x))) equals
// split(x); an option list written as a record reads back to itself; reading a
// record only removes bytes from the front of the body.
#include "model/CommaList.h"
#include "model/OptionList.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    const QList<QByteArray> items = commalist::split(input);
    check(commalist::split(commalist::join(items)) == items);

    const OptionList list = OptionList::fromCommaText(input);
    QByteArray record = list.framed() + input;
    OptionList back;
    if (!list.isEmpty()) {
        check(readOptionRecord(record, back) == OptionRecordResult::Consumed);
        check(back == list);
        check(record == input);
    }

    QByteArray body = input;
    OptionList read = OptionList::initial();
    switch (readOptionRecord(body, read)) {
    case OptionRecordResult::Consumed:
        check(input.endsWith(body) && body.size() < input.size());
        break;
    case OptionRecordResult::Emptied:
        check(read.isEmpty() && body == input);
        break;
    case OptionRecordResult::NotARecord:
        check(read == OptionList::initial() && body == input);
        break;
    }

    // Lookups and edits on whatever names the input holds.
    OptionList edit = list;
    for (const QByteArray &entry : list.entries()) {
        const qsizetype eq = entry.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray name = entry.left(eq);
        check(edit.has(name));
        edit.set(name, QByteArray());
        edit.set(name.toUpper(), "v");
        check(edit.value(name) == "v");
    }
    return 0;
}
