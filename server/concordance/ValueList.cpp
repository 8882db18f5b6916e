#include "concordance/ValueList.h"

#include "concordance/Characteristics.h"
#include "concordance/WireText.h"
#include "corpus/Charset.h"
#include "model/CommaList.h"
#include "protocol/Cancel.h"
#include "protocol/RequestHandlers.h"
#include "wire/ReplyWriter.h"

#include <algorithm>
#include <cmath>

namespace corvus::conc {

namespace {

constexpr size_t kRecentLists = 16;
constexpr int kDefaultPageRows = 20;
constexpr int kMaxPageRows = 5000;

// Appends corpus text as list-entry text: control bytes become blanks (the
// markers start with byte 4) and "$" the currency sign (no "$tag=" may appear);
// with `valuePart`, a "/" after a blank becomes "|" so that the client does not
// take a value's own " /" for the start of the second column.
void appendClean(QByteArray &out, std::string_view s, bool valuePart = true)
{
    if (s.empty())
        return;
    const qsizetype start = out.size();
    out.append(s.data(), qsizetype(s.size()));
    char *p = out.data() + start;
    char prev = start > 0 ? p[-1] : 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = p[i];
        if (uint8_t(c) < 32)
            p[i] = ' ';
        else if (c == '$')
            p[i] = char(0xA4);
        else if (valuePart && c == '/' && prev == ' ')
            p[i] = '|';
        prev = p[i];
    }
}

// Whether the characteristic's texts are already folded (lexicon values).
bool foldedTexts(int charNo)
{
    return charNo == kCharForm || charNo == kCharLemma || charNo == kCharEnding;
}

ListOrder orderOf(const OptionList &options)
{
    const QByteArray s = options.value("SortD").trimmed().toUpper();
    if (s == "B")
        return ListOrder::Reverse;
    if (s == "Q")
        return ListOrder::Frequency;
    return ListOrder::Alpha;
}

char orderLetter(ListOrder o)
{
    return o == ListOrder::Reverse ? 'B' : (o == ListOrder::Frequency ? 'Q' : 'A');
}

std::optional<int64_t> number(const QByteArray &text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<int64_t>(n) : std::nullopt;
}

std::string toStd(const QByteArray &b)
{
    return std::string(b.constData(), size_t(b.size()));
}

} // namespace

int64_t ValueListData::indexOf(uint32_t value) const
{
    if (order == ListOrder::Alpha) {
        const auto it = std::lower_bound(entries.begin(), entries.end(), value);
        return it != entries.end() && *it == value ? int64_t(it - entries.begin()) : -1;
    }
    const auto it = std::find(entries.begin(), entries.end(), value);
    return it != entries.end() ? int64_t(it - entries.begin()) : -1;
}

ValueLists::ValueLists(std::shared_ptr<const ConcEngine> engine, ClickHook clickHook)
    : m_engine(std::move(engine)), m_clickHook(std::move(clickHook))
{
    m_plain.resize(size_t(m_engine->characteristicCount()) * 3);
}

ValueLists::~ValueLists() = default;

