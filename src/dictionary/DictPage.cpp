#include "DictPage.h"

#include "concordance/api/ConcordanceDictView.h"
#include "session/EntryTreeView.h"

#include "PictureWindow.h"
#include "session/Config.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "dictionary/core/JpegDecoder.h"
#include "dictionary/core/Pictures.h"
#include "model/Cp1251.h"
#include "model/RequestHistory.h"
#include "wire/RequestWriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>

#include <memory>

using dictcore::DictOutcome;

namespace {

// Whether `page` is the current page of the tab control that holds it.
bool isCurrentPage(const QWidget *page)
{
    const auto *stack = page ? qobject_cast<const QStackedWidget *>(page->parentWidget()) : nullptr;
    return stack && stack->currentWidget() == page;
}

// Focus that comes and goes with the window (activation, popups) is not a move
// between the page's controls.
bool isControlFocusChange(const QFocusEvent *e)
{
    return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason
        && e->reason() != Qt::MenuBarFocusReason;
}

// The character a key press types, as one 1251 byte (Backspace is 8); false for
// keys that type nothing and for shortcuts.
bool typedChar(const QKeyEvent *e, char *c)
{
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (e->key() == Qt::Key_Backspace) {
        *c = 8;
        return true;
    }
    const QString text = e->text();
    if (text.size() != 1 || text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7F)
        return false;
    *c = cp1251::encode(text).at(0);
    return true;
}

} // namespace

DictPage::DictPage(PageHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("TS_Dict"));
    buildLayout();

    for (QListWidget *list : {LB_C, LB_CC, LB_W}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        connect(list, &QListWidget::itemClicked, this, [this, list] { clickList(list); });
    }
    connect(TreeView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { TreeView1Click(item); });
    connect(CB_Dict, &QComboBox::activated, this, &DictPage::CB_DictClick);
    connect(CB_ConcRef, &QCheckBox::toggled, this, [this] { CB_ConcRefClick(); });

    // Keys typed in the page's controls go to the type-ahead search first. (Not
    // the page itself: a key a control ignores travels on to it and would be
    // searched twice.)
    for (QWidget *w : std::initializer_list<QWidget *>{CB_Dict, B_Refr, LB_C, LB_CC, LB_W,
                                                       TreeView1, CB_ConcRef})
        w->installEventFilter(this);
    // A press on the entry makes it the target of the lists' popup menu.
    TreeView1->viewport()->installEventFilter(this);
}

void DictPage::setConcordanceView(ConcordanceDictView *view)
{
    m_conc = view;
    showLinks();
}

void DictPage::applyDefaultFont(const QFont &face)
{
    for (QWidget *view : std::initializer_list<QWidget *>{LB_C, LB_CC, LB_W, TreeView1})
        view->setFont(face);
}

SessionState &DictPage::state()
{
    return m_host.state();
}

tCDictPos *DictPage::recordOfCurDict()
{
    SessionState &s = state();
    return s.CurDict >= 0 && s.CurDict < s.DictPosList.size() ? &s.DictPosList[s.CurDict].pos
                                                              : nullptr;
}

dictcore::DictRecordLookup DictPage::recordLookup()
{
    return [this](int dictNo) -> tCDictPos * {
        SessionState &s = state();
        return dictNo >= 0 && dictNo < s.DictPosList.size() ? &s.DictPosList[dictNo].pos : nullptr;
    };
}

// ---------------------------------------------------------------- requests

void DictPage::userAction()
{
    // With no reply awaited, nothing sent earlier can still arrive (a reply lost
    // with a broken connection must not hold up the next action's replies).
    if (state().PendingRequest.isEmpty() && m_replyDepth == 0)
        m_sent.clear();
    ++m_generation;
}

bool DictPage::beginReply()
{
    const int generation = m_sent.isEmpty() ? m_generation : m_sent.takeFirst();
    if (generation < m_generation) {
        // Superseded. The frame has already stored the reply's record; the newer
        // request's record stands until its own reply arrives.
        if (m_lastSent.valid) {
            SessionState &s = state();
            const qint32 d = m_lastSent.pos.DictNo;
            if (d >= 0 && d < s.DictPosList.size())
                s.DictPosList[d].pos = m_lastSent.pos;
            s.CurDict = m_lastSent.CurDict;
            s.CurDictPos = m_lastSent.CurDictPos;
        }
        return false;
    }
    ++m_replyDepth;
    m_replyGeneration = generation;
    return true;
}

