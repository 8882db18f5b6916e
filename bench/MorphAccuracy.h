#pragma once
// Token-level accuracy of the server's lemmas and parts of speech against a
// CoNLL-U treebank: each sentence's "# text =" line is tokenised, folded and
// tagged as the corpus build does it, and each gold word is compared with the
// token that starts where it starts.
//
// Rules: lemmas compared in lower case with "ё" read as "е"; gold tokens tagged
// PUNCT, SYM or NUM and tokens with a digit are skipped; a gold word no token
// starts at counts as wrong (and as unaligned); multiword-token lines are skipped.
#include "corpus/Charset.h"
#include "corpus/MorphContext.h"
#include "corpus/Morphology.h"
#include "corpus/Tokeniser.h"

#include <QFile>
#include <QString>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace morphacc {

struct GoldToken {
    std::string form, lemma, upos, feats;   // 1251
};
struct Sentence {
    std::string text;   // 1251
    std::vector<GoldToken> tokens;
};

inline std::vector<Sentence> parseConllu(const QByteArray &utf8)
{
    std::vector<Sentence> out;
    Sentence cur;
    bool open = false;
    for (const QByteArray &raw : utf8.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.startsWith("# text = ")) {
            cur.text = corvus::charset::utf8ToCp1251(line.mid(9).toStdString());
            open = true;
        } else if (line.trimmed().isEmpty()) {
            if (open && !cur.tokens.empty())
                out.push_back(std::move(cur));
            cur = Sentence();
            open = false;
        } else if (!line.startsWith('#')) {
            const QList<QByteArray> f = line.split('\t');
            if (f.size() < 4 || f[0].contains('-') || f[0].contains('.'))
                continue;
            cur.tokens.push_back({corvus::charset::utf8ToCp1251(f[1].toStdString()),
                                  corvus::charset::utf8ToCp1251(f[2].toStdString()), f[3].toStdString(),
                                  f.size() > 5 ? f[5].toStdString() : std::string()});
        }
    }
    if (open && !cur.tokens.empty())
        out.push_back(std::move(cur));
    return out;
}

inline std::vector<Sentence> readConllu(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return parseConllu(f.readAll());
}

// Lower case, "ё" as "е".
inline std::string comparable(std::string_view s)
{
    std::string out = corvus::charset::fold(s);
    for (char &c : out)
        if (uint8_t(c) == 0xB8)
            c = char(0xE5);
    return out;
}

struct Score {
    size_t words = 0, lemmaRight = 0, uposRight = 0, unaligned = 0;
    double lemma() const { return words ? 100.0 * double(lemmaRight) / double(words) : 0; }
    double upos() const { return words ? 100.0 * double(uposRight) / double(words) : 0; }
};

// What went wrong with one word: gold and found lemma and part of speech, and the
// token's readings (nullptr when no token starts at the word).
using Miss = std::function<void(const GoldToken &gold, const std::string &lemma, const char *upos,
                                const corvus::morph::Analyser::Token *token)>;

// A sentence tagged as the corpus build tags it: its tokens (their readings kept in
// the cache, by folded form), where each starts in the text, and the chosen reading.
struct Tagged {
    std::vector<corvus::morph::Analyser::Token> tokens;
    std::vector<size_t> starts;
    std::vector<uint32_t> choice;
    const corvus::morph::Reading &chosen(size_t k) const { return tokens[k].readings[choice[k]]; }
};
using ReadingCache = std::unordered_map<std::string, std::vector<corvus::morph::Reading>>;

inline void tag(const corvus::morph::Analyser &analyser, std::string_view text, ReadingCache &cache, Tagged &out)
{
    using namespace corvus;
    out.tokens.clear();
    out.starts.clear();
    Tokeniser tk(text);
    RawToken t;
    while (tk.next(t)) {
        morph::Analyser::Token m;
        if (t.punct) {
            m.punct = t.text;
        } else {
            const std::string folded = charset::fold(t.text);
            auto it = cache.find(folded);
            if (it == cache.end()) {
                it = cache.emplace(folded, std::vector<morph::Reading>()).first;
                analyser.analyse(folded, it->second);
            }
            m.readings = it->second.data();
            m.count = uint32_t(it->second.size());
            m.capital = charset::isUpper(uint8_t(t.text[0]));
        }
        out.tokens.push_back(m);
        out.starts.push_back(size_t(t.text.data() - text.data()));
    }
    out.choice.assign(out.tokens.size(), 0);
    analyser.choose(out.tokens.data(), out.tokens.size(), out.choice.data());
}

inline Score evaluate(const corvus::morph::Analyser &analyser, const std::vector<Sentence> &sentences,
                      const Miss &miss = {})
{
    using namespace corvus;
    Score score;
    ReadingCache cache;
    Tagged tagged;
    const std::vector<size_t> &starts = tagged.starts;
    const std::vector<morph::Analyser::Token> &tokens = tagged.tokens;
    for (const Sentence &s : sentences) {
        tag(analyser, s.text, cache, tagged);
        size_t at = 0, k = 0;
        for (const GoldToken &g : s.tokens) {
            const size_t pos = s.text.find(g.form, at);
            if (pos != std::string::npos)
                at = pos + g.form.size();
            if (g.upos == "PUNCT" || g.upos == "SYM" || g.upos == "NUM"
                || std::any_of(g.form.begin(), g.form.end(), [](char c) { return c >= '0' && c <= '9'; }))
                continue;
            ++score.words;
            while (k < starts.size() && starts[k] < pos)
                ++k;
            if (pos == std::string::npos || k >= starts.size() || starts[k] != pos || !tokens[k].readings) {
                ++score.unaligned;
                if (miss)
                    miss(g, std::string(), "", nullptr);
                continue;
            }
            const morph::Reading &r = tagged.chosen(k);
            const bool lemmaOk = comparable(r.lemma) == comparable(g.lemma);
            const bool uposOk = g.upos == morph::uposName(r.upos);
            score.lemmaRight += lemmaOk;
            score.uposRight += uposOk;
            if (miss && (!lemmaOk || !uposOk))
                miss(g, r.lemma, morph::uposName(r.upos), &tokens[k]);
        }
    }
    return score;
}

// The context model's class of a gold token (see MorphContext.h).
inline uint8_t goldClass(const GoldToken &g)
{
    using corvus::morph::Context;
    using corvus::morph::Upos;
    if (g.upos == "PUNCT")
        return Context::punctClass(g.form);
    Upos upos = Upos::X;
    for (uint8_t u = 0; u < uint8_t(Upos::Count); ++u)
        if (g.upos == corvus::morph::uposName(Upos(u)))
            upos = Upos(u);
    static const std::pair<const char *, uint8_t> kCases[] = {{"Case=Nom", 1}, {"Case=Voc", 1}, {"Case=Gen", 2},
                                                              {"Case=Par", 2}, {"Case=Dat", 3}, {"Case=Acc", 4},
                                                              {"Case=Ins", 5}, {"Case=Loc", 6}};
    uint8_t kase = 0;
    for (const auto &[f, code] : kCases)
        if (g.feats.find(f) != std::string::npos)
            kase = code;
    return Context::classOf(upos, kase);
}

} // namespace morphacc
