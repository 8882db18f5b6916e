#pragma once
// The four dictionary replies: letters ("DC_C"), two-letter beginnings ("DC_CC"),
// headwords ("DC_W") and the entry ("DC_S"). Each list is a reference list: elements
// "text" + 0x04 "$(" + four numbers + 0x04 ")$" joined by ","; the entry is a comma
// list whose first item the client does not show.
//
// The list bodies are composed once per dictionary when it is loaded, so a reply is
// the request's resolved position plus a ready body.
#include "dictionary/Dictionary.h"
#include "corpus/CacheTables.h"
#include "model/DictPos.h"

#include <QByteArray>
#include <QList>
#include <memory>

namespace dictreplies {

// One element of a reference list. The text is cleaned of control bytes (the
// markers begin with 0x04).
QByteArray element(const QByteArray &text, qint32 nestRef, qint32 nestSize, qint32 extra1,
                   qint32 extra2);

// The reference of an entry line to headword `number` (counted from 1):
// "$$+A" + number + "," + number. The client reads a reference only when at least
// two characters follow "$$+", so the plain form "$$+" + number would leave the
// headwords 1 to 9 without a link.
QByteArray reference(int number);

// Removes control bytes and breaks "$" + tag + "=" patterns, so a text from the
// corpus cannot be taken for a marker, a record or another reply's tag.
QByteArray cleanText(const QByteArray &text);

} // namespace dictreplies

class ServedDictionary {
public:
    explicit ServedDictionary(std::unique_ptr<Dictionary> dictionary);
    // With the bodies taken from the cache file's tables under ids base, base + 1
    // when they are there and agree with the dictionary's index (composed
    // otherwise); `storage` keeps the mapped file.
    ServedDictionary(std::unique_ptr<Dictionary> dictionary, const corvus::TableReader &tables, uint32_t base,
                     std::shared_ptr<const void> storage);
    // The bodies for the writer of the cache file.
    void save(corvus::TableWriter &out, uint32_t base) const;
    bool fromTables() const { return m_fromTables; }

    const Dictionary &dictionary() const { return *m_dictionary; }
    QByteArray name() const { return m_dictionary->name(); }

    // A request's position made concrete. Mode 'A' (absolute headword number, 0-based)
    // becomes the headword's letter, pair and offset in mode 'R'. In mode 'R' a letter
    // outside 1..letters becomes 1, a pair outside the letter 0, a headword outside
    // the pair 0; DictNo and Reserved are kept. `place` is the absolute headword, -1
    // when the dictionary is empty. Fails only for an absolute number out of range.
    struct Resolved {
        bool ok = false;
        tCDictPos pos;
        int place = -1;
        QByteArray error;   // Russian, 1251, for a "ZERO" reply
    };
    Resolved resolve(const tCDictPos &requested) const;

    // Tag bodies without the leading records. Letter and pair are 0-based here.
    const QByteArray &lettersBody() const { return m_lettersBody; }
    QByteArray pairsBody(int letter) const;
    QByteArray headwordsBody(int letter, int pair) const;
    QByteArray entryBody(int place) const;

private:
    void compose();
    bool adopt(const corvus::TableReader &tables, uint32_t base);
    QByteArray body(size_t i) const;

    std::unique_ptr<Dictionary> m_dictionary;
    // The bodies one after another: the letters (the summary element first), the
    // pairs of each letter, the headwords of each pair.
    corvus::Table<char> m_bodies;
    corvus::Table<uint32_t> m_bodyOffsets;
    QByteArray m_lettersBody;     // a view of the first body
    QList<int> m_firstPair;       // per letter: the index of its first pair
    bool m_fromTables = false;
    std::shared_ptr<const void> m_storage;
};
