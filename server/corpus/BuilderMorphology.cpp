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

// Room for about four readings and a lemma of its own a form, taken here rather
// than grown by the threads: what a thread's own heap takes, it keeps.
std::vector<ThreadReadings> reservedThreadReadings(uint32_t W, int threads)
{
    std::vector<ThreadReadings> found(static_cast<size_t>(threads));
    for (ThreadReadings &mine : found) {
        const size_t share = W / size_t(threads) + 1024;
        mine.forms.reserve(share);
        mine.readings.reserve(4 * share);
        mine.lemmas.reserve(share, 12 * share);
        mine.feats.reserve(4096, 4096 * 40);
    }
    return found;
}

// A reading in its compact form, lemma and features interned in the thread's tables.
inline MorphReading compactReading(const morph::Reading &r, ThreadReadings &mine)
{
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
    return m;
}

// Every distinct form's readings, on several threads, each keeping its own in
// `found`; first[i + 1] is set to the number of form i's readings. A lemma from
// the dictionary or predicted from the ending is shown (kLemmaKnown); a form
// without any reading is its own lemma.
void analyseForms(const morph::Analyser &analyser, const StringTable &words, std::vector<ThreadReadings> &found,
                  std::vector<uint8_t> &formFlags, std::vector<uint32_t> &first)
{
    const uint32_t W = words.size();
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
                first[i + 1] = uint32_t(readings.size());
                for (const morph::Reading &r : readings)
                    mine.readings.push_back(compactReading(r, mine));
                if ((formFlags[i] & kCyrillic) && !readings.front().own)
                    formFlags[i] |= kLemmaKnown;
            }
        }
    };
    onThreads(int(found.size()), work);
}

// The threads' readings gathered by form into `out`, their lemmas interned in the
// build's lemma table and their features in out.feats; the threads' own tables
// are freed as they go.
void mergeReadings(std::vector<ThreadReadings> &found, StringTable &lemmaTable, MorphReadings &out)
{
    const size_t W = out.first.size() - 1;
    for (size_t i = 0; i < W; ++i)
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
}

// Reading objects of the most frequent forms, built once and shared by the
// threads: by form interning id, where its readings start in `readings` (kNone:
// built a sentence at a time).
struct CommonReadings {
    std::vector<uint32_t> at;
    std::vector<morph::Reading> readings;
};

CommonReadings commonReadings(const std::vector<uint32_t> &tokForm, const MorphReadings &out,
                              const StringTable &lemmaTable)
{
    const uint32_t W = uint32_t(out.first.size() - 1);
    CommonReadings common;
    common.at.assign(W, kNone);
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
        common.at[f] = uint32_t(common.readings.size());
        for (uint32_t g = out.first[f]; g < out.first[f + 1]; ++g)
            fill(common.readings.emplace_back(), out.readings[g], lemmaTable, out.feats);
    }
    return common;
}

} // namespace

// One thread's tagging of the plain texts' sentences: the readings of each
// sentence's tokens handed to choose() in buffers the thread reuses, and each word
// token's chosen reading kept in tokAnnot.
struct CorpusBuilder::Private::SentenceTagger {
    Private &d;
    const morph::Analyser &analyser;
    const MorphReadings &out;
    const StringTable &lemmaTable;
    const CommonReadings &common;
    std::vector<morph::Reading> readings;
    std::vector<morph::Analyser::Token> tokens;
    std::vector<uint32_t> choice;

    inline bool sentenceEnd(uint32_t i) const
    {
        if (d.tokFlags[i] & kParagraphEnd)
            return true;
        return (d.tokForm[i] & kPunctBit) && endsSentence(d.puncts.view(d.tokForm[i] & ~kPunctBit));
    }

    // Whether the token is written with a capital letter.
    inline bool capital(uint32_t i) const
    {
        const uint8_t flags = d.tokFlags[i];
        if (flags & kCaseMask)
            return true;
        if (!(flags & kSurfaceOwn))
            return false;
        const auto it = std::lower_bound(d.surfaceTokens.begin(), d.surfaceTokens.end(), i);
        if (it == d.surfaceTokens.end() || *it != i)
            return false;
        const uint32_t at = d.surfaceOffsets[size_t(it - d.surfaceTokens.begin())];
        return at < d.surfaceChars.size() && charset::isUpper(uint8_t(d.surfaceChars[at]));
    }

    // Tagging of tokens [from, to]: one sentence, or a piece of one.
    void run(uint32_t from, uint32_t to)
    {
        const std::vector<uint32_t> &tokForm = d.tokForm;
        const uint32_t n = to - from + 1;
        size_t total = 0;
        for (uint32_t i = from; i <= to; ++i)
            if (!(tokForm[i] & kPunctBit) && common.at[tokForm[i]] == kNone)
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
                t.punct = d.puncts.view(f & ~kPunctBit);
                continue;
            }
            const uint32_t first = out.first[f], count = out.first[f + 1] - first;
            t.count = count;
            t.capital = capital(from + k);
            if (common.at[f] != kNone) {
                t.readings = common.readings.data() + common.at[f];
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
                d.tokAnnot[from + k] = kReadingBit | (out.first[f] + std::min(choice[k], tokens[k].count - 1));
        }
    }

    // The sentences of the block of tokens [begin, end): those that start at or
    // after its first sentence start, up to the first sentence start at or after
    // its end, so that each sentence is tagged by the block it starts in. The
    // annotated texts are passed over.
    void tagBlock(uint32_t begin, uint32_t end)
    {
        const std::vector<TextInfo> &texts = d.texts;
        const uint32_t N = uint32_t(d.tokForm.size());
        uint32_t i = begin;
        while (i < end && i > 0 && !sentenceEnd(i - 1))
            ++i;
        if (i >= end)
            return;
        size_t text = size_t(std::upper_bound(texts.begin(), texts.end(), i, [](uint32_t token, const TextInfo &t) {
                                 return token < t.firstToken;
                             }) - texts.begin()) - 1;
        while (i < N) {
            if (i >= end && sentenceEnd(i - 1))
                break;
            while (texts[text].firstToken + texts[text].tokenCount <= i)
                ++text;
            if (d.textAnnotated[text]) {
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

    // Every distinct form's readings; a form's lemma is its most probable reading's.
    out.first.assign(size_t(W) + 1, 0);
    std::vector<ThreadReadings> found = reservedThreadReadings(W, threads);
    analyseForms(analyser, words, found, formFlags, out.first);
    mergeReadings(found, lemmaTable, out);
    for (uint32_t i = 0; i < W; ++i)
        lemmaOfForm[i] = out.readings[out.first[i]].lemma;

    // A reading per word token of the plain texts, chosen a sentence at a time;
    // the threads take blocks of tokens in turn.
    const uint32_t N = uint32_t(tokForm.size());
    if (!annotated) {
        annotated = true;
        tokAnnot.assign(N, kNone);
    }
    const CommonReadings common = commonReadings(tokForm, out, lemmaTable);
    std::atomic<uint32_t> nextBlock{0};
    onThreads(threads, [&](int) {
        SentenceTagger tagger{*this, analyser, out, lemmaTable, common, {}, {}, {}};
        for (;;) {
            const uint64_t begin = uint64_t(nextBlock.fetch_add(1)) * kBlock;
            if (begin >= N)
                break;
            tagger.tagBlock(uint32_t(begin), uint32_t(std::min<uint64_t>(N, begin + kBlock)));
        }
    });

    stats.lemmatiser = QStringLiteral("словарь %1 (части речи и грамматические признаки)").arg(dict->description());
    return true;
}

} // namespace corvus
