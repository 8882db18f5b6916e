#pragma once
// Building the characteristics of a corpus and their groups (see Query.h for what
// each one is). Only the engine calls this; handlers use ConcEngine.
#include "concordance/Query.h"

#include <memory>
#include <vector>

namespace corvus::conc {

// The characteristics in the order of CharNo (kCharCount of them). `identity`
// holds 0, 1, 2 ... for at least forms().size() + 1 entries (the word-form
// characteristic's own values and members).
std::vector<std::unique_ptr<Characteristic>> buildCharacteristics(const Corpus &corpus, Span<uint32_t> identity);

// The same from the engine's tables in the cache file (nullptr when they are not
// there or fail the checks), and the tables for the writer.
std::vector<std::unique_ptr<Characteristic>> adoptCharacteristics(const Corpus &corpus, Span<uint32_t> identity,
                                                                  const TableReader &tables);
void saveCharacteristics(const std::vector<std::unique_ptr<Characteristic>> &chars, TableWriter &out);

// Whether characteristic `charNo` is per text, and whether its values are numbers.
bool perTextChar(int charNo);
bool numericChar(int charNo);

// Groups 0..3 for kCharCount characteristics.
QList<Group> buildGroups();

// Case-insensitive match of a folded text against a pattern in which "*" stands
// for any run of bytes (possibly empty); the whole text must match.
bool globMatch(std::string_view folded, std::string_view pattern);

} // namespace corvus::conc
