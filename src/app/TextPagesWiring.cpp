#include "TextPagesWiring.h"

#include "MainWindow.h"
#include "concordance/ConcPage.h"
#include "dictionary/DictPage.h"
#include "dictionary/UsagePanel.h"
#include "text/BufferWindow.h"
#include "text/TextPanel.h"

#include <QPlainTextEdit>

void wireTextPages(MainWindow &form)
{
    TextPanel *text = form.TS_Conc->textPanel();
    UsagePanel *usage = form.TS_Conc->usagePanel();
    DictPage *dict = form.TS_Dict;
    text->setWindows(form.Form4, form.T_F2);

    TextPanel::Hooks th = text->hooks();
    th.loadDictLinks = [dict](const QByteArray &links) { dict->loadDictLinks(links); };
    th.clearDictLinks = [dict] { dict->TreeDoX_Clear(); };
    text->setHooks(std::move(th));

    UsagePanel::Hooks uh = usage->hooks();
    uh.requestEntry = [dict] { dict->requestEntry(); };
    uh.clearDictLinks = [dict] { dict->TreeDoX_Clear(); };
    usage->setHooks(std::move(uh));

    const Config &c = form.config();
    if (!c.defaultFont.isEmpty())
        form.T_F2->LB->setFont(QFont(c.defaultFont, c.defaultFontSize));
}
