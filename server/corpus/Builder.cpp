#include "corpus/BuilderPrivate.h"
#include "corpus/Lemmatiser.h"
#include "corpus/Morphology.h"
#include "corpus/StringTable.h"
#include "corpus/TextCleaning.h"
#include "corpus/Tokeniser.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <numeric>
#include <optional>
#include <thread>
#include <unordered_map>

namespace corvus {
using namespace builder;

CorpusBuilder::CorpusBuilder(const CorpusOptions &options, const QString &dictionary, BuildStats &stats)
    : d(new Private(stats))
{
    d->options = options;
    d->dictionary = dictionary;
}

CorpusBuilder::~CorpusBuilder() = default;

uint32_t CorpusBuilder::tokenCount() const { return uint32_t(d->tokForm.size()); }
uint32_t CorpusBuilder::textCount() const { return uint32_t(d->texts.size()); }

void CorpusBuilder::addText(std::string_view body, TextInfo info)
{
    if (d->overflow)
        return;
    const bool verse = info.kind == TextKind::Verse;
    info.firstToken = uint32_t(d->tokForm.size());
    uint32_t words = 0;
    Tokeniser tk(body);
    RawToken t;
    while (tk.next(t)) {
        if (d->tokForm.size() >= kMaxTokens) {
            d->overflow = true;
            break;
        }
        uint8_t flags = t.spaceBefore ? kSpaceBefore : 0;
        uint32_t id;
        if (t.punct) {
            id = d->puncts.intern(t.text) | kPunctBit;
            flags |= kPunct;
        } else {
            ++words;
            id = d->internWord(t.text, flags);
        }
        const int breaks = tk.lineBreaksAfter();
        if (breaks >= 1)
            flags |= verse ? (kLineEnd | kVerseLineEnd) : kLineEnd;
        if (breaks >= 2)
            flags |= kParagraphEnd;
        d->tokForm.push_back(id);
        d->tokFlags.push_back(flags);
    }
    info.tokenCount = uint32_t(d->tokForm.size()) - info.firstToken;
    if (info.tokenCount == 0)
        return;   // nothing to index: the text is left out
    d->tokFlags.back() |= kLineEnd | kParagraphEnd | (verse ? kVerseLineEnd : 0);
    info.wordCount = words;
    d->texts.push_back(std::move(info));
    d->textAnnotated.push_back(0);
    if (d->annotated)
        d->tokAnnot.resize(d->tokForm.size(), kNone);
    d->needLemmatiser = true;
}

void CorpusBuilder::addDocument(const annotated::Document &doc, TextInfo info)
{
    if (d->overflow)
        return;
    if (!d->annotated) {
        d->annotated = true;
        d->tokAnnot.assign(d->tokForm.size(), kNone);
    }
    info.firstToken = uint32_t(d->tokForm.size());
    info.wordCount = d->addTokens(doc);
    info.tokenCount = uint32_t(d->tokForm.size()) - info.firstToken;
    d->lastDocumentText = kNone;
    if (info.tokenCount == 0)
        return;
    d->lastTokenFlags = d->tokFlags.back();
    d->tokFlags.back() |= kLineEnd | kParagraphEnd;
    d->texts.push_back(std::move(info));
    d->textAnnotated.push_back(1);
    d->lastDocumentText = uint32_t(d->texts.size() - 1);
}

void CorpusBuilder::continueDocument(const annotated::Document &part)
{
    // Only while that document's text is still the last one: its tokens must stay
    // one range.
    if (d->overflow || d->lastDocumentText == kNone || d->lastDocumentText + 1 != d->texts.size())
        return;
    TextInfo &t = d->texts.back();
    const uint32_t before = uint32_t(d->tokForm.size());
    const uint32_t words = d->addTokens(part);
    if (d->tokForm.size() == before)
        return;
    d->tokFlags[before - 1] = d->lastTokenFlags;   // the text goes on after it
    t.wordCount += words;
    t.tokenCount += uint32_t(d->tokForm.size()) - before;
    d->lastTokenFlags = d->tokFlags.back();
    d->tokFlags.back() |= kLineEnd | kParagraphEnd;
}

TextInfo &CorpusBuilder::text(uint32_t id) { return d->texts[id]; }

uint32_t CorpusBuilder::attributeIndex(const QByteArray &key, const QByteArray &caption)
{
    const auto it = d->attributeIds.constFind(key);
    if (it != d->attributeIds.constEnd())
        return *it;
    const auto k = uint32_t(d->attributeKeys.size());
    d->attributeIds.insert(key, k);
    d->attributeKeys.push_back(key);
    d->attributeCaptions.push_back(cleaning::cleanCaption(caption.isEmpty() ? key : caption));
    return k;
}


namespace {

// Sorts ids 0..n-1 by the comparison, returning order and rank.
template <typename Less>
void orderBy(uint32_t n, Less less, std::vector<uint32_t> &order, std::vector<uint32_t> &rank)
{
    order.resize(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), less);
    rank.resize(n);
    for (uint32_t r = 0; r < n; ++r)
        rank[order[r]] = r;
}

// Fills a lexicon's strings from an interned table in a given order.
void fillStrings(const StringTable &table, const std::vector<uint32_t> &order, LexiconStore &lex)
{
    lex.chars.reserve(table.bytes());
    lex.offsets.reserve(order.size() + 1);
    lex.offsets.assign(1, 0);
    for (uint32_t id : order) {
        const auto v = table.view(id);
        lex.chars.append(v.data(), v.size());
        lex.offsets.push_back(uint32_t(lex.chars.size()));
    }
}

std::string_view lexText(const LexiconStore &lex, uint32_t id)
{
    return std::string_view(lex.chars.data() + lex.offsets[id], lex.offsets[id + 1] - lex.offsets[id]);
}

void buildOrders(LexiconStore &lex)
{
    const uint32_t n = uint32_t(lex.count.size());
    orderBy(n, [&](uint32_t a, uint32_t b) { return charset::compareReverse(lexText(lex, a), lexText(lex, b)) < 0; },
            lex.revOrder, lex.revRank);
    orderBy(n, [&](uint32_t a, uint32_t b) {
        return lex.count[a] != lex.count[b] ? lex.count[a] > lex.count[b] : a < b;
    }, lex.freqOrder, lex.freqRank);
}

// Counting sort without a cursor array. On entry offsets[i + 1] holds the size
// of bucket i; on return it holds the bucket's first slot and serves as its fill
// cursor: once every item is placed it is the end of bucket i, i.e. the start of
// bucket i + 1, and the offsets are final. Returns the number of items.
uint32_t startBuckets(std::vector<uint32_t> &offsets)
{
    offsets[0] = 0;
    uint32_t start = 0;
    for (size_t i = 1; i < offsets.size(); ++i) {
        const uint32_t size = offsets[i];
        offsets[i] = start;
        start += size;
    }
    return start;
}

void startPostings(LexiconStore &lex)
{
    lex.postOffsets.reserve(lex.count.size() + 1);
    lex.postOffsets.assign(1, 0);
    lex.postOffsets.insert(lex.postOffsets.end(), lex.count.begin(), lex.count.end());
    lex.postings.resize(startBuckets(lex.postOffsets));
}

// The word types of an annotated corpus while they are built: by type id (in order
// of first appearance), the form's interning id, the annotation, the lemma's id in
// the lemma table, whether the lemma is known, and the type's tokens.
struct TypeDraft {
    std::vector<uint32_t> form, annot, lemma, count;
    std::vector<uint8_t> known;
};

// Gives every word token its type (tokAnnot holds the type afterwards, kNone for
// punctuation) and every type its lemma: the file's or the morphology's reading's
// (tokAnnot kReadingBit | reading), else hunspell's or the form itself
// (lemmaOfForm, with formKnown saying which). lemmaOfForm then holds the lemma of
// each form's most frequent type, and formKnown whether that one is known.
TypeDraft draftTypes(const std::vector<uint32_t> &tokForm, std::vector<uint32_t> &tokAnnot, const StringTable &annots,
                     const MorphReadings &morph, StringTable &lemmaTable, std::vector<uint32_t> &lemmaOfForm,
                     std::vector<uint8_t> &formKnown)
{
    TypeDraft t;
    // A reading belongs to one form: its type is looked up by the reading alone.
    std::vector<uint32_t> typeOfReading(morph.readings.size(), kNone);
    std::unordered_map<uint64_t, uint32_t> ids;
    ids.reserve(morph.empty() ? lemmaOfForm.size() * 2 : 64);
    uint64_t lastKey = ~uint64_t(0);
    uint32_t lastType = kNone;
    for (size_t i = 0; i < tokForm.size(); ++i) {
        const uint32_t f = tokForm[i];
        if (f & kPunctBit) {
            tokAnnot[i] = kNone;
            continue;
        }
        const uint32_t a = tokAnnot[i];
        if (a != kNone && (a & kReadingBit)) {
            uint32_t &ty = typeOfReading[a & ~kReadingBit];
            if (ty == kNone) {
                ty = uint32_t(t.form.size());
                t.form.push_back(f);
                t.annot.push_back(a);
                t.count.push_back(0);
            }
            ++t.count[ty];
            tokAnnot[i] = ty;
            continue;
        }
        const uint64_t key = (uint64_t(f) << 32) | a;
        if (key != lastKey) {
            const auto [it, added] = ids.try_emplace(key, uint32_t(t.form.size()));
            if (added) {
                t.form.push_back(f);
                t.annot.push_back(tokAnnot[i]);
                t.count.push_back(0);
            }
            lastKey = key;
            lastType = it->second;
        }
        ++t.count[lastType];
        tokAnnot[i] = lastType;
    }
    const size_t T = t.form.size();
    t.lemma.resize(T);
    t.known.resize(T);
    for (size_t ty = 0; ty < T; ++ty) {
        if (t.annot[ty] != kNone && (t.annot[ty] & kReadingBit)) {
            t.lemma[ty] = morph.readings[t.annot[ty] & ~kReadingBit].lemma;
            t.known[ty] = formKnown[t.form[ty]];
            continue;
        }
        std::string_view lemma;
        if (t.annot[ty] != kNone) {
            lemma = annots.view(t.annot[ty]);
            lemma = lemma.substr(0, lemma.find('\0'));
        }
        if (!lemma.empty()) {
            t.lemma[ty] = lemmaTable.intern(lemma);
            t.known[ty] = 1;
        } else {
            t.lemma[ty] = lemmaOfForm[t.form[ty]];
            t.known[ty] = formKnown[t.form[ty]];
        }
    }
    std::vector<uint32_t> best(lemmaOfForm.size(), kNone);
    for (uint32_t ty = 0; ty < T; ++ty) {
        uint32_t &b = best[t.form[ty]];
        if (b == kNone || t.count[ty] > t.count[b])
            b = ty;
    }
    for (size_t f = 0; f < best.size(); ++f) {
        if (best[f] == kNone)
            continue;
        lemmaOfForm[f] = t.lemma[best[f]];
        formKnown[f] = t.known[best[f]];
    }
    return t;
}

// The part of speech (which 1) or the features (2) of an annotation.
std::string_view annotationPart(std::string_view annot, int which)
{
    for (int k = 0; k < which; ++k) {
        const size_t zero = annot.find('\0');
        annot = zero == std::string_view::npos ? std::string_view() : annot.substr(zero + 1);
    }
    return annot.substr(0, annot.find('\0'));
}

// The lemmas one thread's hunspell found, as (form, lemma) records of its own: a
// few bytes per form instead of a string object per form.
struct HunspellLemmas {
    std::vector<uint32_t> forms, ends;
    std::string chars;
};

// kCyrillic for each word form with a Cyrillic letter: only those are lemmatised.
std::vector<uint8_t> cyrillicFlags(const StringTable &words)
{
    const uint32_t W = words.size();
    std::vector<uint8_t> formFlags(W, 0);
    for (uint32_t i = 0; i < W; ++i)
        for (char c : words.view(i))
            if (charset::isCyrillic(uint8_t(c))) {
                formFlags[i] |= kCyrillic;
                break;
            }
    return formFlags;
}

// Each Cyrillic form's lemma from hunspell, on several threads (a Hunspell each),
// with kLemmaKnown set in formFlags for the forms it knows. The stats name the
// lemmatiser, or warn with the first thread's error when none could open it.
std::vector<HunspellLemmas> lemmatiseWithHunspell(const StringTable &words, const QString &dictionary, int threads,
                                                  std::vector<uint8_t> &formFlags, BuildStats &stats)
{
    const uint32_t W = words.size();
    std::atomic<uint32_t> next{0};
    std::vector<QString> errors(static_cast<size_t>(threads));
    std::vector<HunspellLemmas> found(static_cast<size_t>(threads));
    auto work = [&](int t) {
        std::unique_ptr<Lemmatiser> lem = Lemmatiser::open(dictionary, &errors[size_t(t)]);
        if (!lem)
            return;
        HunspellLemmas &out = found[size_t(t)];
        for (;;) {
            const uint32_t begin = next.fetch_add(512);
            if (begin >= W)
                break;
            const uint32_t end = std::min(W, begin + 512);
            for (uint32_t i = begin; i < end; ++i) {
                if (!(formFlags[i] & kCyrillic))
                    continue;
                if (auto l = lem->lemma(words.view(i))) {
                    out.forms.push_back(i);
                    out.chars += *l;
                    out.ends.push_back(uint32_t(out.chars.size()));
                    formFlags[i] |= kLemmaKnown;
                }
            }
        }
    };
    onThreads(threads, work);
    // The Hunspell objects are gone, but glibc keeps their freed pages in the
    // threads' arenas.
    releaseFreedMemory();
    bool all = true;
    for (const QString &e : errors)
        all = all && !e.isEmpty();
    if (all && !errors.empty())
        stats.warnings << errors.front();
    else
        stats.lemmatiser = QStringLiteral("hunspell-ru (без частей речи)");
    return found;
}

} // namespace

