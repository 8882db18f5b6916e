#pragma once
// Headwords of one dictionary in Russian alphabetical order (Ё right after Е), grouped
// by first letter and by two-letter beginning. Built once when a dictionary is
// loaded, or mapped from the cache file, and read-only afterwards, so any number of
// threads may read it.
//
// The headwords are kept as flat arrays (their UTF-16 text one after another, the
// word each came from, the letters and pairs as runs of places), so that the cache
// file holds them as they are used; only the few letters and pairs are made into
// lists when the index is loaded.
#include "corpus/CacheTables.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <string>

namespace russian {

// Sort key of a word: the order of the corpus's lists (charset::compareAlpha) with
// case ignored: a blank, then hyphen and apostrophe, before every letter (so "в" <
// "в наём" < "ва"), the Russian alphabet with ё after е, Latin, digits; any
// character outside code page 1251 last, by its code.
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

    // The index from its tables in the cache file, under ids base .. base + 5.
    // False, with nothing changed, when they are missing or fail the checks (what
    // the letters and pairs use always; every place when the reader asks for the
    // full check). The tables for the writer of the cache file.
    bool adopt(const corvus::TableReader &tables, uint32_t base);
    void save(corvus::TableWriter &out, uint32_t base) const;

    int size() const { return int(m_source.size()); }
    bool isEmpty() const { return m_source.empty(); }
    QString word(int place) const { return view(place).toString(); }
    // (Empty for a place out of range, or offsets that are: the tables may come
    // from a cache file that had the quick check only.)
    QStringView view(int place) const
    {
        if (place < 0 || place >= size())
            return {};
        const uint32_t from = m_offsets[size_t(place)], to = m_offsets[size_t(place) + 1];
        if (from > to || to > m_chars.size())
            return {};
        return QStringView(m_chars.data() + from, qsizetype(to - from));
    }
    // The headword as listed: capitals, 1251.
    QByteArray text(int place) const;
    // (-1 out of range.)
    int sourceIndex(int place) const { return place >= 0 && place < size() ? m_source[size_t(place)] : -1; }
    int placeOfSource(int source) const
    {
        const int place =
            source >= 0 && size_t(source) < m_placeOfSource.size() ? m_placeOfSource[size_t(source)] : -1;
        return place >= 0 && place < size() ? place : -1;
    }
    const QList<Letter> &letters() const { return m_letters; }

    // The place of an absolute headword number (0-based); letter -1 when out of range.
    Place locate(int place) const;
    // The first place of a word, compared case-insensitively and with ё kept apart
    // from е; -1 when absent.
    int find(QStringView word) const;

private:
    void makeLetters();

    corvus::Table<char16_t> m_chars;       // the headwords' text, one after another
    corvus::Table<uint32_t> m_offsets;     // size() + 1
    corvus::Table<int32_t> m_source;       // per place
    corvus::Table<int32_t> m_placeOfSource;   // per word given, -1 for an empty one
    corvus::Table<int32_t> m_letterRuns;   // per letter: first place, count, first pair
    corvus::Table<int32_t> m_pairRuns;     // per pair: first place, count
    QList<Letter> m_letters;
};
