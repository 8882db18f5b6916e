#pragma once
// Building the characteristics of a corpus and their groups (see Query.h for what
// each one is). Only the engine calls this; handlers use ConcEngine.
#include "concordance/Query.h"

#include <memory>
#include <vector>

namespace corvus::conc {

// The characteristics in the order of CharNo (kCharCount of them).
std::vector<std::unique_ptr<Characteristic>> buildCharacteristics(const Corpus &corpus);

// Groups 0..3 for kCharCount characteristics.
QList<Group> buildGroups();

// Case-insensitive match of a folded text against a pattern in which "*" stands
// for any run of bytes (possibly empty); the whole text must match.
bool globMatch(std::string_view folded, std::string_view pattern);

} // namespace corvus::conc
