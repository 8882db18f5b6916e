#pragma once
// Text pages around the current occurrence: "CT_W" (one page of words, each with
// its number, for the text view) and "CT_T" (plain lines for the full-text window).
//
// Both page by display lines: a source line of the text (a verse line, a prose
// paragraph) wrapped at kRowChars characters between words. A "CT_W" page holds
// "LBC_T_Max" display lines (an empty line between paragraphs or stanzas counts as
// one), a "CT_T" page "LBC_X_Max". The text is shown on the base CharNo[0] (word
// forms as written, or lemmas).
//
// "CT_W" body: the text's dictionary links ("$$+" headword "," dictionary ... "$$-"),
// the number section ("$$+" CurLine "$$-"), then one entry per word label: its
// text, "$@$", its number ("0" for the current occurrence, otherwise the global
// token number + 1 of its word), "$$$"; a label that starts a source line begins
// with "`" ("``" after an empty line); last the title and "$$$". A label is one
// word with the punctuation attached to it (opening marks to the word after them).
// Paging letter: Move[0], else the option "TextPos": "B" the text's first page,
// "E" its last, "+" the page that starts with the line of the current occurrence
// (the last word of the page before, made current by the client), "-" the page
// that ends with it, anything else the page with the occurrence in its first third.
//
// "CT_T" body: one piece per display line, each ended by "$$$" (an empty line is a
// blank), then the title and "$$$". The page is kept in the options "LBC_T_Beg" and
// "LBC_T_End" (first token shown, token after the last); "LBC_T_End"="-1" (set by
// the client when the window opens) starts at the current occurrence; "TextPos"
// "+" / "-" / "B" / "E" pages from there. The option "TextMark" says where the
// current occurrence is on the page, "row:column:length" (the row among the pieces,
// blank ones included; column and length in bytes), and is removed when it is not
// on the page.
#include "concordance/Lines.h"

#include <map>
#include <optional>
#include <vector>

namespace corvus::conc {

constexpr int kRowChars = 70;            // characters of a display line
constexpr int kDefaultWordRows = 10;     // "LBC_T_Max" when missing
constexpr int kDefaultPlainRows = 20;    // "LBC_X_Max" when missing
constexpr int kMaxTextRows = 1000;
constexpr int kMaxLabelBytes = 200;      // the client reads an entry through 255 bytes

struct DisplayLine {
    uint32_t first = 0, end = 0;         // tokens [first, end)
    uint32_t hardStart = 0, hardEnd = 0; // its source line
    bool lineStart = false;              // first display line of its source line
    bool blankBefore = false;            // an empty line (paragraph end) precedes it
    bool operator==(const DisplayLine &o) const { return first == o.first && end == o.end; }
};

// The display lines and word labels of one text. Per request (it memoises the
// wrapping of the source lines it visits).
class TextLayout {
public:
    TextLayout(const LineEngine &lines, uint32_t text, Base base);

    uint32_t firstToken() const { return m_lo; }
    uint32_t endToken() const { return m_hi; }
    DisplayLine at(uint32_t token) const;
    DisplayLine firstLine() const;
    DisplayLine lastLine() const;
    std::optional<DisplayLine> next(const DisplayLine &line) const;
    std::optional<DisplayLine> prev(const DisplayLine &line) const;
    // Walks back from `line` over display lines worth `rows` rows (the line itself
    // included); the page then starts at the result.
    DisplayLine back(DisplayLine line, int rows) const;
    // Display lines from `start` filling `rows` rows.
    std::vector<DisplayLine> page(DisplayLine start, int rows) const;

    struct Label {
        uint32_t first, end;   // tokens
        uint32_t word;         // its word token, kNone when it has none
        int width;             // shown bytes, its leading blank included
    };
    const std::vector<Label> &labels(uint32_t hardStart) const;
    // The text of tokens [first, end) as shown (blanks where the source has them).
    QByteArray shown(uint32_t first, uint32_t end) const;

private:
    uint32_t hardStartOf(uint32_t token) const;
    uint32_t hardEndOf(uint32_t hardStart) const;
    const std::vector<DisplayLine> &wrapped(uint32_t hardStart) const;

    const LineEngine &m_lines;
    const Corpus &m_corpus;
    Base m_base;
    uint32_t m_lo, m_hi;
    mutable std::map<uint32_t, std::vector<Label>> m_labels;
    mutable std::map<uint32_t, std::vector<DisplayLine>> m_wrapped;
};

QByteArray textPageReply(const LineEngine &lines, const wirerequest::Request &request);
QByteArray plainTextReply(const LineEngine &lines, const wirerequest::Request &request);

} // namespace corvus::conc
