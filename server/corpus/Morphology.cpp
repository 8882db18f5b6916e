#include "corpus/Morphology.h"

#include "corpus/Charset.h"
#include "corpus/MorphContext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace corvus::morph {
namespace {

std::string cp(const char *utf8) { return charset::utf8ToCp1251(utf8); }

// What the analyser needs of each of the dictionary's tags.
struct TagInfo {
    std::vector<std::string> grammemes;   // the POS first
    std::string feats;
    Upos upos = Upos::X;
    uint8_t kase = 0;
    bool proper = false;
    bool has(std::string_view g) const { return std::find(grammemes.begin(), grammemes.end(), g) != grammemes.end(); }
};

// OpenCorpora grammemes as universal features, in the features' alphabetical order
// of names so that a joined list is sorted.
struct FeatureOf {
    const char *grammeme, *name, *value;
};
constexpr FeatureOf kFeatures[] = {
    {"anim", "Animacy", "Anim"}, {"inan", "Animacy", "Inan"},
    {"perf", "Aspect", "Perf"}, {"impf", "Aspect", "Imp"},
    {"nomn", "Case", "Nom"}, {"gent", "Case", "Gen"}, {"gen1", "Case", "Gen"}, {"gen2", "Case", "Par"},
    {"datv", "Case", "Dat"}, {"accs", "Case", "Acc"}, {"acc2", "Case", "Acc"}, {"ablt", "Case", "Ins"},
    {"loct", "Case", "Loc"}, {"loc1", "Case", "Loc"}, {"loc2", "Case", "Loc"}, {"voct", "Case", "Voc"},
    {"COMP", "Degree", "Cmp"}, {"Supr", "Degree", "Sup"}, {"Pos", "Degree", "Pos"},
    {"masc", "Gender", "Masc"}, {"femn", "Gender", "Fem"}, {"neut", "Gender", "Neut"},
    {"indc", "Mood", "Ind"}, {"impr", "Mood", "Imp"},
    {"sing", "Number", "Sing"}, {"plur", "Number", "Plur"},
    {"1per", "Person", "1"}, {"2per", "Person", "2"}, {"3per", "Person", "3"},
    {"past", "Tense", "Past"}, {"pres", "Tense", "Pres"}, {"futr", "Tense", "Fut"},
    {"ADJS", "Variant", "Short"}, {"PRTS", "Variant", "Short"},
    {"INFN", "VerbForm", "Inf"}, {"VERB", "VerbForm", "Fin"}, {"PRTF", "VerbForm", "Part"},
    {"PRTS", "VerbForm", "Part"}, {"GRND", "VerbForm", "Conv"},
    {"actv", "Voice", "Act"}, {"pssv", "Voice", "Pass"},
};

uint8_t caseCode(const TagInfo &t)
{
    static constexpr std::pair<const char *, uint8_t> kCases[] = {
        {"nomn", 1}, {"gent", 2}, {"gen1", 2}, {"gen2", 2}, {"datv", 3}, {"accs", 4}, {"acc2", 4},
        {"ablt", 5}, {"loct", 6}, {"loc1", 6}, {"loc2", 6}, {"voct", 1},
    };
    for (const auto &[g, code] : kCases)
        if (t.has(g))
            return code;
    return 0;
}

TagInfo describe(std::string_view text)
{
    TagInfo t;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == ',' || text[i] == ' ') {
            if (i > start)
                t.grammemes.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    const std::string pos = t.grammemes.empty() ? std::string() : t.grammemes.front();
    t.proper = t.has("Name") || t.has("Surn") || t.has("Patr") || t.has("Geox") || t.has("Orgn") || t.has("Trad");
    if (pos == "NOUN")
        t.upos = t.proper ? Upos::Propn : Upos::Noun;
    else if (pos == "ADJF")
        t.upos = t.has("Apro") ? Upos::Det : Upos::Adj;
    else if (pos == "ADJS")
        t.upos = Upos::Adj;
    else if (pos == "COMP" || pos == "ADVB")
        t.upos = Upos::Adv;
    else if (pos == "VERB" || pos == "INFN" || pos == "PRTF" || pos == "PRTS" || pos == "GRND")
        t.upos = Upos::Verb;
    else if (pos == "NUMR")
        t.upos = Upos::Num;
    else if (pos == "NPRO")
        t.upos = Upos::Pron;
    else if (pos == "PRED")
        t.upos = Upos::Verb;
    else if (pos == "PREP")
        t.upos = Upos::Adp;
    else if (pos == "CONJ")
        t.upos = Upos::Sconj;   // the coordinating ones are told by their lemma
    else if (pos == "PRCL")
        t.upos = Upos::Part;
    else if (pos == "INTJ")
        t.upos = Upos::Intj;
    t.kase = caseCode(t);
    if (pos == "ADJF" && !t.has("Apro") && !t.has("Supr"))
        t.grammemes.emplace_back("Pos");   // a plain adjective's degree
    std::string last;
    for (const FeatureOf &f : kFeatures) {
        if (!t.has(f.grammeme) || last == f.name)
            continue;
        if (!t.feats.empty())
            t.feats += '|';
        t.feats += f.name;
        t.feats += '=';
        t.feats += f.value;
        last = f.name;
    }
    return t;
}

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isCyrillic(char c) { return charset::isCyrillic(uint8_t(c)); }

} // namespace

