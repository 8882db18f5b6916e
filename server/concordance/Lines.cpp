#include "concordance/Lines.h"

#include "concordance/Grid.h"
#include "concordance/Text.h"
#include "concordance/WireText.h"
#include "corpus/Charset.h"
#include "service/CorpusDictionary.h"
#include "service/CorvusService.h"
#include "service/DictionaryReplies.h"
#include "service/Cancel.h"
#include "service/Reply.h"
#include "service/WireRequest.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>
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

uint32_t signatureOf(const QByteArray &key)
{
    uint32_t h = 2166136261u;
    for (const char c : key) {
        h ^= uint8_t(c);
        h *= 16777619u;
    }
    return h % 2147483646u + 1u;   // positive, never 0 (a new record's Found)
}

// The identity of a sorted order: what selects the occurrences, the base, the sequence.
QByteArray orderKey(const Query &q, Base base, SortSeq seq)
{
    QByteArray key;
    key.reserve(64);
    key += char('0' + int(base));
    key += char('0' + int(seq));
    key += '|';
    appendNumber(key, q.listChar);
    key += ',';
    appendNumber(key, q.distance);
    key += ',';
    appendNumber(key, q.selected);
    for (const Condition &c : q.fixed) {
        key += '|';
        appendNumber(key, c.charNo);
        key += ',';
        appendNumber(key, c.distance);
        for (const uint32_t v : c.values) {
            key += ',';
            appendNumber(key, v);
        }
    }
    return key;
}

} // namespace

// ---------------------------------------------------------------------------------
// Options and small helpers

SortSeq sortSeqFrom(QByteArrayView code)
{
    const QByteArray c = code.toByteArray().trimmed().toUpper();
    static const char *codes[6] = {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"};
    for (int i = 0; i < 6; ++i)
        if (c == codes[i])
            return SortSeq(i);
    return SortSeq::CLR;
}

QByteArray sortSeqCode(SortSeq seq)
{
    static const char *codes[6] = {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"};
    return QByteArray(codes[int(seq)]);
}

Base baseOf(int charNo)
{
    return charNo == kCharLemma ? Base::Lemma : Base::Form;
}

int intOption(const OptionList &options, const char *name, int fallback)
{
    bool ok = false;
    const int v = options.value(QByteArray(name)).trimmed().toInt(&ok);
    return ok ? v : fallback;
}

QList<int> groupOption(const ConcEngine &engine, const OptionList &options, int group)
{
    const QByteArray name = "Char" + QByteArray::number(group);
    if (!options.has(name))
        return engine.groupMembers(group);
    const QByteArray code = options.value(name);
    QList<int> out;
    const bool shifted = !code.isEmpty() && uint8_t(code[0]) > 199;
    for (const char c : code) {
        const int n = shifted ? int(uint8_t(c)) - 200 : int(uint8_t(c));
        if (engine.validChar(n) && !out.contains(n))
            out.append(n);
    }
    return out;
}

OptionList optionsOf(const wirerequest::Request &request)
{
    return request.options ? *request.options : OptionList::initial();
}

QByteArray noPositionReply()
{
    return reply::zero(ru("В запросе нет позиции конкорданса."));
}

QByteArray emptyPageReply(const LinePage &pg)
{
    return reply::zero(pg.ok ? ru("Для выбранного значения строк конкорданса нет.") : pg.error);
}

void setLineRecord(tCConcPos &conc, const LinePage &pg)
{
    conc.FirstLine = qint32(pg.first);
    conc.CurLine = qint32(pg.current);
    conc.Found[0] = qint32(pg.signature);
    conc.Found[size_t(pg.query.level)] = qint32(std::min<uint32_t>(pg.count, INT32_MAX));
    for (char &m : conc.Move)
        m = ' ';
}

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

    const uint32_t *forms = nullptr;
    const uint8_t *flags = nullptr;
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
        const uint32_t f = forms[t];
        if (f >= formCount)
            return 0;
        if (base == Base::Form)
            return f + 1;
        const uint32_t l = formLemma[f];
        return l == kNone ? 0 : l + 1;
    }
    bool isWord(uint32_t t) const { return !(flags[t] & kPunct); }
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
    d->forms = d->corpus->tokenForms().data();
    d->flags = d->corpus->tokenFlagArray().data();
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

// ---------------------------------------------------------------------------------
// The cache of orders and the worker that completes them

struct LineEngine::Cache {
    explicit Cache(size_t capacity) : capacity(capacity)
    {
        worker = std::thread([this] { run(); });
    }
    ~Cache()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        wake.notify_all();
        worker.join();
    }

    // Without making it the most recent.
    std::shared_ptr<const LineOrder> peek(const QByteArray &key)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto &e : entries)
            if (e.first == key)
                return e.second;
        return nullptr;
    }

    std::shared_ptr<const LineOrder> find(const QByteArray &key)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->first == key) {
                entries.splice(entries.begin(), entries, it);
                return entries.front().second;
            }
        }
        return nullptr;
    }

    std::shared_ptr<const LineOrder> insert(const QByteArray &key, std::shared_ptr<const LineOrder> order)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (const auto &e : entries)
                if (e.first == key)
                    return e.second;   // another request was quicker
            entries.emplace_front(key, order);
            size_t tokens = 0;
            for (const auto &e : entries)
                tokens += e.second->size();
            while (entries.size() > 1 && (entries.size() > capacity || tokens > kMaxCachedTokens)) {
                tokens -= entries.back().second->size();
                entries.pop_back();
            }
            pending.push_back(order);
        }
        wake.notify_one();
        return order;
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.clear();
        pending.clear();
    }

    void run()
    {
        for (;;) {
            std::shared_ptr<const LineOrder> next;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return stop || !pending.empty(); });
                if (stop)
                    return;
                next = pending.front().lock();
                pending.pop_front();
            }
            if (next)
                next->complete();
        }
    }

    static constexpr size_t kMaxCachedTokens = size_t(8) << 20;
    const size_t capacity;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::list<std::pair<QByteArray, std::shared_ptr<const LineOrder>>> entries;   // most recent first
    std::deque<std::weak_ptr<const LineOrder>> pending;
    std::thread worker;
};

