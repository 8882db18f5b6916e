#pragma once
// The inside of LineOrder (Lines.h), shared by the files that implement it: the
// keys and their radix sort (LineOrder.cpp) and the ends of a lazy order
// (LineEnds.cpp).
#include "concordance/Lines.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace corvus::conc {

// The parts of a sort sequence in comparison order.
enum Part : uint8_t { kCentre, kLeft, kRight };

inline void partsOf(SortSeq seq, Part out[3])
{
    static const Part table[6][3] = {
        {kCentre, kLeft, kRight}, {kCentre, kRight, kLeft}, {kLeft, kCentre, kRight},
        {kLeft, kRight, kCentre}, {kRight, kCentre, kLeft}, {kRight, kLeft, kCentre},
    };
    for (int i = 0; i < 3; ++i)
        out[i] = table[int(seq)][i];
}

struct Item {
    uint64_t key;
    uint32_t token;
};

// A line at an end of a lazy order, with the slots after its group's key in a
// second key: the lines of a group often share the first few (the words that
// begin the texts of one author), and each page after the first looks at the
// group's lines again.
struct EndItem {
    uint64_t key[2];
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

struct LineOrder::Private {
    std::shared_ptr<const Corpus> corpusPtr;
    const Corpus *corpus = nullptr;
    mutable std::vector<uint32_t> tokens;   // ascending (a lazy order: empty until made)
    uint32_t count = 0;             // lines
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
    uint32_t groupLimit = uint32_t(1) << 20;

    const uint32_t *words = nullptr;   // form and flags of each token
    const uint32_t *formLemma = nullptr;
    // An annotated corpus's token types and their lemmas (null otherwise).
    const uint32_t *tokenTypes = nullptr;
    const uint32_t *typeLemma = nullptr;
    uint32_t formCount = 0;
    uint32_t typeCount = 0, lemmaCount = 0;   // bounds of tokenTypes' and the lemmas' ids

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
        // (A type or lemma out of range, from a damaged cache file, ranks as none.)
        const uint32_t type = tokenTypes ? tokenTypes[t] : kNone;
        const uint32_t l = !tokenTypes ? formLemma[f] : type < typeCount ? typeLemma[type] : kNone;
        return l < lemmaCount ? l + 1 : 0;
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

    // The values of slots [from, from + count) of a token of the text [lo, hi);
    // those past the last slot are left as they are.
    void slotValues(uint32_t t, uint32_t lo, uint32_t hi, uint32_t *out, int from, int count) const
    {
        int n = 0, slot = 0;
        for (int p = 0; p < partCount && n < count; ++p) {
            if (parts[p] == kCentre) {
                if (slot++ >= from)
                    out[n++] = rank(t);
                continue;
            }
            if (slot + kSortDepth <= from) {
                slot += kSortDepth;
                continue;
            }
            uint32_t w = t;
            for (int depth = 0; depth < kSortDepth && n < count; ++depth, ++slot) {
                if (w != kNone)
                    w = parts[p] == kLeft ? prevWord(w, lo) : nextWord(w, hi);
                if (slot >= from)
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
        slotValues(t, lo, hi, v, 0, packed);
        return pack(v);
    }
    uint64_t pack(const uint32_t *v) const
    {
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
        to = uint32_t(std::min<size_t>(to, g.size()));   // (see slice() in LineOrder.cpp)
        if (from >= to)
            return {};
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
    // A lazy order (one value of one characteristic, without filters): what
    // selects its lines, and its two ends as far as they are known.
    bool lazy = false;
    std::shared_ptr<const ConcEngine> engine;
    Query query;
    uint32_t value = kNone;
    const Characteristic *listed = nullptr;
    uint32_t maxRank = 0;            // slot values run 0 .. maxRank
    mutable std::mutex makeMutex;    // one making of the selection at a time
    mutable std::mutex endMutex;
    mutable std::vector<uint32_t> head;   // lines 0 .. head.size() - 1
    mutable uint64_t headNext = 0;        // every line whose first slot is below this is in head or headRest
    mutable std::vector<EndItem> headRest;   // the lines of slot headNext - 1 not yet in head
    mutable std::vector<uint32_t> tail;   // lines n - 1, n - 2, ... (last first)
    mutable int64_t tailNext = 0;         // every line whose first slot is above this is in tail or tailRest
    mutable std::vector<EndItem> tailRest;   // the lines of slot tailNext + 1 not yet in tail
    mutable std::atomic<size_t> restKnown{0};   // headRest.size() + tailRest.size()
    // head.size() and tail.size(), for those who must not wait while an end grows
    // (the cost of a request is told on the thread that reads the requests).
    mutable std::atomic<size_t> headKnown{0}, tailKnown{0};

    // Set-up shared by both kinds of order: parts, key width, groups.
    void init(const std::shared_ptr<const Corpus> &corpus, Base base, SortSeq seq, bool sameCentre);
    // The keys of `tokens`, grouped when they are few enough (LineOrder.cpp).
    void makeItems() const;
    // A lazy order's selection and keys, made unless they are (LineEnds.cpp).
    void make() const;
    bool selected(uint32_t token) const
    {
        if (query.listChar == kCharForm)   // its value is the form itself
            return formPart(words[token]) == value && isWord(token);
        return isWord(token) && listed->valueOf(token) == value;
    }
    // The slots from which the lines whose first slot is `slot` may differ: the
    // next one; or, for lines without a word on the first part's side, the next
    // part, the whole of theirs being empty.
    int groupSkip(uint64_t slot) const { return slot == 0 && parts[0] != kCentre ? kSortDepth : 1; }
    // The lines whose first slot is `slot`, in no order, keyed on the slots from
    // groupSkip(slot) on.
    std::vector<EndItem> slotGroup(uint64_t slot) const;
    // Whether a text holds the value: always when the value is not the text's own.
    bool textHolds(uint32_t text, bool perText) const
    {
        return !perText || (text < listed->byText().size() && listed->byText()[text] == value);
    }
    // The steps of slotGroup (LineEnds.cpp), handing take(token, lo, hi) each line
    // (kNone: none) with its text's range [lo, hi): the first (or last) word of each
    // text that holds the value, for the slot of no word;
    template <typename Take>
    void takeTextEdges(bool perText, const Take &take) const;
    // and the lines next to (or at) the occurrences of the slot's word form or
    // lemma, postingsOfSlot(v): its form's, or those of its lemma's forms, or,
    // where one form can stand for several lemmas, the lemma's own.
    template <typename Take>
    void takeNearPostings(uint32_t v, bool perText, const Take &take) const;
    std::vector<Span<uint32_t>> postingsOfSlot(uint32_t v) const;
    // Moves the first k of a slot group's lines (with `last`, the last k, last
    // first) onto `out`, in order; `rest` keeps the others, in no order. Only
    // what is taken is ordered, so the first page of a large group costs one
    // pass over it.
    void takeOrdered(std::vector<EndItem> &rest, int skip, size_t k, bool last, std::vector<uint32_t> &out) const;
    // Lines [from, to) from the known ends, extended as far as needed.
    std::vector<uint32_t> fromHead(uint32_t from, uint32_t to) const;
    std::vector<uint32_t> fromTail(uint32_t from, uint32_t to) const;
};

} // namespace corvus::conc
