// The line engine: the cache of orders with the worker that completes them, and
// the page, the current line or the clicked word that a request asks for.
#include "concordance/Lines.h"

#include "concordance/ShownForms.h"
#include "concordance/WireText.h"
#include "dictionary/CorpusDictionary.h"
#include "dictionary/DictionaryReplies.h"
#include "protocol/Priority.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <list>
#include <mutex>
#include <thread>

namespace corvus::conc {

namespace {

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

// The cache of orders and the worker that completes them

struct LineEngine::Cache {
    using Entries = std::list<std::pair<QByteArray, std::shared_ptr<const LineOrder>>>;

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
        Entries gone;   // freed after the lock
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->first == key) {
                entries.splice(entries.begin(), entries, it);
                // What the orders made since they came in counts from now on.
                keepWithinBounds(gone);
                return entries.front().second;
            }
        }
        return nullptr;
    }

    std::shared_ptr<const LineOrder> insert(const QByteArray &key, std::shared_ptr<const LineOrder> order)
    {
        Entries gone;   // freed after the lock
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (const auto &e : entries)
                if (e.first == key)
                    return e.second;   // another request was quicker
            entries.emplace_front(key, order);
            keepWithinBounds(gone);
            // A lazy order is not sorted in the background: that would make its
            // selection, which its first and last pages do without; a page in its
            // middle makes it.
            if (!order->isLazy())
                pending.push_back(order);
        }
        wake.notify_one();
        return order;
    }

    // The least recent orders go while there are too many or they hold too much
    // (the most recent stays), into `gone`, so that what they hold is freed once
    // the mutex is released. Called with the mutex held; looks at each order
    // without waiting for it.
    void keepWithinBounds(Entries &gone)
    {
        size_t bytes = 0;
        for (const auto &e : entries)
            bytes += e.second->heldBytes();
        while (entries.size() > 1 && (entries.size() > capacity || bytes > kMaxCachedBytes)) {
            bytes -= std::min(bytes, entries.back().second->heldBytes());
            gone.splice(gone.end(), entries, std::prev(entries.end()));
        }
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.clear();
        pending.clear();
    }

    void run()
    {
        priority::lowerThisThread(priority::Background);
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

    // What the cached orders may hold, counted whenever one is asked for or comes in.
    static constexpr size_t kMaxCachedBytes = size_t(32) << 20;
    const size_t capacity;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    Entries entries;   // most recent first
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
        m_corpusDictionary = dynamic_cast<const CorpusDictionary *>(&m_dictionaries[i]->dictionary());
        if (m_corpusDictionary) {
            m_corpusDict = i;
            break;
        }
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
    if (!o.order && lazyEligible(o.query)) {
        o.order = m_cache->insert(key, std::make_shared<const LineOrder>(m_engine, o.query, uint32_t(o.query.selected),
                                                                        o.base, o.seq));
    } else if (!o.order) {
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

bool LineEngine::lazyEligible(const Query &q) const
{
    return q.fixed.empty() && q.distance == 0 && q.selected >= 0
        && m_engine->characteristic(q.listChar).count(uint32_t(q.selected)) >= kLazyLines;
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

} // namespace

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

Cost LineEngine::cost(const tCConcPos &conc, const OptionList &options, bool oneLine, uint32_t shortLines) const
{
    const Query q = m_engine->parse(conc);
    if (!q.ok || q.selected < 0)
        return Cost::Short;   // answered with "ZERO" at once
    const QByteArray key = orderKey(q, baseOf(conc.CharNo[0]), sortSeqFrom(options.value("SortSeq")));
    const std::shared_ptr<const LineOrder> cached = m_cache->peek(key);
    const Characteristic &c = m_engine->characteristic(q.listChar);
    uint32_t n = 0;
    if (cached) {
        n = cached->size();
    } else if (lazyEligible(q)) {
        n = c.count(uint32_t(q.selected));
    } else {
        // Made now: the selection holds at most the occurrences of the selected value.
        return q.distance == 0 && uint64_t(q.selected) < c.valueCount() && c.count(uint32_t(q.selected)) <= shortLines
            ? Cost::Short
            : Cost::Long;
    }
    const uint32_t p = pageSizeOf(options);
    const uint32_t signature = signatureOf(key);
    const LineSpot spot = oneLine ? currentSpot(conc, n, signature, p) : lineSpot(conc, options, n, signature, p);
    if (spot.first == 0)
        return Cost::Short;
    const uint32_t from = oneLine ? spot.current - 1 : spot.first - 1;
    const uint32_t to = oneLine ? spot.current : std::min(n, spot.first - 1 + p);
    if (cached)
        return cached->cheap(from, to) || n <= shortLines ? Cost::Short : Cost::Long;
    return to <= kCheapEndLines || n - from <= kCheapEndLines ? Cost::Short : Cost::Long;
}

LineSpot lineSpot(const tCConcPos &conc, const OptionList &options, uint32_t n, uint32_t signature, uint32_t p)
{
    LineSpot s;
    if (n == 0) {
        s.first = s.current = 0;
        return s;
    }
    const uint32_t lastFirst = n > p ? n - p + 1 : 1;
    const bool valid = sameOrder(conc, signature, n);
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
    s.first = first;
    s.current = cur;
    return s;
}

LineSpot currentSpot(const tCConcPos &conc, uint32_t n, uint32_t signature, uint32_t pageSize)
{
    LineSpot s;
    if (n == 0) {
        s.first = s.current = 0;
        return s;
    }
    if (sameOrder(conc, signature, n)) {
        s.first = uint32_t(conc.FirstLine);
        s.current = conc.CurLine >= 1 && uint32_t(conc.CurLine) <= n ? uint32_t(conc.CurLine) : s.first;
        if (s.current < s.first || s.current - s.first >= pageSize)
            s.first = s.current;
    }
    return s;
}

LinePage LineEngine::page(const tCConcPos &conc, const OptionList &options, uint32_t pageSize) const
{
    LinePage pg = pageOfOrder(order(conc, options));
    if (!pg.ok)
        return pg;
    pg.pageSize = pageSize > 0 ? pageSize : pageSizeOf(options);
    const uint32_t n = pg.count;
    const uint32_t p = pg.pageSize;
    const LineSpot spot = lineSpot(conc, options, n, pg.signature, p);
    pg.first = spot.first;
    pg.current = spot.current;
    if (n == 0)
        return pg;
    const uint32_t first = spot.first, cur = spot.current;
    const uint32_t lastFirst = n > p ? n - p + 1 : 1;
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
    const LineSpot spot = currentSpot(conc, pg.count, pg.signature, pg.pageSize);
    const uint32_t cur = spot.current;
    pg.first = spot.first;
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

} // namespace corvus::conc
