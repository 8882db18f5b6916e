// The lazy order of a large selection: one value of one characteristic, without
// filters or co-occurrence, whose lines are known by their count and by a test of
// a token, without being listed. Its first and last pages are found slot by slot:
// the lines whose first sort slot (the centre word, or the nearest word on the
// left or right) has the smallest rank come first, and they are the lines next to
// (or at) the postings of that rank's word form or lemma. Of such a group only the
// lines a page takes are ordered, the rest waits for the pages after. So the first
// pages cost the postings read until the page is full, not the selection; a page
// in the middle makes the selection and its keys as an ordinary order does.
#include "concordance/LineOrderPrivate.h"

#include "protocol/Cancel.h"

namespace corvus::conc {

LineOrder::LineOrder(std::shared_ptr<const ConcEngine> engine, Query query, uint32_t value, Base base, SortSeq seq,
                     uint32_t heapLimit, uint32_t groupLimit)
    : d(std::make_unique<Private>())
{
    d->lazy = true;
    d->heapLimit = heapLimit;
    d->groupLimit = groupLimit;
    d->listed = &engine->characteristic(query.listChar);
    // (The count a cache file gives, capped: it sizes what the order holds.)
    d->count = uint32_t(std::min<uint64_t>(d->listed->count(value), engine->corpus().wordCount()));
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
    return bytes + (d->headKnown.load() + d->tailKnown.load()) * sizeof(uint32_t)
        + d->restKnown.load() * sizeof(EndItem);
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

std::vector<EndItem> LineOrder::Private::slotGroup(uint64_t slot) const
{
    const int skip = groupSkip(slot);
    std::vector<EndItem> group;
    uint32_t seen = 0;
    // A value of a text (its kind, its author) is that of each of its words: the
    // texts without it are passed over, and in the others every word is selected.
    const bool perText = query.listChar != kCharForm && listed->perText();
    // t: a line of the text [lo, hi) (one that holds the value) when it is selected.
    const auto take = [&](uint32_t t, uint32_t lo, uint32_t hi) {
        if ((++seen & 0xFFFF) == 0)
            cancel::check();
        if (t == kNone || !(perText ? isWord(t) : selected(t)))
            return;
        uint32_t v[6] = {0, 0, 0, 0, 0, 0};
        slotValues(t, lo, hi, v, skip, 2 * packed);
        group.push_back(EndItem{{pack(v), pack(v + packed)}, t});
    };
    if (slot == 0) {
        // No word on that side: the first (or last) word of each text.
        if (parts[0] != kCentre)
            takeTextEdges(perText, take);
    } else {
        takeNearPostings(uint32_t(slot - 1), perText, take);
    }
    return group;
}

template <typename Take>
void LineOrder::Private::takeTextEdges(bool perText, const Take &take) const
{
    const Part first = parts[0];
    const uint32_t texts = corpus->textCount();
    for (uint32_t text = 0; text < texts; ++text) {
        // The edges of the texts lie far apart: fetch those of a few texts
        // ahead so that their reads overlap.
        if (text + 8 < texts) {
            const TextInfo &ahead = corpus->text(text + 8);
            const uint32_t edge = first == kLeft || ahead.tokenCount == 0 ? 0 : ahead.tokenCount - 1;
            __builtin_prefetch(words + ahead.firstToken + edge);
        }
        if (!textHolds(text, perText))
            continue;
        const TextInfo &ti = corpus->text(text);
        const uint32_t lo = ti.firstToken, hi = ti.firstToken + ti.tokenCount;
        if (first == kLeft)
            take(isWord(lo) ? lo : nextWord(lo, hi), lo, hi);
        else
            take(isWord(hi - 1) ? hi - 1 : prevWord(hi - 1, lo), lo, hi);
    }
}

std::vector<Span<uint32_t>> LineOrder::Private::postingsOfSlot(uint32_t v) const
{
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
    return lists;
}

template <typename Take>
void LineOrder::Private::takeNearPostings(uint32_t v, bool perText, const Take &take) const
{
    const Part first = parts[0];
    // Centre first, the postings are the lines, and their keys read the words
    // on the side of the next part: fetch those too.
    const bool centre = first == kCentre && partCount > 1;
    const int64_t reach = centre && parts[1] == kLeft ? -12 : 12;
    const int64_t tokens = int64_t(corpus->tokenCount());
    for (const Span<uint32_t> &postings : postingsOfSlot(v)) {
        TextCursor texts(*corpus);
        uint32_t text = kNone, lo = 0, hi = 0;
        bool held = false;
        for (size_t i = 0; i < postings.size(); ++i) {
            const uint32_t p = postings[i];
            if (p >= uint64_t(tokens))
                continue;   // a damaged cache file's posting
            // The tokens next to the postings lie anywhere in the corpus: fetch
            // a few postings ahead so that their reads overlap.
            if (i + 32 < postings.size()) {
                __builtin_prefetch(words + postings[i + 32]);
                if (centre)
                    __builtin_prefetch(words + std::clamp<int64_t>(postings[i + 32] + reach, 0, tokens - 1));
            }
            if (texts.of(p) != text) {
                text = texts.of(p);
                const TextInfo &ti = corpus->text(text);
                lo = ti.firstToken;
                hi = ti.firstToken + ti.tokenCount;
                held = textHolds(text, perText);
            }
            if (!held)
                continue;
            if (first == kCentre)
                take(p, lo, hi);
            else
                take(first == kLeft ? nextWord(p, hi) : prevWord(p, lo), lo, hi);
        }
    }
}

void LineOrder::Private::takeOrdered(std::vector<EndItem> &rest, int skip, size_t k, bool last,
                                     std::vector<uint32_t> &out) const
{
    const int deeper = skip + 2 * packed;
    const auto less = [this, deeper](const EndItem &x, const EndItem &y) {
        if (x.key[0] != y.key[0])
            return x.key[0] < y.key[0];
        if (x.key[1] != y.key[1])
            return x.key[1] < y.key[1];
        return lessFrom(x.token, y.token, deeper);
    };
    const auto greater = [&less](const EndItem &x, const EndItem &y) { return less(y, x); };
    if (k * 2 >= rest.size()) {
        k = rest.size();
        if (last)
            std::sort(rest.begin(), rest.end(), greater);
        else
            std::sort(rest.begin(), rest.end(), less);
    } else if (last) {
        std::partial_sort(rest.begin(), rest.begin() + ptrdiff_t(k), rest.end(), greater);
    } else {
        std::partial_sort(rest.begin(), rest.begin() + ptrdiff_t(k), rest.end(), less);
    }
    for (size_t i = 0; i < k; ++i)
        out.push_back(rest[i].token);
    // The hole the taken lines leave is filled from the end.
    const size_t keep = rest.size() - k;
    std::move(rest.end() - ptrdiff_t(std::min(k, keep)), rest.end(), rest.begin());
    rest.resize(keep);
}

std::vector<uint32_t> LineOrder::Private::fromHead(uint32_t from, uint32_t to) const
{
    std::lock_guard<std::mutex> lock(endMutex);
    while (head.size() < to) {
        if (headRest.empty()) {
            if (headNext > maxRank)
                break;
            headRest = slotGroup(headNext);
            ++headNext;
        }
        // What the page needs; from a large group a share of it, so that paging
        // on through the group does not pass over all of it for every page.
        const size_t k = std::max<size_t>(to - head.size(), headRest.size() / 256);
        takeOrdered(headRest, groupSkip(headNext - 1), k, false, head);
        headKnown.store(head.size());
        restKnown.store(headRest.size() + tailRest.size());
    }
    to = std::min<uint32_t>(to, uint32_t(head.size()));
    return from < to ? std::vector<uint32_t>(head.begin() + from, head.begin() + to) : std::vector<uint32_t>();
}

std::vector<uint32_t> LineOrder::Private::fromTail(uint32_t from, uint32_t to) const
{
    std::lock_guard<std::mutex> lock(endMutex);
    const size_t need = size_t(count) - from;
    while (tail.size() < need) {
        if (tailRest.empty()) {
            if (tailNext < 0)
                break;
            tailRest = slotGroup(uint64_t(tailNext));
            --tailNext;
        }
        const size_t k = std::max<size_t>(need - tail.size(), tailRest.size() / 256);
        takeOrdered(tailRest, groupSkip(uint64_t(tailNext + 1)), k, true, tail);
        tailKnown.store(tail.size());
        restKnown.store(headRest.size() + tailRest.size());
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
