#pragma once
// A thesaurus in the plain-text format of the mythes dictionaries: the first line
// names the encoding; then each entry is "word|n" followed by n sense lines
// "(kind)|term|term|...". The whole file is read once; the ".idx" beside it (offsets
// for seeking) is not needed for that.
//
// ThesaurusDictionary serves it as a dictionary: headwords are the entry words; an
// entry lists the senses with their terms, and a term that is itself a headword
// carries a reference to it.
#include "Dictionary.h"

#include <QString>
#include <QStringList>
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

    const QList<ThesaurusEntry> &entries() const { return m_entries; }
    // Index of the entry of a word (case-insensitive), -1 when absent.
    int find(QStringView word) const;
    // The synonyms of a word (terms of its senses of the kind "синоним"), in order,
    // without repeats and without the word itself.
    QStringList synonyms(QStringView word) const;

private:
    QList<ThesaurusEntry> m_entries;
    HeadwordIndex m_lookup;
};

class ThesaurusDictionary : public Dictionary {
public:
    ThesaurusDictionary(std::shared_ptr<const Thesaurus> thesaurus, QByteArray name);

    QByteArray name() const override { return m_name; }
    const HeadwordIndex &index() const override { return m_index; }
    qint32 summarySecond() const override { return m_termCount; }
    qint32 headwordSize(int place) const override;
    QList<QByteArray> entryLines(int place) const override;

private:
    std::shared_ptr<const Thesaurus> m_thesaurus;
    QByteArray m_name;
    HeadwordIndex m_index;
    qint32 m_termCount = 0;
};