const char *uposName(Upos p)
{
    static constexpr const char *kNames[] = {"X",    "NOUN", "PROPN", "ADJ",  "VERB", "AUX",  "ADV",   "ADP", "CCONJ",
                                             "SCONJ", "PART", "PRON", "DET", "NUM", "INTJ", "PUNCT", "SYM"};
    return size_t(p) < std::size(kNames) ? kNames[size_t(p)] : "X";
}

constexpr double kClosedPrior = 0.1;
constexpr double kSubstantivised = 0.2;
constexpr double kImperative = 0.1;
constexpr double kRareGuess = 0.1;
constexpr double kSubstantivePron = 0.5;
constexpr double kLongerLemma = 0.2;

struct Analyser::Private {
    std::shared_ptr<const Dictionary> dict;
    std::vector<TagInfo> tags;
    std::vector<std::string> coordinating;   // conjunctions read as CCONJ
    std::vector<std::string> ownComparatives;
    std::vector<std::string> timeNouns;
    std::vector<std::string> prefixes;   // productive prefixes of compounds
    struct Substantive {
        std::string det, pron;
        const char *grammeme;
    };
    std::vector<Substantive> substantives;
    std::vector<std::pair<std::string, Upos>> closedUpos;
    std::string aux;                          // "быть"
    std::string should, shouldShort;          // "должный", "должен"
    Context context;

    // The readings of the dictionary's parses, conventions applied; false when
    // there are none.
    void fromParses(std::vector<RawParse> &parses, std::string_view head, std::vector<Reading> &out) const
    {
        std::vector<double> weight(parses.size());
        const double total = weighParses(parses, weight);
        const size_t first = out.size();
        for (size_t k = 0; k < parses.size(); ++k) {
            const RawParse &p = parses[k];
            const TagInfo &t = tags[p.tag];
            // "днём", "вечером", "зимой" are the nouns' instrumental case, not
            // adverbs of their own.
            if (t.grammemes.front() == "ADVB"
                && std::find(timeNouns.begin(), timeNouns.end(), p.word) != timeNouns.end())
                continue;
            Reading r = readingOf(p, t, head);
            r.prob = float(total > 0 ? weight[k] / total : 0);
            if (r.upos == Upos::Det)
                addSubstantivePronoun(r, t, first, out);
            if (t.has("Abbr") && p.lemma != r.lemma) {
                Reading full = r;
                full.lemma = std::string(head) + p.lemma;
                full.abbreviation = 1;
                r.abbreviation = 2;
                add(std::move(full), first, out);
            }
            add(std::move(r), first, out);
        }
        weighDownSubstantivised(first, out);
        normalise(first, out);
    }

