#pragma once
// Shared by the parts of the corpus builder: its state while texts are added, and
// the helpers of the import.
#include "corpus/Charset.h"
#include "corpus/CorpusData.h"
#include "corpus/StringTable.h"
#include "corpus/TextCleaning.h"

#include <QFile>

#include <string>
#include <thread>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace corvus {
namespace builder {

constexpr uint32_t kPunctBit = 0x80000000u;
// Token numbers must stay below kNone and below the punctuation bit of the build.
constexpr size_t kMaxTokens = 0x7FFFFF00u;
// A single file larger than this is skipped: it is not a literary text.
constexpr qint64 kMaxFileSize = qint64(1) << 30;

// The display form rebuilt from the folded value and the case pattern.
inline void applyCase(std::string_view folded, uint8_t pattern, std::string &out)
{
    out.assign(folded.data(), folded.size());
    if (pattern == kCapital) {
        if (!out.empty())
            out[0] = char(charset::upper(uint8_t(out[0])));
    } else if (pattern == kUpper) {
        for (char &c : out)
            c = char(charset::upper(uint8_t(c)));
    }
}

inline QByteArray toBytes(const QString &s) { return charset::toCp1251(s); }

// Hands the allocator's free pages back to the system. glibc keeps what is freed
// inside its heaps (file buffers, hash tables, Hunspell's data) resident and
// counted in the process's memory while the index arrays are allocated beside it.
inline void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// Runs work(0) .. work(threads - 1), one on this thread and the others on threads
// of their own, and returns when all are done.
template <typename Work>
void onThreads(int threads, Work &&work)
{
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work, t);
    work(0);
    for (auto &th : pool)
        th.join();
}

enum class ReadResult { Ok, NotRegular, TooLarge, Failed };

// Reads a whole file into out, reusing its buffer from file to file: a regular
// file only, never more than maxSize (see BuilderImport.cpp).
ReadResult readWhole(QFile &file, std::string &out, qint64 maxSize = kMaxFileSize);

// The readings of the distinct word forms as the morphology gives them (see
// CorpusBuilder::Private::tagWithMorphology): by form interning id, its readings
// are readings[first[f] .. first[f + 1]), the most probable first. A token tagged
// with reading g has tokAnnot kReadingBit | g until its type is drafted.
struct MorphReading {
    uint32_t lemma = 0;   // id in the build's lemma table
    uint32_t feats = 0;   // id in MorphReadings::feats
    float prob = 0, lexemeProb = 0;
    uint8_t upos = 0;     // morph::Upos
    uint8_t cls = 0;
    bool proper = false, guessed = false;
    uint8_t abbreviation = 0;
};
struct MorphReadings {
    std::vector<uint32_t> first;
    std::vector<MorphReading> readings;
    StringTable feats;
    bool empty() const { return first.empty(); }
    void release()
    {
        std::vector<uint32_t>().swap(first);
        std::vector<MorphReading>().swap(readings);
        feats.release();
    }
};
constexpr uint32_t kReadingBit = 0x80000000u;

} // namespace builder

struct CorpusBuilder::Private {
    CorpusOptions options;
    QString dictionary;
    BuildStats &stats;
    StringTable words, puncts;
    // Form (or punctuation | kPunctBit) and flags of each token. The text of each
    // token follows from the texts' ranges and is filled in by finish().
    std::vector<uint32_t> tokForm;
    std::vector<uint8_t> tokFlags;
    std::vector<uint32_t> surfaceTokens, surfaceOffsets{0};
    std::string surfaceChars;
    std::vector<TextInfo> texts;
    std::string folded, rebuilt, cleaned;   // scratch
    bool overflow = false;
    // Annotated documents: each token's annotation ("lemma\0pos\0feats", lemma
    // folded) or kNone, kept for every token once the first document comes.
    bool annotated = false;
    bool needLemmatiser = false;   // some word has no lemma from its file
    std::vector<uint32_t> tokAnnot;
    StringTable annots;
    std::string annot;   // scratch
    std::vector<QByteArray> attributeKeys, attributeCaptions;
    QHash<QByteArray, uint32_t> attributeIds;   // key -> index into attributeKeys
    // By text: whether its tokens came from an annotated file.
    std::vector<uint8_t> textAnnotated;
    uint32_t lastDocumentText = kNone;   // the text of the document added last
    uint8_t lastTokenFlags = 0;          // its last token's flags before its text's end was marked