void DictPage::endReply()
{
    --m_replyDepth;
}

void DictPage::send(const dictcore::DictRequest &request)
{
    SessionState &s = state();
    const RequestHistory &h = s.History;
    const int serial = h.RequestSerial;
    const int cursor = h.ReplayCursor;
    const qsizetype queued = h.ReplayQueue.size();
    m_host.SendToServer(request.tag, requests::dictParams(request.pos, s.Options));
    // Recorded or replayed: it went out and a reply will come.
    const bool sent = h.RequestSerial != serial || h.ReplayCursor != cursor
        || h.ReplayQueue.size() != queued;
    if (!sent)
        return;
    m_sent.append(m_replyDepth > 0 ? m_replyGeneration : m_generation);
    m_lastSent = Snapshot{request.pos, s.CurDict, s.CurDictPos, true};
}

void DictPage::run(const DictOutcome &outcome)
{
    for (const QByteArray &text : outcome.messages)
        m_host.ui().message(this, cp1251::decode(text));
    for (const dictcore::DictRequest &r : outcome.requests)
        send(r);
    if (outcome.endReplyHandling && m_replyDepth > 0)
        m_endReplyHandling = true;
    if (outcome.picture > 0)
        showReferencePicture(outcome.picture);
}

bool DictPage::takeEndReplyHandling()
{
    const bool end = m_endReplyHandling;
    m_endReplyHandling = false;
    return end;
}

// ---------------------------------------------------------------- showing state

void DictPage::showList(QListWidget *view, const dictcore::DictList &list)
{
    const bool syncing = m_syncing;
    m_syncing = true;
    QStringList texts;
    texts.reserve(list.count());
    for (int i = 0; i < list.count(); ++i)
        texts.append(cp1251::decode(list.display(i)));
    view->clear();
    view->addItems(texts);
    view->setCurrentRow(list.selected);
    if (list.selected < 0)
        view->clearSelection();
    m_syncing = syncing;
}

void DictPage::showSelections()
{
    const bool syncing = m_syncing;
    m_syncing = true;
    const std::pair<QListWidget *, const dictcore::DictList *> lists[] = {
        {LB_C, &m_page.LB_C}, {LB_CC, &m_page.LB_CC}, {LB_W, &m_page.LB_W}};
    for (const auto &[view, list] : lists) {
        if (view->count() != list->count()) {
            showList(view, *list);
        } else if (view->currentRow() != list->selected) {
            view->setCurrentRow(list->selected);
            if (list->selected < 0)
                view->clearSelection();
        }
    }
    m_syncing = syncing;
}

void DictPage::showLabels()
{
    L_CN->setText(cp1251::decode(m_page.L_CN));
    L_CCN->setText(cp1251::decode(m_page.L_CCN));
    L_WN->setText(cp1251::decode(m_page.L_WN));
    L_SN->setText(cp1251::decode(m_page.L_SN));
    L_DD->setText(cp1251::decode(m_page.L_DD));
}

void DictPage::showConcRef(bool newEntry)
{
    const bool syncing = m_syncing;
    m_syncing = true;
    // Every new entry starts with the box unticked; ticking it again ties the
    // concordance to that entry.
    if (newEntry || !m_page.concRefShown)
        CB_ConcRef->setChecked(false);
    CB_ConcRef->setEnabled(m_page.concRefShown);
    CB_ConcRef->setVisible(m_page.concRefShown);
    m_syncing = syncing;
}

void DictPage::showLinks()
{
    if (!m_conc)
        return;
    m_conc->showLinkChoice(dictcore::visibleLinkButtons(int(m_page.DictLinks.size())),
                           m_page.selectedLink);
    if (m_page.TreeDOx.isEmpty())
        m_conc->showEntry(m_page.TreeDOx, m_page.TreeDOxVisible);
    else
        m_conc->setEntryVisible(m_page.TreeDOxVisible);
}

// ---------------------------------------------------------------- page operations