namespace {

// The value of a token in a characteristic: its text's, or its word type's.
class TokenValue {
public:
    TokenValue(const Corpus &corpus, const Characteristic &c, TextCursor &texts)
        : m_words(corpus.tokenWords()), m_types(corpus.tokenTypes()), m_byType(c.byType()), m_byText(c.byText()),
          m_perText(c.perText()), m_texts(texts)
    {
    }
    // kNone for what a damaged cache file puts out of range (the caller checks the
    // value against its own array too).
    inline uint32_t operator()(uint32_t tok) const
    {
        if (tok >= m_words.size())
            return kNone;
        const uint32_t unit = m_perText ? m_texts.of(tok) : m_types.empty() ? formPart(m_words[tok]) : m_types[tok];
        const Span<uint32_t> values = m_perText ? m_byText : m_byType;
        return unit < values.size() ? values[unit] : kNone;
    }

private:
    Span<uint32_t> m_words, m_types, m_byType, m_byText;
    bool m_perText;
    TextCursor &m_texts;
};

// The texts (textPass) and word types (formPass, empty: every one) that pass the
// fixed levels; returns the occurrences of the most selective word-level level
// (UINT64_MAX when there is none).
uint64_t passingUnits(const ConcEngine &e, const std::vector<Condition> &fixed, std::vector<uint8_t> &textPass,
                      std::vector<uint8_t> &formPass)
{
    const Corpus &corpus = e.corpus();
    uint64_t wordCost = UINT64_MAX;
    for (const Condition &f : fixed) {
        const Characteristic &fc = e.characteristic(f.charNo);
        std::vector<uint8_t> mask(fc.perText() ? corpus.textCount() : corpus.typeCount(), 0);
        uint64_t n = 0;
        for (const uint32_t v : f.values) {
            n += fc.count(v);
            for (const uint32_t *m = fc.membersBegin(v); m != fc.membersEnd(v); ++m)
                if (*m < mask.size())
                    mask[*m] = 1;
        }
        std::vector<uint8_t> &into = fc.perText() ? textPass : formPass;
        if (into.empty()) {
            into = std::move(mask);
        } else {
            for (size_t i = 0; i < into.size(); ++i)
                into[i] &= mask[i];
        }
        if (!fc.perText())
            wordCost = std::min(wordCost, n);
    }
    return wordCost;
}

// Counts the values of the fixed levels' occurrences (all at distance 0) through
// the vocabularies of the texts that pass the per-text levels, when those are
// fewer than the occurrences of the most selective word-level level; false, and
// nothing counted, when they are not.
bool countThroughTexts(const ConcEngine &e, const Characteristic &c, const std::vector<Condition> &fixed,
                       std::vector<uint32_t> &counts)
{
    const Corpus &corpus = e.corpus();
    std::vector<uint8_t> textPass(corpus.textCount(), 1), formPass;
    const uint64_t wordCost = passingUnits(e, fixed, textPass, formPass);
    uint64_t textCost = 0;
    for (uint32_t t = 0; t < corpus.textCount(); ++t)
        if (textPass[t])
            textCost += uint64_t(e.textTypesEnd(t) - e.textTypesBegin(t));
    if (textCost > wordCost)
        return false;
    const bool perText = c.perText();
    const Span<uint32_t> byType = c.byType();
    const Span<uint32_t> byText = c.byText();
    for (uint32_t t = 0; t < corpus.textCount(); ++t) {
        if (!textPass[t])
            continue;
        // (A value or type out of range, from a damaged cache file, counts nowhere.)
        const uint32_t textValue = perText && t < byText.size() ? byText[t] : kNone;
        if (perText && formPass.empty()) {
            if (textValue < counts.size())
                counts[textValue] += corpus.text(t).wordCount;
            continue;
        }
        uint32_t *textSlot = textValue < counts.size() ? &counts[textValue] : nullptr;
        for (auto *fc = e.textTypesBegin(t); fc != e.textTypesEnd(t); ++fc) {
            if (!formPass.empty() && (fc->type >= formPass.size() || !formPass[fc->type]))
                continue;
            const uint32_t v = perText ? kNone : fc->type < byType.size() ? byType[fc->type] : kNone;
            if (textSlot)
                *textSlot += fc->count;
            else if (v < counts.size())
                counts[v] += fc->count;
        }
    }
    return true;
}

// Co-occurrence: each occurrence of the fixed levels counts once for every value
// found in its window, however often the value appears there.
void countCoOccurrences(const ConcEngine &e, const Characteristic &c, const Query &q, std::vector<uint32_t> &counts)
{
    const Corpus &corpus = e.corpus();
    const Span<uint32_t> words = corpus.tokenWords();
    TextCursor texts(corpus);
    const TokenValue valueAt(corpus, c, texts);
    const std::vector<uint32_t> base = e.matching(q.fixed);
    // The stamp (last occurrence that counted the value) beside the count: one
    // cache line per value touched.
    struct Slot {
        uint32_t stamp = UINT32_MAX;
        uint32_t count = 0;
    };
    std::vector<Slot> perValue(c.valueCount());
    const int want = std::abs(q.distance);
    const int step = q.distance > 0 ? 1 : -1;
    for (uint32_t i = 0; i < base.size(); ++i) {
        const uint32_t tok = base[i];
        const TextInfo &ti = corpus.text(texts.of(tok));
        const int64_t lo = ti.firstToken, hi = int64_t(ti.firstToken) + ti.tokenCount;
        int seen = 0;
        for (int64_t u = int64_t(tok) + step; u >= lo && u < hi && seen < want; u += step) {
            if (flagPart(words[size_t(u)]) & kPunct)
                continue;
            ++seen;
            const uint32_t v = valueAt(uint32_t(u));
            if (v >= perValue.size())
                continue;
            Slot &s = perValue[v];
            if (s.stamp != i) {
                s.stamp = i;
                ++s.count;
            }
        }
    }
    for (size_t v = 0; v < perValue.size(); ++v)
        counts[v] = perValue[v].count;
}

} // namespace

