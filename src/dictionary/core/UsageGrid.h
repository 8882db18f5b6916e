#pragma once
// The usage table of the current word ("CT_D"): one row per occurrence, one column
// per characteristic, the first row the headings; at most one headword reference
// naming the dictionary entry of the word. And the decisions around it: the entry
// box, the entry request that follows, clicks on the rows.
#include "model/ConcPos.h"
#include "model/DictPos.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace dictcore {

struct UsageGrid {
    // Row 0 is the first row of the reply; every row has exactly `columns` cells.
    QList<QList<QByteArray>> rows;
    QList<qint32> occurrence;   // per row; -1 when the row names none
    int columns = 1;
    // The headword reference, when one was read ("$$+" number "+").
    bool hasHeadword = false;
    qint32 headword = -1;
    // The cell before the reference (-1: no reference met).
    int selectedRow = -1;
    int selectedColumn = -1;

    int rowCount() const { return int(rows.size()); }
    // With more than one row the first is a fixed heading row.
    bool hasHeading() const { return rows.size() > 1; }
};

// Markers: "$$$" ends a row, "$$*" a cell, "$$," in a cell introduces the row's
// occurrence number, "$$+" number "+" (at most five digits) the headword reference,
// which ends its cell. The first row's cell count is the column count of all rows.
// A number that is not an integer leaves the occurrence (or the headword) unread.
UsageGrid parseUsageGrid(const QByteArray &body);

struct UsageOutcome {
    bool entryEnabled = false;   // CB_DO
    bool requestEntry = false;   // send "DC_S" with the current dictionary record
};

// After the table: a headword reference enables CB_DO when it is 0 or more and
// then points `current` (CurDictPos, may be null) at it in absolute mode; a
// negative one disables CB_DO. The entry is asked for while CB_DO is enabled and
// the record names a headword.
UsageOutcome applyUsageGrid(const UsageGrid &grid, bool entryEnabled, tCDictPos *current);

// A click on row `row` of the table (row 0 the first row of the reply). Only data
// rows count, and nothing while "контекст" (CB_Txt) is ticked. `line` is the
// concordance line to select: row - 1.
struct GridClick {
    bool act = false;
    qint32 firstLine = 0;
    qint32 curLine = 0;
    int line = -1;
};
GridClick gridClick(const UsageGrid &grid, int row, bool contextTicked);

} // namespace dictcore
