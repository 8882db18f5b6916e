#include "concordance/Query.h"

#include "concordance/Characteristics.h"
#include "concordance/WireText.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace corvus::conc {

namespace {

// Distances beyond this are read as this: a window never needs to be wider than a
// line of context, and a wild number must not make every occurrence walk its text.
constexpr int kMaxDistance = 100;

// Value numbers of a composed set: "**" then numbers joined by "," (the record
// writes a "," of a Request as ".", so both separate; blanks are ignored).
bool parseValueSet(const QByteArray &request, std::vector<int64_t> &out)
{
    if (!request.startsWith("**"))
        return false;
    int64_t n = 0;
    bool inNumber = false, bad = false;
    for (qsizetype i = 2; i <= request.size(); ++i) {
        const char c = i < request.size() ? request[i] : ',';
        if (c >= '0' && c <= '9') {
            if (n < (int64_t(1) << 40))
                n = n * 10 + (c - '0');
            inNumber = true;
        } else if (c == ',' || c == '.' || c == ' ' || c == ';') {
            if (inNumber)
                out.push_back(n);
            n = 0;
            inNumber = false;
        } else {
            bad = true;
        }
    }
    return !bad;
}

} // namespace

struct ConcEngine::Private {
    // A condition made testable per token: a mask over word types (word-level
    // characteristics) or over texts (per-text ones).
    struct Test {
        const Characteristic *c = nullptr;
        std::vector<uint8_t> mask;
        int distance = 0;
    };
};

namespace {

// Ids of the engine's own tables in the cache file (the characteristics' follow,
// see Characteristics.cpp).
enum : uint32_t { kIdentity = 1090, kTextFormOffsets = 1091, kTextForms = 1092 };

} // namespace

ConcEngine::ConcEngine(std::shared_ptr<const Corpus> corpus)
    : m_corpus(std::move(corpus)), d(std::make_unique<Private>())
{
    const Corpus &c = *m_corpus;
    const TableReader &tables = c.tables();
    const size_t W = c.typeCount(), T = c.textCount();
    Span<uint32_t> identity, offsets;
    Span<TypeCount> forms;
    bool ok = !tables.empty() && tables.get(kIdentity, identity) && identity.size() == W + 1
        && tables.get(kTextFormOffsets, offsets) && tables.get(kTextForms, forms) && offsets.size() == T + 1;
    if (ok && tables.full()) {
        for (size_t i = 0; ok && i <= W; ++i)
            ok = identity[i] == i;
        ok = ok && tablecheck::offsets(offsets, T, forms.size());
        for (uint32_t t = 0; ok && t < T; ++t) {
            uint64_t total = 0;
            for (uint32_t i = offsets[t]; ok && i < offsets[t + 1]; ++i) {
                ok = forms[i].type < W;
                total += forms[i].count;
            }
            ok = ok && total <= c.text(t).tokenCount;
        }
    }
    if (ok) {
        m_chars = adoptCharacteristics(c, identity, tables);
        m_fromTables = !m_chars.empty();
    }
    if (m_fromTables) {
        m_identity = identity;
        m_textTypeOffsets = offsets;
        m_textTypes = forms;
    } else {
        std::vector<uint32_t> id(W + 1);   // W: the word types
        std::iota(id.begin(), id.end(), 0u);
        m_identity = std::move(id);
        m_chars = buildCharacteristics(c, m_identity);
        buildTextTypes();
    }
    m_groups = buildGroups(characteristicSpecs(c));
}

void ConcEngine::buildTextTypes()
{
    // Vocabulary of each text: one pass, a per-type slot remembering the text
    // that last used it.
    const Corpus &c = *m_corpus;
    const uint32_t forms = c.forms().size();
    const Span<uint32_t> words = c.tokenWords();
    const Span<uint32_t> types = c.tokenTypes();
    std::vector<uint32_t> lastText(c.typeCount(), kNone), slot(c.typeCount(), 0);
    std::vector<uint32_t> offsets;
    std::vector<TypeCount> entries;
    offsets.reserve(size_t(c.textCount()) + 1);
    offsets.push_back(0);
    for (uint32_t t = 0; t < c.textCount(); ++t) {
        const TextInfo &ti = c.text(t);
        const size_t begin = entries.size();
        for (uint32_t tok = ti.firstToken; tok < ti.firstToken + ti.tokenCount; ++tok) {
            uint32_t f = formPart(words[tok]);
            if (f >= forms)
                continue;
            if (!types.empty())
                f = types[tok];
            if (f >= lastText.size())
                continue;   // a type out of range (a damaged cache file): no type's
            if (lastText[f] != t) {
                lastText[f] = t;
                slot[f] = uint32_t(entries.size());
                entries.push_back({f, 0});
            }
            ++entries[slot[f]].count;
        }
        std::sort(entries.begin() + qsizetype(begin), entries.end(),
                  [](const TypeCount &a, const TypeCount &b) { return a.type < b.type; });
        offsets.push_back(uint32_t(entries.size()));
    }
    entries.shrink_to_fit();
    m_textTypeOffsets = std::move(offsets);
    m_textTypes = std::move(entries);
}

