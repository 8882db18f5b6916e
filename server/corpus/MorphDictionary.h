#pragma once
// The OpenCorpora dictionary of Russian in its compiled form (a folder of DAWG
// files, a paradigm table and JSON tables, as the npm package "az" ships them):
// every known word form with its paradigm and form number, P(tag | word) from
// the disambiguated OpenCorpora corpus, and the endings that predict the
// paradigm of an unknown word. The DAWG files are mapped, not copied, and read
// through libdawgdic's unit types; every unit is checked once at open so that no
// walk can leave the file, whatever the file holds.
//
// Strings here are code page 1251, lower case, as the index keeps its folded forms.
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvus::morph {

constexpr uint16_t kNoTag = 0xFFFF;

// One grammatical reading of a word form in the dictionary.
struct RawParse {
    std::string word;      // the form as the dictionary spells it (ё where the text had е)
    std::string lemma;     // the normal form of the lexeme, as the dictionary gives it
    uint16_t tag = kNoTag; // index of the tag (see Dictionary::tagText)
    uint16_t paradigm = 0, form = 0;
    double score = 0;      // P(tag | word) for a known form; a relative weight for a prediction
    bool predicted = false;
};

class Dictionary {
public:
    // Opens the folder; nullptr and a Russian *error when a file is missing,
    // unreadable or not of the expected shape.
    static std::shared_ptr<const Dictionary> open(const QString &folder, QString *error);
    // The folder of the installed data: beside the server (../share/corvus/opencorpora,
    // a build tree) or under the generic data folders (corvus/opencorpora); empty
    // when neither has it.
    static QString defaultPath();
    ~Dictionary();

    // What the data is ("OpenCorpora 0.92, ревизия 394551"), for reports.
    QString description() const;

    // Every reading of a known form (е also read as ё, as Russian print omits
    // the dots), in the dictionary's order, with P(tag | word) where the corpus
    // gave one (0 otherwise). Appends to out; returns whether any was found.
    bool lookup(std::string_view word, std::vector<RawParse> &out) const;
    // Readings of an unknown form predicted from its ending: only productive
    // paradigms, weights relative to the best one (1.0).
    void predict(std::string_view word, std::vector<RawParse> &out) const;

    // The tag's text ("NOUN,anim,masc sing,nomn") and the number of tags.
    std::string_view tagText(uint16_t tag) const;
    size_t tagCount() const;
    // Whether words of the tag's class are predicted for unknown words (not the
    // closed classes: pronouns, prepositions, conjunctions, particles...).
    bool productive(uint16_t tag) const;
    // The form of the lexeme of (paradigm, form) numbered target, built from the
    // given form of it ("души" of душа, form 7 -> "душа"); empty when out of range.
    std::string inflect(std::string_view word, uint16_t paradigm, uint16_t form, uint16_t target) const;
    // The tag of a form of a paradigm, and the paradigm's number of forms.
    uint16_t formTag(uint16_t paradigm, uint16_t form) const;
    uint16_t formCount(uint16_t paradigm) const;

private:
    Dictionary();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace corvus::morph
