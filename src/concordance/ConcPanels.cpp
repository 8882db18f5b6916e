// The concordance page and the panels it hosts: the text view ("Текст"), the usage
// table ("Словарь") and the buffer actions. Each side reaches the other through the
// other's hooks; the frame adds its own (dictionary links, windows) afterwards.
#include "ConcPage.h"

#include "ContextPanel.h"
#include "WordListPanel.h"

#include "app/SessionState.h"
#include "dictionary/UsagePanel.h"
#include "text/BufferActions.h"
#include "text/FullTextWindow.h"
#include "text/TextPanel.h"
#include "text/core/BufferOps.h"

#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

using conccore::SubPage;
using conccore::Zone;

void ConcPage::wirePanels()
{
    const auto wordListClick = [this] { Panel3->LBC_WClick(LBC_W->currentRow()); };
    const auto concTextName = [this] { return m_context->selectedName(); };
    const auto linesCopied = [this] { m_context->B_Buf2->setText(QStringLiteral("Конк.-> Буфер")); };

    TextPanel::Hooks th = m_text->hooks();
    th.listKindChange = [this] { Panel3->CBC_ListChange(); };
    th.listPosXChecked = [this] { return m_hooks.listPosX && m_hooks.listPosX(); };
    th.activateWordList = [this] { activateWordList(); };
    th.activateLowerZone = [this] { activateLowerZone(); };
    th.activateText = [this] {
        setZone(Zone::Text, FontTarget::Text);
        activateZone();
    };
    th.concTextName = concTextName;
    th.showContextPage = [this] {
        m_context->setRebuild();
        if (PageCC->currentWidget() == TS_Conc_C)
            contextRequest();
        else
            PageCC->setCurrentWidget(TS_Conc_C);
    };
    th.textPopup = [this](const QPoint &global) {
        setZone(Zone::Text, FontTarget::Text);
        PM_LBC_W->popup(global);
    };
    m_text->setHooks(std::move(th));

    BufferActions &buffer = m_text->buffer();
    BufferActions::Hooks bh = buffer.hooks();
    bh.subPage = [this] {
        switch (subPage()) {
        case SubPage::Context: return textcore::SubPage::Context;
        case SubPage::Text: return textcore::SubPage::Text;
        case SubPage::Dictionary: return textcore::SubPage::Usage;
        case SubPage::None: break;
        }
        return textcore::SubPage::Other;
    };
    bh.wordListClick = wordListClick;
    bh.unmarkConcLine = [this](int row) { m_context->unmarkLine(row); };
    bh.concLinesCopied = linesCopied;
    bh.filterRows = [this] {
        QList<textcore::FilterRow> rows;
        if (m_hooks.filterRows)
            for (const conccore::FilterRow &r : m_hooks.filterRows().rows)
                rows.append(textcore::FilterRow{r.caption, r.checked, r.active});
        return rows;
    };
    bh.permChecked = [this] { return m_hooks.filterRows && m_hooks.filterRows().perm; };
    bh.allowContextFromUsage = [this] { m_context->allowFromDictionaryOnce(); };
    bh.usageContextChecked = [this] { return m_usage->isContextChecked(); };
    bh.paneSwitch = [this] { activateZone(); };
    bh.concTextName = concTextName;
    buffer.setHooks(std::move(bh));

    UsagePanel::Hooks uh = m_usage->hooks();
    uh.wordListClick = wordListClick;
    uh.selectConcLine = [this](int line) { m_context->LBC_WxClick(line); };
    uh.focusWordList = [this] { activateWordList(); };
    m_usage->setHooks(std::move(uh));

    // The page's own hooks answer from the panels; tests may replace them.
    m_hooks.requestTextPage = [this] { m_text->requestText(); };
    m_hooks.requestUsageGrid = [this] { m_usage->requestUsage(); };
    m_hooks.openTextOfLine = [this] {
        if (const tCConcPos *c = state().CurrentConcPos.get())
            m_text->openTextOfLine(c->CurLine);
    };
    m_hooks.textContextChecked = [this] { return m_usage->isContextChecked(); };
    m_hooks.uncheckFastListing = [this] { m_text->uncheckFastListing(); };
    m_hooks.highlightTextZone = [this](bool on) { m_text->setZoneHighlight(on); };
    m_hooks.focusTextView = [this] { m_text->focusText(); };
    m_hooks.textViewHasWords = [this] { return !m_text->view().labels.isEmpty(); };
    m_hooks.fullTextMemoHeight = [this] {
        return m_text->fullTextWindow() ? m_text->fullTextWindow()->Memo_Text->height() : 0;
    };
    m_hooks.copyLineToBuffer = [this] { m_text->buffer().PM_LCB_W_BufClick(); };
    m_hooks.showBuffer = [this] { m_text->buffer().B_BufShowClick(); };
    m_hooks.exportHeader = [this] { m_text->buffer().B_BufClick(); };
    m_hooks.markedLinesChanged = [this, linesCopied](bool any) {
        if (any)
            m_context->B_Buf2->setText(QStringLiteral("Сохранить строки"));
        else
            linesCopied();
    };

    // The buffer buttons of "Контекст".
    connect(m_context->B_Buf2, &QPushButton::clicked, this, [this] { m_text->buffer().B_Buf2Click(); });
    connect(m_context->B_BufShow, &QPushButton::clicked, this, [this] { m_text->buffer().B_BufShowClick(); });
    connect(m_context->B_BufC, &QPushButton::clicked, this, [this] { m_text->buffer().B_BufCClick(); });
}
