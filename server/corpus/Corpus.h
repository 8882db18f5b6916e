#pragma once
// The corpus index of the server: texts, tokens, the word-form and lemma lexicons
// with their orders, and the postings that the concordance and the dictionaries
// read. Built once from the corpus folders (import, tokenising, lemmatising),
// cached on disk and read-only afterwards: every const call is safe from any
// number of threads at once.
//
// Strings. Every string that comes out of the index (word forms, lemmas, display
// forms, metadata) is 8-bit code page 1251, the encoding of the wire: one byte per
// letter, so a reply is built by copying bytes. Lexicon values are case-folded
// (lower case, "ё" kept apart from "е"); a token's display form keeps its case.
//
// Numbering. Value ids of a lexicon ARE their alphabetical ranks (0-based), so a
// prefix search is a binary search over ids and "alphabetical order" needs no
// table. The reverse and frequency orders are permutation arrays with their
// inverse (rank of each id). Token numbers are global (0 .. tokenCount()-1, texts
// are consecutive token ranges in corpus order); postings list token numbers in
// ascending order.
#include "corpus/Span.h"
#include "corpus/TextCleaning.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvus {

constexpr uint32_t kNone = 0xFFFFFFFFu;

// Per-token flags (Corpus::tokenFlags).
enum TokenFlag : uint8_t {
    kPunct = 0x01,         // a punctuation token (no lexicon value, no lemma)
    kSpaceBefore = 0x02,   // blank space separated it from the previous token
    kLineEnd = 0x04,       // a line break follows it in the source
    kParagraphEnd = 0x08,  // an empty line (or the end of a fortune entry) follows it
    kVerseLineEnd = 0x10,  // kLineEnd inside a verse text: the end of a verse line
    kCaseMask = 0x60,      // how the display form is cased, see TokenCase
    kSurfaceOwn = 0x80,    // display form stored apart (mixed case, or spelt unlike its value)
};
enum TokenCase : uint8_t { kLower = 0x00, kCapital = 0x20, kUpper = 0x40 };

// A token as stored: its form id (a word form, or a punctuation string after the
// word forms) in the low kFormBits bits and its TokenFlag bits above them, so that
// one 32-bit word per token holds both.
constexpr int kFormBits = 24;
constexpr uint32_t kFormMask = (uint32_t(1) << kFormBits) - 1;
inline uint32_t formPart(uint32_t token) { return token & kFormMask; }
inline uint8_t flagPart(uint32_t token) { return uint8_t(token >> kFormBits); }

// Per-value flags of the word-form lexicon (Lexicon::flags).
enum FormFlag : uint8_t {
    kLemmaKnown = 0x01,    // a dictionary gave its lemma; otherwise its lemma is the form itself
    kCyrillic = 0x02,      // holds at least one Cyrillic letter
};

enum class TextKind : uint8_t { Prose = 0, Verse = 1 };

// A further attribute of one text: the index of its key (Corpus::attributeKey)
// and its value.
struct TextAttribute {
    uint32_t key = 0;
    QByteArray value;
    bool operator==(const TextAttribute &o) const { return key == o.key && value == o.value; }
};

// One text: a file of a plain-text folder, or one entry of a fortune collection.
struct TextInfo {
    uint32_t firstToken = 0;  // tokens [firstToken, firstToken + tokenCount)
    uint32_t tokenCount = 0;  // words and punctuation
    uint32_t wordCount = 0;   // words only
    TextKind kind = TextKind::Prose;
    int16_t yearFrom = 0;     // 0: unknown; a single year has yearFrom == yearTo
    int16_t yearTo = 0;
    uint32_t entry = 0;       // 1-based entry number inside a fortune collection, 0 otherwise
    QByteArray author;        // 1251; empty when unknown
    QByteArray title;         // 1251; file name without ".txt", or "<collection>, № <entry>"
    QByteArray source;        // 1251; path of the file relative to its corpus folder,
                              // prefixed by that folder's name ("ruslit/prose/Gogol/Нос.txt")
    // The further attributes the text has (only those: a corpus may have many keys,
    // each text few of them), by ascending key index, each key once; 1251.
    std::vector<TextAttribute> attributes;
};

