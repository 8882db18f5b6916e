#pragma once
// Lemmas, parts of speech and grammatical features of plain text from the
// OpenCorpora dictionary (see MorphDictionary.h).
//
// analyse() gives each distinct word form its readings once: the dictionary's,
// merged where they come to the same lemma, part of speech and features, each
// with P(reading | form); an unknown form gets the readings its ending predicts.
// choose() then picks one reading per token of a sentence: the most probable one,
// corrected by a model of which part of speech and case follow which (a
// preposition before a noun, "его" before a noun being a possessive...).
//
// Lemmas follow the conventions of the Russian reference corpora rather than the
// dictionary's where they differ; docs/corpus-formats.md lists them.
//
// Strings are code page 1251; forms and lemmas are folded (lower case, "ё" kept).
#include "corpus/MorphDictionary.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvus::morph {

// The universal parts of speech.
enum class Upos : uint8_t {
    X, Noun, Propn, Adj, Verb, Aux, Adv, Adp, Cconj, Sconj, Part, Pron, Det, Num, Intj, Punct, Sym, Count
};
// "NOUN", "PROPN"...
const char *uposName(Upos p);

// One reading of a form.
struct Reading {
    std::string lemma;    // folded, 1251
    std::string feats;    // "Case=Gen|Gender=Fem|Number=Sing", "" when none
    float prob = 0;       // P(reading | form); a form's readings add up to 1
    float lexemeProb = 0; // the same for all readings of its lemma and part of speech
    Upos upos = Upos::X;
    uint8_t cls = 0;      // the reading's class in the context model (part of speech and case)
    bool proper = false;  // a name, surname, place...: written with a capital letter
    bool guessed = false; // predicted for a word the dictionary does not know
    bool own = false;     // no reading at all (Latin, digits...): the form is its own lemma
    // An abbreviation: 1 read as the word it stands for ("г." -> "год"), taken
    // when a period follows; 2 read as itself ("км"), taken when none follows.
    uint8_t abbreviation = 0;
};

class Analyser {
public:
    explicit Analyser(std::shared_ptr<const Dictionary> dictionary);
    ~Analyser();

    // The readings of a folded form, most probable first (at least one: a word the
    // dictionary cannot read is its own lemma). Const and thread-safe.
    void analyse(std::string_view form, std::vector<Reading> &out) const;

    // One token of a sentence as choose() sees it.
    struct Token {
        const Reading *readings = nullptr;   // nullptr: punctuation (text in punct)
        uint32_t count = 0;
        std::string_view punct;
        bool capital = false;   // written with a capital letter
    };
    // The chosen reading of each token (index into its readings; 0 for punctuation).
    void choose(const Token *tokens, size_t n, uint32_t *choice) const;

    const Dictionary &dictionary() const;
    // How much the neighbours weigh in choose() against a reading's own
    // probability (1 by default; 0 chooses each token alone).
    void setContextWeight(float weight);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace corvus::morph
