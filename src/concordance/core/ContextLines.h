#pragma once
// The context lines of a "CT_N" reply read into plain values, and the marks of verse
// line ends as the columns show them. 1251 bytes in and out; the server's tests read
// its replies with these same functions.
//
// A shown body is a sequence of lines, each
//   ["$$+" fragment "$$-"] left " $@$ " number "," centre [" $+$ " name [" $+$ " ...]]
//   " $*$ " right " $$$"
// followed by a blank or the end. An exported body has no fragments, and each line
// may begin with heading fields, each ended by " $^$ ".
#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace conccore {

struct ContextLine {
    int number = 0;          // 0 when missing or not a number
    QByteArray left;         // as sent (not fitted, marks not rendered)
    QByteArray centre;
    QByteArray name;         // the text name; empty when the line names none
    QByteArray right;        // up to and including the blank before " $$$"
    QByteArray tag;          // "$$+" + the fragment's text; empty without a fragment
};

// The lines of a shown body. Each line's markers are searched after the end of the
// line before, so a fragment always belongs to its own line, whether or not the
// other lines of the page carry one. A line without " $*$ " before its " $$$" adds
// nothing; a line without " $@$ " has the number 0 and an empty centre.
QList<ContextLine> parseContextLines(const QByteArray &body);

// A verse-line mark (backquote) as the columns show it: removed in prose mode,
// else "||", with further backquotes directly after it shown as blanks.
QByteArray renderMarks(const QByteArray &text, bool prose = false);

// The first and last line numbers of a page from "ConcCount" ("(" first "-" last
// ")"): each part between the first "(", the first "-" and the first ")".
struct ConcCount {
    QByteArray first;
    QByteArray last;
};
ConcCount parseConcCount(const QByteArray &text);

// ---- Exports ----

// One exported line: the heading made of its fields (each followed by "/"), and
// the line as the buffer gets it without its running number.
struct ExportLine {
    QByteArray heading;
    QByteArray left, centre, right;   // trimmed, marks not rendered
};

// Reads an exported body line by line, so that a long body can be written out in
// portions with the window kept answering in between.
class ExportReader {
public:
    explicit ExportReader(QByteArray body) : m_body(std::move(body)) {}
    // The next line; false at the end. A piece without " $@$ " before " $*$ " is
    // passed over.
    bool next(ExportLine *line);
    qsizetype position() const { return m_pos; }
    qsizetype size() const { return m_body.size(); }
    // Share of the body read, in per cent.
    int percent() const { return m_body.isEmpty() ? 100 : int(m_pos * 100 / m_body.size()); }

private:
    QByteArray m_body;
    qsizetype m_pos = 0;
};

// The buffer line of an exported line: "     " + number + " " + left + "  " +
// centre + "  " + right, marks rendered.
QByteArray exportLineText(int number, const ExportLine &line, bool prose);

} // namespace conccore
