#pragma once
// Internals of the corpus index: the storage behind Corpus's spans, the builder
// that fills it from the sources, and the cache file that saves and maps it.
// Only the corpus folder's own sources include this header.
#include "corpus/Corpus.h"
#include "corpus/Import.h"

#include <QFile>

#include <string>
#include <vector>

namespace corvus {

// Bumped whenever the tokeniser, the lemma rules, the orders or the cache layout
// change: an old cache is then rebuilt.
constexpr uint32_t kIndexFormatVersion = 2;

struct LexiconStore {
    std::string chars;
    std::vector<uint32_t> offsets, count, revOrder, revRank, freqOrder, freqRank, postOffsets, postings;
    std::vector<uint8_t> flags;
};

class CorpusData {
public:
    ~CorpusData();
    std::vector<TextInfo> texts;
    // Storage of a fresh build (empty when mapped from the cache).
    std::vector<uint32_t> tokForm, tokText;
    std::vector<uint8_t> tokFlags;
    std::vector<uint32_t> formLemma, lemmaFormOffsets, lemmaForms, punctOffsets, surfaceTokens, surfaceOffsets;
    std::string punctChars, surfaceChars;
    LexiconStore forms, lemmas;
    // The mapped cache file.
    QFile file;
    uchar *map = nullptr;
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
    // Lemmatises the distinct forms and builds lexicons, orders and postings.
    std::shared_ptr<Corpus> finish(bool lemmatise = true);

    uint32_t tokenCount() const;
    uint32_t textCount() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The on-disk form of the index. The file is mapped read-only and validated in
// full (checksum and every id and offset in range) before use, so a damaged or
// foreign cache is rebuilt, never trusted.
class CacheFile {
public:
    static bool write(const Corpus &corpus, const QString &path, const QByteArray &fingerprint, QString *error);
    // nullptr when the file is missing, stale (fingerprint differs) or invalid;
    // *why says which (for logs and tests).
    static std::shared_ptr<Corpus> read(const QString &path, const QByteArray &fingerprint, QString *why);
    // Points the corpus's spans at the storage of its CorpusData.
    static void attachOwned(Corpus &corpus);
    // The checksum stored in the header (bytes 48..55) over everything after the
    // 64-byte header; the section table (id, element size, offset, count: 4, 4,
    // 8, 8 bytes) follows the header.
    static uint64_t checksum(const void *data, size_t size);

private:
    template <typename F>
    static void visitLexicon(uint32_t base, Lexicon &lex, F &&f);
    template <typename F>
    static void visitArrays(Corpus &c, F &&f);
};

} // namespace corvus
