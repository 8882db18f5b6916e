#pragma once
// Finding the tag of an assembled reply and reading the framed records at the
// front of its body. Pure: works on complete reply texts.
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/ReplyRecords.h"
#include <QByteArray>

namespace replyreader {

// The tags the client understands, in the order they are tried.
inline constexpr char ReplyTagList[] =
    "RG,NM,NMD,ZERO,RSTR,INFO,DC,DC_C,DC_CC,DC_W,DC_S,CN_C,CN_Cx,CN_W,CT_N,CT_W,CT_T,"
    "CT_D,CT_R,CL_E,CL_B;";

// Written into the text field of level 0 of the concordance position after every
// reply with a known tag; every later request carries it back.
inline constexpr char ClientVersionText[] = "1.4.12";

struct TagMatch {
    bool found = false;
    QByteArray tag;
    QByteArray body;   // everything after "$" + tag + "="
    char mark = ' ';   // the byte before the "$"; ' ' when the "$" is the first byte
};

// The tags of `tagList` (items separated by ',', the list ended by ';' or ',') are
// tried in list order; the first whose "$" + tag + "=" occurs anywhere in `text`
// wins, wherever another tag may stand. Not found: empty tag and body.
TagMatch findTag(const QByteArray &text, const QByteArray &tagList);

struct ReplyRead {
    bool found = false;
    QByteArray tag;
    QByteArray body;   // the tag's own text, after the framed records
    char mark = ' ';
    ReplyRecordsSeen recordsSeen;
};

// findTag with `tagList`; when a tag is found, the framed records at the front of
// the body update `conc`, `dict` and `options`, and the client version is written
// into conc.Request[0]. Nothing is changed when no tag is found.
ReplyRead readReply(const QByteArray &text, tCConcPos &conc, tCDictPos &dict,
                    OptionList &options, const QByteArray &tagList = QByteArray(ReplyTagList));

} // namespace replyreader