std::vector<uint32_t> ValueLists::filteredCounts(const Query &q) const
{
    const ConcEngine &e = *m_engine;
    const Characteristic &c = e.characteristic(q.listChar);
    std::vector<uint32_t> counts(c.valueCount(), 0);
    if (q.distance != 0) {
        countCoOccurrences(e, c, q, counts);
        return counts;
    }
    const bool allDirect = std::all_of(q.fixed.begin(), q.fixed.end(),
                                       [](const Condition &f) { return f.distance == 0; });
    if (allDirect && countThroughTexts(e, c, q.fixed, counts))
        return counts;
    TextCursor texts(e.corpus());
    const TokenValue valueAt(e.corpus(), c, texts);
    for (const uint32_t tok : e.matching(q.fixed))
        if (const uint32_t v = valueAt(tok); v < counts.size())
            ++counts[v];
    return counts;
}

std::shared_ptr<ValueListData> ValueLists::compute(const Query &q, ListOrder order,
                                                   const std::string &pattern) const
{
    auto data = std::make_shared<ValueListData>();
    const Characteristic &c = m_engine->characteristic(q.listChar);
    data->charNo = q.listChar;
    data->order = order;
    data->c = &c;
    const bool filtered = !q.fixed.empty() || q.distance != 0;
    if (filtered)
        data->counts = filteredCounts(q);

    const uint32_t n = c.valueCount();
    if (!filtered && pattern.empty() && n <= m_engine->identity().size()
        && std::all_of(c.frequencyOrder().begin(), c.frequencyOrder().end(), [&](uint32_t v) { return c.count(v) > 0; })) {
        // Every value, in an order the characteristic has already.
        switch (order) {
        case ListOrder::Alpha: data->entries = m_engine->identity().sub(0, n); break;
        case ListOrder::Reverse: data->entries = c.reverseOrder(); break;
        case ListOrder::Frequency: data->entries = c.frequencyOrder(); break;
        }
        return data;
    }
    std::vector<uint8_t> keep;
    if (!pattern.empty()) {
        keep.assign(n, 0);
        const bool folded = foldedTexts(q.listChar);
        for (uint32_t v = 0; v < n; ++v)
            keep[v] = globMatch(folded ? c.text(v) : std::string_view(charset::fold(c.text(v))), pattern);
    }
    auto wanted = [&](uint32_t v) { return v < n && (keep.empty() || keep[v]) && data->count(v) > 0; };

    std::vector<uint32_t> out;
    switch (order) {
    case ListOrder::Alpha:
        for (uint32_t v = 0; v < n; ++v)
            if (wanted(v))
                out.push_back(v);
        break;
    case ListOrder::Reverse:
        for (const uint32_t v : c.reverseOrder())
            if (wanted(v))
                out.push_back(v);
        break;
    case ListOrder::Frequency:
        if (!filtered) {
            for (const uint32_t v : c.frequencyOrder())
                if (wanted(v))
                    out.push_back(v);
        } else {
            // Count descending, ties alphabetical: one sort of packed keys.
            std::vector<uint64_t> keys;
            for (uint32_t v = 0; v < n; ++v)
                if (wanted(v))
                    keys.push_back((uint64_t(~data->counts[v]) << 32) | v);
            std::sort(keys.begin(), keys.end());
            out.reserve(keys.size());
            for (const uint64_t k : keys)
                out.push_back(uint32_t(k));
        }
        break;
    }
    data->entries = std::move(out);
    return data;
}

