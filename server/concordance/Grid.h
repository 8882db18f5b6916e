#pragma once
// The usage grid ("CT_D"): the characteristics of the occurrences on the current
// page of lines, one row per line, under a heading row.
//
// Body: rows ended by "$$$", each cell ended by "$$*". The first cell of a data row
// is the line number followed by "$$," and the number again (the client keeps the
// number as the row's occurrence and shows the text before "$$,"). The row of the
// current line carries the headword reference "$$+" h "+" (h: the 0-based
// headword number of the line's word, or -1 when it has none) in place of the end
// marker of its first cell; with a headword the reply also carries the dictionary
// position of that headword (absolute mode), so that the client can ask for the
// entry.
//
// "CONC" (TabType not starting with "TEXT"): the columns are the characteristics
// of group 2 (option "Char2"), each cell the value of the line's occurrence.
// "TEXT": the characteristics of the line's text: the members of group 2 that
// depend on the text only (all of those when group 2 has none), then the number
// of words of the text and where the occurrence stands in it, in per cent.
// Paging is the paging of the lines (Move[0], "LBC_L_Max").
#include "concordance/Lines.h"

namespace corvus::conc {

// The client reads a headword number of at most five digits.
constexpr int kMaxGridHeadword = 99999;

QByteArray gridReply(const LineEngine &lines, const wirerequest::Request &request);

} // namespace corvus::conc
