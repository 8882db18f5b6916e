// What a "CT_N" request will cost, told before it runs from what is already made:
// the endpoints ask it for every request, so it only looks (no selection, no order
// is made here).
#include "concordance/Lines.h"

namespace corvus::conc {

namespace {

bool isTrue(const QByteArray &v)
{
    return v.trimmed().compare("True", Qt::CaseInsensitive) == 0;
}

} // namespace

Cost linesCost(const LineEngine &lines, const tCConcPos &conc, const OptionList &options, uint32_t shortLines)
{
    // Every line of the selection: long however it is ordered.
    if (isTrue(options.value("PrintConc")) && !isTrue(options.value("PrintConcStr")))
        return Cost::Long;
    return pageCost(lines, conc, options, shortLines);
}

Cost pageCost(const LineEngine &lines, const tCConcPos &conc, const OptionList &options, uint32_t shortLines)
{
    if (const auto order = lines.cachedOrder(conc, options))
        return order->isGrouped() || order->size() <= shortLines ? Cost::Short : Cost::Long;
    // Not ordered yet: the selection is made first, and it holds at most the
    // occurrences of the selected value.
    const ConcEngine &engine = lines.engine();
    const Query q = engine.parse(conc);
    if (!q.ok || q.selected < 0)
        return Cost::Short;   // answered with "ZERO" at once
    const Characteristic &c = engine.characteristic(q.listChar);
    if (q.distance == 0 && uint64_t(q.selected) < c.valueCount() && c.count(uint32_t(q.selected)) <= shortLines)
        return Cost::Short;
    return Cost::Long;
}

} // namespace corvus::conc