// The steps of CorpusBuilder::finish and the state they share: the index being
// made, and the orders and ranks that take the builder's interning ids to the
// index's ids.
struct CorpusBuilder::Private::Assembly {
    explicit Assembly(Private &p) : d(p), W(p.words.size()), lemmaOfForm(W, kNone) {}

    Private &d;
    const uint32_t W;   // word forms
    uint32_t L = 0;     // lemmas that some word has
    uint32_t P = 0;     // punctuation strings
    std::unique_ptr<CorpusData> data = std::make_unique<CorpusData>();
    CorpusData &c = *data;
    std::vector<uint8_t> formFlags;   // by the forms' interning ids until they are ordered
    std::vector<HunspellLemmas> found;
    // The order of interning lemmas does not matter: lemma ids are alphabetical
    // ranks, given by orderLemmas(), of the lemmas that some word has.
    StringTable lemmaTable;
    std::vector<uint32_t> lemmaOfForm;   // by the forms' interning ids
    MorphReadings morph;
    TypeDraft types;
    std::vector<uint32_t> formOrder, formRank, lemmaOrder, lemmaRank, punctOrder, punctRank;
    std::vector<uint32_t> tokForm;
    std::vector<uint8_t> tokFlags;

    // Lemmas: the morphology's readings of the distinct word forms and each
    // token's chosen one (BuilderMorphology.cpp); without its dictionary, each
    // form's lemma from hunspell.
    void findLemmas(bool lemmatise)
    {
        formFlags = cyrillicFlags(d.words);
        if (lemmatise) {
            const QString folder = Corpus::morphologyFolder(d.options);
            if (!folder.isEmpty() && d.tagWithMorphology(folder, formFlags, lemmaTable, lemmaOfForm, morph)) {
                lemmatise = false;
                releaseFreedMemory();
            }
        }
        if (lemmatise && !d.dictionary.isEmpty())
            found = lemmatiseWithHunspell(d.words, d.dictionary, std::max(1, d.options.threads), formFlags, d.stats);
        else if (lemmatise)
            d.stats.warnings << QStringLiteral("Словарь hunspell не найден: леммы не определены");
    }