// Reading. The arrays may be mapped from a cache file that had only the quick
// check (sizes of the arrays against each other): every accessor below checks the
// id or token it is given, and the offsets it reads, where it reads them, and
// treats anything out of range as absent (an empty string or list, 0, kNone). An
// id it returns may still be out of range of the next array (a damaged file): it
// is checked there in turn. See "Reading the cache file safely" in docs/server.md.
//
// A lexicon: the distinct values of one characteristic of the word tokens (the
// case-folded word form, or the lemma). Ids are alphabetical ranks.
class Lexicon {
public:
    uint32_t size() const { return uint32_t(m_count.size()); }
    // The value's text in 1251, folded.
    std::string_view text(uint32_t id) const
    {
        if (id >= size())
            return {};
        const uint32_t from = m_offsets[id], to = m_offsets[id + 1];
        if (from > to || to > m_chars.size())
            return {};
        return std::string_view(m_chars.data() + from, to - from);
    }
    // Number of word tokens that carry the value.
    uint32_t count(uint32_t id) const { return id < size() ? m_count[id] : 0; }
    // Flags (FormFlag for word forms; 0 for lemmas).
    uint8_t flags(uint32_t id) const { return id < size() ? m_flags[id] : 0; }

    // Orders. alphaRank(id) == id; the others are permutations of 0..size()-1
    // (kNone for an id or rank out of range, or an entry out of range).
    uint32_t alphaRank(uint32_t id) const { return id; }
    uint32_t reverseRank(uint32_t id) const { return inRange(m_reverseRank, id); }
    uint32_t frequencyRank(uint32_t id) const { return inRange(m_freqRank, id); }
    uint32_t byReverse(uint32_t rank) const { return inRange(m_reverseOrder, rank); }
    uint32_t byFrequency(uint32_t rank) const { return inRange(m_freqOrder, rank); }
    Span<uint32_t> reverseOrder() const { return m_reverseOrder; }
    Span<uint32_t> frequencyOrder() const { return m_freqOrder; }
    Span<uint32_t> reverseRanks() const { return m_reverseRank; }
    Span<uint32_t> frequencyRanks() const { return m_freqRank; }
    Span<uint32_t> counts() const { return m_count; }

    // Token numbers of every occurrence, ascending.
    // (Empty for an id out of range or offsets that are. A damaged file may give
    // token numbers out of range, or out of order: Corpus's accessors check them.)
    Span<uint32_t> postings(uint32_t id) const
    {
        if (id >= size())
            return {};
        const uint32_t from = m_postOffsets[id], to = m_postOffsets[id + 1];
        if (from > to || to > m_postings.size())
            return {};
        return m_postings.sub(from, to - from);
    }

    // Exact lookup of a folded value (1251 bytes); kNone when absent. Fold a raw
    // string first with charset::fold().
    uint32_t find(std::string_view folded) const;
    // Ids [first, last) of the values starting with the folded prefix (an empty
    // prefix gives the whole lexicon).
    std::pair<uint32_t, uint32_t> prefixRange(std::string_view folded) const;
    // Ids [first, last) of the values whose reversed text starts with the reversed
    // folded suffix, as reverse RANKS (index into reverseOrder()).
    std::pair<uint32_t, uint32_t> suffixRankRange(std::string_view folded) const;

private:
    friend class CorpusBuilder;
    friend class CacheFile;
    uint32_t inRange(Span<uint32_t> order, uint32_t i) const
    {
        const uint32_t v = i < order.size() ? order[i] : kNone;
        return v < size() ? v : kNone;
    }
    Span<char> m_chars;
    Span<uint32_t> m_offsets;      // size()+1
    Span<uint32_t> m_count;
    Span<uint8_t> m_flags;
    Span<uint32_t> m_reverseOrder, m_reverseRank, m_freqOrder, m_freqRank;
    Span<uint32_t> m_postOffsets;  // size()+1
    Span<uint32_t> m_postings;
};

