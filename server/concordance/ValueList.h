#pragma once
// The value lists of the concordance: the characteristics ("CN_C"), their groups
// ("CN_Cx") and one page of the values of the active level under the filters
// ("CN_W"), or the whole list for an export. See docs/concordance-lists.md.
//
// A list is computed once per combination of characteristic, order, fixed levels,
// co-occurrence distance and "*" pattern and kept in a small cache, so paging
// through it costs only the page; the unfiltered lists are kept for good.
#include "concordance/Query.h"
#include "protocol/RequestHandlers.h"
#include "wire/RequestReader.h"

#include <QByteArray>

#include <list>
#include <memory>
#include <mutex>
#include <vector>

namespace corvus::conc {

enum class ListOrder { Alpha, Reverse, Frequency };

// A whole value list as filtered, in its order.
struct ValueListData {
    int charNo = 0;
    ListOrder order = ListOrder::Alpha;
    Table<uint32_t> entries;         // value ids in list order (an unfiltered list: the
                                     // characteristic's own order, not copied)
    std::vector<uint32_t> counts;    // occurrences per value id under the filters;
                                     // empty: the characteristic's own counts
    const Characteristic *c = nullptr;
    uint32_t count(uint32_t value) const
    {
        return counts.empty() ? c->count(value) : value < counts.size() ? counts[value] : 0;
    }
    // Index of a value in `entries`, or -1.
    int64_t indexOf(uint32_t value) const;
};

// One page as the "CN_W" reply carries it.
struct ValuePage {
    bool ok = false;
    QByteArray error;             // Russian, 1251, for "ZERO"
    tCConcPos conc;               // the position to send back
    OptionList options;           // the options to send back
    QByteArray body;              // the reference-list elements
    int64_t first = 0;            // index in the list of the first entry sent
    int64_t size = 0;             // entries in the list (ValueNo[0])
    int rows = 0;                 // entries sent
    int64_t marked = -1;          // index in the list of the value positioned at
};

class ValueLists {
public:
    explicit ValueLists(std::shared_ptr<const ConcEngine> engine, ClickHook clickHook = {});
    ~ValueLists();

    const ConcEngine &engine() const { return *m_engine; }

    // The list of the active level of a parsed position.
    std::shared_ptr<const ValueListData> list(const Query &query, ListOrder order,
                                              const std::string &pattern) const;

    // The page that a position and option list ask for.
    ValuePage page(const tCConcPos &conc, const OptionList &options) const;
    // What that page will cost, told from what is made already: short when its
    // list is cached or is made by a pass over at most kShortWork values and
    // occurrences; the whole list for an export is long.
    static constexpr uint64_t kShortWork = 300000;
    Cost cost(const tCConcPos &conc, const OptionList &options) const;

    // The text of one list entry: the value, and for word forms the lemma (titles:
    // the author) after " /"; cleaned of control bytes and "$".
    void appendEntryText(int charNo, uint32_t value, QByteArray &out) const;

    // Whole replies ("$" + tag + "=" + records + body, with the length header).
    QByteArray characteristicsReply(const wirerequest::Request &request) const;   // CN_C
    QByteArray groupsReply(const wirerequest::Request &request) const;            // CN_Cx
    QByteArray valuesReply(const wirerequest::Request &request) const;            // CN_W

    // The comma lists of "CN_C" and "CN_Cx".
    QByteArray characteristicsBody() const;
    QByteArray groupsBody() const;

private:
    bool isCached(const Query &query, ListOrder order, const std::string &pattern) const;
    std::shared_ptr<ValueListData> compute(const Query &query, ListOrder order,
                                           const std::string &pattern) const;
    std::vector<uint32_t> filteredCounts(const Query &query) const;

    std::shared_ptr<const ConcEngine> m_engine;
    ClickHook m_clickHook;
    mutable std::mutex m_mutex;
    // Unfiltered lists, per characteristic and order (filled on first use).
    mutable std::vector<std::shared_ptr<const ValueListData>> m_plain;
    // Recently used filtered lists, most recent first.
    mutable std::list<std::pair<std::string, std::shared_ptr<const ValueListData>>> m_recent;
};

} // namespace corvus::conc