namespace {

// The identity of a filtered or patterned list in the cache of recent lists.
std::string listKey(const Query &q, ListOrder order, const std::string &pattern)
{
    std::string key = std::to_string(q.listChar) + ':' + std::to_string(q.distance) + ':' + orderLetter(order)
        + ':' + std::to_string(pattern.size()) + ':' + pattern;
    for (const Condition &f : q.fixed) {
        key += '|' + std::to_string(f.charNo) + '@' + std::to_string(f.distance) + '=';
        for (const uint32_t v : f.values)
            key += std::to_string(v) + ',';
    }
    return key;
}

// The "*" pattern of a position's active level ("" when none), folded.
std::string patternOf(const QByteArray &request)
{
    std::string pattern;
    if (request.contains('*')) {
        if (!request.startsWith("**"))
            pattern = charset::fold(toStd(request));
        if (pattern.find_first_not_of('*') == std::string::npos)
            pattern.clear();   // "*" alone matches everything
    }
    return pattern;
}

} // namespace

bool ValueLists::isCached(const Query &q, ListOrder order, const std::string &pattern) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (q.fixed.empty() && q.distance == 0 && pattern.empty())
        return bool(m_plain[size_t(q.listChar) * 3 + size_t(order)]);
    const std::string key = listKey(q, order, pattern);
    return std::any_of(m_recent.begin(), m_recent.end(), [&](const auto &e) { return e.first == key; });
}

Cost ValueLists::cost(const tCConcPos &conc, const OptionList &options) const
{
    if (options.value("ListPos").trimmed().toUpper() == "FULL")
        return Cost::Long;
    const Query q = m_engine->parse(conc);
    if (!q.ok)
        return Cost::Short;   // answered with "ZERO" at once
    const std::string pattern = patternOf(conc.Request[size_t(q.level)]);
    const Characteristic &c = m_engine->characteristic(q.listChar);
    if (isCached(q, orderOf(options), pattern))
        return Cost::Short;
    // Made now: a pass over the values (an unfiltered list, a pattern), over the
    // occurrences of the rarest fixed value, or over the whole corpus.
    uint64_t work = c.valueCount();
    if (!q.fixed.empty() || q.distance != 0) {
        uint64_t candidates = m_engine->corpus().wordCount();
        for (const Condition &f : q.fixed) {
            if (f.distance != 0)
                continue;
            uint64_t n = 0;
            for (const uint32_t v : f.values)
                n += m_engine->characteristic(f.charNo).count(v);
            candidates = std::min(candidates, n);
        }
        uint64_t windows = 1 + uint64_t(std::abs(q.distance));
        for (const Condition &f : q.fixed)
            windows += uint64_t(std::abs(f.distance));
        work += candidates * windows;
    }
    return work <= kShortWork ? Cost::Short : Cost::Long;
}

std::shared_ptr<const ValueListData> ValueLists::list(const Query &q, ListOrder order,
                                                      const std::string &pattern) const
{
    const bool plain = q.fixed.empty() && q.distance == 0 && pattern.empty();
    if (plain) {
        const size_t slot = size_t(q.listChar) * 3 + size_t(order);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_plain[slot])
                return m_plain[slot];
        }
        auto data = compute(q, order, pattern);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plain[slot])
            m_plain[slot] = std::move(data);
        return m_plain[slot];
    }

    std::string key = listKey(q, order, pattern);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
            if (it->first == key) {
                m_recent.splice(m_recent.begin(), m_recent, it);
                return m_recent.front().second;
            }
        }
    }
    std::shared_ptr<const ValueListData> data = compute(q, order, pattern);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recent.emplace_front(std::move(key), data);
    while (m_recent.size() > kRecentLists)
        m_recent.pop_back();
    return data;
}

void ValueLists::appendEntryText(int charNo, uint32_t value, QByteArray &out) const
{
    const ConcEngine &e = *m_engine;
    const Characteristic &c = e.characteristic(charNo);
    appendClean(out, c.text(value), true);
    if (charNo == kCharForm) {
        out += " /";
        const Corpus &corpus = e.corpus();
        if (corpus.forms().flags(value) & kLemmaKnown)
            appendClean(out, corpus.lemmas().text(corpus.lemmaOfForm(value)), true);
    } else if (charNo == kCharTitle) {
        // The author of the (first) text of that title.
        out += " /";
        if (c.membersBegin(value) != c.membersEnd(value)) {
            const QByteArray &author = e.corpus().text(*c.membersBegin(value)).author;
            appendClean(out, viewOf(author), true);
        }
    }
}

