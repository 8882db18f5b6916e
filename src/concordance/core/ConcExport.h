#pragma once
// Exports into the buffer's line list: a whole value list (the "CN_W" reply whose
// "ListPos" is "FILL") and a whole concordance (the "CT_N" reply with "PrintConc"
// "True"), each with its header describing the filters in force.
#include "ConcReplies.h"
#include "ContextLines.h"

#include "text/core/Buffer.h"

#include <QByteArray>
#include <QList>

namespace conccore {

// What an export header needs to know of one filter row (rows 1..5 in order).
struct FilterRow {
    bool visible = false;      // its check box is visible
    bool checked = false;      // its check box is checked
    bool active = false;       // its (hidden) radio button is checked
    QByteArray caption;        // the check box caption, 1251
    bool hasDistance = false;  // the row has a distance field (row 2)
    QByteArray distance;       // the field's text
};

struct FilterRows {
    QList<FilterRow> rows;
    bool perm = false;         // CB_Perm ("Фильтрация") checked
};

// A caption with its first "=" written as "-".
QByteArray captionWithDash(const QByteArray &caption);

// The row lines of a list export: one per visible row, each but the last followed
// by " + "; a checked row by its caption (first "=" as "-"), an unchecked one by the
// part before "=" and "-"; a distance other than empty or "0" adds
// "(совм.встречаемость на расстоянии " + distance + ") c".
QList<QByteArray> listExportRowLines(const FilterRows &filters);

// The header of a concordance export: "* * * ..." (15 stars), one line per row that
// is checked while filtering is on or is the active row, and 24 stars.
QList<QByteArray> concExportHeader(const FilterRows &filters);

// Writes a list export: 16 stars, "(Найдено N значений) :", the row lines, 16 stars,
// then one line per value: its whole text + " / " + count, with the frequency
// suffix (all three numbers) when `frequencyShown`. Returns the number of values.
int writeListExport(textcore::Buffer &buffer, const WordPage &page, const FilterRows &filters,
                    bool frequencyShown);
// The same straight from a "CN_W" body, read by parseWordPage's rules: each value
// goes from the body into its line, with no page of entries held between them.
int writeListExport(textcore::Buffer &buffer, const QByteArray &body, bool showEmpty, const FilterRows &filters,
                    bool frequencyShown);

// The lines of a concordance export before its lines: the filter header, the
// names of the heading characteristics ("/" after each) with 16 stars when there
// are any, then "Запрошенная строка : " for a single requested line or
// "Найдено " + found + " строк", and 16 stars.
QList<QByteArray> concExportIntro(const FilterRows &filters, const QList<QByteArray> &headingNames,
                                  bool singleLine, qint32 found);

// The same without the filter header (which the buffer writes itself).
QList<QByteArray> concExportCounts(const QList<QByteArray> &headingNames, bool singleLine, qint32 found);

// The names of the characteristics that the bytes of "Char3" point to.
QList<QByteArray> headingNames(const QByteArray &char3, const QList<QByteArray> &charNames);

// Writes the lines of a concordance export in portions, so that the window can
// answer between them: each line numbered from 1, a heading line (heading + " : ")
// before every line whose heading differs from the line before it.
class ConcExportWriter {
public:
    ConcExportWriter(QByteArray body, bool prose) : m_reader(std::move(body)), m_prose(prose) {}
    // Writes up to `maxLines` lines; false once the body is used up.
    bool writeSome(textcore::Buffer &buffer, int maxLines);
    int written() const { return m_count; }
    int percent() const { return m_reader.percent(); }
    qsizetype bodySize() const { return m_reader.size(); }

private:
    ExportReader m_reader;
    bool m_prose = false;
    int m_count = 0;
    QByteArray m_heading;
};

} // namespace conccore
