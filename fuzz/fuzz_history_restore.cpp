// Restoring the query state from a stored request text, and walking a history made
// of arbitrary entries. Invariants: nothing crashes; without a dictionary position
// nothing changes; the state read from a text and written out reads back to the same
// text once normalised (typed prefixes free of the record's separators); a step only queues and lands on entries that exist.
#include "filters/core/HistoryNav.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

QByteArray written(tCDictPos dict, tCConcPos conc, const OptionList &options)
{
    return "New" + dict.framed() + conc.framed() + options.framed();
}

// The record's text form has no escapes: typed prefixes holding its separators
// cannot read back group by group, so only plain ones are held to the round trip.
bool plainTexts(const tCConcPos &conc)
{
    const auto plain = [](const QByteArray &t) {
        for (const char c : t)
            if (c == ',' || c == '$' || c == '(' || c == ')' || c == '+')
                return false;
        return true;
    };
    for (const QByteArray &r : conc.Request)
        if (!plain(r))
            return false;
    return plain(conc.CharFlags);
}

void checkPlan(const filtercore::StepPlan &plan, const RequestHistory &h)
{
    const int n = int(h.entries.size());
    for (const int i : plan.queue)
        check(i >= 0 && i < n);
    check(h.HistoryPos >= -1 && h.HistoryPos < n);
    check(plan.historyPosAfter >= -1 && plan.historyPosAfter < n);
    check(plan.go || plan.queue.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    tCConcPos untouched;
    OptionList options = OptionList::initial();
    const QByteArray before = untouched.framed() + options.framed();
    check(!filtercore::restoreFromHistory(input, nullptr, untouched, options));
    check(untouched.framed() + options.framed() == before);

    tCDictPos dict(0);
    tCConcPos conc;
    check(filtercore::restoreFromHistory(input, &dict, conc, options));
    if (!conc.framed().isEmpty() && plainTexts(conc)) {
        // Reading normalises (a fresh position's move codes read back as blanks);
        // from the second writing on, the text stays the same.
        QByteArray text = written(dict, conc, options);
        QByteArray previous;
        for (int pass = 0; pass < 2; ++pass) {
            tCDictPos d(0);
            tCConcPos c;
            OptionList o = OptionList::initial();
            check(filtercore::restoreFromHistory(text, &d, c, o));
            previous = text;
            text = written(d, c, o);
        }
        check(text == previous);
    }

    // A history of the input's lines (at most 40), walked from every position.
    RequestHistory h;
    for (const QByteArray &line : input.split('\n').mid(0, 40))
        h.entries.append(RequestHistory::Entry{line, int(h.entries.size())});
    for (int from = 0; from < h.entries.size(); ++from) {
        RequestHistory back = h;
        back.HistoryPos = from;
        bool skip = (from & 1) != 0;
        checkPlan(filtercore::stepBack(back, skip), back);
        check(!skip || from <= 4);
        RequestHistory forward = h;
        forward.HistoryPos = from;
        checkPlan(filtercore::stepForward(forward), forward);
        check(forward.HistoryPos == from);
    }
    return 0;
}
