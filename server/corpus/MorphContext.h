#pragma once
// The choice of one reading per token of a sentence (see Morphology.h): each
// reading's P(reading | form) and a bigram model of classes (part of speech and
// case) of neighbouring tokens, searched with Viterbi over the sequence.
//
// The model's counts (MorphContextTable.h) come from the development sets of two
// Russian treebanks, prose and verse: corvus_morph_bench --train writes them.
#include "corpus/Morphology.h"

#include <string_view>

namespace corvus::morph {

class Context {
public:
    // The class of a reading: the part of speech and, for words that decline, the
    // case (1 nominative .. 6 locative, 0 none). Punctuation is told apart by kind.
    static uint8_t classOf(Upos upos, uint8_t kase) { return uint8_t(uint8_t(upos) * 8 + kase); }
    static uint8_t punctClass(std::string_view punct);
    static constexpr size_t kClasses = size_t(Upos::Count) * 8;

    Context();
    void choose(const Analyser::Token *tokens, size_t n, uint32_t *choice) const;

    // P(class) in the treebanks, smoothed: never 0.
    float prior(uint8_t cls) const { return m_prior[cls]; }

    // How much the neighbours weigh against the readings' own probabilities.
    void setWeight(float w) { m_weight = w; }
    // How much a form's own share within its lexeme weighs (0..1).
    void setFormShare(float s) { m_formShare = s; }

private:
    // log P(class | previous) - log P(class), by previous * kClasses + class.
    std::vector<float> m_gain;
    std::vector<float> m_prior;
    float m_weight = 1.0f;
    float m_formShare = 0.5f;
};

} // namespace corvus::morph