    // Adds an annotated document's tokens (see CorpusBuilder::addDocument);
    // returns the number of words.
    uint32_t addTokens(const annotated::Document &doc)
    {
        uint32_t words = 0;
        for (const annotated::Token &t : doc.tokens) {
            if (t.form.empty())
                continue;
            if (tokForm.size() >= builder::kMaxTokens) {
                overflow = true;
                break;
            }
            uint8_t flags = t.spaceBefore ? kSpaceBefore : 0;
            uint32_t id, annotation = kNone;
            if (annotated::isPunctuation(t.form)) {
                id = puncts.intern(t.form) | builder::kPunctBit;
                flags |= kPunct;
            } else {
                ++words;
                id = internWord(t.form, flags);
                std::string &a = annot;
                a = charset::fold(t.lemma);
                cleaning::fixLookAlikes(a);
                if (t.lemma.empty())
                    needLemmatiser = true;
                a += '\0';
                a += t.pos;
                a += '\0';
                a += t.feats;
                if (a.size() > 2)
                    annotation = annots.intern(a);
            }
            if (t.breakAfter >= 2)
                flags |= kLineEnd | kParagraphEnd;
            tokForm.push_back(id);
            tokFlags.push_back(flags);
            tokAnnot.push_back(annotation);
        }
        return words;
    }

    explicit Private(BuildStats &s) : stats(s) {}

    // The steps of CorpusBuilder::finish and the state they share (Builder.cpp).
    struct Assembly;
    // One thread's choice of the plain texts' readings (BuilderMorphology.cpp).
    struct SentenceTagger;

    // Lemmas, parts of speech and features of the plain texts' words from the
    // morphology dictionary in `folder` (BuilderMorphology.cpp): every distinct form
    // analysed once, each sentence's readings chosen in context, each word token of
    // a plain text given its reading in tokAnnot (kReadingBit | reading), and the
    // corpus made annotated. Sets kLemmaKnown in formFlags, each form's lemma (its
    // most probable reading's) in lemmaOfForm. False, with the reason among the
    // warnings, when the dictionary does not open.
    bool tagWithMorphology(const QString &folder, std::vector<uint8_t> &formFlags, StringTable &lemmaTable,
                           std::vector<uint32_t> &lemmaOfForm, builder::MorphReadings &out);

    // The interning id of a word's folded form, with its case (or its own display
    // form) noted in flags for the token about to be added.
    uint32_t internWord(std::string_view text, uint8_t &flags)
    {
        const uint8_t *lowerT = charset::lowerTable();
        std::string &f = folded;
        f.resize(text.size());
        bool changed = false;
        uint8_t high = 0, ascii = 0;
        const auto fold = [&] {
            changed = false;
            for (size_t i = 0; i < text.size(); ++i) {
                const auto c = uint8_t(text[i]);
                const uint8_t l = c == 0x92 ? uint8_t('\'') : lowerT[c];
                changed |= l != c;
                high |= c;
                ascii |= uint8_t(~c);
                f[i] = char(l);
            }
        };
        fold();
        // Both a non-ASCII and an ASCII byte: perhaps Cyrillic with Latin
        // look-alikes ("КO"), which is written all Cyrillic.
        if ((high & ascii & 0x80) && cleanLookAlikes(text)) {
            text = cleaned;
            fold();
        }
        const uint32_t id = words.intern(f);
        if (changed) {
            // Capitalised, all capitals, or kept apart.
            uint8_t pattern = kCapital;
            builder::applyCase(f, kCapital, rebuilt);
            if (rebuilt != text) {
                pattern = kUpper;
                builder::applyCase(f, kUpper, rebuilt);
            }
            if (rebuilt == text) {
                flags |= pattern;
            } else {
                flags |= kSurfaceOwn;
                surfaceTokens.push_back(uint32_t(tokForm.size()));
                surfaceChars.append(text.data(), text.size());
                surfaceOffsets.push_back(uint32_t(surfaceChars.size()));
            }
        }
        return id;
    }

    // The word with its Latin look-alikes made Cyrillic, in cleaned; false (and
    // nothing counted) when the word is not such a mix.
    bool cleanLookAlikes(std::string_view word)
    {
        cleaned.assign(word.data(), word.size());
        if (!cleaning::fixLookAlikes(cleaned))
            return false;
        ++stats.cleaned.lookAlikeWords;
        return true;
    }
};

} // namespace corvus
