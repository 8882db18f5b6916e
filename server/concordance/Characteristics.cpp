#include "concordance/Characteristics.h"

#include "concordance/WireText.h"
#include "corpus/Charset.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_map>

namespace corvus::conc {

namespace {

// The word-form characteristic: the lexicon's own ids, texts and orders.
class FormCharacteristic final : public Characteristic {
public:
    std::string_view text(uint32_t value) const override { return m_corpus->forms().text(value); }
};

} // namespace

// Any other characteristic: its distinct texts stored in alphabetical order.
class PooledCharacteristic final : public Characteristic {
public:
    // ("" for a value out of range, or offsets that are.)
    std::string_view text(uint32_t value) const override
    {
        if (size_t(value) + 1 >= m_offsets.size())
            return {};
        const uint32_t from = m_offsets[value], to = m_offsets[value + 1];
        if (from > to || to > m_pool.size())
            return {};
        return std::string_view(m_pool.data() + from, to - from);
    }
    Table<char> m_pool;
    Table<uint32_t> m_offsets;
};

// Fills the tables of a characteristic from per-unit values (a unit is a word
// form or a text).
struct CharacteristicBuilder {
    // One unit's value: its display text and, for the numeric characteristics,
    // the number it sorts by.
    struct UnitValue {
        std::string text;
        int64_t key = 0;
        bool skip = false;   // a unit without words: no value
    };

    static void orders(Characteristic &c, bool numeric, const std::vector<std::string> &folded,
                       const std::vector<uint32_t> &count)
    {
        const uint32_t n = uint32_t(count.size());
        std::vector<uint32_t> revOrder(n), freqOrder(n), revRank(n, 0), freqRank(n, 0);
        std::iota(revOrder.begin(), revOrder.end(), 0u);
        if (numeric) {
            std::reverse(revOrder.begin(), revOrder.end());
        } else {
            std::stable_sort(revOrder.begin(), revOrder.end(), [&](uint32_t a, uint32_t b) {
                return charset::compareReverse(folded[a], folded[b]) < 0;
            });
        }
        std::iota(freqOrder.begin(), freqOrder.end(), 0u);
        std::stable_sort(freqOrder.begin(), freqOrder.end(),
                         [&](uint32_t a, uint32_t b) { return count[a] > count[b]; });
        for (uint32_t r = 0; r < n; ++r) {
            revRank[revOrder[r]] = r;
            freqRank[freqOrder[r]] = r;
        }
        c.m_revOrder = std::move(revOrder);
        c.m_revRank = std::move(revRank);
        c.m_freqOrder = std::move(freqOrder);
        c.m_freqRank = std::move(freqRank);
    }

    static bool adoptFormMembers(Characteristic &c, const Corpus &corpus, const TableReader &tables);

    // Members (units of each value) by counting sort. A unit without a value (kNone,
    // or one out of range: the type forms of a damaged cache file) is nobody's.
    static void members(Characteristic &c, uint32_t n, const std::vector<uint32_t> &unitValue)
    {
        std::vector<uint32_t> offsets(size_t(n) + 1, 0);
        for (const uint32_t v : unitValue)
            if (v < n)
                ++offsets[v + 1];
        for (uint32_t v = 0; v < n; ++v)
            offsets[v + 1] += offsets[v];
        std::vector<uint32_t> members(offsets[n], 0);
        std::vector<uint32_t> fill(offsets.begin(), offsets.end() - 1);
        for (uint32_t u = 0; u < unitValue.size(); ++u)
            if (unitValue[u] < n)
                members[fill[unitValue[u]]++] = u;
        c.m_memberOffsets = std::move(offsets);
        c.m_members = std::move(members);
    }