// What to load and where to keep the cache.
struct CorpusOptions {
    // Corpus folders (or single files). Empty: the default corpus, Debian's
    // fortunes-ru, found under the generic data folders ("games/fortunes/ru").
    QStringList paths;
    // Folder of the index cache. Empty: <generic cache location>/corvus.
    QString cacheDir;
    // Base path of the hunspell dictionary without ".aff"/".dic". Empty: ru_RU
    // found under the generic data folders ("hunspell/ru_RU").
    QString dictionary;
    // Folder of the OpenCorpora morphology dictionary, which gives plain text its
    // lemmas, parts of speech and features (hunspell is then not asked). Empty:
    // morph::Dictionary::defaultPath(). With useMorphology false, or without the
    // data, plain text is lemmatised with hunspell as before.
    QString morphology;
    bool useMorphology = true;
    bool useCache = true;      // read a valid cache and write a fresh one
    int threads = 2;           // lemmatising threads (one Hunspell object each)
    // Map a cache after the quick check only (CacheCheck::Quick); unless the file is
    // sealed, the caller runs recheck() before it serves from the arrays
    // (BuildStats::checkDeferred says so).
    bool deferCheck = false;
    // Do not write the cache after a build: the caller writes it with the tables of
    // the layers above (Corpus::writeCache).
    bool deferWrite = false;
    // The columns of the vertical texts ("word,lemma,pos"), before any vrt.conf
    // of the corpus folders. Empty: those files', or "word,lemma,pos".
    QString vrtColumns;
};

// How much of a cache file is checked before it is used (see CacheFile).
enum class CacheCheck { Quick, Full };

struct BuildStats {
    bool fromCache = false;
    double seconds = 0;          // whole load
    double importSeconds = 0;    // reading, decoding, tokenising, indexing
    double lemmaSeconds = 0;     // the morphology or hunspell (load, analyse, choose)
    double indexSeconds = 0;     // orders and postings
    QString cacheFile;           // the cache used or written ("" when none)
    QString cacheWarning;        // why the cache could not be written (Russian), or ""
    QString cacheMiss;           // why a cache was not used: "missing", "stale", "checksum"...
    bool checkDeferred = false;  // from a cache that had the quick check only
    QStringList warnings;        // files skipped (unreadable, too large), missing dictionary (Russian)
    QStringList notes;           // what the build assumed (Russian), for the report only
    uint32_t filesRead = 0;      // text files and fortune collections imported
    cleaning::Counts cleaned;    // look-alike words, accented letters and stress marks
    // Which lemmatiser gave the plain text's lemmas, for the report (Russian, ""
    // when none ran): "словарь OpenCorpora ... (части речи ...)", "hunspell-ru ...".
    QString lemmatiser;
    QString report;              // a cold build: the import report (see importReport)
    QString reportFile;          // where the report was kept ("" when nowhere)
};

class CorpusData;
class TableReader;
class TableWriter;

class Corpus {
public:
    // Loads the corpus: from a valid cache when nothing has changed (same files,
    // sizes and modification times, same dictionary, same index format), otherwise
    // builds it and writes the cache. On failure returns nullptr and sets *error to
    // a Russian message for the user ("Папка корпуса не найдена: ...",
    // "В корпусе нет ни одного текста: ..." and the like).
    static std::shared_ptr<const Corpus> load(const CorpusOptions &options, QString *error);

    // The default corpus folder (empty when fortunes-ru is not installed).
    static QString defaultCorpusPath();
    // The default hunspell dictionary base path (empty when hunspell-ru is missing).
    static QString defaultDictionaryPath();
    // The morphology folder the options ask for: CorpusOptions::morphology, or the
    // installed data's; empty when it is switched off or not installed.
    static QString morphologyFolder(const CorpusOptions &options);
    // The default cache folder.
    static QString defaultCacheDir();

