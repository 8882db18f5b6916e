// The concordance page's side of its neighbours: what it does for them (the
// ConcordanceView operations) and how it reaches them (the set the main window
// connects once).
#include "ConcPage.h"

#include "ContextPanel.h"
#include "WordListPanel.h"

#include "dictionary/api/DictionaryLinks.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "filters/api/HistorySteps.h"
#include "model/Cp1251.h"
#include "session/ConcWidgets.h"
#include "session/Neighbour.h"
#include "session/SessionState.h"
#include "text/api/TextSubPage.h"

#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using conccore::SubPage;
using conccore::Zone;

namespace {

template <class T>
T &need(T *p, const char *what)
{
    return neighbour(p, "The concordance page", what);
}

} // namespace

void ConcPage::connectNeighbours(const ConcNeighbours &n)
{
    need(n.text, "text view");
    need(n.usage, "usage table");
    need(n.dictionary, "dictionary");
    need(n.filters, "filter rows");
    need(n.history, "history");
    m_n = n;
}

TextSubPage &ConcPage::text() const { return need(m_n.text, "text view"); }
UsageSubPage &ConcPage::usage() const { return need(m_n.usage, "usage table"); }
DictionaryLinks &ConcPage::dictionary() const { return need(m_n.dictionary, "dictionary"); }
FilterRowsView &ConcPage::filters() const { return need(m_n.filters, "filter rows"); }
HistorySteps &ConcPage::history() const { return need(m_n.history, "history"); }

void ConcPage::placeTextSubPage(QWidget *panel)
{
    auto *box = new QVBoxLayout(TS_Conc_T);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(panel);
}

void ConcPage::placeUsageSubPage(QWidget *panel)
{
    if (auto *box = qobject_cast<QBoxLayout *>(TS_Conc_D->layout()))
        box->addWidget(panel, 1);
}

// ---------------------------------------------------------------- ConcordanceView

void ConcPage::requestList() { Panel3->CBC_ListChange(); }
void ConcPage::clickSelectedValue() { Panel3->LBC_WClick(LBC_W->currentRow()); }

void ConcPage::activateText()
{
    setZone(Zone::Text, FontTarget::Text);
    activateZone();
}

textcore::SubPage ConcPage::subPage() const
{
    switch (shownSubPage()) {
    case SubPage::Context: return textcore::SubPage::Context;
    case SubPage::Text: return textcore::SubPage::Text;
    case SubPage::Dictionary: return textcore::SubPage::Usage;
    case SubPage::None: break;
    }
    return textcore::SubPage::Other;
}

QByteArray ConcPage::selectedTextName() const { return m_context->selectedName(); }

void ConcPage::showContextPage()
{
    m_context->setRebuild();
    if (PageCC->currentWidget() == TS_Conc_C)
        contextRequest();
    else
        PageCC->setCurrentWidget(TS_Conc_C);
}

void ConcPage::unmarkLine(int row) { m_context->unmarkLine(row); }
void ConcPage::linesCopied() { m_context->B_Buf2->setText(QStringLiteral("Конк.-> Буфер")); }

void ConcPage::markedLinesChanged(bool anyMarked)
{
    if (anyMarked)
        m_context->B_Buf2->setText(QStringLiteral("Сохранить строки"));
    else
        linesCopied();
}

// Emptying an empty buffer does nothing: the button is enabled only when there is
// something to empty.
void ConcPage::bufferEmptinessChanged(bool empty) { m_context->B_BufC->setEnabled(!empty); }

void ConcPage::pageSubPage(char move) { m_context->page(move); }
void ConcPage::selectContextLine(int line) { m_context->LBC_WxClick(line); }
void ConcPage::allowContextFromDictionaryOnce() { m_context->allowFromDictionaryOnce(); }

void ConcPage::textPopup(const QPoint &global)
{
    setZone(Zone::Text, FontTarget::Text);
    PM_LBC_W->popup(global);
}

// The entry is no zone of its own: the keyboard stays where it is, only the menu's
// target changes.
void ConcPage::entryTreePressed(bool popup, const QPoint &global)
{
    treeTarget(TreeDOx, popup, global);
}

void ConcPage::treeTarget(QTreeWidget *tree, bool popup, const QPoint &global)
{
    M_Wide_Full->setVisible(false);
    m_fontTarget = FontTarget::EntryTree;
    m_fontTree = tree;
    if (popup)
        PM_LBC_W->popup(global);
}

// ---------------------------------------------------------------- for the filter pages

std::optional<QByteArray> ConcPage::listCaption() const
{
    if (Panel3->CBC_List->currentIndex() < 0)
        return std::nullopt;
    return cp1251::encode(Panel3->CBC_List->currentText());
}

int ConcPage::listCharacteristic() const
{
    return WordListPanel::charOf(Panel3->CBC_List, Panel3->CBC_List->currentIndex());
}

bool ConcPage::selectListIndex(int index)
{
    QComboBox *box = Panel3->CBC_List;
    if (index < 0 || index >= box->count())
        return false;
    box->setCurrentIndex(index);
    return true;
}

void ConcPage::fillCharacteristicList(int which, const QList<int> &members)
{
    QComboBox *box = which == 0 ? Panel3->CBC_List : Panel3->CBC_CList;
    const QList<CharEntry> &chars = state().CharList;
    const QSignalBlocker block(box);
    box->clear();
    for (const int n : members)
        if (n >= 0 && n < chars.size())
            box->addItem(cp1251::decode(chars[n].name), n);
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

const conccore::WordEntry *ConcPage::selectedValue() const { return Panel3->selectedEntry(); }
bool ConcPage::typedPrefixEmpty() const { return Panel3->typedPrefix().isEmpty(); }
bool ConcPage::alphabeticalOrder() const { return Panel3->alphabetical(); }

void ConcPage::blockListTools(bool block)
{
    Panel3->CBC_List->setEnabled(!block);
    LBC_W->setEnabled(!block);
    m_context->LBC_L->setEnabled(!block);
    m_context->LBC_R->setEnabled(!block);
}

void ConcPage::refreshQuant() { Panel3->updateQuant(); }
void ConcPage::sendWordList() { send("CN_W", true); }
void ConcPage::wideFull() { Panel3->M_Wide_FullClick(); }

void ConcPage::setFilterMarksColour(const QColor &colour)
{
    concwidgets::setBackground(Panel3->LBC_W_Q1, colour);
}

void ConcPage::addListMenuAction(QAction *action)
{
    const QList<QAction *> items = PM_LBC_W->actions();
    action->setParent(PM_LBC_W);   // the menu's own item from now on
    PM_LBC_W->insertAction(items.isEmpty() ? nullptr : items.last(), action);
}

void ConcPage::showFilterRowsPage() { PC_Fltrs->setCurrentWidget(TS_Fltr); }
bool ConcPage::filterRowsPageShown() const { return PC_Fltrs->currentWidget() == TS_Fltr; }
bool ConcPage::filterSetPageShown() const { return PC_Fltrs->currentWidget() == TS_FGrp; }