void DictPage::SetDict()
{
    SessionState &s = state();
    s.DictPosList.clear();
    s.CurDictPos = -1;
    dictcore::SetDict(m_page, s.Options);
    // A new session shows nothing of the previous one.
    m_page.LB_C.clear();
    m_page.LB_CC.clear();
    m_page.LB_W.clear();
    m_page.L_CN.clear();
    m_page.L_CCN.clear();
    m_page.L_WN.clear();
    m_page.L_SN.clear();
    m_page.L_DD.clear();
    m_page.SearchText.clear();
    m_page.TreeView1 = dictcore::EntryTree();
    m_sent.clear();
    m_lastSent = Snapshot();
    m_endReplyHandling = false;

    CB_ConcRef->setText(QStringLiteral("Связать с конкордансом"));
    showSelections();
    showLabels();
    showConcRef();
    TreeView1->clear();
}

void DictPage::TS_DictShow()
{
    SessionState &s = state();
    const bool offered = s.dictTabFlag && !s.DictPosList.isEmpty();
    const DictOutcome out = dictcore::TS_DictShow(m_page, recordOfCurDict(), s.CurDict,
                                                  s.KeepDictPos, offered, m_host.config().isLocal());
    if (!offered || out.requests.isEmpty())
        return;
    // The status-bar hint of the dictionary tab.
    m_host.setStatusText(QStringLiteral(" "));
    showConcRef();
    userAction();
    run(out);
}

void DictPage::setDictionaryNames(const QList<QByteArray> &names, int current)
{
    CB_Dict->clear();
    for (const QByteArray &n : names)
        CB_Dict->addItem(cp1251::decode(n));
    if (current >= 0 && current < names.size())
        CB_Dict->setCurrentIndex(current);
}

void DictPage::selectDictionary(int index)
{
    if (index >= 0 && index < CB_Dict->count())
        CB_Dict->setCurrentIndex(index);
}

void DictPage::CB_DictClick(int index)
{
    SessionState &s = state();
    if (!dictcore::chooseDictionary(index, s.CurDict, s.KeepDictPos))
        return;
    selectDictionary(s.CurDict);
    TS_DictShow();
}

// ---------------------------------------------------------------- replies

void DictPage::onDC_C(const QByteArray &body)
{
    if (!beginReply())
        return;
    const DictOutcome out = dictcore::onDC_C(m_page, state().currentDictPos(), body);
    showList(LB_C, m_page.LB_C);
    showLabels();
    run(out);
    endReply();
}

void DictPage::onDC_CC(const QByteArray &body)
{
    if (!beginReply())
        return;
    const DictOutcome out = dictcore::onDC_CC(m_page, state().currentDictPos(), body);
    showList(LB_CC, m_page.LB_CC);
    showLabels();
    run(out);
    endReply();
}

void DictPage::onDC_W(const QByteArray &body)
{
    if (!beginReply())
        return;
    const DictOutcome out = dictcore::onDC_W(m_page, state().currentDictPos(), body);
    showList(LB_W, m_page.LB_W);
    showLabels();
    run(out);
    endReply();
}

void DictPage::onDC_S(const QByteArray &body)
{
    if (!beginReply())
        return;
    SessionState &s = state();
    const Config &config = m_host.config();
    dictcore::EntryPage where = dictcore::EntryPage::Other;
    if (isCurrentPage(this))
        where = dictcore::EntryPage::Dictionary;
    else if (m_conc && m_conc->isShowing())
        where = dictcore::EntryPage::Concordance;
    const dictcore::EntryContext ctx =
        dictcore::EntryContext::forDirectory(config.isLocal(), QDir::currentPath());
    const bool wordListHasItems = m_conc && m_conc->wordListHasItems();
    if (dictcore::onDC_S(m_page, s.currentDictPos(), s.KeepDictPos, body, s.Options, where, ctx,
                         wordListHasItems)) {
        dictview::renderEntryTree(TreeView1, m_page.TreeView1);
        if (where == dictcore::EntryPage::Dictionary) {
            if (QTreeWidgetItem *first = TreeView1->topLevelItem(0))
                first->setExpanded(false);
            showLabels();
            showConcRef(true);
        } else {
            m_conc->showEntry(m_page.TreeDOx, m_page.TreeDOxVisible);
        }
    }
    endReply();
}

// ---------------------------------------------------------------- user actions

void DictPage::clickList(QListWidget *list)
{
    if (m_syncing)
        return;
    if (list == LB_C)
        LB_CClick();
    else if (list == LB_CC)
        LB_CCClick();
    else if (list == LB_W)
        LB_WClick();
}

