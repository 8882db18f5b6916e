// Plain text lemmatised and tagged by the morphology (corpus/Morphology.h) during
// the build: each distinct word form is analysed once, on several threads; then
// the tokens of every plain text are handed to choose() a sentence at a time, as
// the morphology's accuracy benchmark does, and each word token keeps the index of
// its chosen reading. Readings are kept per form in a compact form (interned lemma
// and features); the Reading objects choose() reads are built once for the most
// frequent forms, and for the others a sentence at a time in buffers that each
// thread reuses, so nothing is allocated per token.
#include "corpus/BuilderPrivate.h"
#include "corpus/Morphology.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace corvus {
using namespace builder;

namespace {

// What one thread found: the forms it analysed, in its order, and their readings
// with lemma and features interned in the thread's own tables.
struct ThreadReadings {
    std::vector<uint32_t> forms;
    std::vector<MorphReading> readings;
    StringTable lemmas, feats;
};

// A sentence ends after a mark of ".", "!", "?" and "…" only, and at a paragraph's
// (and so a text's) end.
bool endsSentence(std::string_view punct)
{
    for (const char c : punct)
        if (c != '.' && c != '!' && c != '?' && c != '\x85')
            return false;
    return !punct.empty();
}

// A sentence without an end is handed over in pieces of this many tokens.
constexpr uint32_t kMaxRun = 1000;
// Tokens are shared among the threads in blocks of this many.
constexpr uint32_t kBlock = 1u << 16;
// The most frequent forms' Reading objects are built once, up to this many
// readings (a few MB): in running text they are most of the tokens.
constexpr size_t kCommonReadings = size_t(1) << 16;

void fill(morph::Reading &x, const MorphReading &m, const StringTable &lemmas, const StringTable &feats)
{
    x.lemma.assign(lemmas.view(m.lemma));
    x.feats.assign(feats.view(m.feats));
    x.prob = m.prob;
    x.upos = morph::Upos(m.upos);
    x.cls = m.cls;
    x.proper = m.proper;
    x.lexemeProb = m.lexemeProb;
    x.guessed = m.guessed;
    x.abbreviation = m.abbreviation;
}

} // namespace