    // Word forms in alphabetical order: id == rank.
    void orderForms()
    {
        orderBy(W, [&](uint32_t a, uint32_t b) { return charset::compareAlpha(d.words.view(a), d.words.view(b)) < 0; },
                formOrder, formRank);
        fillStrings(d.words, formOrder, c.forms);
        c.forms.flags.resize(W);
        for (uint32_t r = 0; r < W; ++r)
            c.forms.flags[r] = formFlags[formOrder[r]];
        std::vector<uint8_t>().swap(formFlags);
    }

    // Each form's lemma: the morphology's or hunspell's, or the form itself.
    void lemmaPerForm()
    {
        for (const HunspellLemmas &f : found) {
            uint32_t begin = 0;
            for (size_t k = 0; k < f.forms.size(); ++k) {
                lemmaOfForm[f.forms[k]] = lemmaTable.intern(std::string_view(f.chars).substr(begin, f.ends[k] - begin));
                begin = f.ends[k];
            }
        }
        std::vector<HunspellLemmas>().swap(found);
        for (uint32_t i = 0; i < W; ++i)
            if (lemmaOfForm[i] == kNone)
                lemmaOfForm[i] = lemmaTable.intern(d.words.view(i));
    }

    // In an annotated corpus (plain text tagged by the morphology too) the lemmas
    // are per type, the file's where it gives one; a form's kLemmaKnown follows its
    // most frequent type.
    void draftAnnotatedTypes()
    {
        std::vector<uint8_t> known(W);
        for (uint32_t r = 0; r < W; ++r)
            known[formOrder[r]] = c.forms.flags[r] & kLemmaKnown;
        types = draftTypes(d.tokForm, d.tokAnnot, d.annots, morph, lemmaTable, lemmaOfForm, known);
        for (uint32_t r = 0; r < W; ++r)
            c.forms.flags[r] = uint8_t((c.forms.flags[r] & ~kLemmaKnown) | (known[formOrder[r]] ? kLemmaKnown : 0));
    }

