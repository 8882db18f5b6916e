#pragma once
// A thesaurus in the plain-text format of the mythes dictionaries: the first line
// names the encoding; then each entry is "word|n" followed by n sense lines
// "(kind)|term|term|...". The whole file is read once; the ".idx" beside it (offsets
// for seeking) is not needed for that.
//
// The entries are kept as flat arrays (the words, kinds and terms as UTF-16 text one
// after another, the senses of each entry and the terms of each sense as runs), so
// that the cache file holds them as they are used.
//
// ThesaurusDictionary serves it as a dictionary: headwords are the entry words; an
// entry lists the senses with their terms, and a term that is itself a headword
// carries a reference.
#include "dictionary/Dictionary.h"

#include "corpus/CacheTables.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <optional>

struct ThesaurusSense {
    QString kind;        // "синоним", "антоним", ... (without the parentheses)
    QStringList terms;
};

struct ThesaurusEntry {
    QString word;
    QList<ThesaurusSense> senses;
};

class Thesaurus {
public:
    // Reads a thesaurus file. Malformed entries are skipped; a file that cannot be
    // read, names an unknown encoding or holds no entry gives nullopt and a Russian
    // reason in `error`.
    static std::optional<Thesaurus> load(const QString &path, QString *error);
    // The same from bytes already read (tests, fuzzing).
    static std::optional<Thesaurus> parse(const QByteArray &data, QString *error);
    // The thesaurus from its tables in the cache file (nullopt when they are not
    // there or fail the checks); `storage` keeps the mapped file. The tables for
    // the writer of the cache file.
    static std::optional<Thesaurus> adopt(const corvus::TableReader &tables, std::shared_ptr<const void> storage);
    void save(corvus::TableWriter &out) const;

    // The entries as lists (made on each call).
    QList<ThesaurusEntry> entries() const;
    // Index of the entry of a word (case-insensitive), -1 when absent.
    int find(QStringView word) const;
    // The synonyms of a word (terms of its senses of the kind "синоним"), in order,
    // without repeats and without the word itself.
    QStringList synonyms(QStringView word) const;

    // The entries' words as headwords.
    const HeadwordIndex &index() const { return m_index; }
    int entryCount() const { return int(m_senseRuns.size()) - 1; }
    QStringView word(int entry) const { return text(m_wordChars, m_wordOffsets, size_t(entry)); }
    // Senses [senseBegin, senseEnd) of an entry; terms [termBegin, termEnd) of a sense.
    // The tables may come from a cache file that had the quick check only: a run
    // is clipped to the senses or terms there are (empty for an entry or sense out
    // of range, or a run that goes backwards), a text out of range is empty.
    int senseBegin(int entry) const { return runBegin(m_senseRuns, entry, int(m_termRuns.size()) - 1); }
    int senseEnd(int entry) const { return runEnd(m_senseRuns, entry, int(m_termRuns.size()) - 1); }
    QStringView kind(int sense) const { return text(m_kindChars, m_kindOffsets, size_t(sense)); }
    int termBegin(int sense) const { return runBegin(m_termRuns, sense, termCount()); }
    int termEnd(int sense) const { return runEnd(m_termRuns, sense, termCount()); }
    QStringView term(int t) const { return text(m_termChars, m_termOffsets, size_t(t)); }
    int termCount() const { return int(m_termOffsets.size()) - 1; }

private:
    static QStringView text(const corvus::Table<char16_t> &chars, const corvus::Table<uint32_t> &offsets, size_t i)
    {
        if (i >= offsets.size() || i + 1 >= offsets.size() || offsets[i] > offsets[i + 1]
            || offsets[i + 1] > chars.size())
            return {};
        return QStringView(chars.data() + offsets[i], qsizetype(offsets[i + 1] - offsets[i]));
    }
    static int runBegin(const corvus::Table<uint32_t> &runs, int i, int bound)
    {
        if (i < 0 || size_t(i) + 1 >= runs.size())
            return 0;
        return int(std::min<uint32_t>(runs[size_t(i)], uint32_t(std::max(bound, 0))));
    }
    static int runEnd(const corvus::Table<uint32_t> &runs, int i, int bound)
    {
        if (i < 0 || size_t(i) + 1 >= runs.size())
            return 0;
        const int end = int(std::min<uint32_t>(runs[size_t(i) + 1], uint32_t(std::max(bound, 0))));
        return std::max(runBegin(runs, i, bound), end);
    }

    corvus::Table<char16_t> m_wordChars, m_kindChars, m_termChars;
    corvus::Table<uint32_t> m_wordOffsets, m_kindOffsets, m_termOffsets;
    corvus::Table<uint32_t> m_senseRuns, m_termRuns;
    HeadwordIndex m_index;
    std::shared_ptr<const void> m_storage;
};

class ThesaurusDictionary : public Dictionary {
public:
    ThesaurusDictionary(std::shared_ptr<const Thesaurus> thesaurus, QByteArray name);

    QByteArray name() const override { return m_name; }
    const HeadwordIndex &index() const override { return m_thesaurus->index(); }
    qint32 summarySecond() const override { return m_thesaurus->termCount(); }
    qint32 headwordSize(int place) const override;
    QList<QByteArray> entryLines(int place) const override;

private:
    std::shared_ptr<const Thesaurus> m_thesaurus;
    QByteArray m_name;
};
