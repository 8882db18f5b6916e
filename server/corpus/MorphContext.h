#pragma once
// The choice of one reading per token of a sentence (see Morphology.h): each
// reading's P(reading | form) and a bigram model of classes (part of speech and
// case) of neighbouring words, searched with Viterbi over the sentence.
#include "corpus/Morphology.h"

namespace corvus::morph {

class Context {
public:
    // The class of a reading: the part of speech and, for words that decline, the case.
    static uint8_t classOf(Upos upos, uint8_t kase) { return uint8_t(uint8_t(upos) * 8 + kase); }
    static constexpr size_t kClasses = size_t(Upos::Count) * 8;

    Context();
    void choose(const Analyser::Token *tokens, size_t n, uint32_t *choice) const;

private:
    // log P(class | previous class) - log P(class), by previous * kClasses + class;
    // previous kBoundary at a sentence's start.
    std::vector<float> m_transition;
    uint8_t m_boundary = 0;
};

} // namespace corvus::morph
