#include "ReplyRecords.h"

namespace {

// A position record (2 or 3) can be consumed when its length byte is there and
// the bytes it announces have all arrived.
bool positionRecordFits(const QByteArray &body)
{
    if (body.size() <= 2)
        return false;
    const int n = static_cast<unsigned char>(body[1]);
    return body.size() - 2 >= n;
}

} // namespace

ReplyRecordsSeen parseReplyRecords(QByteArray &body, tCConcPos &conc, tCDictPos &dict,
                                   OptionList &options)
{
    ReplyRecordsSeen seen;
    bool more = true;
    while (more && !body.isEmpty()) {
        switch (body[0]) {
        case 2:
            more = positionRecordFits(body) && dict.readFramed(body);
            seen.dictPos = seen.dictPos || more;
            break;
        case 3:
            more = positionRecordFits(body) && conc.readFramed(body);
            seen.concPos = seen.concPos || more;
            break;
        case 5:
            switch (readOptionRecord(body, options)) {
            case OptionRecordResult::Consumed:
                seen.options = true;
                break;
            case OptionRecordResult::Emptied:
                seen.options = true;
                more = false;
                break;
            case OptionRecordResult::NotARecord:
                more = false;
                break;
            }
            break;
        case 0:
            body.remove(0, 1);
            break;
        default:
            more = false;
            break;
        }
    }
    conc.applyReplySubstitution();
    return seen;
}