void ConcEngine::saveTables(TableWriter &out) const
{
    out.add(kIdentity, m_identity.span());
    out.add(kTextFormOffsets, m_textTypeOffsets.span());
    out.add(kTextForms, m_textTypes.span());
    saveCharacteristics(m_chars, out);
}

ConcEngine::~ConcEngine() = default;

QList<int> ConcEngine::groupMembers(int group) const
{
    QList<int> out;
    if (group < 0 || group >= m_groups.size())
        return out;
    const QByteArray &p = m_groups[group].pattern;
    for (char rank = '1'; rank <= '9'; ++rank)
        for (int i = 0; i < p.size(); ++i)
            if (p[i] == rank || (rank == '1' && p[i] == 'X'))
                out.append(i);
    return out;
}

Query ConcEngine::parse(const tCConcPos &conc) const
{
    Query q;
    q.level = conc.Level < 1 ? 1 : conc.Level;
    if (q.level >= tCConcPos::Levels) {
        q.error = ru("Номер уровня запроса вне допустимых пределов: ") + QByteArray::number(conc.Level) + '.';
        return q;
    }
    auto badChar = [&](int level, qint32 charNo) {
        return ru("Характеристика с номером ") + QByteArray::number(charNo) + ru(" (уровень ")
            + QByteArray::number(level) + ru(") на сервере отсутствует.");
    };
    q.listChar = conc.CharNo[size_t(q.level)];
    if (!validChar(q.listChar)) {
        q.error = badChar(q.level, q.listChar);
        return q;
    }
    q.distance = std::clamp(int(conc.Distance[size_t(q.level)]), -kMaxDistance, kMaxDistance);
    const qint32 sel = conc.ValueNo[size_t(q.level)];
    if (sel >= 0 && uint32_t(sel) < characteristic(q.listChar).valueCount())
        q.selected = sel;

    for (int k = 1; k < tCConcPos::Levels; ++k) {
        if (k == q.level || conc.Mark[size_t(k)] != 'Y')
            continue;
        Condition c;
        c.level = k;
        c.charNo = conc.CharNo[size_t(k)];
        if (!validChar(c.charNo)) {
            q.error = badChar(k, c.charNo);
            return q;
        }
        const uint32_t count = characteristic(c.charNo).valueCount();
        c.distance = std::clamp(int(conc.Distance[size_t(k)]), -kMaxDistance, kMaxDistance);
        std::vector<int64_t> numbers;
        if (parseValueSet(conc.Request[size_t(k)], numbers) && !numbers.empty()) {
            for (const int64_t n : numbers) {
                if (n >= int64_t(count)) {
                    q.error = ru("В составном фильтре уровня ") + QByteArray::number(k)
                        + ru(" указано значение, которого нет в списке: ") + QByteArray::number(n + 1) + '.';
                    return q;
                }
                c.values.push_back(uint32_t(n));
            }
            std::sort(c.values.begin(), c.values.end());
            c.values.erase(std::unique(c.values.begin(), c.values.end()), c.values.end());
        } else {
            const qint32 v = conc.ValueNo[size_t(k)];
            if (v < 0 || uint32_t(v) >= count) {
                q.error = ru("Фильтр уровня ") + QByteArray::number(k)
                    + ru(" не задаёт значения из списка характеристики «") + characteristic(c.charNo).name()
                    + ru("».");
                return q;
            }
            c.values.push_back(uint32_t(v));
        }
        q.fixed.push_back(std::move(c));
    }
    q.ok = true;
    return q;
}

void ConcEngine::window(uint32_t token, int distance, std::vector<uint32_t> &out) const
{
    out.clear();
    const Corpus &c = *m_corpus;
    if (distance == 0 || token >= c.tokenCount())
        return;
    const TextInfo &t = c.text(c.textOf(token));
    const uint32_t first = t.firstToken, end = t.firstToken + t.tokenCount;
    const int want = std::min(std::abs(distance), kMaxDistance);
    if (distance > 0) {
        for (uint32_t u = token + 1; u < end && int(out.size()) < want; ++u)
            if (!c.isPunct(u))
                out.push_back(u);
    } else {
        for (uint32_t u = token; u > first && int(out.size()) < want;) {
            --u;
            if (!c.isPunct(u))
                out.push_back(u);
        }
    }
}

