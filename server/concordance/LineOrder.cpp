// The order of a selection's lines: sort keys, radix groups, pages picked with a
// heap or from the groups they touch, and the full sort.
#include "concordance/LineOrderPrivate.h"

#include "protocol/Cancel.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <tuple>

namespace corvus::conc {

void LineOrder::Private::init(const std::shared_ptr<const Corpus> &corpusIn, Base baseIn, SortSeq seqIn,
                              bool sameCentre)
{
    corpusPtr = corpusIn;
    corpus = corpusPtr.get();
    base = baseIn;
    seq = seqIn;
    partsOf(seq, parts);
    words = corpus->tokenWords().data();
    formLemma = corpus->formLemmas().data();
    if (corpus->annotated()) {
        tokenTypes = corpus->tokenTypes().data();
        typeLemma = corpus->typeLemmas().data();
    }
    formCount = corpus->forms().size();
    typeCount = corpus->typeCount();
    lemmaCount = corpus->lemmas().size();
    // Leave the centre out when every occurrence has the same base value: it would
    // compare equal anyway.
    if (sameCentre) {
        int n = 0;
        for (int i = 0; i < 3; ++i)
            if (parts[i] != kCentre)
                parts[n++] = parts[i];
        partCount = n;
    }
    maxRank = base == Base::Form ? corpus->forms().size() : corpus->lemmas().size();
    bits = 1;
    while (bits < 32 && (uint64_t(1) << bits) <= maxRank)
        ++bits;
    int slotCount = 0;
    for (int p = 0; p < partCount; ++p)
        slotCount += parts[p] == kCentre ? 1 : kSortDepth;
    packed = std::min({64 / bits, 3, slotCount});
    groupShift = std::max(0, packed * bits - kGroupBits);
}

void LineOrder::Private::makeItems() const
{
    auto made = std::make_shared<std::vector<Item>>();
    made->reserve(tokens.size());
    std::optional<PrefixSort> sort;
    if (tokens.size() <= groupLimit)
        sort.emplace(groupSort());
    // The tokens ascend: the bounds of a text are looked up once, not per token.
    uint32_t lo = 1, hi = 0;
    uint32_t done = 0;
    for (const uint32_t t : tokens) {
        if ((++done & 0xFFFF) == 0)
            cancel::check();   // the order of a frequent word for a client that has gone
        if (t < lo || t >= hi)
            std::tie(lo, hi) = bounds(t);
        const uint64_t key = packKey(t, lo, hi);
        made->push_back(Item{key, t});
        if (sort)
            sort->count(key);
    }
    if (sort) {
        // Cheap next to making the keys (two passes over the items), and from now
        // on a page costs only the groups it touches.
        sort->sort(*made);
    }
    std::lock_guard<std::mutex> lock(mutex);
    items = std::move(made);
    grouped = bool(sort);
}

LineOrder::LineOrder(std::shared_ptr<const Corpus> corpus, std::vector<uint32_t> tokens, Base base, SortSeq seq,
                     uint32_t heapLimit, uint32_t groupLimit)
    : d(std::make_unique<Private>())
{
    d->heapLimit = heapLimit;
    d->groupLimit = groupLimit;
    d->tokens = std::move(tokens);
    d->count = uint32_t(d->tokens.size());
    d->words = corpus->tokenWords().data();
    d->formLemma = corpus->formLemmas().data();
    if (corpus->annotated()) {
        d->tokenTypes = corpus->tokenTypes().data();
        d->typeLemma = corpus->typeLemmas().data();
    }
    d->formCount = corpus->forms().size();
    d->typeCount = corpus->typeCount();
    d->lemmaCount = corpus->lemmas().size();
    d->base = base;
    bool sameCentre = true;
    if (!d->tokens.empty()) {
        const uint32_t r0 = d->rank(d->tokens.front());
        for (const uint32_t t : d->tokens)
            if (d->rank(t) != r0) {
                sameCentre = false;
                break;
            }
    }
    d->init(corpus, base, seq, sameCentre);
    d->makeItems();
}

LineOrder::~LineOrder() = default;

uint32_t LineOrder::size() const
{
    return d->count;
}

Base LineOrder::base() const
{
    return d->base;
}

SortSeq LineOrder::sequence() const
{
    return d->seq;
}

bool LineOrder::before(uint32_t a, uint32_t b) const
{
    return d->less(Item{d->packKey(a), a}, Item{d->packKey(b), b});
}

namespace {

// Lines [from, to) of a full order. A lazy order's line count is its value's count
// as the cache file gives it: a damaged file's may exceed the lines the selection
// makes, so the page is clipped to those.
std::vector<uint32_t> slice(const std::vector<uint32_t> &full, uint32_t from, uint32_t to)
{
    to = uint32_t(std::min<size_t>(to, full.size()));
    return from < to ? std::vector<uint32_t>(full.begin() + from, full.begin() + to) : std::vector<uint32_t>();
}

} // namespace

std::vector<uint32_t> LineOrder::lines(uint32_t from, uint32_t to) const
{
    const uint32_t n = size();
    to = std::min(to, n);
    if (from >= to)
        return {};
    Private::State s = d->state();
    if (s.full)
        return slice(*s.full, from, to);
    if (s.grouped)
        return d->pageOfGroups(*s.items, from, to);
    if (d->lazy) {
        // Its ends come slot by slot; anything else once the selection is made.
        if (to <= kEndLines)
            return d->fromHead(from, to);
        if (n - from <= kEndLines)
            return d->fromTail(from, to);
        d->make();
        s = d->state();
        if (s.grouped)
            return d->pageOfGroups(*s.items, from, to);
    }

    const uint32_t kHeapLimit = d->heapLimit;
    if (to <= kHeapLimit || n - from <= kHeapLimit) {
        // A page near either end of lines not yet grouped: one pass keeping the
        // `to` first (or the n - from last) lines in a heap; most lines are turned
        // away by one key comparison.
        const auto less = [this](const Item &x, const Item &y) { return d->less(x, y); };
        const auto greater = [this](const Item &x, const Item &y) { return d->less(y, x); };
        const bool head = to <= kHeapLimit;
        const uint32_t keep = head ? to : n - from;
        std::vector<Item> heap;
        heap.reserve(keep + 1);
        for (const Item &x : *s.items) {
            if (heap.size() < keep) {
                heap.push_back(x);
                if (head)
                    std::push_heap(heap.begin(), heap.end(), less);
                else
                    std::push_heap(heap.begin(), heap.end(), greater);
            } else if (head ? less(x, heap.front()) : less(heap.front(), x)) {
                if (head) {
                    std::pop_heap(heap.begin(), heap.end(), less);
                    heap.back() = x;
                    std::push_heap(heap.begin(), heap.end(), less);
                } else {
                    std::pop_heap(heap.begin(), heap.end(), greater);
                    heap.back() = x;
                    std::push_heap(heap.begin(), heap.end(), greater);
                }
            }
        }
        std::sort(heap.begin(), heap.end(), less);
        const uint32_t base = head ? 0 : from;
        std::vector<uint32_t> out;
        out.reserve(to - from);
        for (uint32_t i = from; i < to && i - base < heap.size(); ++i)
            out.push_back(heap[i - base].token);
        return out;
    }
    // A page in the middle: the lines are grouped first (by this request, or by
    // the background worker, whose grouping this then waits for).
    s = d->groupedState();
    if (s.full)
        return slice(*s.full, from, to);
    return d->pageOfGroups(*s.items, from, to);
}

int64_t LineOrder::lineOf(uint32_t token) const
{
    d->make();
    if (!std::binary_search(d->tokens.begin(), d->tokens.end(), token))
        return -1;
    const Private::State s = d->state();
    if (s.full) {
        const auto it = std::find(s.full->begin(), s.full->end(), token);
        return it == s.full->end() ? -1 : int64_t(it - s.full->begin());
    }
    const Item me{d->packKey(token), token};
    if (s.grouped) {
        // The lines of the groups before, then those of its own group that come first.
        const auto own = std::equal_range(s.items->begin(), s.items->end(), me,
                                          [this](const Item &x, const Item &y) { return d->group(x) < d->group(y); });
        int64_t below = own.first - s.items->begin();
        for (auto it = own.first; it != own.second; ++it)
            below += d->less(*it, me) ? 1 : 0;
        return below;
    }
    int64_t below = 0;
    for (const Item &x : *s.items)
        below += d->less(x, me) ? 1 : 0;
    return below;
}

void LineOrder::complete() const
{
    d->make();
    std::lock_guard<std::mutex> sorting(d->sortMutex);
    const Private::State s = d->groupedState();
    if (s.full)
        return;
    // Grouped already: each group is sorted on its own.
    const std::vector<Item> &g = *s.items;
    auto order = std::make_shared<std::vector<uint32_t>>();
    order->reserve(g.size());
    const auto less = [this](const Item &x, const Item &y) { return d->less(x, y); };
    std::vector<Item> work;
    size_t sinceCheck = 0;
    for (size_t i = 0; i < g.size();) {
        if (sinceCheck >= 0x10000) {
            // A full sort asked by a request stops when its client goes; the
            // background worker's sort runs to its end.
            cancel::check();
            sinceCheck = 0;
        }
        const uint64_t v = d->group(g[i]);
        size_t j = i + 1;
        while (j < g.size() && d->group(g[j]) == v)
            ++j;
        work.assign(g.begin() + ptrdiff_t(i), g.begin() + ptrdiff_t(j));
        sinceCheck += j - i;
        std::sort(work.begin(), work.end(), less);
        for (const Item &x : work)
            order->push_back(x.token);
        i = j;
    }
    std::lock_guard<std::mutex> lock(d->mutex);
    d->full = std::move(order);
    d->items.reset();
}

bool LineOrder::isComplete() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return bool(d->full);
}

bool LineOrder::isGrouped() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->grouped || d->full;
}

} // namespace corvus::conc
