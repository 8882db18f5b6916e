// The concordance page's readers on arbitrary bytes: context lines ("CT_N" shown and
// exported), value pages ("CN_W"), groups and their codes ("CN_Cx"), and the fitting
// of a left context. Invariants: nothing crashes or loops; every line read needs a
// line end; fragments start with their marker; codes are bytes 200..255, no longer
// than their pattern, with the default inside the code; rendered marks leave no
// backquote; a fitted context that overflowed is a tail of the text.
#include "concordance/core/ConcExport.h"
#include "concordance/core/ConcReplies.h"
#include "concordance/core/ContextFit.h"
#include "concordance/core/ContextLines.h"

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

    const QList<conccore::ContextLine> lines = conccore::parseContextLines(input);
    check(lines.size() <= input.count(" $$$"));
    for (const conccore::ContextLine &l : lines) {
        check(l.tag.isEmpty() || l.tag.startsWith("$$+"));
        check(!conccore::renderMarks(l.left).contains('`'));
        check(!conccore::renderMarks(l.right, true).contains('`'));
    }

    textcore::Buffer buffer;
    conccore::ConcExportWriter writer(input, false);
    int portions = 0;
    while (writer.writeSome(buffer, 7))
        check(++portions <= input.size() + 1);
    check(writer.written() <= input.count(" $$$"));
    check(writer.percent() == 100);

    const conccore::WordPage shown = conccore::parseWordPage(input, true);
    const conccore::WordPage dropped = conccore::parseWordPage(input, false);
    check(shown.dropped == 0);
    check(dropped.entries.size() + dropped.dropped == shown.entries.size());
    for (const conccore::WordEntry &e : shown.entries)
        check(!e.whole.isEmpty() && (e.hasSecond || e.second.isEmpty()));

    for (const conccore::Group &g : conccore::parseGroups(input)) {
        check(g.code.size() <= qMin<qsizetype>(g.pattern.size(), conccore::MaxCodedCharacteristic + 1));
        for (const char c : g.code)
            check(uchar(c) >= conccore::CodeBase);
        check(g.code.isEmpty() || (g.defaultPos >= 0 && g.defaultPos < g.code.size()) || !g.pattern.contains('X'));
        if (const std::optional<QList<int>> members = conccore::comboCharacteristics(g.code, 9)) {
            for (const int n : *members)
                check(n >= 0 && n < 9);
        }
    }
    conccore::parseCharacteristics(input);

    const int width = size > 0 ? data[0] : 0;
    const QByteArray fitted = conccore::fitLeft(input, width, conccore::CharWidths::uniform(1 + width % 9));
    const qsizetype pad = fitted.size() - input.size();
    check(input.endsWith(fitted) || (pad >= 0 && fitted.mid(pad) == input && fitted.left(pad) == QByteArray(pad, ' ')));
    return 0;
}