    // The lexicon's own arrays; each form is its own value and, in a plain corpus,
    // its own member (an annotated corpus's forms have the types of the form).
    static std::unique_ptr<Characteristic> forms(const Corpus &corpus, const QByteArray &name, Span<uint32_t> identity,
                                                 const TableReader *tables = nullptr)
    {
        auto c = std::make_unique<FormCharacteristic>();
        c->m_corpus = &corpus;
        c->m_name = name;
        const Lexicon &lex = corpus.forms();
        const uint32_t n = lex.size();
        c->m_count = lex.counts();
        c->m_revOrder = lex.reverseOrder();
        c->m_freqOrder = lex.frequencyOrder();
        c->m_revRank = lex.reverseRanks();
        c->m_freqRank = lex.frequencyRanks();
        if (corpus.annotated()) {
            c->m_byType = corpus.typeForms();
            // The cache file's, when it has them: a start then sorts nothing.
            if (!tables || !adoptFormMembers(*c, corpus, *tables))
                members(*c, n, std::vector<uint32_t>(corpus.typeForms().begin(), corpus.typeForms().end()));
        } else {
            c->m_byType = identity.sub(0, n);
            c->m_memberOffsets = identity.sub(0, size_t(n) + 1);
            c->m_members = identity.sub(0, n);
        }
        return c;
    }

    // A characteristic from one value per unit. `weights` are the word tokens of
    // each unit (those of a word type, the word count of a text).
    static std::unique_ptr<Characteristic> pooled(const Corpus &corpus, const CharSpec &spec,
                                                  const std::vector<UnitValue> &units,
                                                  const std::vector<uint32_t> &weights)
    {
        auto c = std::make_unique<PooledCharacteristic>();
        c->m_corpus = &corpus;
        c->m_name = spec.name;
        const bool perText = spec.perText, numeric = spec.numeric;
        c->m_perText = perText;
        c->m_textSorted = !numeric;

        // Distinct texts.
        std::unordered_map<std::string, uint32_t> index;
        std::vector<uint32_t> provisional(units.size(), kNone);
        std::vector<std::string> texts;
        std::vector<int64_t> keys;
        for (size_t u = 0; u < units.size(); ++u) {
            if (units[u].skip || weights[u] == 0)
                continue;
            const auto [it, inserted] = index.emplace(units[u].text, uint32_t(texts.size()));
            if (inserted) {
                texts.push_back(units[u].text);
                keys.push_back(units[u].key);
            }
            provisional[u] = it->second;
        }

        // Alphabetical order (numeric for the numbers); the empty text first.
        const uint32_t n = uint32_t(texts.size());
        std::vector<std::string> folded(n);
        for (uint32_t i = 0; i < n; ++i)
            folded[i] = charset::fold(texts[i]);
        std::vector<uint32_t> order(n);
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            if (texts[a].empty() != texts[b].empty())
                return texts[a].empty();
            if (numeric)
                return keys[a] != keys[b] ? keys[a] < keys[b] : texts[a] < texts[b];
            const int cmp = charset::compareAlpha(folded[a], folded[b]);
            return cmp != 0 ? cmp < 0 : texts[a] < texts[b];
        });
        std::vector<uint32_t> rank(n);
        for (uint32_t r = 0; r < n; ++r)
            rank[order[r]] = r;

        std::vector<uint32_t> offsets;
        std::vector<char> pool;
        offsets.reserve(size_t(n) + 1);
        offsets.push_back(0);
        std::vector<std::string> foldedById(n);
        for (uint32_t r = 0; r < n; ++r) {
            pool.insert(pool.end(), texts[order[r]].begin(), texts[order[r]].end());
            offsets.push_back(uint32_t(pool.size()));
            foldedById[r] = std::move(folded[order[r]]);
        }
        c->m_hasEmpty = n > 0 && offsets[1] == 0;
        c->m_pool = std::move(pool);
        c->m_offsets = std::move(offsets);

        std::vector<uint32_t> unitValue(units.size(), kNone);
        std::vector<uint32_t> count(n, 0);
        for (size_t u = 0; u < units.size(); ++u) {
            if (provisional[u] == kNone)
                continue;
            unitValue[u] = rank[provisional[u]];
            count[unitValue[u]] += weights[u];
        }
        orders(*c, numeric, foldedById, count);
        members(*c, n, unitValue);
        c->m_count = std::move(count);
        (perText ? c->m_byText : c->m_byType) = std::move(unitValue);
        return c;
    }
};