// ---------------------------------------------------------------------------------
// LineEngine

LineEngine::LineEngine(std::shared_ptr<const ConcEngine> engine,
                       QList<std::shared_ptr<const ServedDictionary>> dictionaries, int cacheEntries)
    : m_engine(std::move(engine)), m_dictionaries(std::move(dictionaries)),
      m_cache(std::make_unique<Cache>(size_t(std::max(1, cacheEntries))))
{
    for (int i = 0; i < m_dictionaries.size(); ++i) {
        const auto *cd = dynamic_cast<const CorpusDictionary *>(&m_dictionaries[i]->dictionary());
        if (!cd)
            continue;
        m_corpusDict = i;
        m_placeOfLemma.assign(corpus().lemmas().size(), -1);
        for (int place = 0; place < cd->index().size(); ++place) {
            const uint32_t lemma = cd->lemmaAt(place);
            if (lemma < m_placeOfLemma.size())
                m_placeOfLemma[lemma] = place;
        }
        break;
    }
}

LineEngine::~LineEngine() = default;

void LineEngine::clearCache() const
{
    m_cache->clear();
}

LineEngine::Ordered LineEngine::order(const tCConcPos &conc, const OptionList &options) const
{
    Ordered o;
    o.query = m_engine->parse(conc);
    if (!o.query.ok) {
        o.error = o.query.error;
        return o;
    }
    if (o.query.selected < 0) {
        o.error = ru("Значение для конкорданса не выбрано.");
        return o;
    }
    o.base = baseOf(conc.CharNo[0]);
    o.seq = sortSeqFrom(options.value("SortSeq"));
    const QByteArray key = orderKey(o.query, o.base, o.seq);
    o.signature = signatureOf(key);
    o.order = m_cache->find(key);
    if (!o.order) {
        Selection s = m_engine->select(conc, options);
        if (!s.ok) {
            o.error = s.error;
            return o;
        }
        o.order = m_cache->insert(
            key, std::make_shared<const LineOrder>(m_engine->corpusPtr(), std::move(s.tokens), o.base, o.seq));
    }
    o.ok = true;
    return o;
}

std::shared_ptr<const LineOrder> LineEngine::cachedOrder(const tCConcPos &conc, const OptionList &options) const
{
    const Query q = m_engine->parse(conc);
    if (!q.ok || q.selected < 0)
        return nullptr;
    return m_cache->peek(orderKey(q, baseOf(conc.CharNo[0]), sortSeqFrom(options.value("SortSeq"))));
}

