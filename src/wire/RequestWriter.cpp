#include "RequestWriter.h"

namespace requests {

QByteArray dictParams(const tCDictPos &dict, const OptionList &options)
{
    return QByteArrayLiteral("New") + dict.framed() + options.framed();
}

QByteArray concParams(tCConcPos &conc, const OptionList &options)
{
    return QByteArrayLiteral("New") + conc.framed() + options.framed();
}

QByteArray concDictParams(tCConcPos &conc, const tCDictPos &dict, const OptionList &options)
{
    return QByteArrayLiteral("New") + conc.framed() + dict.framed() + options.framed();
}

QByteArray wire(const QByteArray &tag, const QByteArray &params)
{
    return '$' + tag + '=' + params;
}

} // namespace requests