void DictPage::LB_CClick()
{
    const DictOutcome out = dictcore::LB_CClick(m_page, recordOfCurDict(), LB_C->currentRow());
    showSelections();
    if (!out.requests.isEmpty())
        userAction();
    run(out);
}

void DictPage::LB_CCClick()
{
    const DictOutcome out = dictcore::LB_CCClick(m_page, recordOfCurDict(), LB_CC->currentRow());
    showSelections();
    if (!out.requests.isEmpty())
        userAction();
    run(out);
}

void DictPage::LB_WClick()
{
    const DictOutcome out = dictcore::LB_WClick(m_page, recordOfCurDict(), LB_W->currentRow());
    showSelections();
    if (!out.requests.isEmpty())
        userAction();
    run(out);
}

void DictPage::LB_CEnter()
{
    dictcore::LB_CEnter(recordOfCurDict());
}

void DictPage::LB_CCEnter()
{
    dictcore::LB_CCEnter(recordOfCurDict());
}

void DictPage::followLink(qint32 link)
{
    const DictOutcome out = dictcore::followEntryLink(recordOfCurDict(), state().CurDict, link);
    if (!out.requests.isEmpty())
        userAction();
    run(out);
}

void DictPage::TreeView1Click(QTreeWidgetItem *item)
{
    if (item)
        followLink(dictview::linkOf(item));
}

void DictPage::TreeDOxClick(qint32 link)
{
    followLink(link);
}

void DictPage::CB_ConcRefClick()
{
    if (m_syncing || !CB_ConcRef->isVisibleTo(this) || !CB_ConcRef->isChecked())
        return;
    SessionState &s = state();
    if (!s.CurrentConcPos) {
        m_host.RollBack();
        return;
    }
    const dictcore::ConcRefResult r = dictcore::applyConcRef(*s.CurrentConcPos, s.Options);
    switch (r.status) {
    case dictcore::ConcRefResult::NotApplicable:
        return;
    case dictcore::ConcRefResult::Failed:
        m_host.RollBack();
        return;
    case dictcore::ConcRefResult::Applied:
        break;
    }
    emit concordanceTied(r.charNo, r.valueNo);
    const tCDictPos *current = s.currentDictPos();
    const tCDictPos dict = current ? *current : tCDictPos(-1);
    m_host.SendToServer("CN_W", requests::concDictParams(*s.CurrentConcPos, dict, s.Options));
}

void DictPage::CB_DSTClick()
{
    if (!m_conc)
        return;
    state().Options.set(QByteArrayLiteral("DictSearcType"),
                        m_conc->hierarchyChecked() ? QByteArrayLiteral("H") : QByteArrayLiteral(" "));
}

void DictPage::RBD1Click(int which)
{
    const DictOutcome out = dictcore::RBD1Click(m_page, which, recordLookup());
    showLinks();
    if (!out.requests.isEmpty())
        userAction();
    run(out);
}

void DictPage::loadDictLinks(const QByteArray &text)
{
    const DictOutcome out = dictcore::loadDictLinks(m_page, text, recordLookup());
    showLinks();
    if (!out.requests.isEmpty())
        userAction();
    run(out);
}

void DictPage::requestEntry()
{
    tCDictPos *record = recordOfCurDict();
    if (!record)
        return;
    DictOutcome out;
    out.requests.append(dictcore::DictRequest{"DC_S", *record});
    userAction();
    run(out);
}

void DictPage::TreeDoX_Clear()
{
    m_page.DictLinks.clear();
    m_page.selectedLink = -1;
    m_page.TreeDOx = dictcore::EntryTree();
    m_page.TreeDOxVisible = false;
    showLinks();
}

void DictPage::concordanceReset()
{
    TreeDoX_Clear();
    if (!m_conc)
        return;
    m_conc->setHierarchyChecked(m_host.config().dst);
    CB_DSTClick();
}

void DictPage::showReferencePicture(qint32 number)
{
    const QString path = dictcore::findReferencePicture(number, QDir::currentPath());
    if (path.isEmpty())
        return;
    const dictcore::JpegResult picture = dictcore::decodeJpegFile(path);
    if (!picture.image) {
        m_host.ui().message(this, picture.error);
        return;
    }
    std::unique_ptr<PictureWindow> own;
    PictureWindow *window = m_pictureWindow;
    if (!window) {
        own = std::make_unique<PictureWindow>(this->window());
        window = own.get();
    }
    window->setPicture(*picture.image);
    window->exec();
}