namespace {

uint32_t pageSizeOf(const OptionList &options)
{
    const int p = intOption(options, "LBC_L_Max", kDefaultPageLines);
    return uint32_t(std::clamp(p <= 0 ? kDefaultPageLines : p, 1, kMaxPageLines));
}

// Whether a request's line numbers belong to this order.
bool sameOrder(const tCConcPos &conc, uint32_t signature, uint32_t count)
{
    return conc.Found[0] == qint32(signature) && conc.FirstLine >= 1 && uint32_t(conc.FirstLine) <= count;
}

// A page of an order before its lines are chosen: the order, its identity and its
// size; or the order's error.
LinePage pageOfOrder(const LineEngine::Ordered &o)
{
    LinePage pg;
    if (!o.ok) {
        pg.error = o.error;
        return pg;
    }
    pg.ok = true;
    pg.order = o.order;
    pg.query = o.query;
    pg.signature = o.signature;
    pg.count = o.order->size();
    return pg;
}

} // namespace

LinePage LineEngine::page(const tCConcPos &conc, const OptionList &options, uint32_t pageSize) const
{
    LinePage pg = pageOfOrder(order(conc, options));
    if (!pg.ok)
        return pg;
    pg.pageSize = pageSize > 0 ? pageSize : pageSizeOf(options);
    const uint32_t n = pg.count;
    const uint32_t p = pg.pageSize;
    if (n == 0) {
        pg.first = pg.current = 0;
        return pg;
    }
    const uint32_t lastFirst = n > p ? n - p + 1 : 1;
    const bool valid = sameOrder(conc, pg.signature, n);
    const uint32_t F = valid ? uint32_t(conc.FirstLine) : 1;
    uint32_t first = 1, cur = 1;
    const int thumb = intOption(options, "ConcSBar", -1);
    switch (conc.Move[0]) {
    case 'B':
        break;
    case 'E':
        first = lastFirst;
        cur = n;
        break;
    case '+':
        if (valid) {
            const uint64_t next = uint64_t(F) + p;
            first = uint32_t(std::min<uint64_t>(next, lastFirst));
            cur = uint32_t(std::min<uint64_t>(next, n));
        }
        break;
    case '-':
        if (valid) {
            first = F > p ? F - p : 1;
            cur = F > 1 ? F - 1 : 1;
        }
        break;
    default:
        if (thumb >= 0 && thumb <= 100) {
            const uint32_t line = 1 + uint32_t(std::llround(double(thumb) * double(n - 1) / 100.0));
            first = std::min(line, lastFirst);
            cur = first;
        } else if (valid) {
            cur = conc.CurLine >= 1 && uint32_t(conc.CurLine) <= n ? uint32_t(conc.CurLine) : F;
            first = std::min(F, lastFirst);
            const bool onPage = cur >= first && cur < first + p;
            if (conc.Move[0] == 'C' && !onPage)
                first = std::min(cur, lastFirst);
            else if (!onPage)
                cur = first;
        }
        break;
    }
    pg.first = first;
    pg.current = cur;
    pg.tokens = pg.order->lines(first - 1, first - 1 + p);
    if (cur >= first && cur - first < pg.tokens.size())
        pg.currentToken = pg.tokens[cur - first];
    if (n > p)
        pg.scrollPercent = int(std::llround(100.0 * double(first - 1) / double(lastFirst - 1)));
    return pg;
}

LinePage LineEngine::current(const tCConcPos &conc, const OptionList &options) const
{
    LinePage pg = pageOfOrder(order(conc, options));
    if (!pg.ok)
        return pg;
    pg.pageSize = pageSizeOf(options);
    if (pg.count == 0) {
        pg.first = pg.current = 0;
        return pg;
    }
    const bool valid = sameOrder(conc, pg.signature, pg.count);
    uint32_t cur = 1, first = 1;
    if (valid) {
        first = uint32_t(conc.FirstLine);
        cur = conc.CurLine >= 1 && uint32_t(conc.CurLine) <= pg.count ? uint32_t(conc.CurLine) : first;
        if (cur < first || cur - first >= pg.pageSize)
            first = cur;
    }
    pg.first = first;
    pg.current = cur;
    const std::vector<uint32_t> one = pg.order->lines(cur - 1, cur);
    if (!one.empty()) {
        pg.currentToken = one.front();
        pg.tokens = one;
    }
    return pg;
}

