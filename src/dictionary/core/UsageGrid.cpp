#include "UsageGrid.h"

#include "model/StrictInt.h"

namespace dictcore {

namespace {

// The first "$$+" that is not the tail of "$$$+".
qsizetype findReference(const QByteArray &text)
{
    qsizetype i = text.indexOf("$$+");
    while (i > 0 && text[i - 1] == '$')
        i = text.indexOf("$$+", i + 1);
    return i;
}

} // namespace

UsageGrid parseUsageGrid(const QByteArray &bodyIn)
{
    UsageGrid g;
    QByteArray body = bodyIn;
    qsizetype ref = findReference(body);
    qsizetype s = 0;
    bool firstRow = true;
    for (qsizetype rowEnd = body.indexOf("$$$"); rowEnd >= 0; rowEnd = body.indexOf("$$$")) {
        // The row's end is blanked, so the next search finds the next row's.
        body[rowEnd] = body[rowEnd + 1] = body[rowEnd + 2] = ' ';
        QList<QByteArray> row;
        qint32 occurrence = -1;
        for (;;) {
            const qsizetype star = body.indexOf("$$*", s);
            const bool refHere = ref >= s && ref < rowEnd;
            if (star < 0 && !refHere)
                break;
            qsizetype cellEnd = star;
            qsizetype next = star + 3;
            if (refHere && (star < 0 || ref < star)) {
                cellEnd = ref;
                next = ref + 3;
                const qsizetype plus = body.indexOf('+', ref + 3);
                if (plus >= 0 && plus - (ref + 3) < 6) {
                    if (const auto h = strictint::parse(QByteArrayView(body).sliced(ref + 3, plus - ref - 3))) {
                        g.hasHeadword = true;
                        g.headword = *h;
                    }
                    next = plus + 1;
                }
                g.selectedRow = int(g.rows.size());
                g.selectedColumn = int(row.size());
                ref = -1;   // used once
            }
            if (cellEnd > rowEnd)
                break;
            QByteArray text = body.mid(s, cellEnd - s);
            const qsizetype comma = text.indexOf("$$,");
            if (comma >= 0) {
                if (const auto n = strictint::parse(QByteArrayView(text).sliced(comma + 3)))
                    occurrence = *n;
                text.truncate(comma);
            }
            row.append(text);
            s = next;
        }
        if (firstRow) {
            g.columns = qMax(1, int(row.size()));
            firstRow = false;
        }
        row.resize(g.columns);
        g.rows.append(row);
        g.occurrence.append(occurrence);
        s = rowEnd + 3;
    }
    // The cell before the reference may lie beyond the shown columns.
    if (g.selectedRow >= 0 && g.selectedColumn >= g.columns)
        g.selectedColumn = g.columns - 1;
    return g;
}

UsageOutcome applyUsageGrid(const UsageGrid &grid, bool entryEnabled, tCDictPos *current)
{
    UsageOutcome out;
    out.entryEnabled = entryEnabled;
    if (grid.hasHeadword) {
        out.entryEnabled = grid.headword >= 0;
        if (out.entryEnabled && current) {
            current->LetterNo = 0;
            current->PairNo = 0;
            current->WordNo = grid.headword;
            current->WordMode = 'A';
        }
    }
    out.requestEntry = out.entryEnabled && current && current->WordNo >= 0;
    return out;
}

GridClick gridClick(const UsageGrid &grid, int row, bool contextTicked)
{
    GridClick out;
    if (contextTicked || !grid.hasHeading() || row < 1 || row >= grid.rowCount())
        return out;
    out.act = true;
    out.firstLine = grid.occurrence[1];
    out.curLine = grid.occurrence[row];
    out.line = row - 1;
    return out;
}

} // namespace dictcore