    // Each parse's weight (into weight, in the parses' order) and their sum: a known
    // word's parses by P(tag | word), a predicted one's by its score, and without
    // either by how common the reading's class is, the dictionary's order breaking
    // ties (earlier first).
    double weighParses(const std::vector<RawParse> &parses, std::vector<double> &weight) const
    {
        double known = 0;
        for (const RawParse &p : parses)
            known += p.predicted ? 0 : p.score;
        double total = 0;
        for (size_t k = 0; k < parses.size(); ++k) {
            const TagInfo &t = tags[parses[k].tag];
            // A closed class has few words, each of them frequent: its share of the
            // tokens says little against an open class's, so it is not weighed down.
            const bool open = t.upos == Upos::Noun || t.upos == Upos::Propn || t.upos == Upos::Adj
                              || t.upos == Upos::Verb || t.upos == Upos::Adv || t.upos == Upos::Intj;
            double prior = open ? context.prior(Context::classOf(t.upos, t.kase)) : kClosedPrior;
            // An imperative is rare in running text beside the noun or adverb it
            // looks like ("домой", "прочь", "мой").
            if (t.has("impr"))
                prior *= kImperative;
            // Two words of the same form and tag ("полком": "полк" or "полок"):
            // the shorter, more basic one first.
            for (const RawParse &other : parses)
                if (other.tag == parses[k].tag && other.lemma.size() < parses[k].lemma.size()) {
                    prior *= kLongerLemma;
                    break;
                }
            // An unknown word is seldom a short adjective or participle, or a
            // possessive ("-ин", "-ов", "-ий" endings read as "стратовулкан",
            // "кликанья"): most unknown words are nouns.
            double guess = 1;
            if (parses[k].predicted && (t.has("ADJS") || t.has("PRTS") || t.has("Poss") || t.has("ADVB")))
                guess = kRareGuess;
            const double w = known > 0              ? parses[k].score + 1e-3 * known
                             : parses[k].predicted ? parses[k].score * guess
                                                   : std::pow(0.9, double(k)) * prior;
            weight[k] = w;
            total += w;
        }
        return total;
    }

    // A parse's reading, without its probability: the lemma by the conventions, the
    // part of speech told apart where the tag does not say it.
    Reading readingOf(const RawParse &p, const TagInfo &t, std::string_view head) const
    {
        Reading r;
        r.lemma = std::string(head) + lemmaOf(p, t);
        r.upos = t.upos;
        if (r.upos == Upos::Sconj && std::find(coordinating.begin(), coordinating.end(), r.lemma) != coordinating.end())
            r.upos = Upos::Cconj;
        if (r.upos == Upos::Verb && r.lemma == aux)
            r.upos = Upos::Aux;
        if (t.upos != Upos::Noun && t.upos != Upos::Propn && t.upos != Upos::Verb && t.upos != Upos::Adj)
            r.upos = closedClass(r.lemma, r.upos);
        r.feats = t.feats;
        r.proper = t.proper;
        r.guessed = p.predicted;
        r.cls = Context::classOf(r.upos, t.kase);
        return r;
    }

    // "того", "это", "все" standing for a noun are pronouns of their own ("то,
    // что"; "все пришли"); before a noun they are determiners. The pronoun's
    // reading takes its share of the determiner's probability.
    void addSubstantivePronoun(Reading &r, const TagInfo &t, size_t first, std::vector<Reading> &out) const
    {
        for (const Substantive &sub : substantives)
            if (r.lemma == sub.det && t.has(sub.grammeme)) {
                Reading pron = r;
                pron.lemma = sub.pron;
                pron.upos = Upos::Pron;
                pron.cls = Context::classOf(Upos::Pron, t.kase);
                pron.prob = r.prob * float(kSubstantivePron);
                r.prob -= pron.prob;
                add(std::move(pron), first, out);
                break;
            }
    }

    // An adjective used as a noun ("второе", "частное") is listed as a noun of its
    // own; in running text the adjective is far more often meant.
    static void weighDownSubstantivised(size_t first, std::vector<Reading> &out)
    {
        for (size_t i = first; i < out.size(); ++i) {
            if (out[i].upos != Upos::Noun)
                continue;
            for (size_t j = first; j < out.size(); ++j)
                if (out[j].upos == Upos::Adj && out[j].lemma.size() == out[i].lemma.size() && out[i].lemma.size() > 3
                    && out[j].lemma.compare(0, out[j].lemma.size() - 2, out[i].lemma, 0, out[i].lemma.size() - 2) == 0) {
                    out[i].prob *= float(kSubstantivised);
                    break;
                }
        }
    }