bool LineEngine::pointAtToken(tCConcPos &conc, const OptionList &options, uint32_t token) const
{
    const Ordered o = order(conc, options);
    if (!o.ok)
        return false;
    const int64_t line = o.order->lineOf(token);
    if (line < 0)
        return false;
    conc.CurLine = qint32(line + 1);
    conc.FirstLine = qint32(line + 1);
    conc.Found[0] = qint32(o.signature);
    conc.Found[size_t(o.query.level)] = qint32(std::min<uint32_t>(o.order->size(), INT32_MAX));
    conc.Move[0] = 'C';
    return true;
}

// ---------------------------------------------------------------------------------
// What a line shows

void LineEngine::appendShown(uint32_t token, Base base, QByteArray &out) const
{
    const Corpus &c = corpus();
    if (base == Base::Lemma && !c.isPunct(token)) {
        const uint32_t lemma = c.lemmaOf(token);
        if (lemma != kNone) {
            appendCleanBytes(out, c.lemmas().text(lemma));
            return;
        }
    }
    QByteArray shown;
    c.appendDisplay(token, shown);
    appendCleanBytes(out, viewOf(shown));
}

QByteArray LineEngine::textName(uint32_t text) const
{
    const TextInfo &t = corpus().text(text);
    QByteArray name = t.author.isEmpty() ? t.title : t.author + ". " + t.title;
    if (name.size() > 160)
        name.truncate(160);
    QByteArray out;
    appendCleanBytes(out, viewOf(name));
    return out;
}

LineEngine::Context LineEngine::context(uint32_t token, int width, Base base) const
{
    Context ctx;
    const Corpus &c = corpus();
    const TextInfo &ti = c.text(c.textOf(token));
    const uint32_t lo = ti.firstToken, hi = ti.firstToken + ti.tokenCount;
    const bool verse = ti.kind == TextKind::Verse;
    width = std::clamp(width, 0, kMaxConcWidth);

    // The first token of the left context: the width-th word to the left, with
    // the punctuation that opens it; the text's first token when fewer words.
    uint32_t start = token;
    int words = 0;
    for (uint32_t t = token; t > lo && words < width;) {
        --t;
        start = t;
        if (!c.isPunct(t))
            ++words;
    }
    if (words < width)
        start = lo;
    while (start > lo && c.isPunct(start - 1) && !(c.tokenFlags(start) & kSpaceBefore))
        --start;

    // The last token of the right context: the width-th word to the right with the
    // punctuation attached to it.
    uint32_t end = token + 1;
    words = 0;
    while (end < hi && words < width) {
        if (!c.isPunct(end))
            ++words;
        ++end;
    }
    while (end < hi && c.isPunct(end) && !(c.tokenFlags(end) & kSpaceBefore) && !(c.tokenFlags(end - 1) & kLineEnd))
        ++end;

    const auto separator = [&](uint32_t t, QByteArray &out) {
        // Before token t (t > the first token of its part).
        const uint8_t prev = c.tokenFlags(t - 1);
        if (verse && (prev & kLineEnd)) {
            out += " ` ";
            return;
        }
        if ((c.tokenFlags(t) & kSpaceBefore) || (prev & kLineEnd))
            out += ' ';
    };
    for (uint32_t t = start; t < token; ++t) {
        if (t > start)
            separator(t, ctx.left);
        appendShown(t, base, ctx.left);
    }
    if (token > start && verse && (c.tokenFlags(token - 1) & kLineEnd))
        ctx.left += " `";
    appendShown(token, base, ctx.centre);
    for (uint32_t t = token + 1; t < end; ++t) {
        if (t == token + 1) {
            if (verse && (c.tokenFlags(token) & kLineEnd))
                ctx.right += "` ";
            else if (c.tokenFlags(t) & kSpaceBefore)
                ctx.right += ' ';
        } else {
            separator(t, ctx.right);
        }
        appendShown(t, base, ctx.right);
    }
    return ctx;
}

