#include "ReplyRouter.h"

#include "concordance/ConcPage.h"
#include "concordance/ContextPanel.h"
#include "concordance/WordListPanel.h"
#include "dictionary/DictPage.h"
#include "dictionary/UsagePanel.h"
#include "text/TextPanel.h"

#include <QByteArrayList>

ReplyRouter::ReplyRouter(DictPage &dict, ConcPage &conc, TextPanel &text, UsagePanel &usage)
    : m_dict(dict), m_conc(conc), m_text(text), m_usage(usage)
{
}

bool ReplyRouter::route(const QByteArray &tag, const QByteArray &body) const
{
    // The dictionary browser.
    if (tag == "DC_C")
        m_dict.onDC_C(body);
    else if (tag == "DC_CC")
        m_dict.onDC_CC(body);
    else if (tag == "DC_W")
        m_dict.onDC_W(body);
    else if (tag == "DC_S")
        m_dict.onDC_S(body);
    // The concordance page: characteristics, value lists, context lines.
    else if (tag == "CN_C")
        m_conc.Panel3->onCN_C(body);
    else if (tag == "CN_Cx")
        m_conc.Panel3->onCN_Cx(body);
    else if (tag == "CN_W")
        m_conc.onCN_W(body);
    else if (tag == "CT_N")
        m_conc.TS_Conc_C->onCT_N(body);
    // The text view and the usage table.
    else if (tag == "CT_W")
        m_text.onCT_W(body);
    else if (tag == "CT_T")
        m_text.onCT_T(body);
    else if (tag == "CT_D")
        m_usage.onCT_D(body);
    else
        return false;
    return true;
}

bool ReplyRouter::handledElsewhere(const QByteArray &tag)
{
    static const QByteArrayList tags{"RG", "NM", "NMD", "INFO", "ZERO", "RSTR", "DC", "CT_R"};
    return tags.contains(tag);
}
