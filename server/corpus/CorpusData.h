#pragma once
// Internals of the corpus index: the storage behind Corpus's spans, the builder
// that fills it from the sources, and the cache file that saves and maps it.
// Only the corpus folder's own sources include this header.
#include "corpus/AnnotatedText.h"
#include "corpus/CacheTables.h"
#include "corpus/Corpus.h"
#include "corpus/Import.h"

#include <QString>

#include <string>
#include <vector>

namespace corvus {

// Bumped whenever the tokeniser, the lemma rules, the orders or the cache layout
// (the index's or the tables' of the layers above it) change: an old cache is then
// rebuilt.
constexpr uint32_t kIndexFormatVersion = 8;

// A read-only mapping of the whole cache file, with the file kept open so that the
// same file can be mapped again (for the full check) whatever happens to its name.
class FileMapping {
public:
    // Null (with *why) when the file cannot be opened or mapped.
    static std::shared_ptr<FileMapping> open(const QString &path, const char **why);
    // Another mapping of the same open file.
    std::shared_ptr<FileMapping> again() const;
    ~FileMapping();
    const char *data() const { return m_data; }
    size_t size() const { return m_size; }
    int fd() const { return m_fd; }

private:
    FileMapping() = default;
    int m_fd = -1;
    const char *m_data = nullptr;
    size_t m_size = 0;
};

struct LexiconStore {
    std::string chars;
    std::vector<uint32_t> offsets, count, revOrder, revRank, freqOrder, freqRank, postOffsets, postings;
    std::vector<uint8_t> flags;
};

class CorpusData {
public:
    std::vector<TextInfo> texts;
    // Storage of a fresh build (empty when mapped from the cache).
    std::vector<uint32_t> tokens;   // form and flags, see kFormBits
    std::vector<uint32_t> formLemma, lemmaFormOffsets, lemmaForms, punctOffsets, surfaceTokens, surfaceOffsets;
    std::string punctChars, surfaceChars;
    LexiconStore forms, lemmas;
    // Annotated corpora (see Corpus::typeOf); empty otherwise.
    std::vector<uint32_t> tokenTypes, typeForm, typeLemma, typePos, typeFeats, typeCount, tagOffsets;
    std::vector<uint8_t> typeFlags;
    std::string tagChars;
    // The texts' further attributes (Corpus::attributeKey/attributeCaption).
    std::vector<QByteArray> attributeKeys, attributeCaptions;
    // Where the text of a token is looked up (Corpus::textOf).
    std::vector<uint32_t> textStarts, textAtBlock;
    // The mapped cache file, and the arrays of the layers above in it.
    std::shared_ptr<FileMapping> mapping;
    TableReader tables;
    // Where the cache is (or is to be) written, and what it must match.
    QString cachePath;
    QByteArray fingerprint;
};

// Builds a Corpus from the listed source files.
class CorpusBuilder {
public:
    CorpusBuilder(const CorpusOptions &options, const QString &dictionary, BuildStats &stats);
    ~CorpusBuilder();
    // Reads, decodes, splits and tokenises every file. False (with a Russian
    // *error) only for a fatal problem; skipped files go to stats.warnings.
    bool importFiles(const std::vector<import::SourceFile> &files, QString *error);
    // Public for the benchmark: tokenise one 1251 text with its metadata.
    void addText(std::string_view cp1251, TextInfo info);
    // Adds a document of an annotated file: its tokens as the file splits them,
    // with their lemmas, parts of speech and features; `info` gives the metadata
    // (its attributes indexed by attributeIndex()). Look-alike letters are cleaned
    // as in plain text; a token whose form is punctuation is punctuation.
    void addDocument(const annotated::Document &doc, TextInfo info);
    // Adds the tokens of a further part of the document added last (see
    // annotated::Sink); nothing when that document made no text.
    void continueDocument(const annotated::Document &part);
    // A text added so far (its metadata may still be changed).
    TextInfo &text(uint32_t id);
    // The index of a further text attribute by its key, declared on first use with
    // its caption (the key itself when the caption is empty), found by a hash. The
    // caption is cleaned as it is kept (cleaning::cleanCaption): it goes on the wire.
    uint32_t attributeIndex(const QByteArray &key, const QByteArray &caption);
    // Lemmatises the distinct forms and builds lexicons, orders and postings.
    std::shared_ptr<Corpus> finish(bool lemmatise = true);

    uint32_t tokenCount() const;
    uint32_t textCount() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The on-disk form of the index. The file is mapped read-only. The full check
// (checksum of everything after the header, every id and offset in range) is done
// before use, or, with CacheCheck::Quick, only what costs nothing whatever the
// corpus's size (header, a checksum of the header and the section table, where the
// sections lie, their sizes): the caller then runs the full check (recheck())
// before serving anything from the arrays, unless the file is sealed (see
// CacheSeal.cpp): its whole content was seen good since it was last changed. A
// damaged or foreign cache is rebuilt, never trusted.
class CacheFile {
public:
    // The index and, when given, the tables of the layers above it.
    static bool write(const Corpus &corpus, const QString &path, const QByteArray &fingerprint,
                      const TableWriter *tables, QString *error);
    // nullptr when the file is missing, stale (fingerprint differs) or invalid;
    // *why says which (for logs and tests).
    static std::shared_ptr<Corpus> read(const QString &path, const QByteArray &fingerprint, QString *why,
                                        CacheCheck check = CacheCheck::Full);
    // The full check of the file a corpus was mapped from, on a mapping of its own
    // (dropped with the result): the same file even if its name now leads to
    // another one.
    static std::shared_ptr<Corpus> recheck(const Corpus &corpus, QString *why);
    // The seal beside a cache file: its name; writes it for the file at `path` after
    // reading all of it back and matching its checksum (what write() does after a
    // write); writes it for the file a corpus was mapped from (after its full
    // check); whether it holds for the file a corpus was mapped from. False when
    // there is none or it cannot be written: the file then gets the full check.
    static QString sealPath(const QString &cachePath);
    static bool sealVerified(const QString &path);
    static bool seal(const Corpus &corpus);
    static bool sealed(const Corpus &corpus);
    // Removes a cache file and its seal.
    static bool remove(const QString &path);
    // Points the corpus's spans at the storage of its CorpusData.
    static void attachOwned(Corpus &corpus);
    // The checksum stored in the header (bytes 48..55) over everything after the
    // 64-byte header; the section table (id, element size, offset, count: 4, 4,
    // 8, 8 bytes) follows the header.
    static uint64_t checksum(const void *data, size_t size);

private:
    static std::shared_ptr<Corpus> readMapped(std::shared_ptr<FileMapping> mapping, const QByteArray &fingerprint,
                                              QString *why, CacheCheck check);
    // The checks of readMapped: what is wrong ("sizes", "types"...) or nullptr. The
    // sizes of the arrays and the texts' ranges, whatever the check; with `full`
    // the lexicons' offsets and orders too.
    static const char *sizesProblem(const Corpus &corpus, Span<uint64_t> scalars, bool full);
    // Every id and offset in range, the postings naming word tokens in order.
    static const char *contentsProblem(const Corpus &corpus);
    template <typename F>
    static void visitLexicon(uint32_t base, Lexicon &lex, F &&f);
    template <typename F>
    static void visitArrays(Corpus &c, F &&f);
};

} // namespace corvus