    // The lemmas that some word (or type) has, in alphabetical order: id == rank;
    // and each form's lemma by those ids.
    void orderLemmas()
    {
        std::vector<uint8_t> used(lemmaTable.size(), 0);
        for (const uint32_t l : d.annotated ? types.lemma : lemmaOfForm)
            used[l] = 1;
        for (uint32_t l = 0; l < used.size(); ++l)
            if (used[l])
                lemmaOrder.push_back(l);
        std::sort(lemmaOrder.begin(), lemmaOrder.end(), [&](uint32_t a, uint32_t b) {
            return charset::compareAlpha(lemmaTable.view(a), lemmaTable.view(b)) < 0;
        });
        lemmaRank.assign(used.size(), kNone);
        for (uint32_t r = 0; r < lemmaOrder.size(); ++r)
            lemmaRank[lemmaOrder[r]] = r;
        L = uint32_t(lemmaOrder.size());
        fillStrings(lemmaTable, lemmaOrder, c.lemmas);
        c.lemmas.flags.assign(L, 0);
        c.formLemma.resize(W);
        for (uint32_t r = 0; r < W; ++r)
            c.formLemma[r] = lemmaRank[lemmaOfForm[formOrder[r]]];
    }

    // The types' own arrays of an annotated corpus; parts of speech and features
    // share one pool.
    void fillTypeArrays()
    {
        const size_t T = types.form.size();
        StringTable tags;
        c.typeForm.resize(T);
        c.typeLemma.resize(T);
        c.typePos.resize(T);
        c.typeFeats.resize(T);
        c.typeFlags.resize(T);
        for (size_t ty = 0; ty < T; ++ty) {
            c.typeForm[ty] = formRank[types.form[ty]];
            c.typeLemma[ty] = lemmaRank[types.lemma[ty]];
            c.typeFlags[ty] = types.known[ty] ? kLemmaKnown : 0;
            const uint32_t a = types.annot[ty];
            std::string_view pos, feats;
            if (a != kNone && (a & kReadingBit)) {
                const MorphReading &r = morph.readings[a & ~kReadingBit];
                pos = morph::uposName(morph::Upos(r.upos));
                feats = morph.feats.view(r.feats);
            } else if (a != kNone) {
                pos = annotationPart(d.annots.view(a), 1);
                feats = annotationPart(d.annots.view(a), 2);
            }
            c.typePos[ty] = pos.empty() ? kNone : tags.intern(pos);
            c.typeFeats[ty] = feats.empty() ? kNone : tags.intern(feats);
        }
        c.tagOffsets.assign(1, 0);
        for (uint32_t k = 0; k < tags.size(); ++k) {
            c.tagChars.append(tags.view(k));
            c.tagOffsets.push_back(uint32_t(c.tagChars.size()));
        }
        d.annots.release();
        morph.release();
    }