QList<DictLink> LineEngine::links(uint32_t token) const
{
    QList<DictLink> out;
    const Corpus &c = corpus();
    if (token >= c.tokenCount() || c.isPunct(token))
        return out;
    const uint32_t lemma = c.lemmaOf(token);
    QString lemmaText, formText;
    for (int d = 0; d < m_dictionaries.size() && out.size() < 3; ++d) {
        int place = -1;
        if (d == m_corpusDict) {
            if (lemma != kNone && lemma < m_placeOfLemma.size())
                place = m_placeOfLemma[lemma];
        } else {
            const HeadwordIndex &idx = m_dictionaries[d]->dictionary().index();
            if (lemmaText.isNull() && lemma != kNone)
                lemmaText = charset::toQString(c.lemmas().text(lemma));
            if (!lemmaText.isEmpty())
                place = idx.find(lemmaText);
            if (place < 0) {
                if (formText.isNull())
                    formText = charset::toQString(c.forms().text(c.formOf(token)));
                place = idx.find(formText);
            }
        }
        if (place >= 0)
            out.append({d, place + 1});
    }
    return out;
}

std::optional<std::pair<qint32, qint32>> LineEngine::entryTie(int dictNo, int place) const
{
    if (dictNo < 0 || dictNo >= m_dictionaries.size())
        return std::nullopt;
    const Dictionary &dict = m_dictionaries[dictNo]->dictionary();
    if (place < 0 || place >= dict.index().size())
        return std::nullopt;
    std::string word;
    if (dictNo == m_corpusDict) {
        const uint32_t lemma = static_cast<const CorpusDictionary &>(dict).lemmaAt(place);
        word = std::string(corpus().lemmas().text(lemma));
    } else {
        word = charset::fold(charset::toCp1251(dict.index().word(place)).toStdString());
    }
    for (const int charNo : {int(kCharLemma), int(kCharForm)}) {
        if (!m_engine->validChar(charNo))
            continue;
        const Characteristic &ch = m_engine->characteristic(charNo);
        const uint32_t v = ch.find(word);
        if (v != kNone && v != ch.emptyValue() && ch.count(v) > 0)
            return std::make_pair(qint32(v), qint32(charNo));
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------
// "CT_N"

namespace {

// Room for the most frequent word of a literary corpus at the default width (about
// 35 MiB for 242,000 lines), well below the client's reply cap (256 MiB); what one
// client can make the server hold stays bounded.
constexpr qsizetype kMaxExportBytes = qsizetype(64) << 20;

void appendLine(const LineEngine &lines, uint32_t token, uint32_t number, int width, Base base,
                QByteArray &out)
{
    const LineEngine::Context ctx = lines.context(token, width, base);
    out += ctx.left;
    out += " $@$ ";
    appendNumber(out, number);
    out += ',';
    out += ctx.centre;
    out += " $+$ ";
    out += lines.textName(lines.corpus().textOf(token));
    out += " $*$ ";
    out += ctx.right;
    out += " $$$";
}

bool isTrue(const QByteArray &v)
{
    return v.trimmed().compare("True", Qt::CaseInsensitive) == 0;
}

} // namespace

QByteArray linesReply(const LineEngine &lines, const wirerequest::Request &request)
{
    const QByteArray &tag = request.tag;
    if (!request.conc)
        return noPositionReply();
    tCConcPos conc = *request.conc;
    OptionList options = optionsOf(request);
    const int width = std::clamp(intOption(options, "ConcWidth", kDefaultConcWidth), 1, kMaxConcWidth);
    const Base base = baseOf(conc.CharNo[0]);
    const ConcEngine &engine = lines.engine();

    if (isTrue(options.value("PrintConc"))) {
        const bool one = isTrue(options.value("PrintConcStr"));
        LinePage pg = one ? lines.current(conc, options) : pageOfOrder(lines.order(conc, options));
        if (!pg.ok || pg.count == 0)
            return emptyPageReply(pg);
        std::vector<uint32_t> tokens;
        uint32_t firstNumber = 1;
        if (one) {
            tokens = pg.tokens;
            firstNumber = pg.current;
        } else {
            pg.order->complete();
            tokens = pg.order->lines(0, pg.count);
        }
        const QList<int> heading = groupOption(engine, options, 3);
        QByteArray body;
        body.reserve(qsizetype(std::min<size_t>(tokens.size() * 160, size_t(kMaxExportBytes))));
        uint32_t written = 0;
        for (size_t i = 0; i < tokens.size(); ++i) {
            if (body.size() >= kMaxExportBytes)
                break;
            if ((i & 0x3FF) == 0)
                cancel::check();
            if (i > 0)
                body += ' ';
            for (const int c : heading) {
                const Characteristic &ch = engine.characteristic(c);
                const uint32_t v = ch.valueOf(tokens[i]);
                if (v != kNone)
                    appendCleanBytes(body, ch.text(v));
                body += " $^$ ";
            }
            appendLine(lines, tokens[i], firstNumber + uint32_t(i), width, base, body);
            ++written;
        }
        if (written < tokens.size()) {
            body += ' ';
            body += ru("(выгрузка ограничена: выведено строк ") + QByteArray::number(written) + ru(" из ")
                + QByteArray::number(qulonglong(tokens.size())) + ") $@$ 0, $*$  $$$";
        }
        conc.Found[size_t(pg.query.level)] = qint32(std::min<uint32_t>(pg.count, INT32_MAX));
        for (char &m : conc.Move)
            m = ' ';
        // A whole export is headed "Найдено ..."; a requested line keeps "True", so
        // that its header reads "Запрошенная строка : ".
        if (!one)
            options.set("PrintConcStr", "False");
        return reply::wire(tag, replyBody(&conc, nullptr, &options, body));
    }

    const LinePage pg = lines.page(conc, options);
    if (!pg.ok || pg.count == 0)
        return emptyPageReply(pg);

    // Every line carries a link fragment (empty where the centre word has no
    // headword) as soon as one does, so that the client's marker search, which runs
    // over the whole body, pairs each fragment with its own line.
    std::vector<QList<DictLink>> links(pg.tokens.size());
    bool anyLink = false;
    for (size_t i = 0; i < pg.tokens.size(); ++i) {
        links[i] = lines.links(pg.tokens[i]);
        anyLink |= !links[i].isEmpty();
    }
    QByteArray body;
    body.reserve(qsizetype(pg.tokens.size()) * 200);
    for (size_t i = 0; i < pg.tokens.size(); ++i) {
        if (i > 0)
            body += ' ';
        if (anyLink) {
            // One link per line: a second "$$+" inside a fragment would be taken for
            // the next line's fragment marker.
            body += "$$+";
            if (!links[i].isEmpty()) {
                appendNumber(body, links[i].front().second);
                body += ',';
                appendNumber(body, links[i].front().first);
            }
            body += "$$-";
        }
        appendLine(lines, pg.tokens[i], pg.first + uint32_t(i), width, base, body);
    }

    setLineRecord(conc, pg);
    const uint32_t last = pg.first + uint32_t(pg.tokens.size()) - 1;
    options.set("ConcCount", "(" + QByteArray::number(pg.first) + "-" + QByteArray::number(last) + ")");
    if (pg.scrollPercent >= 0)
        options.set("ConcSBar", QByteArray::number(pg.scrollPercent));
    else
        options.remove("ConcSBar");
    return reply::wire(tag, replyBody(&conc, nullptr, &options, body));
}

// ---------------------------------------------------------------------------------
// Registration

namespace {

template <typename F>
CorvusService::Handler guarded(std::shared_ptr<const LineEngine> lines, F f)
{
    return [lines, f](const wirerequest::Request &request, const SessionInfo &) -> QByteArray {
        try {
            return f(*lines, request);
        } catch (const std::bad_alloc &) {
            return reply::zero(ru("Серверу не хватило памяти для ответа на запрос."));
        }
    };
}

} // namespace

void registerViewHandlers(CorvusService &service, std::shared_ptr<const LineEngine> lines)
{
    service.setHandler("CT_N", guarded(lines, &linesReply));
    service.setCostEstimate("CT_N", [lines](const wirerequest::Request &request) {
        return request.conc ? linesCost(*lines, *request.conc, optionsOf(request)) : Cost::Short;
    });
    service.setHandler("CT_W", guarded(lines, &textPageReply));
    service.setHandler("CT_T", guarded(lines, &plainTextReply));
    service.setHandler("CT_D", guarded(lines, &gridReply));
    service.setEntryTie([lines](int dictNo, int place) { return lines->entryTie(dictNo, place); });
}

} // namespace corvus::conc
