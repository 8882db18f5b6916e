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

// Any other characteristic: its distinct texts stored in alphabetical order.
class PooledCharacteristic final : public Characteristic {
public:
    std::string_view text(uint32_t value) const override
    {
        return std::string_view(m_pool.data() + m_offsets[value], m_offsets[value + 1] - m_offsets[value]);
    }
    std::string m_pool;
    std::vector<uint32_t> m_offsets;
};

} // namespace

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

    static void orders(Characteristic &c, bool numeric, const std::vector<std::string> &folded)
    {
        const uint32_t n = c.valueCount();
        c.m_revOrder.resize(n);
        std::iota(c.m_revOrder.begin(), c.m_revOrder.end(), 0u);
        if (numeric) {
            std::reverse(c.m_revOrder.begin(), c.m_revOrder.end());
        } else {
            std::stable_sort(c.m_revOrder.begin(), c.m_revOrder.end(), [&](uint32_t a, uint32_t b) {
                return charset::compareReverse(folded[a], folded[b]) < 0;
            });
        }
        c.m_freqOrder.resize(n);
        std::iota(c.m_freqOrder.begin(), c.m_freqOrder.end(), 0u);
        std::stable_sort(c.m_freqOrder.begin(), c.m_freqOrder.end(),
                         [&](uint32_t a, uint32_t b) { return c.m_count[a] > c.m_count[b]; });
        c.m_revRank.assign(n, 0);
        c.m_freqRank.assign(n, 0);
        for (uint32_t r = 0; r < n; ++r) {
            c.m_revRank[c.m_revOrder[r]] = r;
            c.m_freqRank[c.m_freqOrder[r]] = r;
        }
    }

    // Members (units of each value) by counting sort.
    static void members(Characteristic &c, const std::vector<uint32_t> &unitValue)
    {
        const uint32_t n = c.valueCount();
        c.m_memberOffsets.assign(size_t(n) + 1, 0);
        for (const uint32_t v : unitValue)
            if (v != kNone)
                ++c.m_memberOffsets[v + 1];
        for (uint32_t v = 0; v < n; ++v)
            c.m_memberOffsets[v + 1] += c.m_memberOffsets[v];
        c.m_members.assign(c.m_memberOffsets[n], 0);
        std::vector<uint32_t> fill(c.m_memberOffsets.begin(), c.m_memberOffsets.end() - 1);
        for (uint32_t u = 0; u < unitValue.size(); ++u)
            if (unitValue[u] != kNone)
                c.m_members[fill[unitValue[u]]++] = u;
    }

    static std::unique_ptr<Characteristic> forms(const Corpus &corpus, const char *name)
    {
        auto c = std::make_unique<FormCharacteristic>();
        c->m_corpus = &corpus;
        c->m_name = ru(name);
        const Lexicon &lex = corpus.forms();
        const uint32_t n = lex.size();
        c->m_byForm.resize(n);
        std::iota(c->m_byForm.begin(), c->m_byForm.end(), 0u);
        c->m_count.resize(n);
        for (uint32_t v = 0; v < n; ++v)
            c->m_count[v] = lex.count(v);
        c->m_revOrder.assign(lex.reverseOrder().begin(), lex.reverseOrder().end());
        c->m_freqOrder.assign(lex.frequencyOrder().begin(), lex.frequencyOrder().end());
        c->m_revRank.resize(n);
        c->m_freqRank.resize(n);
        for (uint32_t v = 0; v < n; ++v) {
            c->m_revRank[v] = lex.reverseRank(v);
            c->m_freqRank[v] = lex.frequencyRank(v);
        }
        c->m_memberOffsets.resize(size_t(n) + 1);
        std::iota(c->m_memberOffsets.begin(), c->m_memberOffsets.end(), 0u);
        c->m_members = c->m_byForm;
        return c;
    }

    // A characteristic from one value per unit. `weights` are the word tokens of
    // each unit (the lexicon count of a form, the word count of a text).
    static std::unique_ptr<Characteristic> pooled(const Corpus &corpus, const char *name, bool perText,
                                                  bool numeric, const std::vector<UnitValue> &units,
                                                  const std::vector<uint32_t> &weights)
    {
        auto c = std::make_unique<PooledCharacteristic>();
        c->m_corpus = &corpus;
        c->m_name = ru(name);
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

        c->m_offsets.reserve(size_t(n) + 1);
        c->m_offsets.push_back(0);
        std::vector<std::string> foldedById(n);
        for (uint32_t r = 0; r < n; ++r) {
            c->m_pool += texts[order[r]];
            c->m_offsets.push_back(uint32_t(c->m_pool.size()));
            foldedById[r] = std::move(folded[order[r]]);
        }
        c->m_hasEmpty = n > 0 && c->m_offsets[1] == 0;

        std::vector<uint32_t> unitValue(units.size(), kNone);
        c->m_count.assign(n, 0);
        for (size_t u = 0; u < units.size(); ++u) {
            if (provisional[u] == kNone)
                continue;
            unitValue[u] = rank[provisional[u]];
            c->m_count[unitValue[u]] += weights[u];
        }
        orders(*c, numeric, foldedById);
        members(*c, unitValue);
        (perText ? c->m_byText : c->m_byForm) = std::move(unitValue);
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

std::vector<std::unique_ptr<Characteristic>> buildCharacteristics(const Corpus &corpus)
{
    using UV = CharacteristicBuilder::UnitValue;
    std::vector<std::unique_ptr<Characteristic>> out;
    out.reserve(kCharCount);

    const Lexicon &forms = corpus.forms();
    const Lexicon &lemmas = corpus.lemmas();
    const uint32_t formCount = forms.size();
    std::vector<uint32_t> formWeights(formCount);
    for (uint32_t f = 0; f < formCount; ++f)
        formWeights[f] = forms.count(f);
    const uint32_t textCount = corpus.textCount();
    std::vector<uint32_t> textWeights(textCount);
    for (uint32_t t = 0; t < textCount; ++t)
        textWeights[t] = corpus.text(t).wordCount;

    auto perForm = [&](auto &&valueOfForm) {
        std::vector<UV> units(formCount);
        for (uint32_t f = 0; f < formCount; ++f)
            units[f] = valueOfForm(f);
        return units;
    };
    auto perText = [&](auto &&valueOfText) {
        std::vector<UV> units(textCount);
        for (uint32_t t = 0; t < textCount; ++t)
            units[t] = valueOfText(corpus.text(t));
        return units;
    };
    auto str = [](std::string_view s) { return std::string(s.data(), s.size()); };
    auto bytes = [](const QByteArray &b) { return std::string(viewOf(b)); };

    out.push_back(CharacteristicBuilder::forms(corpus, "Словоформа"));

    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Лемма", false, false, perForm([&](uint32_t f) {
            UV v;
            if (forms.flags(f) & kLemmaKnown)
                v.text = str(lemmas.text(corpus.lemmaOfForm(f)));
            return v;
        }),
        formWeights));

    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Автор", true, false, perText([&](const TextInfo &t) { return UV{bytes(t.author), 0, false}; }),
        textWeights));

    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Название текста", true, false,
        perText([&](const TextInfo &t) { return UV{bytes(t.title), 0, false}; }), textWeights));

    const std::string verse = bytes(ru("стихи"));
    const std::string prose = bytes(ru("проза"));
    const std::string sayings = bytes(ru("изречения"));
    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Вид текста", true, false, perText([&](const TextInfo &t) {
            if (t.kind == TextKind::Verse)
                return UV{verse, 0, false};
            return UV{t.entry > 0 ? sayings : prose, 0, false};
        }),
        textWeights));

    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Год создания", true, true, perText([&](const TextInfo &t) {
            UV v;
            if (t.yearFrom > 0) {
                v.text = std::to_string(t.yearFrom);
                if (t.yearTo > t.yearFrom)
                    v.text += '-' + std::to_string(t.yearTo);
                v.key = int64_t(t.yearFrom) * 10000 + (t.yearTo > t.yearFrom ? t.yearTo : t.yearFrom);
            }
            return v;
        }),
        textWeights));

    const std::string decadeSuffix = bytes(ru("-е"));
    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Десятилетие", true, true, perText([&](const TextInfo &t) {
            UV v;
            if (t.yearFrom > 0) {
                v.key = t.yearFrom / 10 * 10;
                v.text = std::to_string(v.key) + decadeSuffix;
            }
            return v;
        }),
        textWeights));

    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Окончание словоформы", false, false, perForm([&](uint32_t f) {
            const std::string_view t = forms.text(f);
            return UV{str(t.size() > 2 ? t.substr(t.size() - 2) : t), 0, false};
        }),
        formWeights));

    out.push_back(CharacteristicBuilder::pooled(
        corpus, "Длина словоформы", false, true, perForm([&](uint32_t f) {
            int letters = 0;
            for (const char ch : forms.text(f))
                if (charset::isLetter(uint8_t(ch)) || charset::isDigit(uint8_t(ch)))
                    ++letters;
            return UV{std::to_string(letters), letters, false};
        }),
        formWeights));

    return out;
}

QList<Group> buildGroups()
{
    static_assert(kCharCount == 9, "group patterns name every characteristic");
    return {
        {ru("Тип информации"), QByteArrayLiteral("X11111111")},
        {ru("Основа конкорданса и текста"), QByteArrayLiteral("X10000000")},
        {ru("Характеристики употреблений"), QByteArrayLiteral("X11111000")},
        {ru("Заголовок выгрузки конкорданса"), QByteArrayLiteral("001100000")},
    };
}

} // namespace corvus::conc