namespace {

// The word clicked in the text view, when the page is asked for one.
struct Click {
    uint32_t value = kNone, token = kNone;
};

// The word clicked in the text view: its token is CurLine. Fixed levels that the
// token does not satisfy take the token's value, so that its value is in the
// list; each fixed level names its value in Request for the row captions. The
// clicked value is the token's value of the listed characteristic (none in a
// co-occurrence list).
Click applyClick(const ConcEngine &e, const Characteristic &c, const tCConcPos &concIn, const OptionList &options,
                 Query &q, tCConcPos &conc)
{
    Click click;
    const QByteArray tabType = options.value("TabType");
    if (tabType.size() < 5 || tabType[4] != '4' || concIn.CurLine < 0)
        return click;
    const uint32_t tok = uint32_t(concIn.CurLine);
    if (tok >= e.corpus().tokenCount() || e.corpus().isPunct(tok))
        return click;
    for (Condition &f : q.fixed) {
        if (f.distance != 0)
            continue;
        const Characteristic &fc = e.characteristic(f.charNo);
        const uint32_t v = fc.valueOf(tok);
        const bool inSet = std::binary_search(f.values.begin(), f.values.end(), v);
        const size_t k = size_t(f.level);
        if (!inSet) {
            f.values = {v};
            conc.ValueNo[k] = qint32(v);
        }
        if (!inSet || f.values.size() == 1) {
            const QByteArray name = fc.textBytes(v);
            if (!name.startsWith('*'))
                conc.Request[k] = name;
        }
    }
    if (q.distance == 0) {
        click.value = c.valueOf(tok);
        click.token = tok;
    }
    return click;
}

// The index of the entry a typed prefix leads to: in an alphabetical list of
// texts the first value not below it, in other orders and for the numbers the
// first value that starts with it; the last entry when there is none.
int64_t prefixIndex(const ValueListData &data, const Characteristic &c, bool folded, ListOrder order,
                    const std::string &prefix)
{
    const int64_t n = int64_t(data.entries.size());
    int64_t at = -1;
    auto foldedText = [&](uint32_t v) { return folded ? std::string(c.text(v)) : charset::fold(c.text(v)); };
    if (order == ListOrder::Alpha && !c.numeric()) {
        const auto it = std::partition_point(data.entries.begin(), data.entries.end(), [&](uint32_t v) {
            return charset::compareAlpha(foldedText(v), prefix) < 0;
        });
        at = int64_t(it - data.entries.begin());
    } else {
        for (int64_t i = 0; i < n && at < 0; ++i)
            if (foldedText(data.entries[size_t(i)]).compare(0, prefix.size(), prefix) == 0)
                at = i;
    }
    if (at < 0 || at >= n)
        at = std::max<int64_t>(0, n - 1);
    return at;
}

// A page of a list: the entries [first, end), of which `marked` is positioned at.
struct PagePlace {
    int64_t first = 0, marked = 0, end = 0;
};

// Where the page lies, as asked: the whole list ("FULL"), its top, its end, the
// page before or after the selected value, the scroll bar's thumb, a move of the
// level ("+", "-", "B", "E"), the value of the word clicked, a typed prefix, or the
// selected value. A clicked value that is not in this list (a "*" pattern) is
// forgotten.
PagePlace placePage(const ValueListData &data, const Characteristic &c, const Query &q, const OptionList &options,
                    char move, int rows, const std::string &prefix, Click &click)
{
    const int64_t n = int64_t(data.entries.size());
    const int64_t lastPage = std::max<int64_t>(0, n - rows);
    const QByteArray listPos = options.value("ListPos").trimmed().toUpper();
    const bool full = listPos == "FULL";
    const int64_t anchor = q.selected >= 0 ? data.indexOf(uint32_t(q.selected)) : -1;
    int64_t first = 0, marked = 0;
    if (full || listPos == "TOP") {
        first = marked = 0;
    } else if (listPos == "END") {
        first = lastPage;
        marked = n - 1;
    } else if (listPos == "PREV") {
        if (anchor >= 0) {
            first = std::max<int64_t>(0, anchor - rows);
            marked = std::max<int64_t>(0, anchor - 1);
        }
    } else if (listPos == "NEXT") {
        if (anchor >= 0)
            first = marked = std::min(anchor + 1, std::max<int64_t>(0, n - 1));
    } else if (const auto thumb = number(options.value("ConcSBarW")); thumb) {
        const int64_t t = std::clamp<int64_t>(*thumb, 0, 100);
        first = marked = std::llround(double(t) * double(lastPage) / 100.0);
    } else if (move == '+' || move == '-' || move == 'B' || move == 'E') {
        const int64_t a = std::max<int64_t>(0, anchor);
        switch (move) {
        case '+': first = a + rows <= n - 1 ? a + rows : lastPage; break;
        case '-': first = std::max<int64_t>(0, a - rows); break;
        case 'B': first = 0; break;
        default: first = lastPage; break;
        }
        marked = first;
    } else if (click.value != kNone && data.indexOf(click.value) >= 0) {
        first = marked = data.indexOf(click.value);
    } else if (click.value != kNone) {
        click.token = kNone;   // its value is not in this list (a "*" pattern)
    } else if (!prefix.empty()) {
        first = marked = prefixIndex(data, c, foldedTexts(q.listChar), data.order, prefix);
    } else if (anchor >= 0) {
        first = marked = anchor;
    }
    PagePlace place;
    place.first = std::clamp<int64_t>(first, 0, std::max<int64_t>(0, n - 1));
    place.marked = std::clamp<int64_t>(marked, 0, std::max<int64_t>(0, n - 1));
    place.end = full ? n : std::min<int64_t>(n, place.first + rows);
    if (!full && (place.marked < place.first || place.marked >= place.end))
        place.marked = place.first;
    return place;
}

// The body: one reference-list element per value of the page.
void appendPageEntries(const ValueLists &lists, const ValueListData &data, const Characteristic &c, int charNo,
                       const PagePlace &place, QByteArray &body)
{
    const ConcEngine &e = lists.engine();
    const int64_t first = place.first, end = place.end;
    body.reserve(qsizetype((end - first) * 64));
    // Long runs (an export in rhyme or frequency order) visit the lexicon in no
    // memory order: fetch the texts a few entries ahead.
    const bool prefetch = end - first > 256 && charNo == kCharForm;
    for (int64_t i = first; i < end; ++i) {
        if (((i - first) & 0xFFF) == 0xFFF)
            cancel::check();   // a whole-list export for a client that has gone
        const uint32_t v = data.entries[size_t(i)];
        if (prefetch && i + 8 < end && data.entries[size_t(i + 8)] < c.valueCount()) {
            const uint32_t ahead = data.entries[size_t(i + 8)];
            __builtin_prefetch(c.text(ahead).data());
            __builtin_prefetch(&e.corpus().formLemmas()[ahead]);
            __builtin_prefetch(&c.frequencyOrder()[0] + c.frequencyRank(ahead));
        }
        if (i > first)
            body += ',';
        lists.appendEntryText(charNo, v, body);
        body += "\x04$(";
        appendNumber(body, v);
        body += ',';
        appendNumber(body, data.count(v));
        body += ',';
        appendNumber(body, i);
        body += ',';
        appendNumber(body, c.frequencyRank(v));
        body += "\x04)$";
    }
}

// The position and options sent back with a page: the list's size, the value
// positioned at, and where the page lies ("ListPos" "FILL" after a whole list).
void recordPage(const ValueListData &data, const PagePlace &place, int rows, size_t level, bool full, ValuePage &p)
{
    tCConcPos &conc = p.conc;
    OptionList &options = p.options;
    const int64_t n = int64_t(data.entries.size());
    p.size = n;
    p.first = place.first;
    p.rows = int(place.end - place.first);
    p.marked = n > 0 ? place.marked : -1;
    conc.ValueNo[0] = qint32(std::min<int64_t>(n, INT32_MAX));
    conc.Move[level] = ' ';
    if (n > 0)
        conc.ValueNo[level] = qint32(data.entries[size_t(place.marked)]);

    options.remove("ConcSBarW");
    options.remove("LBCWIndex");
    if (full) {
        options.set("ListPos", "FILL");
        return;
    }
    options.remove("ListPos");
    if (n > 0)
        options.set("LBCWIndex", QByteArray::number(place.marked - place.first));
    if (n > rows) {
        const int64_t lastPage = std::max<int64_t>(0, n - rows);
        options.set("ConcSBarW", QByteArray::number(std::min<int64_t>(
                                     100, std::llround(100.0 * double(place.first) / double(lastPage)))));
    }
}

} // namespace