namespace {

using Test = ConcEngine::Private::Test;

// A condition made a test.
Test makeTest(const ConcEngine &e, const Condition &cond)
{
    const Corpus &corpus = e.corpus();
    Test t;
    t.c = &e.characteristic(cond.charNo);
    t.distance = cond.distance;
    t.mask.assign(t.c->perText() ? corpus.textCount() : corpus.typeCount(), 0);
    for (const uint32_t v : cond.values)
        for (const uint32_t *m = t.c->membersBegin(v); m != t.c->membersEnd(v); ++m)
            if (*m < t.mask.size())
                t.mask[*m] = 1;
    return t;
}

// Whether a token holds a test: its text's or its word type's mask.
class TestedTokens {
public:
    explicit TestedTokens(const Corpus &corpus)
        : m_words(corpus.tokenWords()), m_types(corpus.tokenTypes()), m_texts(corpus)
    {
    }
    // (False for a token, text or type out of range.)
    inline bool holdsAt(const Test &t, uint32_t tok)
    {
        if (tok >= m_words.size())
            return false;
        const uint32_t unit = t.c->perText() ? m_texts.of(tok) : m_types.empty() ? formPart(m_words[tok]) : m_types[tok];
        return unit < t.mask.size() && t.mask[unit] != 0;
    }

private:
    Span<uint32_t> m_words, m_types;
    TextCursor m_texts;
};

inline bool isPunctToken(Span<uint32_t> words, uint32_t tok)
{
    return flagPart(words[tok]) & kPunct;
}

// The direct condition with the fewest occurrences, which enumerates the
// candidates: its index (-1 when every condition has a window) and, in best, its
// occurrences.
int pickCandidates(const ConcEngine &e, const std::vector<Condition> &conditions, uint64_t &best)
{
    int pick = -1;
    best = UINT64_MAX;
    for (size_t i = 0; i < conditions.size(); ++i) {
        if (conditions[i].distance != 0)
            continue;
        const Characteristic &c = e.characteristic(conditions[i].charNo);
        uint64_t n = 0;
        for (const uint32_t v : conditions[i].values)
            n += c.count(v);
        if (n < best) {
            best = n;
            pick = int(i);
        }
    }
    return pick;
}

// Every word token.
void allWords(const Corpus &corpus, std::vector<uint32_t> &out)
{
    const Span<uint32_t> words = corpus.tokenWords();
    const uint32_t tokenCount = corpus.tokenCount();
    out.reserve(size_t(corpus.wordCount()));
    for (uint32_t tok = 0; tok < tokenCount; ++tok)
        if (!isPunctToken(words, tok))
            out.push_back(tok);
}

// The words of the texts of a per-text condition's values, in order.
void wordsOfTexts(const Corpus &corpus, const Characteristic &c, const Condition &cond, std::vector<uint32_t> &out)
{
    const Span<uint32_t> words = corpus.tokenWords();
    std::vector<uint32_t> texts;
    for (const uint32_t v : cond.values)
        texts.insert(texts.end(), c.membersBegin(v), c.membersEnd(v));
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());   // (a damaged file's repeats)
    for (const uint32_t ti : texts) {
        const TextInfo &t = corpus.text(ti);
        for (uint32_t tok = t.firstToken; tok < t.firstToken + t.tokenCount; ++tok)
            if (!isPunctToken(words, tok))
                out.push_back(tok);
    }
}

// The postings of the given forms merged in token order: one list as it is, a
// few (or short ones) sorted together, many through a bitmap over the tokens.
void mergePostings(const Lexicon &lex, const std::vector<uint32_t> &formIds, uint64_t best, uint32_t tokenCount,
                   std::vector<uint32_t> &out)
{
    // The postings of a cache file that had the quick check only may name tokens
    // out of range, or be out of order: those are left out, so that the result is
    // ascending and in range whatever the file holds. One list is copied as it is
    // and checked in one pass; only a list that fails is filtered.
    if (formIds.size() == 1) {
        const Span<uint32_t> p = lex.postings(formIds[0]);
        out.assign(p.begin(), p.end());
        if (std::adjacent_find(out.begin(), out.end(), std::greater_equal<uint32_t>()) != out.end()
            || (!out.empty() && out.back() >= tokenCount)) {
            out.clear();
            for (const uint32_t tok : p)
                if (tok < tokenCount && (out.empty() || tok > out.back()))
                    out.push_back(tok);
        }
    } else if (formIds.size() <= 8 || (best < 4096 && best * 64 < tokenCount)) {
        for (const uint32_t f : formIds)
            for (const uint32_t tok : lex.postings(f))
                if (tok < tokenCount)
                    out.push_back(tok);
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    } else {
        std::vector<uint64_t> bits((size_t(tokenCount) + 63) / 64, 0);
        for (const uint32_t f : formIds)
            for (const uint32_t tok : lex.postings(f))
                if (tok < tokenCount)
                    bits[tok >> 6] |= uint64_t(1) << (tok & 63);
        for (size_t w = 0; w < bits.size(); ++w) {
            for (uint64_t b = bits[w]; b; b &= b - 1)
                out.push_back(uint32_t(w * 64 + size_t(__builtin_ctzll(b))));
        }
    }
}

