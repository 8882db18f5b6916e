#pragma once
// Which class handles which reply tag: each tag has exactly one owner, named here.
// "RG", "NM", "NMD" and "INFO" are the session's common steps, "ZERO" the frame's,
// "CL_E" and "CL_B" the self-update's; "RSTR", "DC" and "CT_R" have no handler.
#include <QByteArray>

class ConcPage;
class DictPage;
class TextPanel;
class UsagePanel;

class ReplyRouter {
public:
    ReplyRouter(DictPage &dict, ConcPage &conc, TextPanel &text, UsagePanel &usage);

    // Runs the owner's handler of `tag`; false when the tag has no page owner.
    bool route(const QByteArray &tag, const QByteArray &body) const;
    // A tag handled among the common steps, or with nothing to do.
    static bool handledElsewhere(const QByteArray &tag);

private:
    DictPage &m_dict;
    ConcPage &m_conc;
    TextPanel &m_text;
    UsagePanel &m_usage;
};