    ~Corpus();

    // Texts, in corpus order.
    uint32_t textCount() const;
    const TextInfo &text(uint32_t id) const;

    // Tokens.
    uint32_t tokenCount() const { return uint32_t(m_tokens.size()); }
    uint64_t wordCount() const { return m_wordCount; }      // word tokens (no punctuation)
    // Word-form id (ids >= forms().size() are punctuation strings, see punctText).
    // (kNone for a token out of range.)
    uint32_t formOf(uint32_t token) const { return token < m_tokens.size() ? formPart(m_tokens[token]) : kNone; }
    uint32_t lemmaOf(uint32_t token) const
    {
        const uint32_t f = formOf(token);
        if (f >= m_forms.size())
            return kNone;
        return m_tokenTypes.empty() ? m_formLemma[f] : lemmaOfType(m_tokenTypes[token]);
    }
    // (kNone for a token out of range.)
    uint32_t textOf(uint32_t token) const
    {
        if (token >= m_tokens.size())
            return kNone;
        // The text is between those of the first tokens of this block and the next.
        const size_t block = token >> kTextBlockBits;
        uint32_t lo = m_textAtBlock[block], hi = m_textAtBlock[block + 1];
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo + 1) / 2;
            if (m_textStarts[mid] <= token)
                lo = mid;
            else
                hi = mid - 1;
        }
        return lo;
    }
    uint8_t tokenFlags(uint32_t token) const { return token < m_tokens.size() ? flagPart(m_tokens[token]) : 0; }
    bool isPunct(uint32_t token) const { return tokenFlags(token) & kPunct; }
    bool isVerseLineEnd(uint32_t token) const { return tokenFlags(token) & kVerseLineEnd; }
    // The token's position inside its text (0-based).
    uint32_t positionInText(uint32_t token) const;
    // True when the token's lemma comes from a dictionary or its file (false for
    // words no dictionary knows, whose lemma is the folded form itself, and for
    // punctuation).
    bool lemmaKnown(uint32_t token) const;
    // The token as written (case kept), 1251.
    std::string display(uint32_t token) const;
    void appendDisplay(uint32_t token, QByteArray &out) const;
    // The bytes of appendDisplay() before the case is applied to them, and the case
    // to apply (TokenCase; kLower: none); as long as what is shown.
    std::string_view displayBytes(uint32_t token, uint8_t *casePattern) const;
    static void applyCase(char *bytes, size_t size, uint8_t casePattern);
    // A text's tokens joined as written: blanks where the source had them, "\n"
    // at line ends (verse) and "\n" at paragraph ends. Range is clipped to the text.
    QByteArray displayRange(uint32_t firstToken, uint32_t count) const;

    // Word types: what the word-level characteristics are told apart by. In a plain
    // corpus a type is a word form (typeOf(token) == formOf(token)); in an annotated
    // one (vertical text, CoNLL-U, or plain text tagged by the morphology) it is a
    // distinct combination of word form, lemma, part of speech and grammatical
    // features as the file or the morphology gives them, so that one form can have
    // different lemmas in different places.
    bool annotated() const { return !m_tokenTypes.empty(); }
    uint32_t typeCount() const { return m_tokenTypes.empty() ? m_forms.size() : uint32_t(m_typeForm.size()); }
    // The type of a word token (not of punctuation); kNone out of range.
    uint32_t typeOf(uint32_t token) const
    {
        if (m_tokenTypes.empty())
            return formOf(token);
        const uint32_t type = token < m_tokenTypes.size() ? m_tokenTypes[token] : kNone;
        return type < m_typeForm.size() ? type : kNone;
    }
    // Every token's type (empty for a plain corpus: use formPart of tokenWords()),
    // and each type's form and lemma (empty for a plain corpus).
    Span<uint32_t> tokenTypes() const { return m_tokenTypes; }
    Span<uint32_t> typeForms() const { return m_typeForm; }
    Span<uint32_t> typeLemmas() const { return m_typeLemma; }
    uint32_t formOfType(uint32_t type) const
    {
        if (m_tokenTypes.empty())
            return type;
        return type < m_typeForm.size() ? m_typeForm[type] : kNone;
    }
    uint32_t lemmaOfType(uint32_t type) const
    {
        const Span<uint32_t> lemmas = m_tokenTypes.empty() ? m_formLemma : m_typeLemma;
        return type < lemmas.size() ? lemmas[type] : kNone;
    }
    // Whether the type's lemma was given (by the file, or found by a dictionary).
    bool lemmaKnownOfType(uint32_t type) const;
    // Part of speech and grammatical features of a type as the file writes them or
    // the morphology gives them ("NOUN", "Case=Gen|Number=Sing"), 1251 ("" when not
    // given, and always in a corpus without types).
    std::string_view posOfType(uint32_t type) const { return tag(type < m_typePos.size() ? m_typePos[type] : kNone); }
    std::string_view featsOfType(uint32_t type) const
    {
        return tag(type < m_typeFeats.size() ? m_typeFeats[type] : kNone);
    }
    // Word tokens of each type (the lexicon's counts in a plain corpus). A type's
    // tokens are among its form's postings (those whose typeOf() is the type).
    uint32_t typeTokenCount(uint32_t type) const
    {
        if (m_tokenTypes.empty())
            return m_forms.count(type);
        return type < m_typeCount.size() ? m_typeCount[type] : 0;
    }

    // The further attributes of the texts (beyond author, title and year) that the
    // corpus's files give, such as a genre: their keys as the files write them and
    // their captions (Russian when declared), 1251. TextInfo::attributes holds the values.
    uint32_t attributeCount() const;
    const QByteArray &attributeKey(uint32_t k) const;
    const QByteArray &attributeCaption(uint32_t k) const;
    // A text's value of attribute k ("" when it has none).
    QByteArray textAttribute(uint32_t text, uint32_t k) const;

    // Lexicons of the word characteristics.
    const Lexicon &forms() const { return m_forms; }
    const Lexicon &lemmas() const { return m_lemmas; }
    // Lemma of a word form (in an annotated corpus, the lemma of its most frequent
    // type), and the word forms of a lemma (ascending ids; in an annotated corpus a
    // form may be one of several lemmas').
    // (kNone, an empty list, out of range.)
    uint32_t lemmaOfForm(uint32_t form) const { return form < m_formLemma.size() ? m_formLemma[form] : kNone; }
    Span<uint32_t> formsOfLemma(uint32_t lemma) const
    {
        if (lemma >= m_lemmas.size())
            return {};
        const uint32_t from = m_lemmaFormOffsets[lemma], to = m_lemmaFormOffsets[lemma + 1];
        if (from > to || to > m_lemmaForms.size())
            return {};
        return m_lemmaForms.sub(from, to - from);
    }
    // The occurrences of a lemma, ascending: its forms' postings merged (the
    // lemma lexicon's own postings hold the same, but reading the forms' keeps to
    // the pages the concordance reads too); an annotated corpus's own postings.
    Table<uint32_t> lemmaOccurrences(uint32_t lemma) const;
    // Text of a punctuation form id (formOf() of a punctuation token).
    std::string_view punctText(uint32_t formId) const;

    // Lookup by text as typed (any case, 1251): the word form / lemma id or kNone.
    uint32_t findForm(std::string_view cp1251) const;
    uint32_t findLemma(std::string_view cp1251) const;

    // Russian one-paragraph description: texts, words, forms, lemmas, source.
    QString summary() const;
    const BuildStats &stats() const { return m_stats; }
    // The folders the corpus was loaded from (absolute).
    const QStringList &paths() const { return m_paths; }

    // Raw arrays for engines that scan tokens (concordance, filters).
    // Form and flags of every token (formPart(), flagPart()).
    Span<uint32_t> tokenWords() const { return m_tokens; }
    Span<uint32_t> formLemmas() const { return m_formLemma; }
    // The first token of each text, ascending.
    Span<uint32_t> textStarts() const { return m_textStarts; }

    // The tables the layers above keep in the cache file (empty when the corpus
    // was built, or when the cache holds none).
    const TableReader &tables() const;
    // Writes the cache file: the index and the given tables (after a build with
    // CorpusOptions::deferWrite, or to replace the tables). False with a Russian
    // *error when it cannot be written; nothing is written without a cache folder.
    bool writeCache(const TableWriter &tables, QString *error) const;
    // Where the cache file is ("" when the cache is not used).
    QString cachePath() const;
    // The full check of the cache file this corpus was mapped from after the quick
    // check (CorpusOptions::deferCheck), on a mapping of its own: the corpus read
    // from it, whose tables() ask the layers above for their full checks too; or
    // nullptr with the reason in *why.
    std::shared_ptr<const Corpus> recheck(QString *why) const;
    // Seals the cache file this corpus was mapped from, once its full check and the
    // layers' checks of their tables have passed: the next start serves from it
    // without reading it whole. False when the seal cannot be written.
    bool sealCache() const;
    // Removes a cache file (a damaged one) and its seal.
    static bool removeCache(const QString &path);

    Corpus(const Corpus &) = delete;
    Corpus &operator=(const Corpus &) = delete;

