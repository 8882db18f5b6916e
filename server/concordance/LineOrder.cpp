// The order of a selection's lines: sort keys, radix groups, pages picked with a
// heap or from the groups they touch, and the full sort.
#include "concordance/Lines.h"

#include "service/Cancel.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <tuple>

namespace corvus::conc {

namespace {

// The parts of a sort sequence in comparison order.
enum Part : uint8_t { kCentre, kLeft, kRight };

void partsOf(SortSeq seq, Part out[3])
{
    static const Part table[6][3] = {
        {kCentre, kLeft, kRight}, {kCentre, kRight, kLeft}, {kLeft, kCentre, kRight},
        {kLeft, kRight, kCentre}, {kRight, kCentre, kLeft}, {kRight, kLeft, kCentre},
    };
    for (int i = 0; i < 3; ++i)
        out[i] = table[int(seq)][i];
}

} // namespace

// ---------------------------------------------------------------------------------
// LineOrder

namespace {

struct Item {
    uint64_t key;
    uint32_t token;
};

// A radix sort of items on bits [shift, shift + width) of their keys, the top
// bits, equal ones in any order: 11 bits a pass, from the lowest digit; a pass
// whose digit every item shares is skipped. The digits are counted as the items
// are made, so the sort itself only moves them.
class PrefixSort {
public:
    PrefixSort(int shift, int width)
        : m_shift(shift), m_passes(std::max(1, (width + kDigit - 1) / kDigit)),
          m_counts(size_t(m_passes) << kDigit, 0)
    {
    }

    void count(uint64_t key)
    {
        key >>= m_shift;
        for (int p = 0; p < m_passes; ++p, key >>= kDigit)
            ++m_counts[(size_t(p) << kDigit) + size_t(key & kMask)];
    }

    // Sorts exactly the items counted.
    void sort(std::vector<Item> &v)
    {
        const size_t n = v.size();
        if (n < 2)
            return;
        std::unique_ptr<Item[]> buffer;
        Item *src = v.data();
        Item *dst = nullptr;
        for (int p = 0; p < m_passes; ++p) {
            uint32_t *c = m_counts.data() + (size_t(p) << kDigit);
            const int at = m_shift + p * kDigit;
            if (c[(src[0].key >> at) & kMask] == n)
                continue;
            if (!dst) {
                buffer.reset(new Item[n]);
                dst = buffer.get();
            }
            uint32_t sum = 0;
            for (size_t b = 0; b <= kMask; ++b) {
                const uint32_t k = c[b];
                c[b] = sum;
                sum += k;
            }
            for (size_t i = 0; i < n; ++i)
                dst[c[(src[i].key >> at) & kMask]++] = src[i];
            std::swap(src, dst);
        }
        if (src != v.data())
            std::copy(src, src + n, v.begin());
    }

private:
    static constexpr int kDigit = 11;
    static constexpr uint64_t kMask = (uint64_t(1) << kDigit) - 1;
    int m_shift;
    int m_passes;
    std::vector<uint32_t> m_counts;
};

} // namespace

struct LineOrder::Private {
    std::shared_ptr<const Corpus> corpusPtr;
    const Corpus *corpus = nullptr;
    std::vector<uint32_t> tokens;   // ascending
    Base base = Base::Form;
    SortSeq seq = SortSeq::CLR;
    Part parts[3];
    int partCount = 3;              // the centre is left out when every line has the same
    // Slots: the comparisons in order, the centre one slot, each context part
    // kSortDepth slots. The first `packed` slots are packed into Item::key.
    int packed = 0;
    int bits = 21;
    // The group of a line: the top kGroupBits bits of its key (the key shifted
    // right by groupShift). Two radix passes; on the most frequent word of a
    // 5-million-word corpus a group holds at most a few hundred lines.
    static constexpr int kGroupBits = 22;
    int groupShift = 0;
    uint32_t heapLimit = 4096;

    const uint32_t *words = nullptr;   // form and flags of each token
    const uint32_t *formLemma = nullptr;
    uint32_t formCount = 0;

    // What is known of the order. Each vector is immutable once published; the
    // mutex guards only the pointers, so a reader holds it for a copy of them.
    mutable std::mutex mutex;
    mutable std::mutex groupMutex;  // one grouping at a time
    mutable std::mutex sortMutex;   // one full sort at a time
    mutable std::shared_ptr<const std::vector<Item>> items;   // the lines with their keys; dropped once full exists
    mutable bool grouped = false;   // items are in the order of their groups (in any order inside one)
    mutable std::shared_ptr<const std::vector<uint32_t>> full;

    struct State {
        std::shared_ptr<const std::vector<Item>> items;
        bool grouped = false;
        std::shared_ptr<const std::vector<uint32_t>> full;
    };

    uint64_t group(const Item &x) const { return x.key >> groupShift; }
    // The sort that puts lines in the order of their groups.
    PrefixSort groupSort() const { return PrefixSort(groupShift, packed * bits - groupShift); }

