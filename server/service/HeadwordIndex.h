#pragma once
// Headwords of one dictionary in Russian alphabetical order (Ё right after Е), grouped
// by first letter and by two-letter beginning. Built once when a dictionary is
// loaded and read-only afterwards, so any number of threads may read it.
#include <QByteArray>
#include <QList>
#include <QString>
#include <string>

namespace russian {

// Sort key of a word: letters of the Russian alphabet first, in alphabet order with
// ё after е, case ignored; a blank and a hyphen sort before every letter (so "в"
// < "в наём" < "ва"); any other character after the alphabet, by its code.
std::u16string sortKey(QStringView word);
// Strict weak order of two words by sortKey, ties broken by the words themselves.
bool less(QStringView a, QStringView b);
// The word in capitals (the form shown in the lists).
QString capitals(QStringView word);

} // namespace russian

class HeadwordIndex {
public:
    struct Pair {
        QByteArray text;   // the two-letter beginning in capitals, 1251; one letter for one-letter words
        int first = 0;     // place of its first headword
        int count = 0;
    };
    struct Letter {
        QByteArray text;   // the first letter in capitals, 1251
        int first = 0;
        int count = 0;
        QList<Pair> pairs;
    };
    // Where a headword stands: 0-based letter and pair indexes, 0-based offset in the pair.
    struct Place {
        int letter = -1;
        int pair = -1;
        int offset = -1;
    };

    HeadwordIndex() = default;
    // Sorts `words`; sourceIndex() maps each place back to its index in `words`.
    explicit HeadwordIndex(const QList<QString> &words);

    int size() const { return int(m_words.size()); }
    bool isEmpty() const { return m_words.isEmpty(); }
    const QString &word(int place) const { return m_words[place]; }
    // The headword as listed: capitals, 1251.
    const QByteArray &text(int place) const { return m_texts[place]; }
    int sourceIndex(int place) const { return m_source[place]; }
    int placeOfSource(int source) const { return m_placeOfSource.value(source, -1); }
    const QList<Letter> &letters() const { return m_letters; }

    // The place of an absolute headword number (0-based); letter -1 when out of range.
    Place locate(int place) const;
    // The first place of a word, compared case-insensitively and with ё kept apart
    // from е; -1 when absent.
    int find(QStringView word) const;

private:
    QList<QString> m_words;
    QList<QByteArray> m_texts;
    std::vector<std::u16string> m_keys;
    QList<int> m_source;
    QList<int> m_placeOfSource;
    QList<Letter> m_letters;
    QList<int> m_letterOf;   // per place
    QList<int> m_pairOf;     // per place
};
