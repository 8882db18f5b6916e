#pragma once
// Building the characteristics of a corpus and their groups (see Query.h for what
// each one is). Only the engine calls this; handlers use ConcEngine.
#include "concordance/Query.h"

#include <memory>
#include <vector>

namespace corvus::conc {

// What each characteristic of a corpus is, in the order of the "CN_C" reply: the
// nine of CharNo, then the part of speech and the grammatical features when an
// annotated corpus's files give them, then one per further text attribute.
struct CharSpec {
    enum class Kind { Form, Lemma, Author, Title, TextKind, Year, Decade, Ending, Length, Pos, Feats, Attribute };
    Kind kind;
    uint32_t attribute;   // Kind::Attribute: Corpus::attributeKey(attribute)
    QByteArray name;      // as the client shows it, 1251
    bool perText;         // the value depends on the token's text only
    bool numeric;         // the values sort as numbers
};
std::vector<CharSpec> characteristicSpecs(const Corpus &corpus);

// The characteristics in that order. `identity` holds 0, 1, 2 ... for at least
// forms().size() + 1 entries (the word-form characteristic's own values and
// members in a plain corpus).
std::vector<std::unique_ptr<Characteristic>> buildCharacteristics(const Corpus &corpus, Span<uint32_t> identity);

// The same from the engine's tables in the cache file (nullptr when they are not
// there or fail the checks), and the tables for the writer.
std::vector<std::unique_ptr<Characteristic>> adoptCharacteristics(const Corpus &corpus, Span<uint32_t> identity,
                                                                  const TableReader &tables);
void saveCharacteristics(const std::vector<std::unique_ptr<Characteristic>> &chars, TableWriter &out);

// Groups 0..3 of those characteristics.
QList<Group> buildGroups(const std::vector<CharSpec> &specs);

// Case-insensitive match of a folded text against a pattern in which "*" stands
// for any run of bytes (possibly empty); the whole text must match.
bool globMatch(std::string_view folded, std::string_view pattern);

} // namespace corvus::conc