    // Punctuation strings by bytes, after the word forms.
    void orderPunctuation()
    {
        P = d.puncts.size();
        orderBy(P, [&](uint32_t a, uint32_t b) { return d.puncts.view(a) < d.puncts.view(b); }, punctOrder, punctRank);
        c.punctChars.reserve(d.puncts.bytes());
        c.punctOffsets.reserve(P + 1);
        c.punctOffsets.assign(1, 0);
        for (uint32_t id : punctOrder) {
            const auto v = d.puncts.view(id);
            c.punctChars.append(v.data(), v.size());
            c.punctOffsets.push_back(uint32_t(c.punctChars.size()));
        }
    }

    // The interned strings are in the lexicons now; free them, and hand their pages
    // back, before the token texts and the postings take their room: those arrays
    // and the tokens' own are most of the index.
    void releaseInterning()
    {
        d.words.release();
        d.puncts.release();
        lemmaTable.release();
        std::vector<uint32_t>().swap(lemmaOfForm);
        std::vector<uint32_t>().swap(formOrder);
        std::vector<uint32_t>().swap(lemmaOrder);
        std::vector<uint32_t>().swap(lemmaRank);
        std::vector<uint32_t>().swap(punctOrder);
        releaseFreedMemory();
    }

    // Tokens renumbered (a punctuation mark after the word forms) and each form's
    // tokens counted.
    void renumberTokens()
    {
        tokForm = std::move(d.tokForm);
        tokFlags = std::move(d.tokFlags);
        c.texts = std::move(d.texts);
        c.forms.count.assign(W, 0);
        c.lemmas.count.assign(L, 0);
        const uint32_t *rankOfForm = formRank.data(), *rankOfPunct = punctRank.data();
        uint32_t *formCount = c.forms.count.data();
        for (uint32_t &f : tokForm) {
            if (f & kPunctBit) {
                f = W + rankOfPunct[f & ~kPunctBit];
            } else {
                f = rankOfForm[f];
                ++formCount[f];
            }
        }
        std::vector<uint32_t>().swap(formRank);
        std::vector<uint32_t>().swap(punctRank);
    }

