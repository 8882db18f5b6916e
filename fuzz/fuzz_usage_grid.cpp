// The usage table ("CT_D"): rows, cells, occurrence numbers and the headword
// reference. Invariants: every row has the first row's column count, one
// occurrence per row, the selected cell inside the table, no marker in a cell's
// text, and clicks only on data rows naming lines of the table.
#include "dictionary/core/UsageGrid.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const dictcore::UsageGrid g = dictcore::parseUsageGrid(input);
    check(g.columns >= 1);
    check(g.occurrence.size() == g.rows.size());
    for (const QList<QByteArray> &row : g.rows) {
        check(row.size() == g.columns);
        for (const QByteArray &cell : row) {
            check(!cell.contains("$$*"));
            check(!cell.contains("$$,"));
        }
    }
    check(g.selectedRow < g.rowCount());
    check(g.selectedRow < 0 || (g.selectedColumn >= 0 && g.selectedColumn < g.columns));
    check(!g.hasHeadword || g.selectedRow >= 0);

    tCDictPos cur(0);
    const dictcore::UsageOutcome out = dictcore::applyUsageGrid(g, size % 2 == 0, &cur);
    check(!out.requestEntry || (out.entryEnabled && cur.WordNo >= 0));
    check(!g.hasHeadword || out.entryEnabled == (g.headword >= 0));
    for (int row = -1; row <= g.rowCount(); ++row) {
        const dictcore::GridClick c = dictcore::gridClick(g, row, false);
        check(!c.act || (row >= 1 && row < g.rowCount() && c.line == row - 1));
        check(!dictcore::gridClick(g, row, true).act);
    }
    return 0;
}