private:
    friend class CorpusBuilder;
    friend class CacheFile;
    Corpus();
    // Fills the tables behind textOf() from the texts.
    void locateTexts();
    std::string_view tag(uint32_t id) const
    {
        if (id >= m_tagOffsets.size() || id + 1 >= m_tagOffsets.size())
            return {};
        const uint32_t from = m_tagOffsets[id], to = m_tagOffsets[id + 1];
        if (from > to || to > m_tagChars.size())
            return {};
        return std::string_view(m_tagChars.data() + from, to - from);
    }

    static constexpr int kTextBlockBits = 12;
    std::unique_ptr<CorpusData> m_data;   // owns the storage the spans point into
    Span<uint32_t> m_tokens;   // form and flags, see kFormBits
    Span<uint32_t> m_textStarts, m_textAtBlock;   // textOf(): see CorpusData
    Span<uint32_t> m_formLemma;            // forms().size(); lemma id of each word form
    Span<uint32_t> m_lemmaFormOffsets, m_lemmaForms;
    Span<char> m_punctChars;               // punctuation strings, id - forms().size()
    Span<uint32_t> m_punctOffsets;
    Span<uint32_t> m_surfaceTokens;        // tokens with kSurfaceOwn, ascending
    Span<uint32_t> m_surfaceOffsets;       // their display strings
    Span<char> m_surfaceChars;
    Lexicon m_forms, m_lemmas;
    // Annotated corpora only (empty otherwise), see typeOf().
    Span<uint32_t> m_tokenTypes;                       // tokenCount(); kNone for punctuation
    Span<uint32_t> m_typeForm, m_typeLemma, m_typePos, m_typeFeats;   // per type; tags index m_tagOffsets
    Span<uint8_t> m_typeFlags;                         // kLemmaKnown
    Span<uint32_t> m_typeCount;
    Span<char> m_tagChars;                             // parts of speech and features
    Span<uint32_t> m_tagOffsets;
    uint64_t m_wordCount = 0;
    BuildStats m_stats;
    QStringList m_paths;
};

// The text of tokens asked one after another: looked up again only when a token
// lies outside the text of the one before (cheap for ascending tokens).
class TextCursor {
public:
    explicit TextCursor(const Corpus &corpus) : m_corpus(corpus) {}
    uint32_t of(uint32_t token)
    {
        if (token < m_begin || token >= m_end) {
            m_text = m_corpus.textOf(token);
            const TextInfo &t = m_corpus.text(m_text);
            m_begin = t.firstToken;
            m_end = t.firstToken + t.tokenCount;
        }
        return m_text;
    }

private:
    const Corpus &m_corpus;
    uint32_t m_text = 0, m_begin = 1, m_end = 0;
};

} // namespace corvus
