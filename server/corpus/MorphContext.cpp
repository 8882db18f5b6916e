#include "corpus/MorphContext.h"

#include <cmath>

namespace corvus::morph {

Context::Context() : m_transition(kClasses * kClasses, 0.f), m_boundary(classOf(Upos::Punct, 0)) {}

void Context::choose(const Analyser::Token *tokens, size_t n, uint32_t *choice) const
{
    for (size_t i = 0; i < n; ++i) {
        const Analyser::Token &t = tokens[i];
        choice[i] = 0;
        if (!t.readings || t.count < 2)
            continue;
        // A name's reading needs a capital letter; a capital does not need a name.
        float best = -1;
        for (uint32_t k = 0; k < t.count; ++k) {
            const Reading &r = t.readings[k];
            const float p = r.proper && !t.capital ? r.prob * 0.01f : r.prob;
            if (p > best) {
                best = p;
                choice[i] = k;
            }
        }
    }
}

} // namespace corvus::morph