ValuePage ValueLists::page(const tCConcPos &concIn, const OptionList &optionsIn) const
{
    const ConcEngine &e = *m_engine;
    ValuePage p;
    p.conc = concIn;
    p.options = optionsIn;
    Query q = e.parse(concIn);
    if (!q.ok) {
        p.error = q.error;
        return p;
    }
    tCConcPos &conc = p.conc;
    const size_t L = size_t(q.level);
    conc.Level = q.level;
    const Characteristic &c = e.characteristic(q.listChar);
    Click click = applyClick(e, c, concIn, p.options, q, conc);

    const ListOrder order = orderOf(p.options);
    const QByteArray request = conc.Request[L];
    const std::string pattern = patternOf(request);
    std::string prefix;
    if (!request.contains('*') && !request.isEmpty())
        prefix = charset::fold(toStd(request));

    const std::shared_ptr<const ValueListData> data = list(q, order, pattern);
    int rows = kDefaultPageRows;
    if (const auto r = number(p.options.value("LBC_W_Max")); r && *r > 0)
        rows = int(std::min<int64_t>(*r, kMaxPageRows));
    const bool full = p.options.value("ListPos").trimmed().toUpper() == "FULL";
    const PagePlace place = placePage(*data, c, q, p.options, conc.Move[L], rows, prefix, click);
    appendPageEntries(*this, *data, c, q.listChar, place, p.body);
    recordPage(*data, place, rows, L, full, p);
    const int64_t n = int64_t(data->entries.size());
    if (click.token != kNone && m_clickHook && n > 0 && data->entries[size_t(place.marked)] == click.value)
        m_clickHook(conc, p.options, click.token);
    p.ok = true;
    return p;
}