    uint32_t rank(uint32_t t) const
    {
        const uint32_t f = formPart(words[t]);
        if (f >= formCount)
            return 0;
        if (base == Base::Form)
            return f + 1;
        const uint32_t l = formLemma[f];
        return l == kNone ? 0 : l + 1;
    }
    bool isWord(uint32_t t) const { return !(flagPart(words[t]) & kPunct); }
    // The nearest word before/after t inside [lo, hi), kNone when there is none.
    uint32_t prevWord(uint32_t t, uint32_t lo) const
    {
        while (t > lo) {
            --t;
            if (isWord(t))
                return t;
        }
        return kNone;
    }
    uint32_t nextWord(uint32_t t, uint32_t hi) const
    {
        while (t + 1 < hi) {
            ++t;
            if (isWord(t))
                return t;
        }
        return kNone;
    }
    std::pair<uint32_t, uint32_t> bounds(uint32_t t) const
    {
        const TextInfo &ti = corpus->text(corpus->textOf(t));
        return {ti.firstToken, ti.firstToken + ti.tokenCount};
    }

    // The first `count` slot values of a token of the text [lo, hi).
    void slotValues(uint32_t t, uint32_t lo, uint32_t hi, uint32_t *out, int count) const
    {
        int n = 0;
        for (int p = 0; p < partCount && n < count; ++p) {
            if (parts[p] == kCentre) {
                out[n++] = rank(t);
                continue;
            }
            uint32_t w = t;
            for (int depth = 0; depth < kSortDepth && n < count; ++depth) {
                if (w != kNone)
                    w = parts[p] == kLeft ? prevWord(w, lo) : nextWord(w, hi);
                out[n++] = w == kNone ? 0 : rank(w);
            }
        }
    }

    uint64_t packKey(uint32_t t) const
    {
        const auto [lo, hi] = bounds(t);
        return packKey(t, lo, hi);
    }
    uint64_t packKey(uint32_t t, uint32_t lo, uint32_t hi) const
    {
        uint32_t v[3] = {0, 0, 0};
        slotValues(t, lo, hi, v, packed);
        uint64_t key = 0;
        for (int i = 0; i < packed; ++i)
            key = (key << bits) | v[i];
        return key;
    }

    // The order on the slots from `skip` on, then corpus order.
    bool lessFrom(uint32_t a, uint32_t b, int skip) const
    {
        if (a == b)
            return false;
        int slot = 0;
        const auto [loA, hiA] = bounds(a);
        const auto [loB, hiB] = bounds(b);
        for (int p = 0; p < partCount; ++p) {
            if (parts[p] == kCentre) {
                if (slot++ >= skip) {
                    const uint32_t ra = rank(a), rb = rank(b);
                    if (ra != rb)
                        return ra < rb;
                }
                continue;
            }
            uint32_t wa = a, wb = b;
            for (int depth = 0; depth < kSortDepth; ++depth, ++slot) {
                if (wa != kNone)
                    wa = parts[p] == kLeft ? prevWord(wa, loA) : nextWord(wa, hiA);
                if (wb != kNone)
                    wb = parts[p] == kLeft ? prevWord(wb, loB) : nextWord(wb, hiB);
                if (wa == kNone && wb == kNone) {
                    slot += kSortDepth - depth;
                    break;
                }
                if (slot >= skip) {
                    const uint32_t ra = wa == kNone ? 0 : rank(wa);
                    const uint32_t rb = wb == kNone ? 0 : rank(wb);
                    if (ra != rb)
                        return ra < rb;
                }
            }
        }
        return a < b;
    }

    bool less(const Item &x, const Item &y) const
    {
        if (x.key != y.key)
            return x.key < y.key;
        return lessFrom(x.token, y.token, packed);
    }

    State state() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return State{items, grouped, full};
    }

    // The lines in the order of their groups: groups them unless that is done.
    // Waits only for another grouping (a short one), never for the full sort.
    State groupedState() const
    {
        std::lock_guard<std::mutex> grouping(groupMutex);
        State s = state();
        if (s.full || s.grouped)
            return s;
        auto sorted = std::make_shared<std::vector<Item>>(*s.items);
        PrefixSort sort = groupSort();
        for (const Item &x : *sorted)
            sort.count(x.key);
        sort.sort(*sorted);
        std::lock_guard<std::mutex> lock(mutex);
        items = sorted;
        grouped = true;
        return State{items, grouped, full};
    }