// The candidates a direct condition enumerates, ascending: the words of its
// texts, or the postings of the forms of its values' types. Those are the
// occurrences themselves in a plain corpus (a type is a form), and in an annotated
// one for the word form; otherwise a superset, and the result is true: the
// condition's test must narrow them.
bool candidatesOf(const ConcEngine &e, const Condition &cond, uint64_t best, std::vector<uint32_t> &out)
{
    const Corpus &corpus = e.corpus();
    const Characteristic &c = e.characteristic(cond.charNo);
    out.reserve(size_t(std::min<uint64_t>(best, corpus.tokenCount())));   // (counts from the file: capped)
    if (c.perText()) {
        wordsOfTexts(corpus, c, cond, out);
        return false;
    }
    bool retest = false;
    std::vector<uint32_t> formIds;
    for (const uint32_t v : cond.values)
        for (const uint32_t *m = c.membersBegin(v); m != c.membersEnd(v); ++m)
            formIds.push_back(corpus.formOfType(*m));
    if (corpus.annotated()) {
        std::sort(formIds.begin(), formIds.end());
        formIds.erase(std::unique(formIds.begin(), formIds.end()), formIds.end());
        retest = cond.charNo != kCharForm;
    }
    mergePostings(corpus.forms(), formIds, best, corpus.tokenCount(), out);
    return retest;
}

// Keeps the candidates that hold every condition but the one that enumerated
// them (unless it must be tested again): a direct one at the token, one with a
// window at some word of it.
void keepHolding(const ConcEngine &e, const std::vector<Condition> &conditions, int pick, bool retest,
                 std::vector<uint32_t> &out)
{
    std::vector<Test> direct, windowed;
    for (size_t i = 0; i < conditions.size(); ++i) {
        if (int(i) == pick && !retest)
            continue;
        (conditions[i].distance == 0 ? direct : windowed).push_back(makeTest(e, conditions[i]));
    }
    if (direct.empty() && windowed.empty())
        return;
    TestedTokens tested(e.corpus());
    std::vector<uint32_t> near;
    size_t kept = 0;
    for (const uint32_t tok : out) {
        bool ok = true;
        for (const auto &t : direct)
            if (!tested.holdsAt(t, tok)) {
                ok = false;
                break;
            }
        for (size_t w = 0; ok && w < windowed.size(); ++w) {
            e.window(tok, windowed[w].distance, near);
            ok = std::any_of(near.begin(), near.end(), [&](uint32_t u) { return tested.holdsAt(windowed[w], u); });
        }
        if (ok)
            out[kept++] = tok;
    }
    out.resize(kept);
}

} // namespace

std::vector<uint32_t> ConcEngine::matching(const std::vector<Condition> &conditions) const
{
    uint64_t best = 0;
    const int pick = pickCandidates(*this, conditions, best);
    std::vector<uint32_t> out;
    bool retest = false;   // the candidates are a superset of the picked condition's
    if (pick < 0)
        allWords(*m_corpus, out);
    else
        retest = candidatesOf(*this, conditions[size_t(pick)], best, out);
    keepHolding(*this, conditions, pick, retest, out);
    return out;
}

std::vector<uint32_t> ConcEngine::occurrences(const Query &query, uint32_t value) const
{
    std::vector<Condition> all = query.fixed;
    Condition own;
    own.level = query.level;
    own.charNo = query.listChar;
    own.values = {value};
    own.distance = query.distance;
    all.push_back(std::move(own));
    return matching(all);
}

Selection ConcEngine::select(const tCConcPos &conc, const OptionList &options) const
{
    Q_UNUSED(options);
    Selection s;
    s.query = parse(conc);
    if (!s.query.ok) {
        s.error = s.query.error;
        return s;
    }
    if (s.query.selected < 0) {
        s.error = ru("Не выбрано значение характеристики «") + characteristic(s.query.listChar).name()
            + ru("».");
        return s;
    }
    s.value = uint32_t(s.query.selected);
    s.tokens = occurrences(s.query, s.value);
    s.ok = true;
    return s;
}

QByteArray replyBody(const tCConcPos *conc, const tCDictPos *dict, const OptionList *options,
                     const QByteArray &text)
{
    QByteArray out;
    if (conc) {
        tCConcPos copy = *conc;
        out += copy.framed();
    }
    if (dict)
        out += dict->framed();
    if (options && !options->isEmpty())
        out += options->framed();
    out += text;
    return out;
}

} // namespace corvus::conc