    // The readings from first on: probabilities summing to one, the most probable
    // first, and each one's lexeme's share (the readings of its lemma and part of
    // speech together).
    static void normalise(size_t first, std::vector<Reading> &out)
    {
        float sum = 0;
        for (size_t i = first; i < out.size(); ++i)
            sum += out[i].prob;
        if (sum > 0)
            for (size_t i = first; i < out.size(); ++i)
                out[i].prob /= sum;
        std::stable_sort(out.begin() + std::ptrdiff_t(first), out.end(),
                         [](const Reading &a, const Reading &b) { return a.prob > b.prob; });
        for (size_t i = first; i < out.size(); ++i) {
            out[i].lexemeProb = 0;
            for (size_t j = first; j < out.size(); ++j)
                if (out[j].upos == out[i].upos && out[j].lemma == out[i].lemma)
                    out[i].lexemeProb += out[j].prob;
        }
    }

    // Adds a reading, or its probability to an equal one among those from first on.
    static void add(Reading &&r, size_t first, std::vector<Reading> &out)
    {
        for (size_t j = first; j < out.size(); ++j)
            if (out[j].lemma == r.lemma && out[j].upos == r.upos && out[j].feats == r.feats
                && out[j].abbreviation == r.abbreviation) {
                out[j].prob += r.prob;
                return;
            }
        out.push_back(std::move(r));
    }

    // The lemma of a parse: the dictionary's normal form, except where the
    // reference corpora gather otherwise (docs/corpus-formats.md):
    // - a woman's surname or patronymic is her own ("Ахматовой" -> "ахматова");
    // - an ordinal is its own adjective ("второй", not "два");
    // - a preposition's variant ("во", "со", "обо") and an abbreviation ("км")
    //   stand for themselves;
    // - a spelling variant of the normal form ("счастье" beside "счастие") is its
    //   own lemma;
    // - a comparative is gathered under the adverb ("чаще" -> "часто") where the
    //   dictionary has one, and frequent comparatives that serve as adverbs of
    //   their own ("больше", "более", "раньше") stand for themselves.
    std::string lemmaOf(const RawParse &p, const TagInfo &t) const
    {
        const std::string &pos = t.grammemes.front();
        if (pos == "PREP" || t.has("Abbr"))
            return p.word;
        const auto formWith = [&](std::initializer_list<const char *> gs) {
            return formWhere(p, [&](const TagInfo &o) {
                return std::all_of(gs.begin(), gs.end(), [&](const char *g) { return o.has(g); });
            });
        };
        if (pos == "VERB" || pos == "INFN" || pos == "PRTF" || pos == "PRTS" || pos == "GRND") {
            // The verb's infinitive, whatever form the lexeme starts with.
            std::string l = formWith({"INFN"});
            if (!l.empty())
                return l;
        }
        // Not for a name the dictionary does not know: its forms keep one headword.
        if (t.has("Surn") && t.has("femn") && !p.predicted) {
            std::string l = formWith({"femn", "sing", "nomn"});
            if (!l.empty())
                return l;
        }
        // A patronymic is its own word, not the father's name ("Павлович", not "павел").
        if (t.has("Patr")) {
            std::string l = t.has("femn") ? formWith({"Patr", "femn", "sing", "nomn"}) : formWith({"Patr", "masc", "sing", "nomn"});
            if (!l.empty())
                return l;
        }
        if (t.has("Supr")) {
            // A superlative is its own adjective ("лучших" -> "лучший", "наилучший").
            std::string l = formWhere(
                p, [](const TagInfo &o) { return o.has("Supr") && o.has("masc") && o.has("sing") && o.has("nomn"); },
                true);
            if (!l.empty())
                return l;
        }
        if (pos == "ADJS" && p.lemma == should)
            return shouldShort;   // "должен", as the modal word is written
        if (t.has("Anum")) {
            std::string l = formWith({"Anum", "masc", "sing", "nomn"});
            if (!l.empty())
                return l;
        }
        if (pos == "COMP") {
            if (std::find(ownComparatives.begin(), ownComparatives.end(), p.word) != ownComparatives.end())
                return p.word;
            if (std::string adverb = adverbOf(p.lemma); !adverb.empty())
                return adverb;
        }
        if (p.lemma != p.word && p.tag == dict->formTag(p.paradigm, 0))
            return p.word;
        // A full word listed under its abbreviation ("сборник" under "сб"): the
        // full word's own form of the normal form's tag.
        // One tag is the other plus one grammeme.
        const auto oneMore = [](const TagInfo &more, const TagInfo &less) {
            return more.grammemes.size() == less.grammemes.size() + 1
                && std::all_of(less.grammemes.begin(), less.grammemes.end(),
                               [&](const std::string &g) { return more.has(g); });
        };
        const TagInfo &normal = tags[dict->formTag(p.paradigm, 0)];
        if (normal.has("Abbr") && !t.has("Abbr")) {
            std::string l = formWhere(p, [&](const TagInfo &o) { return !o.has("Abbr") && oneMore(normal, o); });
            if (!l.empty())
                return l;
        }
        for (const std::string &g : t.grammemes)
            if (g.size() > 2 && g[0] == 'V' && g[1] == '-') {
                // A spelling variant ("страданья", V-be): the same variant of the normal form.
                std::string l = formWhere(p, [&](const TagInfo &o) { return o.has(g) && oneMore(o, normal); });
                if (!l.empty())
                    return l;
            }
        return p.lemma;
    }

