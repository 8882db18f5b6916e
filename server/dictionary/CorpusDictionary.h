#pragma once
// The corpus dictionary: its headwords are the lemmas of the corpus (those with at
// least one letter). An entry gives the lemma's number of uses, its word forms,
// authors and texts with counts, a few example lines, and the synonyms from the
// thesaurus that are headwords here too, as references.
#include "dictionary/Dictionary.h"

#include "corpus/Corpus.h"

#include <memory>
#include <utility>
#include <vector>

class Thesaurus;

class CorpusDictionary : public Dictionary {
public:
    static constexpr int MaxForms = 30;
    static constexpr int MaxAuthors = 20;
    static constexpr int MaxTexts = 20;
    static constexpr int MaxExamples = 5;
    static constexpr int ContextBefore = 7;   // tokens before and after an example's word
    static constexpr int ContextAfter = 8;

    // thesaurus: may be null (no synonyms). With a `tables` id, the headwords are
    // taken from the corpus's cache-file tables under ids tables .. tables + 6 when
    // they are there and pass the checks (see HeadwordIndex); otherwise, and
    // without, they are made from the lemmas.
    CorpusDictionary(std::shared_ptr<const corvus::Corpus> corpus,
                     std::shared_ptr<const Thesaurus> thesaurus, QByteArray name, uint32_t tables = 0);
    bool fromTables() const { return m_fromTables; }
    // The headwords for the writer of the cache file.
    void save(corvus::TableWriter &out, uint32_t base) const;

    QByteArray name() const override { return m_name; }
    const HeadwordIndex &index() const override { return m_index; }
    qint32 summarySecond() const override;
    qint32 headwordSize(int place) const override;
    QList<QByteArray> entryLines(int place) const override;

    // The lemma id of a headword.
    // (kNone for a place out of range, or a headword whose lemma is.)
    uint32_t lemmaAt(int place) const
    {
        const size_t source = size_t(m_index.sourceIndex(place));
        return source < m_lemmaIds.size() ? m_lemmaIds[source] : corvus::kNone;
    }
    // The headword of a lemma, -1 when it has none.
    int placeOfLemma(uint32_t lemma) const;

private:
    // The steps of entryLines(). The lemma's word forms (count, form id), most
    // frequent first.
    std::vector<std::pair<uint32_t, uint32_t>> formCounts(uint32_t lemma,
                                                          const corvus::Table<uint32_t> &postings) const;
    void appendExamples(QList<QByteArray> &lines, const corvus::Table<uint32_t> &postings) const;
    void appendSynonyms(QList<QByteArray> &lines, uint32_t lemma, int place) const;
    QByteArray exampleLine(uint32_t token) const;

    std::shared_ptr<const corvus::Corpus> m_corpus;
    std::shared_ptr<const Thesaurus> m_thesaurus;
    QByteArray m_name;
    corvus::Table<uint32_t> m_lemmaIds;   // per source index, ascending
    HeadwordIndex m_index;
    bool m_fromTables = false;
};
