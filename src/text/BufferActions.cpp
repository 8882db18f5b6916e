#include "BufferActions.h"

#include "BufferWindow.h"
#include "FullTextWindow.h"
#include "TextPanel.h"
#include "concordance/api/ConcordanceView.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

BufferActions::BufferActions(PageHost &host, TextPanel &text, QObject *parent)
    : QObject(parent), m_host(host), m_text(text)
{
}

void BufferActions::connectNeighbours(const TextNeighbours &n)
{
    m_n = &m_text.neighbours();
    ConcordanceView *conc = n.conc;
    connect(this, &BufferActions::bufferEmptinessChanged, this,
            [conc](bool empty) { conc->bufferEmptinessChanged(empty); });
}

void BufferActions::setWindows(FullTextWindow *fullText, BufferWindow *buffer)
{
    m_fullText = fullText;
    m_window = buffer;
    if (m_window) {
        connect(m_window, &BufferWindow::closed, this, [this] {
            m_n->conc->activateZone();
        });
        connect(m_window, &BufferWindow::emptinessChanged, this, &BufferActions::bufferEmptinessChanged);
    }
}

bool BufferActions::ask(const QByteArray &question)
{
    return m_host.ui().askOkCancel(&m_text, cp1251::decode(question));
}

void BufferActions::append(const QList<QByteArray> &lines)
{
    QList<QByteArray> split;
    split.reserve(lines.size());
    for (const QByteArray &l : lines) {
        if (l.contains('\n') || l.contains('\r')) {
            QByteArray t = l;
            t.replace("\r\n", "\n");
            t.replace('\r', '\n');
            split += t.split('\n');
        } else {
            split.append(l);
        }
    }
    m_host.state().Buffer.append(split);
}

// ---------------------------------------------------------------- copying

void BufferActions::B_Buf2Click()
{
    SessionState &s = m_host.state();
    textcore::CopyInput in;
    in.page = m_n->conc->subPage();
    in.fragmentEmpty = s.PendingFragment.isEmpty();
    in.fastListing = m_text.isFastListing();
    in.memoSelection = m_text.isFastListing() ? int(m_text.memoSelection().size()) : 0;
    switch (textcore::chooseCopyStep(in)) {
    case textcore::CopyStep::None:
        return;
    case textcore::CopyStep::ExportConcordance:
        return exportConcordance(false);
    case textcore::CopyStep::MarkedLines:
        return copyMarkedLines();
    case textcore::CopyStep::ExportText:
        if (!s.CurrentConcPos)
            return;
        s.Options.set("PrintText", "1F");
        m_host.SendToServer("CT_W", requests::concDictParams(
                                        *s.CurrentConcPos,
                                        s.currentDictPos() ? *s.currentDictPos() : tCDictPos(-1), s.Options));
        return;
    case textcore::CopyStep::MarkedWords:
        append(textcore::markedWordsLines(s.PendingFragment, m_text.view().labels, m_text.textName()));
        m_text.clearWordMarking();
        m_text.fragmentCopied();
        return;
    case textcore::CopyStep::MemoSelection:
        append(textcore::selectionLines(m_text.textName(), m_text.memoSelection()));
        s.PendingFragment.clear();
        m_text.fragmentCopied();
        m_text.clearMemoSelection();
        return;
    }
}

void BufferActions::exportConcordance(bool singleLine)
{
    SessionState &s = m_host.state();
    const tCConcPos *c = s.CurrentConcPos.get();
    const qint32 level = c ? qBound(0, c->Level, tCConcPos::Levels - 1) : 0;
    // One requested line is never a long export.
    if (!singleLine && c && textcore::needsLongExportQuestion(c->Found[level])
        && !ask(textcore::texts::longExportQuestion()))
        return;
    s.Options.set("PrintConc", "True");
    m_n->conc->clickSelectedValue();
}

void BufferActions::copyMarkedLines()
{
    SessionState &s = m_host.state();
    const QByteArray name = m_n->conc->selectedTextName();
    append(textcore::markedLinesLines(s.PendingFragment, name));
    const QList<textcore::FragmentEntry> entries = s.PendingFragment.entries;
    s.PendingFragment.clear();
    for (const textcore::FragmentEntry &e : entries)
        m_n->conc->unmarkLine(e.object);
    m_n->conc->linesCopied();
}

void BufferActions::PM_LCB_W_BufClick()
{
    if (m_n->conc->subPage() == textcore::SubPage::Usage && m_n->usage->isContextChecked())
        return;
    SessionState &s = m_host.state();
    s.Options.set("PrintConcStr", "True");
    m_n->conc->allowContextFromDictionaryOnce();
    if (s.PendingFragment.isEmpty())
        exportConcordance(true);
    else
        copyMarkedLines();
}

void BufferActions::B_BufClick()
{
    const conccore::FilterRows filters = m_n->filters->exportRows();
    QList<textcore::FilterRow> rows;
    for (const conccore::FilterRow &r : filters.rows)
        rows.append(textcore::FilterRow{r.caption, r.checked, r.active});
    append(textcore::exportHeader(rows, filters.perm));
}

// ---------------------------------------------------------------- showing, emptying

void BufferActions::B_BufShowClick()
{
    if (m_window)
        m_window->showBuffer();
    else
        m_n->conc->activateZone();
}

bool BufferActions::B_BufCClick()
{
    SessionState &s = m_host.state();
    if (s.Buffer.isEmpty() || !ask(textcore::texts::clearQuestion()))
        return false;
    s.Buffer.clear();
    m_text.B_BufShow_Text->setEnabled(false);
    m_text.clearWordMarking();
    m_n->conc->activateZone();
    return true;
}

void BufferActions::offerToEmptyAfterReset()
{
    if (m_host.state().Buffer.isEmpty() || m_offerQueued)
        return;
    m_offerQueued = true;
    // Asked after the set-up, not inside it: the question's own event loop would let
    // the new session's first replies reach pages that are only half set up.
    QTimer::singleShot(0, this, [this] {
        m_offerQueued = false;
        textcore::Buffer &b = m_host.state().Buffer;
        QWidget *window = m_text.window();
        if (b.isEmpty() || !window->isVisible())
            return;
        const QString question = cp1251::decode(textcore::texts::keptLinesQuestion(b.size()));
        if (!m_host.ui().askYesNoDefaultNo(window, question))
            return;
        b.clear();
        m_text.B_BufShow_Text->setEnabled(false);
        if (m_fullText)
            m_fullText->B_BufShow_Text->setEnabled(false);
    });
}

// ---------------------------------------------------------------- the full-text window

void BufferActions::fullText_B_Buf2_TextClick()
{
    if (!m_fullText)
        return;
    const QString selected = m_fullText->selectedText();
    if (selected.isEmpty())
        return B_Buf2Click();
    append(textcore::selectionLines(cp1251::encode(m_fullText->L_TextName->text()), cp1251::encode(selected)));
    m_host.state().PendingFragment.clear();
    m_fullText->resetCopyButton();
    m_fullText->B_BufShow_Text->setEnabled(true);
    m_fullText->clearSelection();
}

void BufferActions::fullText_B_BufC_TextClick()
{
    if (!m_fullText)
        return;
    B_BufCClick();
    m_fullText->resetCopyButton();
    m_fullText->B_BufShow_Text->setEnabled(m_host.state().Buffer.size() > 0);
}