uint32_t Characteristic::find(std::string_view cp1251) const
{
    const std::string key = charset::fold(cp1251);
    const uint32_t n = valueCount();
    if (m_textSorted) {
        uint32_t lo = 0, hi = n;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (charset::compareAlpha(charset::fold(text(mid)), key) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        // Values that fold alike (an author written in two cases) sit together;
        // the one spelt exactly as asked wins.
        uint32_t first = kNone;
        for (uint32_t v = lo; v < n && charset::fold(text(v)) == key; ++v) {
            if (text(v) == cp1251)
                return v;
            if (first == kNone)
                first = v;
        }
        return first;
    }
    for (uint32_t v = 0; v < n; ++v)
        if (charset::fold(text(v)) == key)
            return v;
    return kNone;
}

namespace {

// Ids of the engine's tables in the cache file: 16 per characteristic.
enum : uint32_t {
    kCharTables = 1100,
    kUnits = 0, kMemberOffsets, kMembers, kCount, kRevOrder, kRevRank, kFreqOrder, kFreqRank, kPool, kPoolOffsets,
};

uint32_t tableId(int charNo, uint32_t which)
{
    return kCharTables + 16 * uint32_t(charNo) + which;
}

} // namespace

std::vector<CharSpec> characteristicSpecs(const Corpus &corpus)
{
    using K = CharSpec::Kind;
    std::vector<CharSpec> specs = {
        {K::Form, 0, ru("Словоформа"), false, false},
        {K::Lemma, 0, ru("Лемма"), false, false},
        {K::Author, 0, ru("Автор"), true, false},
        {K::Title, 0, ru("Название текста"), true, false},
        {K::TextKind, 0, ru("Вид текста"), true, false},
        {K::Year, 0, ru("Год создания"), true, true},
        {K::Decade, 0, ru("Десятилетие"), true, true},
        {K::Ending, 0, ru("Окончание словоформы"), false, false},
        {K::Length, 0, ru("Длина словоформы"), false, true},
    };
    // What an annotated corpus's files give: parts of speech and features when
    // some word has them, and the texts' further attributes.
    bool pos = false, feats = false;
    for (uint32_t t = 0; corpus.annotated() && t < corpus.typeCount() && !(pos && feats); ++t) {
        pos = pos || !corpus.posOfType(t).empty();
        feats = feats || !corpus.featsOfType(t).empty();
    }
    if (pos)
        specs.push_back({K::Pos, 0, ru("Часть речи"), false, false});
    if (feats)
        specs.push_back({K::Feats, 0, ru("Грамматические признаки"), false, false});
    // A client codes a characteristic's number in one byte above 199: 56 at most.
    constexpr size_t kMaxCharacteristics = 56;
    for (uint32_t k = 0; k < corpus.attributeCount() && specs.size() < kMaxCharacteristics; ++k)
        specs.push_back({K::Attribute, k, corpus.attributeCaption(k), true, false});
    return specs;
}

// Reads and checks the tables of one characteristic.
struct EngineTables {
    static bool adopt(Characteristic &c, int charNo, const Corpus &corpus, const TableReader &tables)
    {
        const bool full = tables.full();
        Span<uint32_t> units, memberOffsets, members, count, revOrder, revRank, freqOrder, freqRank;
        const auto get = [&](uint32_t which, Span<uint32_t> &out) { return tables.get(tableId(charNo, which), out); };
        if (!get(kUnits, units) || !get(kMemberOffsets, memberOffsets) || !get(kMembers, members)
            || !get(kCount, count) || !get(kRevOrder, revOrder) || !get(kRevRank, revRank)
            || !get(kFreqOrder, freqOrder) || !get(kFreqRank, freqRank))
            return false;
        const size_t n = count.size();
        const size_t unitCount = c.m_perText ? corpus.textCount() : corpus.typeCount();
        if (units.size() != unitCount || memberOffsets.size() != n + 1 || revOrder.size() != n
            || revRank.size() != n || freqOrder.size() != n || freqRank.size() != n)
            return false;
        if (full) {
            if (!tablecheck::permutation(revOrder, revRank, n) || !tablecheck::permutation(freqOrder, freqRank, n)
                || !tablecheck::offsets(memberOffsets, n, members.size()) || !tablecheck::below(members, unitCount))
                return false;
            // A unit's value indexes the value arrays; only a text without words has none.
            for (size_t u = 0; u < unitCount; ++u)
                if (units[u] >= n && !(units[u] == kNone && c.m_perText && corpus.text(uint32_t(u)).wordCount == 0))
                    return false;
            uint64_t total = 0;
            for (const uint32_t k : count)
                total += k;
            if (total > corpus.wordCount())
                return false;
        }
        (c.m_perText ? c.m_byText : c.m_byType) = units;
        c.m_memberOffsets = memberOffsets;
        c.m_members = members;
        c.m_count = count;
        c.m_revOrder = revOrder;
        c.m_revRank = revRank;
        c.m_freqOrder = freqOrder;
        c.m_freqRank = freqRank;
        return true;
    }

    static bool adoptPool(PooledCharacteristic &c, int charNo, const TableReader &tables)
    {
        Span<char> pool;
        Span<uint32_t> offsets;
        if (!tables.get(tableId(charNo, kPool), pool) || !tables.get(tableId(charNo, kPoolOffsets), offsets))
            return false;
        const size_t n = c.valueCount();
        if (offsets.size() != n + 1 || (tables.full() && !tablecheck::offsets(offsets, n, pool.size())))
            return false;
        c.m_hasEmpty = n > 0 && offsets[1] == 0;
        c.m_pool = pool;
        c.m_offsets = offsets;
        return true;
    }

    static std::unique_ptr<PooledCharacteristic> pooled(int charNo, const CharSpec &spec, const Corpus &corpus,
                                                        const TableReader &tables)
    {
        auto c = std::make_unique<PooledCharacteristic>();
        c->m_corpus = &corpus;
        c->m_name = spec.name;
        c->m_perText = spec.perText;
        c->m_textSorted = !spec.numeric;
        if (!adopt(*c, charNo, corpus, tables) || !adoptPool(*c, charNo, tables))
            return nullptr;
        return c;
    }

    static void saveFormMembers(const Characteristic &c, TableWriter &out)
    {
        if (!c.m_corpus || !c.m_corpus->annotated())
            return;
        out.add(tableId(kCharForm, kMemberOffsets), c.m_memberOffsets.span());
        out.add(tableId(kCharForm, kMembers), c.m_members.span());
    }

    static void save(const Characteristic &c, int charNo, TableWriter &out)
    {
        out.add(tableId(charNo, kUnits), c.m_perText ? c.m_byText.span() : c.m_byType.span());
        out.add(tableId(charNo, kMemberOffsets), c.m_memberOffsets.span());
        out.add(tableId(charNo, kMembers), c.m_members.span());
        out.add(tableId(charNo, kCount), c.m_count.span());
        out.add(tableId(charNo, kRevOrder), c.m_revOrder.span());
        out.add(tableId(charNo, kRevRank), c.m_revRank.span());
        out.add(tableId(charNo, kFreqOrder), c.m_freqOrder.span());
        out.add(tableId(charNo, kFreqRank), c.m_freqRank.span());
        if (const auto *p = dynamic_cast<const PooledCharacteristic *>(&c)) {
            out.add(tableId(charNo, kPool), p->m_pool.span());
            out.add(tableId(charNo, kPoolOffsets), p->m_offsets.span());
        }
    }
};

// The word types of each form of an annotated corpus, from the cache file.
bool CharacteristicBuilder::adoptFormMembers(Characteristic &c, const Corpus &corpus, const TableReader &tables)
{
    Span<uint32_t> memberOffsets, members;
    const size_t n = corpus.forms().size();
    if (!tables.get(tableId(kCharForm, kMemberOffsets), memberOffsets) || !tables.get(tableId(kCharForm, kMembers), members)
        || memberOffsets.size() != n + 1 || members.size() != corpus.typeCount()
        || (tables.full()
            && (!tablecheck::offsets(memberOffsets, n, members.size()) || !tablecheck::below(members, members.size()))))
        return false;
    c.m_memberOffsets = memberOffsets;
    c.m_members = members;
    return true;
}

std::vector<std::unique_ptr<Characteristic>> adoptCharacteristics(const Corpus &corpus, Span<uint32_t> identity,
                                                                  const TableReader &tables)
{
    const std::vector<CharSpec> specs = characteristicSpecs(corpus);
    std::vector<std::unique_ptr<Characteristic>> out;
    out.push_back(CharacteristicBuilder::forms(corpus, specs[kCharForm].name, identity, &tables));
    for (int k = 1; k < int(specs.size()); ++k) {
        auto c = EngineTables::pooled(k, specs[size_t(k)], corpus, tables);
        if (!c)
            return {};
        out.push_back(std::move(c));
    }
    return out;
}

void saveCharacteristics(const std::vector<std::unique_ptr<Characteristic>> &chars, TableWriter &out)
{
    // The word forms' own tables are the lexicon's, in the index already, but for
    // the types of each form in an annotated corpus.
    if (!chars.empty())
        EngineTables::saveFormMembers(*chars[0], out);
    for (size_t k = 1; k < chars.size(); ++k)
        EngineTables::save(*chars[k], int(k), out);
}

bool globMatch(std::string_view text, std::string_view pattern)
{
    size_t t = 0, p = 0;
    size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

namespace {

using UnitValue = CharacteristicBuilder::UnitValue;

template <typename F>
std::vector<UnitValue> perType(const Corpus &corpus, F &&valueOfType)
{
    const uint32_t typeCount = corpus.typeCount();
    std::vector<UnitValue> units(typeCount);
    for (uint32_t t = 0; t < typeCount; ++t)
        units[t] = valueOfType(t);
    return units;
}

template <typename F>
std::vector<UnitValue> perText(const Corpus &corpus, F &&valueOfText)
{
    const uint32_t textCount = corpus.textCount();
    std::vector<UnitValue> units(textCount);
    for (uint32_t t = 0; t < textCount; ++t)
        units[t] = valueOfText(t, corpus.text(t));
    return units;
}

std::string str(std::string_view s) { return std::string(s.data(), s.size()); }
std::string bytes(const QByteArray &b) { return std::string(viewOf(b)); }

// The last two letters (or digits): a hyphen or an apostrophe is not a letter, so
// "кто-то" ends in "то" and "д'ор" in "ор".
std::string endingOf(std::string_view form)
{
    std::string ending;
    for (size_t i = form.size(); i > 0 && ending.size() < 2; --i) {
        const auto c = uint8_t(form[i - 1]);
        if (charset::isLetter(c) || charset::isDigit(c))
            ending.insert(ending.begin(), char(c));
    }
    return ending;
}

int lettersIn(std::string_view form)
{
    int letters = 0;
    for (const char ch : form)
        if (charset::isLetter(uint8_t(ch)) || charset::isDigit(uint8_t(ch)))
            ++letters;
    return letters;
}

// A text's year ("1836", "1862-1864"), sorting by its first year, then its last.
UnitValue yearOf(const TextInfo &t)
{
    UnitValue v;
    if (t.yearFrom > 0) {
        v.text = std::to_string(t.yearFrom);
        if (t.yearTo > t.yearFrom)
            v.text += '-' + std::to_string(t.yearTo);
        v.key = int64_t(t.yearFrom) * 10000 + (t.yearTo > t.yearFrom ? t.yearTo : t.yearFrom);
    }
    return v;
}

// A text's decade ("1830-е") by its first year.
UnitValue decadeOf(const TextInfo &t, const std::string &suffix)
{
    UnitValue v;
    if (t.yearFrom > 0) {
        v.key = t.yearFrom / 10 * 10;
        v.text = std::to_string(v.key) + suffix;
    }
    return v;
}

// Each unit's value of a characteristic other than the word form: by word type or
// by text.
std::vector<UnitValue> unitValues(const Corpus &corpus, const CharSpec &spec)
{
    using K = CharSpec::Kind;
    const Lexicon &forms = corpus.forms();
    switch (spec.kind) {
    case K::Form:
        break;
    case K::Lemma:
        return perType(corpus, [&](uint32_t t) {
            UnitValue v;
            if (corpus.lemmaKnownOfType(t))
                v.text = str(corpus.lemmas().text(corpus.lemmaOfType(t)));
            return v;
        });
    case K::Author:
        return perText(corpus, [&](uint32_t, const TextInfo &t) { return UnitValue{bytes(t.author), 0, false}; });
    case K::Title:
        return perText(corpus, [&](uint32_t, const TextInfo &t) { return UnitValue{bytes(t.title), 0, false}; });
    case K::TextKind: {
        const std::string verse = bytes(ru("стихи")), prose = bytes(ru("проза")), sayings = bytes(ru("изречения"));
        return perText(corpus, [&](uint32_t, const TextInfo &t) {
            if (t.kind == TextKind::Verse)
                return UnitValue{verse, 0, false};
            return UnitValue{t.entry > 0 ? sayings : prose, 0, false};
        });
    }
    case K::Year:
        return perText(corpus, [&](uint32_t, const TextInfo &t) { return yearOf(t); });
    case K::Decade: {
        const std::string suffix = bytes(ru("-е"));
        return perText(corpus, [&](uint32_t, const TextInfo &t) { return decadeOf(t, suffix); });
    }
    case K::Ending:
        return perType(corpus, [&](uint32_t type) {
            return UnitValue{endingOf(forms.text(corpus.formOfType(type))), 0, false};
        });
    case K::Length:
        return perType(corpus, [&](uint32_t type) {
            const int letters = lettersIn(forms.text(corpus.formOfType(type)));
            return UnitValue{std::to_string(letters), letters, false};
        });
    case K::Pos:
        return perType(corpus, [&](uint32_t t) { return UnitValue{str(corpus.posOfType(t)), 0, false}; });
    case K::Feats:
        return perType(corpus, [&](uint32_t t) { return UnitValue{str(corpus.featsOfType(t)), 0, false}; });
    case K::Attribute:
        return perText(corpus, [&](uint32_t t, const TextInfo &) {
            return UnitValue{bytes(corpus.textAttribute(t, spec.attribute)), 0, false};
        });
    }
    return {};
}

} // namespace

std::vector<std::unique_ptr<Characteristic>> buildCharacteristics(const Corpus &corpus, Span<uint32_t> identity)
{
    const std::vector<CharSpec> specs = characteristicSpecs(corpus);
    std::vector<std::unique_ptr<Characteristic>> out;
    out.reserve(specs.size());
    // The word tokens of each unit: of a word type, the word count of a text.
    const uint32_t typeCount = corpus.typeCount();
    std::vector<uint32_t> typeWeights(typeCount);
    for (uint32_t t = 0; t < typeCount; ++t)
        typeWeights[t] = corpus.typeTokenCount(t);
    const uint32_t textCount = corpus.textCount();
    std::vector<uint32_t> textWeights(textCount);
    for (uint32_t t = 0; t < textCount; ++t)
        textWeights[t] = corpus.text(t).wordCount;

    for (const CharSpec &spec : specs) {
        if (spec.kind == CharSpec::Kind::Form) {
            out.push_back(CharacteristicBuilder::forms(corpus, spec.name, identity));
            continue;
        }
        const std::vector<UnitValue> units = unitValues(corpus, spec);
        out.push_back(CharacteristicBuilder::pooled(corpus, spec, units, spec.perText ? textWeights : typeWeights));
    }
    return out;
}

QList<Group> buildGroups(const std::vector<CharSpec> &specs)
{
    // The nine characteristics of every corpus, then what an annotated corpus adds:
    // its word-level ones are characteristics of the occurrences, its text
    // attributes those too and fields of the export heading.
    QByteArray all = "X11111111", bases = "X10000000", uses = "X11111000", heading = "001100000";
    for (size_t k = 9; k < specs.size(); ++k) {
        all += '1';
        bases += '0';
        uses += '1';
        heading += specs[k].kind == CharSpec::Kind::Attribute ? '1' : '0';
    }
    return {
        {ru("Тип информации"), all},
        {ru("Основа конкорданса и текста"), bases},
        {ru("Характеристики употреблений"), uses},
        {ru("Заголовок выгрузки конкорданса"), heading},
    };
}

} // namespace corvus::conc