    // Each lemma's tokens: its types' in an annotated corpus, else its forms'.
    void countLemmas()
    {
        if (d.annotated) {
            for (size_t ty = 0; ty < types.count.size(); ++ty)
                c.lemmas.count[c.typeLemma[ty]] += types.count[ty];
            c.typeCount = std::move(types.count);
            types = TypeDraft();
        } else {
            for (uint32_t r = 0; r < W; ++r)
                c.lemmas.count[c.formLemma[r]] += c.forms.count[r];
        }
    }

    // Postings of the forms and the lemmas, in token order.
    void fillPostings()
    {
        startPostings(c.forms);
        startPostings(c.lemmas);
        const uint32_t N = uint32_t(tokForm.size());
        const uint32_t *forms = tokForm.data();
        uint32_t *formCursor = c.forms.postOffsets.data() + 1;
        uint32_t *lemmaCursor = c.lemmas.postOffsets.data() + 1;
        uint32_t *formPostings = c.forms.postings.data();
        uint32_t *lemmaPostings = c.lemmas.postings.data();
        if (d.annotated) {
            const std::vector<uint32_t> &tokType = d.tokAnnot;
            for (uint32_t t = 0; t < N; ++t) {
                const uint32_t f = forms[t];
                if (f < W) {
                    const uint32_t ty = tokType[t];
                    formPostings[formCursor[f]++] = t;
                    lemmaPostings[lemmaCursor[c.typeLemma[ty]]++] = t;
                }
            }
            c.tokenTypes = std::move(d.tokAnnot);
        } else {
            for (uint32_t t = 0; t < N; ++t) {
                const uint32_t f = forms[t];
                if (f < W) {
                    formPostings[formCursor[f]++] = t;
                    lemmaPostings[lemmaCursor[c.formLemma[f]]++] = t;
                }
            }
        }
    }