// ---------------------------------------------------------------- keys and focus

bool DictPage::typeAhead(QKeyEvent *event)
{
    char typed = 0;
    if (!typedChar(event, &typed))
        return false;
    dictKey(this, event);
    return true;
}

bool DictPage::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (isControlFocusChange(static_cast<QFocusEvent *>(event))) {
            if (watched == LB_C)
                LB_CEnter();
            else if (watched == LB_CC)
                LB_CCEnter();
        }
        break;
    case QEvent::FocusOut:
        if (watched == LB_W && isControlFocusChange(static_cast<QFocusEvent *>(event)))
            dictcore::LB_WExit(m_page);
        break;
    case QEvent::KeyPress:
        if (watched->isWidgetType())
            return dictKey(static_cast<QWidget *>(watched), static_cast<QKeyEvent *>(event));
        break;
    case QEvent::MouseButtonPress:
        if (watched == TreeView1->viewport() && m_conc) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const bool popup = mouse->button() == Qt::RightButton;
            m_conc->dictionaryTreePressed(TreeView1, popup, mouse->globalPosition().toPoint());
            if (popup)
                return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool DictPage::listNavigation(QListWidget *list, int key)
{
    const int count = list->count();
    const int row = list->currentRow();
    const int rowHeight = qMax(1, list->sizeHintForRow(0));
    const int page = qMax(1, list->viewport()->height() / rowHeight);
    int to = row;
    switch (key) {
    case Qt::Key_Up: to = row - 1; break;
    case Qt::Key_Down: to = row + 1; break;
    case Qt::Key_PageUp: to = row - page; break;
    case Qt::Key_PageDown: to = row + page; break;
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_End: to = count - 1; break;
    default: return false;
    }
    if (count == 0)
        return true;
    to = qBound(0, to, count - 1);
    if (to == row)
        return true;
    {
        const bool syncing = m_syncing;
        m_syncing = true;
        list->setCurrentRow(to);
        m_syncing = syncing;
    }
    // Moving through a list with the keys selects as a click does.
    clickList(list);
    return true;
}

bool DictPage::dictKey(QWidget *target, QKeyEvent *event)
{
    const int key = event->key();
    const bool plain = !(event->modifiers()
                         & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    auto *list = qobject_cast<QListWidget *>(target);
    if (list != LB_C && list != LB_CC && list != LB_W)
        list = nullptr;

    if (plain && (key == Qt::Key_Left || key == Qt::Key_Right)) {
        QWidget *to = nullptr;
        const bool right = key == Qt::Key_Right;
        if (target == LB_C)
            to = right ? LB_CC : nullptr;
        else if (target == LB_CC)
            to = right ? static_cast<QWidget *>(LB_W) : LB_C;
        else if (target == LB_W)
            to = right ? static_cast<QWidget *>(TreeView1) : LB_CC;
        else if (target == TreeView1)
            to = right ? nullptr : LB_W;
        if (to) {
            to->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    if (plain && list && listNavigation(list, key))
        return true;
    // Enter on a node follows its link, as a click does.
    if (target == TreeView1 && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        TreeView1Click(TreeView1->currentItem());
        return true;
    }

    char typed = 0;
    if (!typedChar(event, &typed))
        return false;
    const bool wordListEnabled = !m_conc || m_conc->wordListEnabled();
    const dictcore::KeyOutcome out =
        dictcore::dictKeyPress(m_page, recordOfCurDict(), typed, wordListEnabled);
    showSelections();
    if (!out.actions.requests.isEmpty())
        userAction();
    run(out.actions);
    if (out.focusWordList)
        LB_W->setFocus(Qt::OtherFocusReason);
    if (out.swallow)
        return true;
    if (list && out.passOn != 8) {
        // A list searches its items by the typed character; a new current item
        // counts as a click, so the page's state follows the list.
        const int before = list->currentRow();
        list->keyboardSearch(cp1251::decode(QByteArray(1, out.passOn)));
        if (list->currentRow() != before)
            clickList(list);
        return true;
    }
    // Other controls get the key as typed; a changed character (Backspace that
    // shortened the search text) is not handed on.
    return out.passOn != typed;
}

int DictPage::chosenDictionary() const
{
    return CB_Dict->currentIndex();
}