    // The form of the parse's lexeme whose tag satisfies the test, built from the
    // parse's own form: the first such, or with nearest the one that begins most
    // like the parse's form ("наилучший" for "наилучших"); "" when none.
    template <typename Test>
    std::string formWhere(const RawParse &p, Test test, bool nearest = false) const
    {
        std::string best;
        const uint16_t n = dict->formCount(p.paradigm);
        for (uint16_t f = 0; f < n; ++f) {
            if (!test(tags[dict->formTag(p.paradigm, f)]))
                continue;
            std::string l = dict->inflect(p.word, p.paradigm, p.form, f);
            if (l.empty())
                continue;
            if (!nearest)
                return l;
            if (best.empty() || common(l, p.word) > common(best, p.word))
                best = l;
        }
        return best;
    }

    static size_t common(const std::string &a, const std::string &b)
    {
        size_t n = 0;
        while (n < a.size() && n < b.size() && a[n] == b[n])
            ++n;
        return n;
    }

    // The adverb of an adjective that the dictionary knows ("частый" -> "часто").
    std::string adverbOf(const std::string &adjective) const
    {
        if (adjective.size() < 4)
            return std::string();
        std::string adverb = adjective.substr(0, adjective.size() - 2) + cp("о");
        for (char &c : adverb)
            if (uint8_t(c) == 0xB8)   // "ё": the lookup finds it from "е" too
                c = char(0xE5);
        std::vector<RawParse> parses;
        dict->lookup(adverb, parses);
        for (const RawParse &r : parses)
            if (tags[r.tag].grammemes.front() == "ADVB")
                return r.word;
        return std::string();
    }

    // The part of speech of a closed-class word where its function in the
    // reference corpora differs from the dictionary's class.
    Upos closedClass(const std::string &lemma, Upos upos) const
    {
        for (const auto &[word, to] : closedUpos)
            if (word == lemma)
                return to;
        return upos;
    }

    void plain(std::string_view form, Upos upos, std::vector<Reading> &out) const
    {
        Reading r;
        r.lemma.assign(form);
        r.upos = upos;
        r.prob = r.lexemeProb = 1;
        r.own = true;
        r.cls = Context::classOf(upos, 0);
        out.push_back(std::move(r));
    }
};

