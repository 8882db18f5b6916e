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
    return lines.cost(conc, options, false, shortLines);
}

Cost lineCost(const LineEngine &lines, const tCConcPos &conc, const OptionList &options, uint32_t shortLines)
{
    return lines.cost(conc, options, true, shortLines);
}

} // namespace corvus::conc
