#pragma once
// Writing requests: the parameter texts the client sends and the request as it goes
// on the channel. The server reads them with wirerequest::parse (RequestReader.h).
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include <QByteArray>

namespace requests {
// "New" + dictionary position + option list ("DC_C", "DC_CC", "DC_W", "DC_S", "CN_C").
QByteArray dictParams(const tCDictPos &dict, const OptionList &options);
// "New" + concordance position + option list ("CN_W" sent by word-list paging).
QByteArray concParams(tCConcPos &conc, const OptionList &options);
// "New" + concordance position + dictionary position + option list
// ("CN_W" otherwise, "CN_Cx", "CT_N", "CT_W", "CT_T", "CT_D").
QByteArray concDictParams(tCConcPos &conc, const tCDictPos &dict, const OptionList &options);
// On the channel a request is "$" + tag + "=" + params.
QByteArray wire(const QByteArray &tag, const QByteArray &params);
} // namespace requests