bool CorpusBuilder::Private::tagWithMorphology(const QString &folder, std::vector<uint8_t> &formFlags,
                                               StringTable &lemmaTable, std::vector<uint32_t> &lemmaOfForm,
                                               MorphReadings &out)
{
    QString error;
    std::shared_ptr<const morph::Dictionary> dict = morph::Dictionary::open(folder, &error);
    if (!dict) {
        stats.warnings << QStringLiteral("Морфологический словарь не открыт, леммы даёт hunspell: %1").arg(error);
        return false;
    }
    const morph::Analyser analyser(dict);
    const uint32_t W = words.size();
    const int threads = std::max(1, options.threads);

    // 1. Every distinct form's readings.
    out.first.assign(size_t(W) + 1, 0);
    std::vector<ThreadReadings> found(static_cast<size_t>(threads));
    // Room for about four readings and a lemma of its own a form, taken here
    // rather than grown by the threads: what a thread's own heap takes, it keeps.
    for (ThreadReadings &mine : found) {
        const size_t share = W / size_t(threads) + 1024;
        mine.forms.reserve(share);
        mine.readings.reserve(4 * share);
        mine.lemmas.reserve(share, 12 * share);
        mine.feats.reserve(4096, 4096 * 40);
    }
    {
        std::atomic<uint32_t> next{0};
        auto work = [&](int t) {
            ThreadReadings &mine = found[size_t(t)];
            std::vector<morph::Reading> readings;
            for (;;) {
                const uint32_t begin = next.fetch_add(512);
                if (begin >= W)
                    break;
                const uint32_t end = std::min(W, begin + 512);
                for (uint32_t i = begin; i < end; ++i) {
                    analyser.analyse(words.view(i), readings);
                    if (readings.empty()) {   // the analyser promises one; a form is its own lemma
                        readings.emplace_back();
                        readings.back().lemma.assign(words.view(i));
                        readings.back().prob = readings.back().lexemeProb = 1.f;
                        readings.back().own = true;
                    }
                    mine.forms.push_back(i);
                    out.first[i + 1] = uint32_t(readings.size());
                    for (const morph::Reading &r : readings) {
                        MorphReading m;
                        m.lemma = mine.lemmas.intern(r.lemma);
                        m.feats = mine.feats.intern(r.feats);
                        m.prob = r.prob;
                        m.upos = uint8_t(r.upos);
                        m.cls = r.cls;
                        m.proper = r.proper;
                        m.lexemeProb = r.lexemeProb;
                        m.guessed = r.guessed;
                        m.abbreviation = r.abbreviation;
                        mine.readings.push_back(m);
                    }
                    // A lemma from the dictionary or predicted from the ending is
                    // shown; a form without any reading is its own lemma.
                    if ((formFlags[i] & kCyrillic) && !readings.front().own)
                        formFlags[i] |= kLemmaKnown;
                }
            }
        };
        onThreads(threads, work);
    }
    for (uint32_t i = 0; i < W; ++i)
        out.first[i + 1] += out.first[i];
    out.readings.resize(out.first[W]);
    for (ThreadReadings &mine : found) {
        std::vector<uint32_t> lemmaId(mine.lemmas.size()), featsId(mine.feats.size());
        for (uint32_t k = 0; k < lemmaId.size(); ++k)
            lemmaId[k] = lemmaTable.intern(mine.lemmas.view(k));
        for (uint32_t k = 0; k < featsId.size(); ++k)
            featsId[k] = out.feats.intern(mine.feats.view(k));
        size_t k = 0;
        for (const uint32_t f : mine.forms)
            for (uint32_t g = out.first[f]; g < out.first[f + 1]; ++g) {
                MorphReading m = mine.readings[k++];
                m.lemma = lemmaId[m.lemma];
                m.feats = featsId[m.feats];
                out.readings[g] = m;
            }
        std::vector<uint32_t>().swap(mine.forms);
        std::vector<MorphReading>().swap(mine.readings);
        mine.lemmas.release();
        mine.feats.release();
    }
    for (uint32_t i = 0; i < W; ++i)
        lemmaOfForm[i] = out.readings[out.first[i]].lemma;

    // 2. A reading per word token of the plain texts, chosen a sentence at a time.
    const uint32_t N = uint32_t(tokForm.size());
    if (!annotated) {
        annotated = true;
        tokAnnot.assign(N, kNone);
    }
    const auto sentenceEnd = [&](uint32_t i) {
        if (tokFlags[i] & kParagraphEnd)
            return true;
        return (tokForm[i] & kPunctBit) && endsSentence(puncts.view(tokForm[i] & ~kPunctBit));
    };
    // Reading objects of the most frequent forms, shared by the threads.
    std::vector<uint32_t> commonAt(W, kNone);
    std::vector<morph::Reading> common;
    {
        std::vector<uint32_t> count(W, 0);
        for (const uint32_t f : tokForm)
            if (!(f & kPunctBit))
                ++count[f];
        std::vector<uint32_t> byCount;
        for (uint32_t f = 0; f < W; ++f)
            if (count[f] > 1)
                byCount.push_back(f);
        std::sort(byCount.begin(), byCount.end(), [&](uint32_t a, uint32_t b) { return count[a] > count[b]; });
        size_t room = 0;
        for (const uint32_t f : byCount) {
            room += out.first[f + 1] - out.first[f];
            if (room > kCommonReadings)
                break;
            commonAt[f] = uint32_t(common.size());
            for (uint32_t g = out.first[f]; g < out.first[f + 1]; ++g)
                fill(common.emplace_back(), out.readings[g], lemmaTable, out.feats);
        }
    }
    const auto capital = [&](uint32_t i) {
        const uint8_t flags = tokFlags[i];
        if (flags & kCaseMask)
            return true;
        if (!(flags & kSurfaceOwn))
            return false;
        const auto it = std::lower_bound(surfaceTokens.begin(), surfaceTokens.end(), i);
        if (it == surfaceTokens.end() || *it != i)
            return false;
        const uint32_t at = surfaceOffsets[size_t(it - surfaceTokens.begin())];
        return at < surfaceChars.size() && charset::isUpper(uint8_t(surfaceChars[at]));
    };
    std::atomic<uint32_t> nextBlock{0};
    auto work = [&] {
        std::vector<morph::Reading> readings;
        std::vector<morph::Analyser::Token> tokens;
        std::vector<uint32_t> choice;
        // Tagging of tokens [from, to]: one sentence, or a piece of one.
        const auto run = [&](uint32_t from, uint32_t to) {
            const uint32_t n = to - from + 1;
            size_t total = 0;
            for (uint32_t i = from; i <= to; ++i)
                if (!(tokForm[i] & kPunctBit) && commonAt[tokForm[i]] == kNone)
                    total += out.first[tokForm[i] + 1] - out.first[tokForm[i]];
            if (readings.size() < total)
                readings.resize(total);
            tokens.resize(n);
            choice.assign(n, 0);
            size_t at = 0;
            for (uint32_t k = 0; k < n; ++k) {
                const uint32_t f = tokForm[from + k];
                morph::Analyser::Token &t = tokens[k];
                t = morph::Analyser::Token();
                if (f & kPunctBit) {
                    t.punct = puncts.view(f & ~kPunctBit);
                    continue;
                }
                const uint32_t first = out.first[f], count = out.first[f + 1] - first;
                t.count = count;
                t.capital = capital(from + k);
                if (commonAt[f] != kNone) {
                    t.readings = common.data() + commonAt[f];
                    continue;
                }
                for (uint32_t r = 0; r < count; ++r)
                    fill(readings[at + r], out.readings[first + r], lemmaTable, out.feats);
                t.readings = readings.data() + at;
                at += count;
            }
            analyser.choose(tokens.data(), n, choice.data());
            for (uint32_t k = 0; k < n; ++k) {
                const uint32_t f = tokForm[from + k];
                if (!(f & kPunctBit))
                    tokAnnot[from + k] = kReadingBit | (out.first[f] + std::min(choice[k], tokens[k].count - 1));
            }
        };
        for (;;) {
            const uint64_t begin = uint64_t(nextBlock.fetch_add(1)) * kBlock;
            if (begin >= N)
                break;
            const uint32_t end = uint32_t(std::min<uint64_t>(N, begin + kBlock));
            // The block's runs are those that start at or after its first sentence
            // start, up to the first sentence start at or after its end: each
            // sentence is tagged by the block it starts in.
            uint32_t i = uint32_t(begin);
            while (i < end && i > 0 && !sentenceEnd(i - 1))
                ++i;
            if (i >= end)
                continue;
            size_t text = size_t(std::upper_bound(texts.begin(), texts.end(), i, [](uint32_t token, const TextInfo &t) {
                                     return token < t.firstToken;
                                 }) - texts.begin()) - 1;
            while (i < N) {
                if (i >= end && sentenceEnd(i - 1))
                    break;
                while (texts[text].firstToken + texts[text].tokenCount <= i)
                    ++text;
                if (textAnnotated[text]) {
                    i = texts[text].firstToken + texts[text].tokenCount;
                    continue;
                }
                uint32_t to = i;
                while (!sentenceEnd(to) && to + 1 < N && to - i + 1 < kMaxRun)
                    ++to;
                run(i, to);
                i = to + 1;
            }
        }
    };
    onThreads(threads, [&](int) { work(); });

    stats.lemmatiser = QStringLiteral("словарь %1 (части речи и грамматические признаки)").arg(dict->description());
    return true;
}

} // namespace corvus