    // Lines [from, to) of grouped lines g (from < to <= g.size()). They lie in the
    // whole groups [lo, hi); only the order inside those groups is left to find,
    // so the work is the page and the groups it touches, not the selection.
    std::vector<uint32_t> pageOfGroups(const std::vector<Item> &g, uint32_t from, uint32_t to) const
    {
        const uint64_t firstGroup = group(g[from]);
        const uint64_t lastGroup = group(g[to - 1]);
        const auto lo = std::lower_bound(g.begin(), g.begin() + from, firstGroup,
                                         [this](const Item &x, uint64_t v) { return group(x) < v; });
        const auto hi = std::upper_bound(g.begin() + to, g.end(), lastGroup,
                                         [this](uint64_t v, const Item &x) { return v < group(x); });
        std::vector<Item> work(lo, hi);
        const auto byOrder = [this](const Item &x, const Item &y) { return less(x, y); };
        const auto first = work.begin() + (from - (lo - g.begin()));
        const auto last = first + (to - from);
        if (first != work.begin())
            std::nth_element(work.begin(), first, work.end(), byOrder);
        if (last != work.end())
            std::nth_element(first, last, work.end(), byOrder);
        std::sort(first, last, byOrder);
        std::vector<uint32_t> out;
        out.reserve(to - from);
        for (auto it = first; it != last; ++it)
            out.push_back(it->token);
        return out;
    }
};

LineOrder::LineOrder(std::shared_ptr<const Corpus> corpus, std::vector<uint32_t> tokens, Base base, SortSeq seq,
                     uint32_t heapLimit, uint32_t groupLimit)
    : d(std::make_unique<Private>())
{
    d->heapLimit = heapLimit;
    d->corpusPtr = std::move(corpus);
    d->corpus = d->corpusPtr.get();
    d->tokens = std::move(tokens);
    d->base = base;
    d->seq = seq;
    partsOf(seq, d->parts);
    d->words = d->corpus->tokenWords().data();
    d->formLemma = d->corpus->formLemmas().data();
    d->formCount = d->corpus->forms().size();

    // Leave the centre out when every occurrence has the same base value.
    bool sameCentre = true;
    if (!d->tokens.empty()) {
        const uint32_t r0 = d->rank(d->tokens.front());
        for (const uint32_t t : d->tokens)
            if (d->rank(t) != r0) {
                sameCentre = false;
                break;
            }
    }
    if (sameCentre) {
        int n = 0;
        for (int i = 0; i < 3; ++i)
            if (d->parts[i] != kCentre)
                d->parts[n++] = d->parts[i];
        d->partCount = n;
    }
    const uint32_t maxRank = base == Base::Form ? d->corpus->forms().size() : d->corpus->lemmas().size();
    int bits = 1;
    while (bits < 32 && (uint64_t(1) << bits) <= maxRank)
        ++bits;
    d->bits = bits;
    const int slotCount = [&] {
        int n = 0;
        for (int p = 0; p < d->partCount; ++p)
            n += d->parts[p] == kCentre ? 1 : kSortDepth;
        return n;
    }();
    d->packed = std::min({64 / bits, 3, slotCount});
    d->groupShift = std::max(0, d->packed * bits - Private::kGroupBits);

    auto items = std::make_shared<std::vector<Item>>();
    items->reserve(d->tokens.size());
    std::optional<PrefixSort> sort;
    if (d->tokens.size() <= groupLimit)
        sort.emplace(d->groupSort());
    // The tokens ascend: the bounds of a text are looked up once, not per token.
    uint32_t lo = 1, hi = 0;
    uint32_t made = 0;
    for (const uint32_t t : d->tokens) {
        if ((++made & 0xFFFF) == 0)
            cancel::check();   // the order of a frequent word for a client that has gone
        if (t < lo || t >= hi)
            std::tie(lo, hi) = d->bounds(t);
        const uint64_t key = d->packKey(t, lo, hi);
        items->push_back(Item{key, t});
        if (sort)
            sort->count(key);
    }
    if (sort) {
        // Cheap next to making the keys (two passes over the items), and from now
        // on a page costs only the groups it touches.
        sort->sort(*items);
        d->grouped = true;
    }
    d->items = std::move(items);
}

LineOrder::~LineOrder() = default;

uint32_t LineOrder::size() const
{
    return uint32_t(d->tokens.size());
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

std::vector<uint32_t> LineOrder::lines(uint32_t from, uint32_t to) const
{
    const uint32_t n = size();
    to = std::min(to, n);
    if (from >= to)
        return {};
    Private::State s = d->state();
    if (s.full)
        return std::vector<uint32_t>(s.full->begin() + from, s.full->begin() + to);
    if (s.grouped)
        return d->pageOfGroups(*s.items, from, to);

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
        for (uint32_t i = from; i < to; ++i)
            out.push_back(heap[i - base].token);
        return out;
    }
    // A page in the middle: the lines are grouped first (by this request, or by
    // the background worker, whose grouping this then waits for).
    s = d->groupedState();
    if (s.full)
        return std::vector<uint32_t>(s.full->begin() + from, s.full->begin() + to);
    return d->pageOfGroups(*s.items, from, to);
}

int64_t LineOrder::lineOf(uint32_t token) const
{
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
