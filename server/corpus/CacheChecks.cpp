// The checks of a mapped cache file: the sizes of its arrays, and in the full
// check every id and offset in range, so that no query can read outside the map.
#include "corpus/CorpusData.h"

#include <algorithm>
#include <thread>

namespace corvus {

namespace {

bool lexiconOk(Span<char> chars, Span<uint32_t> offsets, Span<uint8_t> flags, Span<uint32_t> revOrder,
               Span<uint32_t> revRank, Span<uint32_t> freqOrder, Span<uint32_t> freqRank, Span<uint32_t> postOffsets,
               Span<uint32_t> postings, Span<uint32_t> count, bool full)
{
    const size_t n = count.size();
    if (offsets.size() != n + 1 || flags.size() != n || revOrder.size() != n || revRank.size() != n
        || freqOrder.size() != n || freqRank.size() != n || postOffsets.size() != n + 1)
        return false;
    if (!full)
        return true;
    if (!tablecheck::offsets(offsets, n, chars.size()) || !tablecheck::permutation(revOrder, revRank, n)
        || !tablecheck::permutation(freqOrder, freqRank, n) || !tablecheck::offsets(postOffsets, n, postings.size()))
        return false;
    for (size_t i = 0; i < n; ++i)
        if (postOffsets[i + 1] - postOffsets[i] != count[i])
            return false;
    return true;   // the postings themselves: postingsNameWords, after the tokens
}

// The postings of each form and each lemma name word tokens (marked in isWord, one
// bit per token, small enough to stay in the processor's cache), each list in
// ascending order, and as many as there are word tokens: queries index per-type
// tables by the tokens the postings name, so a posting of a punctuation mark must
// not pass. Which word a posting names is left to the checksum: comparing every
// posting with its token's form reads the token array at random and would take as
// long as the rest of the check together.
bool postingsNameWords(const std::vector<uint64_t> &isWord, uint64_t tokens, uint64_t words,
                       Span<uint32_t> offsets, Span<uint32_t> postings)
{
    if (postings.size() != words)
        return false;
    for (size_t v = 0; v + 1 < offsets.size(); ++v) {
        uint64_t next = 0;   // one past the list's previous posting
        for (uint32_t i = offsets[v]; i < offsets[v + 1]; ++i) {
            const uint32_t t = postings[i];
            if (t < next || t >= tokens || !((isWord[t >> 6] >> (t & 63)) & 1))
                return false;
            next = uint64_t(t) + 1;
        }
    }
    return true;
}

// One pass over the tokens: each names a word form (below W) or a punctuation
// mark in range, and in an annotated corpus a word names a type of its own form
// and a punctuation mark none. Marks the words in isWord (for the postings), counts
// them and each type's tokens. What is wrong, or nullptr.
const char *tokensProblem(Span<uint32_t> tokens, Span<uint32_t> tokenTypes, Span<uint32_t> typeForm, uint32_t W,
                          size_t P, std::vector<uint64_t> &isWord, std::vector<uint32_t> &typeTokens, uint64_t &words)
{
    const size_t N = tokens.size();
    const bool annotated = !tokenTypes.empty();
    const size_t T = typeForm.size();
    for (size_t t = 0; t < N; ++t) {
        const uint32_t f = formPart(tokens[t]);
        const bool punct = flagPart(tokens[t]) & kPunct;
        if (punct ? (f < W || f - W >= P) : f >= W)
            return "tokens";
        isWord[t >> 6] |= uint64_t(!punct) << (t & 63);
        words += !punct;
        if (annotated && (punct ? tokenTypes[t] != kNone : tokenTypes[t] >= T || typeForm[tokenTypes[t]] != f))
            return "types";
        if (annotated && !punct)
            ++typeTokens[tokenTypes[t]];
    }
    return nullptr;
}

} // namespace

namespace tablecheck {

bool offsets(Span<uint32_t> off, size_t n, size_t total)
{
    if (off.size() != n + 1 || off[0] != 0 || off[n] != total)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (off[i] > off[i + 1])
            return false;
    return true;
}

bool permutation(Span<uint32_t> order, Span<uint32_t> rank, size_t n)
{
    if (order.size() != n || rank.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (order[i] >= n || rank[order[i]] != i)
            return false;
    return true;
}

bool below(Span<uint32_t> values, uint64_t bound, bool noneAllowed)
{
    for (const uint32_t v : values)
        if (v >= bound && !(noneAllowed && v == kNone))
            return false;
    return true;
}

} // namespace tablecheck

const char *CacheFile::sizesProblem(const Corpus &cc, Span<uint64_t> scalars, bool full)
{
    const size_t N = cc.m_tokens.size();
    const uint32_t W = cc.m_forms.size(), L = cc.m_lemmas.size();
    const Lexicon &F = cc.m_forms, &Lx = cc.m_lemmas;
    if (scalars[1] != W || scalars[0] != F.m_postings.size() || Lx.m_postings.size() != F.m_postings.size()
        || N >= kNone || uint64_t(W) + (cc.m_punctOffsets.empty() ? 0 : cc.m_punctOffsets.size() - 1) > kFormMask)
        return "sizes";
    if (!lexiconOk(F.m_chars, F.m_offsets, F.m_flags, F.m_reverseOrder, F.m_reverseRank, F.m_freqOrder, F.m_freqRank,
                   F.m_postOffsets, F.m_postings, F.m_count, full)
        || !lexiconOk(Lx.m_chars, Lx.m_offsets, Lx.m_flags, Lx.m_reverseOrder, Lx.m_reverseRank, Lx.m_freqOrder,
                      Lx.m_freqRank, Lx.m_postOffsets, Lx.m_postings, Lx.m_count, full))
        return "lexicons";
    const bool annotated = !cc.m_tokenTypes.empty();
    if (cc.m_formLemma.size() != W || cc.m_lemmaFormOffsets.size() != size_t(L) + 1
        || (annotated ? cc.m_lemmaForms.size() < W : cc.m_lemmaForms.size() != W)
        || cc.m_surfaceOffsets.size() != cc.m_surfaceTokens.size() + 1)
        return "forms";
    // The types of an annotated corpus: all of their arrays or none.
    const size_t T = cc.m_typeForm.size();
    if (annotated
            ? (cc.m_tokenTypes.size() != N || cc.m_typeLemma.size() != T || cc.m_typePos.size() != T
               || cc.m_typeFeats.size() != T || cc.m_typeFlags.size() != T || cc.m_typeCount.size() != T
               || T >= kNone)
            : (T || !cc.m_typeLemma.empty() || !cc.m_typePos.empty() || !cc.m_typeFeats.empty()
               || !cc.m_typeFlags.empty() || !cc.m_typeCount.empty()))
        return "types";
    // Texts: consecutive token ranges covering every token.
    uint64_t next = 0;
    for (const TextInfo &t : cc.m_data->texts) {
        if (t.firstToken != next || t.tokenCount == 0)
            return "texts";
        next += t.tokenCount;
    }
    if (next != N)
        return "texts";
    return nullptr;
}

const char *CacheFile::contentsProblem(const Corpus &cc)
{
    const size_t N = cc.m_tokens.size();
    const uint32_t W = cc.m_forms.size(), L = cc.m_lemmas.size();
    const Lexicon &F = cc.m_forms, &Lx = cc.m_lemmas;
    const size_t P = cc.m_punctOffsets.empty() ? 0 : cc.m_punctOffsets.size() - 1;
    const bool annotated = !cc.m_tokenTypes.empty();
    const size_t T = cc.m_typeForm.size();
    const size_t tags = cc.m_tagOffsets.empty() ? 0 : cc.m_tagOffsets.size() - 1;
    if (!tablecheck::offsets(cc.m_punctOffsets, P, cc.m_punctChars.size())
        || !tablecheck::offsets(cc.m_lemmaFormOffsets, L, cc.m_lemmaForms.size())
        || !tablecheck::below(cc.m_formLemma, L) || !tablecheck::below(cc.m_lemmaForms, W))
        return "forms";
    const size_t S = cc.m_surfaceTokens.size();
    if (!tablecheck::offsets(cc.m_surfaceOffsets, S, cc.m_surfaceChars.size()))
        return "surfaces";
    for (size_t i = 0; i < S; ++i)
        if (cc.m_surfaceTokens[i] >= N || (i && cc.m_surfaceTokens[i] <= cc.m_surfaceTokens[i - 1]))
            return "surfaces";
    std::vector<uint64_t> isWord((N + 63) / 64, 0);
    std::vector<uint32_t> typeTokens(annotated ? T : 0, 0);
    uint64_t words = 0;
    if (const char *problem = tokensProblem(cc.m_tokens, cc.m_tokenTypes, cc.m_typeForm, W, P, isWord, typeTokens, words))
        return problem;
    if (annotated
        && (!tablecheck::below(cc.m_typeForm, W) || !tablecheck::below(cc.m_typeLemma, L)
            || !tablecheck::offsets(cc.m_tagOffsets, tags, cc.m_tagChars.size())
            || !tablecheck::below(cc.m_typePos, tags, true) || !tablecheck::below(cc.m_typeFeats, tags, true)
            || !std::equal(typeTokens.begin(), typeTokens.end(), cc.m_typeCount.begin())))
        return "types";
    // The lemmas' postings on a second thread: the start waits for this check.
    bool lemmasOk = false;
    std::thread lemmas([&] { lemmasOk = postingsNameWords(isWord, N, words, Lx.m_postOffsets, Lx.m_postings); });
    const bool formsOk = postingsNameWords(isWord, N, words, F.m_postOffsets, F.m_postings);
    lemmas.join();
    if (!formsOk || !lemmasOk)
        return "postings";
    return nullptr;
}

} // namespace corvus