QByteArray ValueLists::characteristicsBody() const
{
    QList<QByteArray> items;
    for (int i = 0; i < m_engine->characteristicCount(); ++i) {
        items.append(m_engine->characteristic(i).name());
        items.append(QByteArray::number(m_engine->characteristic(i).valueCount()));
    }
    return commalist::join(items);
}

QByteArray ValueLists::groupsBody() const
{
    QList<QByteArray> items;
    for (const Group &g : m_engine->groups())
        items.append(g.name + " - " + g.pattern);
    return commalist::join(items);
}

QByteArray ValueLists::characteristicsReply(const wirerequest::Request &request) const
{
    OptionList options = request.options ? *request.options : OptionList::initial();
    options.set("ChangeConcC", "YES");
    options.set("SD", "YES");
    return reply::wire(request.tag, replyBody(nullptr, nullptr, &options, characteristicsBody()));
}

QByteArray ValueLists::groupsReply(const wirerequest::Request &request) const
{
    const OptionList options = request.options ? *request.options : OptionList::initial();
    const tCConcPos *conc = request.conc ? &*request.conc : nullptr;
    return reply::wire(request.tag, replyBody(conc, nullptr, &options, groupsBody()));
}

QByteArray ValueLists::valuesReply(const wirerequest::Request &request) const
{
    if (!request.conc)
        return reply::zero(ru("В запросе списка значений нет позиции конкорданса."));
    const OptionList options = request.options ? *request.options : OptionList::initial();
    const ValuePage p = page(*request.conc, options);
    if (!p.ok)
        return reply::zero(p.error);
    return reply::wire(request.tag, replyBody(&p.conc, nullptr, &p.options, p.body));
}

void registerListHandlers(RequestHandlers &service, std::shared_ptr<const ConcEngine> engine,
                          ClickHook clickHook)
{
    auto lists = std::make_shared<const ValueLists>(std::move(engine), std::move(clickHook));
    service.setHandler("CN_C", [lists](const wirerequest::Request &r, const SessionInfo &) {
        return lists->characteristicsReply(r);
    });
    service.setHandler("CN_Cx", [lists](const wirerequest::Request &r, const SessionInfo &) {
        return lists->groupsReply(r);
    });
    service.setHandler("CN_W", [lists](const wirerequest::Request &r, const SessionInfo &) {
        return lists->valuesReply(r);
    });
    service.setCostEstimate("CN_W", [lists](const wirerequest::Request &r) {
        return r.conc ? lists->cost(*r.conc, r.options ? *r.options : OptionList::initial())
                      : RequestHandlers::costByKind(r);
    });
}

} // namespace corvus::conc