    // Form and flags in one word per token.
    void packTokens()
    {
        const uint32_t N = uint32_t(tokForm.size());
        for (uint32_t t = 0; t < N; ++t)
            tokForm[t] |= uint32_t(tokFlags[t]) << kFormBits;
        c.tokens = std::move(tokForm);
        std::vector<uint8_t>().swap(tokFlags);
    }

    // Forms of each lemma (ascending: the forms are visited in order). In an
    // annotated corpus, every form that some type gives the lemma.
    void gatherFormsOfLemmas()
    {
        c.lemmaFormOffsets.assign(L + 1, 0);
        if (c.typeForm.empty()) {
            for (uint32_t r = 0; r < W; ++r)
                ++c.lemmaFormOffsets[c.formLemma[r] + 1];
            c.lemmaForms.resize(startBuckets(c.lemmaFormOffsets));
            for (uint32_t r = 0; r < W; ++r)
                c.lemmaForms[c.lemmaFormOffsets[c.formLemma[r] + 1]++] = r;
            return;
        }
        std::vector<uint64_t> pairs(c.typeForm.size());
        for (size_t ty = 0; ty < pairs.size(); ++ty)
            pairs[ty] = (uint64_t(c.typeLemma[ty]) << 32) | c.typeForm[ty];
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
        for (const uint64_t p : pairs)
            ++c.lemmaFormOffsets[(p >> 32) + 1];
        startBuckets(c.lemmaFormOffsets);
        c.lemmaForms.resize(pairs.size());
        for (const uint64_t p : pairs)
            c.lemmaForms[c.lemmaFormOffsets[(p >> 32) + 1]++] = uint32_t(p);
    }

    // Own display forms and the texts' further attributes.
    void takeDisplayForms()
    {
        c.surfaceTokens = std::move(d.surfaceTokens);
        c.surfaceOffsets = std::move(d.surfaceOffsets);
        c.surfaceChars = std::move(d.surfaceChars);
        c.attributeKeys = std::move(d.attributeKeys);
        c.attributeCaptions = std::move(d.attributeCaptions);
        d.attributeIds = {};
    }
};

std::shared_ptr<Corpus> CorpusBuilder::finish(bool lemmatise)
{
    QElapsedTimer timer;
    timer.start();
    // Nothing is interned any more: the tables' hash indexes go, and the pages the
    // import freed (file buffers, outgrown arrays) go back to the system before
    // the lemmatiser loads its dictionaries.
    d->words.dropLookup();
    d->puncts.dropLookup();
    releaseFreedMemory();

    Private::Assembly a(*d);
    a.findLemmas(lemmatise && d->needLemmatiser);
    d->stats.lemmaSeconds = double(timer.nsecsElapsed()) / 1e9;
    timer.restart();

    a.orderForms();
    a.lemmaPerForm();
    if (d->annotated)
        a.draftAnnotatedTypes();
    a.orderLemmas();
    if (d->annotated)
        a.fillTypeArrays();
    a.orderPunctuation();
    a.releaseInterning();
    if (uint64_t(a.W) + a.P > kFormMask)
        return nullptr;   // form ids would not fit beside the flags
    a.renumberTokens();
    a.countLemmas();
    a.fillPostings();
    a.packTokens();
    buildOrders(a.c.forms);
    buildOrders(a.c.lemmas);
    a.gatherFormsOfLemmas();
    a.takeDisplayForms();

    std::shared_ptr<Corpus> corpus(new Corpus);
    corpus->m_data = std::move(a.data);
    CacheFile::attachOwned(*corpus);
    d->stats.indexSeconds = double(timer.nsecsElapsed()) / 1e9;
    return corpus;
}

} // namespace corvus
