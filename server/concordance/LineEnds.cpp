// The lazy order of a large selection: one value of one characteristic, without
// filters or co-occurrence, whose lines are known by their count and by a test of
// a token, without being listed. Its first and last pages are found slot by slot:
// the lines whose first sort slot (the centre word, or the nearest word on the
// left or right) has the smallest rank come first, and they are the lines next to
// (or at) the postings of that rank's word form or lemma. So the first pages cost
// the postings read until the page is full, not the selection; a page in the
// middle makes the selection and its keys as an ordinary order does.
#include "concordance/LineOrderPrivate.h"

#include "service/Cancel.h"

namespace corvus::conc {

LineOrder::LineOrder(std::shared_ptr<const ConcEngine> engine, Query query, uint32_t value, Base base, SortSeq seq,
                     uint32_t heapLimit, uint32_t groupLimit)
    : d(std::make_unique<Private>())
{
    d->lazy = true;
    d->heapLimit = heapLimit;
    d->groupLimit = groupLimit;
    d->listed = &engine->characteristic(query.listChar);
    d->count = d->listed->count(value);
    d->value = value;
    d->query = std::move(query);
    // One word form is one centre. (Any centre that happens to be the same
    // everywhere compares equal anyway: the order is the same with it or without.)
    const bool sameCentre = d->query.listChar == kCharForm;
    d->init(engine->corpusPtr(), base, seq, sameCentre);
    d->engine = std::move(engine);
    d->tailNext = int64_t(d->maxRank);
}

bool LineOrder::isLazy() const
{
    return d->lazy;
}

size_t LineOrder::heldBytes() const
{
    size_t bytes = 0;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        const bool made = !d->lazy || d->items || d->full;
        bytes += made ? size_t(d->count) * sizeof(uint32_t) : 0;
        bytes += d->items ? d->items->size() * sizeof(Item) : 0;
        bytes += d->full ? d->full->size() * sizeof(uint32_t) : 0;
    }
    return bytes + (d->headKnown.load() + d->tailKnown.load()) * sizeof(uint32_t);
}

bool LineOrder::cheap(uint32_t from, uint32_t to) const
{
    const uint32_t n = size();
    to = std::min(to, n);
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->full || d->grouped)
            return true;
    }
    if (!d->lazy)
        return n <= kShortLines;
    return to <= std::max<size_t>(d->headKnown.load(), kCheapEndLines)
        || n - from <= std::max<size_t>(d->tailKnown.load(), kCheapEndLines);
}

void LineOrder::Private::make() const
{
    if (!lazy)
        return;
    std::lock_guard<std::mutex> making(makeMutex);
    if (state().items || state().full)
        return;
    std::vector<uint32_t> made = engine->occurrences(query, value);
    tokens = std::move(made);
    makeItems();
}

std::vector<uint32_t> LineOrder::Private::slotGroup(uint64_t slot) const
{
    const Part first = parts[0];
    std::vector<Item> group;
    uint32_t seen = 0;
    const auto take = [&](uint32_t t) {
        if ((++seen & 0xFFFF) == 0)
            cancel::check();
        if (t != kNone && selected(t))
            group.push_back(Item{packKey(t), t});
    };
    if (slot == 0) {
        // No word on that side: the first (or last) word of each text.
        if (first != kCentre) {
            for (uint32_t text = 0; text < corpus->textCount(); ++text) {
                const TextInfo &ti = corpus->text(text);
                const uint32_t lo = ti.firstToken, hi = ti.firstToken + ti.tokenCount;
                if (first == kLeft)
                    take(isWord(lo) ? lo : nextWord(lo, hi));
                else
                    take(isWord(hi - 1) ? hi - 1 : prevWord(hi - 1, lo));
            }
        }
    } else {
        const uint32_t v = uint32_t(slot - 1);
        // The occurrences of the value: its form's, or those of its lemma's forms,
        // or, where one form can stand for several lemmas, the lemma's own.
        std::vector<Span<uint32_t>> lists;
        if (base == Base::Form) {
            if (v < formCount)
                lists.push_back(corpus->forms().postings(v));
        } else if (corpus->annotated()) {
            if (v < corpus->lemmas().size())
                lists.push_back(corpus->lemmas().postings(v));
        } else {
            for (const uint32_t f : corpus->formsOfLemma(v))
                if (f < formCount)
                    lists.push_back(corpus->forms().postings(f));
        }
        for (const Span<uint32_t> &postings : lists) {
            TextCursor texts(*corpus);
            for (size_t i = 0; i < postings.size(); ++i) {
                const uint32_t p = postings[i];
                // The tokens next to the postings lie anywhere in the corpus: fetch
                // a few postings ahead so that their reads overlap.
                if (i + 32 < postings.size())
                    __builtin_prefetch(words + postings[i + 32]);
                if (first == kCentre) {
                    take(p);
                    continue;
                }
                const TextInfo &ti = corpus->text(texts.of(p));
                take(first == kLeft ? nextWord(p, ti.firstToken + ti.tokenCount) : prevWord(p, ti.firstToken));
            }
        }
    }
    std::sort(group.begin(), group.end(), [this](const Item &x, const Item &y) { return less(x, y); });
    std::vector<uint32_t> out;
    out.reserve(group.size());
    for (const Item &x : group)
        out.push_back(x.token);
    return out;
}

std::vector<uint32_t> LineOrder::Private::fromHead(uint32_t from, uint32_t to) const
{
    std::lock_guard<std::mutex> lock(endMutex);
    while (head.size() < to && headNext <= maxRank) {
        const std::vector<uint32_t> group = slotGroup(headNext);
        head.insert(head.end(), group.begin(), group.end());
        ++headNext;
        headKnown.store(head.size());
    }
    to = std::min<uint32_t>(to, uint32_t(head.size()));
    return from < to ? std::vector<uint32_t>(head.begin() + from, head.begin() + to) : std::vector<uint32_t>();
}

std::vector<uint32_t> LineOrder::Private::fromTail(uint32_t from, uint32_t to) const
{
    std::lock_guard<std::mutex> lock(endMutex);
    const size_t need = size_t(count) - from;
    while (tail.size() < need && tailNext >= 0) {
        const std::vector<uint32_t> group = slotGroup(uint64_t(tailNext));
        tail.insert(tail.end(), group.rbegin(), group.rend());
        --tailNext;
        tailKnown.store(tail.size());
    }
    std::vector<uint32_t> out;
    for (uint32_t line = from; line < to; ++line) {
        const size_t back = size_t(count) - 1 - line;
        if (back < tail.size())
            out.push_back(tail[back]);
    }
    return out;
}

} // namespace corvus::conc