Analyser::Analyser(std::shared_ptr<const Dictionary> dictionary) : d(new Private)
{
    d->dict = std::move(dictionary);
    d->tags.reserve(d->dict->tagCount());
    for (size_t k = 0; k < d->dict->tagCount(); ++k)
        d->tags.push_back(describe(d->dict->tagText(uint16_t(k))));
    for (const char *c : {"и", "а", "но", "или", "либо", "да", "ни", "зато", "однако", "иль", "аль", "также"})
        d->coordinating.push_back(cp(c));
    for (const char *c : {"больше", "меньше", "более", "менее", "позже", "позднее", "раньше", "ранее", "далее",
                          "свыше", "лучше", "хуже", "боле"})
        d->ownComparatives.push_back(cp(c));
    const std::pair<const char *, Upos> closed[] = {
        {"который", Upos::Pron}, {"ещё", Upos::Adv},   {"уже", Upos::Adv},    {"тоже", Upos::Adv},
        {"так", Upos::Adv},      {"только", Upos::Part}, {"лишь", Upos::Part}, {"уж", Upos::Part},
        {"да", Upos::Cconj},     {"бы", Upos::Aux},    {"б", Upos::Aux},      {"это", Upos::Pron},
        {"ль", Upos::Part},      {"вот", Upos::Part},  {"даже", Upos::Part},  {"именно", Upos::Part},
    };
    d->substantives = {{cp("тот"), cp("то"), "neut"}, {cp("этот"), cp("это"), "neut"},
                       {cp("весь"), cp("всё"), "neut"}, {cp("весь"), cp("все"), "plur"}};
    for (const auto &[w, u] : closed)
        d->closedUpos.emplace_back(cp(w), u);
    for (const char *c : {"авиа", "авто", "агро", "анти", "аэро", "био", "вело", "гидро", "гипер", "гео", "квази",
                          "контр", "макро", "медиа", "мега", "микро", "мини", "мото", "мульти", "нео", "пост",
                          "псевдо", "радио", "супер", "теле", "ультра", "фото", "экс", "электро", "эко", "интер",
                          "кибер", "нано", "полу", "сверх", "ново", "старо", "архи", "вице", "лже", "недо", "пере",
                          "пра", "сверх", "спец", "суб", "транс", "экстра", "контр", "мета", "интернет", "кино",
                          "медиа", "нейро", "пресс", "стерео", "термо", "видео", "аудио", "теле", "евро"})
        d->prefixes.push_back(cp(c));
    std::sort(d->prefixes.begin(), d->prefixes.end(),
              [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    for (const char *c : {"днём", "ночью", "утром", "вечером", "зимой", "летом", "весной", "осенью"})
        d->timeNouns.push_back(cp(c));
    d->aux = cp("быть");
    d->should = cp("должный");
    d->shouldShort = cp("должен");
}

Analyser::~Analyser() = default;

const Dictionary &Analyser::dictionary() const { return *d->dict; }

void Analyser::analyse(std::string_view form, std::vector<Reading> &out) const
{
    out.clear();
    if (form.empty())
        return;
    bool cyr = false, digit = false;
    for (char c : form) {
        cyr = cyr || isCyrillic(c);
        digit = digit || isDigit(c);
    }
    if (!cyr) {
        d->plain(form, digit ? Upos::Num : Upos::X, out);
        return;
    }
    std::vector<RawParse> parses;
    if (d->dict->lookup(form, parses)) {
        d->fromParses(parses, {}, out);
        return;
    }
    // A hyphenated word the dictionary does not know whole: its last part is
    // inflected, the head stays ("интернет-магазина" -> "интернет-магазин").
    const size_t dash = form.rfind('-');
    if (dash != std::string_view::npos && dash > 0 && dash + 1 < form.size()) {
        const std::string_view head = form.substr(0, dash + 1), last = form.substr(dash + 1);
        if (d->dict->lookup(last, parses) || (d->dict->predict(last, parses), !parses.empty())) {
            d->fromParses(parses, head, out);
            return;
        }
    }
    // A known word behind a productive prefix ("супергероев" -> "супергерой").
    for (const std::string &pre : d->prefixes) {
        if (form.size() < pre.size() + 3 || form.compare(0, pre.size(), pre) != 0)
            continue;
        std::string_view rest = form.substr(pre.size());
        if (!rest.empty() && rest[0] == '-')
            rest.remove_prefix(1);
        if (rest.size() >= 3 && d->dict->lookup(rest, parses)) {
            parses.erase(std::remove_if(parses.begin(), parses.end(),
                                        [&](const RawParse &p) { return !d->dict->productive(p.tag); }),
                         parses.end());
            if (!parses.empty()) {
                d->fromParses(parses, form.substr(0, form.size() - rest.size()), out);
                for (Reading &r : out)
                    r.guessed = true;
                return;
            }
        }
    }
    if (!digit)
        d->dict->predict(form, parses);
    if (!parses.empty()) {
        d->fromParses(parses, {}, out);
        return;
    }
    d->plain(form, digit ? Upos::Num : Upos::Noun, out);
}

void Analyser::setContextWeight(float weight) { d->context.setWeight(weight); }

void Analyser::choose(const Token *tokens, size_t n, uint32_t *choice) const
{
    d->context.choose(tokens, n, choice);
}

} // namespace corvus::morph
