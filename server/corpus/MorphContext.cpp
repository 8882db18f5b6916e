#include "corpus/MorphContext.h"

#include "corpus/MorphContextTable.h"

#include <algorithm>
#include <cmath>

namespace corvus::morph {

uint8_t Context::punctClass(std::string_view p)
{
    uint8_t kind = 0;   // other marks: quotes, brackets
    if (p == ",")
        kind = 1;
    else if (!p.empty() && (p[0] == '.' || p[0] == '!' || p[0] == '?' || p[0] == ';'))
        kind = 2;
    else if (!p.empty() && (p[0] == '-' || uint8_t(p[0]) == 0x96 || uint8_t(p[0]) == 0x97 || p[0] == ':'))
        kind = 3;
    return classOf(Upos::Punct, kind);
}

Context::Context() : m_gain(kClasses * kClasses, 0.f), m_prior(kClasses, 0.f)
{
    // Add-k smoothing towards the class's own frequency.
    constexpr double kSmooth = 2.0;
    constexpr double kFloor = -2.0;
    std::vector<double> pair(kClasses * kClasses, 0), from(kClasses, 0), of(kClasses, 0);
    double total = 0;
    for (const auto &b : kClassBigrams) {
        pair[size_t(b[0]) * kClasses + b[1]] += b[2];
        from[b[0]] += b[2];
        of[b[1]] += b[2];
        total += b[2];
    }
    for (size_t c = 0; c < kClasses; ++c) {
        const double prior = (of[c] + 0.5) / (total + 0.5 * double(kClasses));
        m_prior[c] = float(prior);
        for (size_t p = 0; p < kClasses; ++p) {
            const double cond = (pair[p * kClasses + c] + kSmooth * prior) / (from[p] + kSmooth);
            // Counted on some twenty thousand tokens, a pair never seen says
            // little: the loss is bounded so that a reading P(tag | word) makes
            // a hundred times likelier is not overturned by one rare pair.
            m_gain[p * kClasses + c] = float(std::max(std::log(cond / prior), kFloor));
        }
    }
}

namespace {

constexpr float kNameWithoutCapital = -4.6f;   // log 0.01
constexpr float kOtherAbbreviation = -6.9f;    // log 0.001
constexpr float kOutOfReach = 0.01f;
constexpr float kGuessNotName = -4.6f;         // log 0.1

// Whether a period follows token i.
inline bool periodAfter(const Analyser::Token *tokens, size_t n, size_t i)
{
    return i + 1 < n && !tokens[i + 1].readings && !tokens[i + 1].punct.empty() && tokens[i + 1].punct[0] == '.';
}

// A reading's own score, before its neighbours': log P(reading | form) and what
// the letter case and a period after it say. `top` is the best lexeme share of the
// form's readings.
inline float ownScore(const Reading &r, float top, float formShare, bool capital, bool period)
{
    float own = 0;
    // The lexeme's share weighs most: a possessive "их" spread over
    // twenty-four case forms is still more likely than the pronoun.
    // A lexeme the counts make hundreds of times less likely than the
    // form's best is out of the neighbours' reach ("другие были"
    // is not the plural of "быль").
    if (r.lexemeProb < kOutOfReach * top)
        own -= 20.f;
    own += std::log(std::max(r.lexemeProb, 1e-6f))
          + formShare * std::log(std::max(r.prob, 1e-6f) / std::max(r.lexemeProb, 1e-6f));
    if (r.proper && !capital)
        own += kNameWithoutCapital;
    // An unknown word with a capital letter is a name far more often
    // than a verb or an adverb.
    if (r.guessed && capital && r.upos != Upos::Noun && r.upos != Upos::Propn)
        own += kGuessNotName;
    // An abbreviation with a period stands for its word ("г." -> "год");
    // without one it is a word of its own ("км").
    if (r.abbreviation && (r.abbreviation == 1) != period)
        own += kOtherAbbreviation;
    return own;
}

} // namespace

void Context::choose(const Analyser::Token *tokens, size_t n, uint32_t *choice) const
{
    // Viterbi over the readings: score = log P(reading | form) + weight * gain of
    // its class after the previous token's class. A punctuation mark has one
    // reading, so every path goes through it: the tokens before it are settled
    // there, and the search keeps no more than the run of words since.
    std::vector<float> prevScore{0.f}, score;
    std::vector<uint8_t> prevCls{punctClass(".")}, cls;
    std::vector<uint32_t> back, offset{0};   // of the run's tokens: best previous reading
    size_t runStart = 0;
    const auto settle = [&](size_t end, uint32_t k) {
        for (size_t i = end; i-- > runStart;) {
            choice[i] = tokens[i].readings ? k : 0;
            k = back[offset[i - runStart] + k];
        }
    };
    for (size_t i = 0; i < n; ++i) {
        const Analyser::Token &t = tokens[i];
        const uint32_t m = t.readings ? std::max<uint32_t>(t.count, 1) : 1;
        score.assign(m, 0.f);
        cls.assign(m, 0);
        const uint32_t base = offset.back();
        back.resize(base + m);
        offset.push_back(base + m);
        float top = 0;
        for (uint32_t k = 0; t.readings && k < t.count; ++k)
            top = std::max(top, t.readings[k].lexemeProb);
        const bool period = periodAfter(tokens, n, i);
        for (uint32_t k = 0; k < m; ++k) {
            float own = 0;
            if (t.readings && t.count) {
                const Reading &r = t.readings[k];
                cls[k] = r.cls;
                own = ownScore(r, top, m_formShare, t.capital, period);
            } else {
                cls[k] = punctClass(t.punct);
            }
            float best = -1e30f;
            uint32_t arg = 0;
            for (size_t j = 0; j < prevScore.size(); ++j) {
                const float s = prevScore[j] + m_weight * m_gain[size_t(prevCls[j]) * kClasses + cls[k]];
                if (s > best) {
                    best = s;
                    arg = uint32_t(j);
                }
            }
            score[k] = best + own;
            back[base + k] = arg;
        }
        prevScore.swap(score);
        prevCls.swap(cls);
        if (m == 1) {
            settle(i + 1, 0);
            runStart = i + 1;
            back.clear();
            offset.assign(1, 0);
            prevScore[0] = 0;
        }
    }
    if (runStart < n)
        settle(n, uint32_t(std::max_element(prevScore.begin(), prevScore.end()) - prevScore.begin()));
}

} // namespace corvus::morph
