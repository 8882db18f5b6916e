#include "WordListPanel.h"

#include "ConcPage.h"
#include "session/ConcWidgets.h"
#include "ContextPanel.h"

#include "dictionary/api/DictionaryLinks.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "filters/api/HistorySteps.h"
#include "session/PageHost.h"
#include "text/api/TextSubPage.h"
#include "session/SessionState.h"
#include "model/Cp1251.h"

#include <QApplication>
#include <QComboBox>
#include <utility>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using conccore::ScrollCode;

WordListPanel::WordListPanel(ConcPage &page, QWidget *parent) : QWidget(parent), m_page(page)
{
    setObjectName(QStringLiteral("Panel3"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);

    buildHeaderRows(v);
    buildLists(v);
    buildButtons(v);
    buildBaseStrip();
    connectSignals();
}

void WordListPanel::buildHeaderRows(QVBoxLayout *v)
{
    L_List = new QLabel(QStringLiteral("Тип информации"), this);
    L_List->setObjectName(QStringLiteral("L_List"));
    QFont bold = L_List->font();
    bold.setBold(true);
    L_List->setFont(bold);
    CBC_List = new QComboBox(this);
    CBC_List->setObjectName(QStringLiteral("CBC_List"));
    v->addWidget(L_List);
    v->addWidget(CBC_List);

    auto *sortRow = new QHBoxLayout;
    L_SortD = new QLabel(QStringLiteral("Сортировка :"), this);
    L_SortD->setObjectName(QStringLiteral("L_SortD"));
    CB_SortD = new QComboBox(this);
    CB_SortD->setObjectName(QStringLiteral("CB_SortD"));
    sortRow->addWidget(L_SortD);
    sortRow->addWidget(CB_SortD, 1);
    v->addLayout(sortRow);

    auto *capRow = new QHBoxLayout;
    L_Req = new QLabel(this);
    L_Req->setObjectName(QStringLiteral("L_Req"));
    L_Req->setStyleSheet(QStringLiteral("QLabel { color: red; background-color: aqua; font-weight: bold; }"));
    L_Quant = new QLabel(this);
    L_Quant->setObjectName(QStringLiteral("L_Quant"));
    capRow->addWidget(L_Req);
    capRow->addStretch(1);
    capRow->addWidget(L_Quant);
    v->addLayout(capRow);
}

void WordListPanel::buildLists(QVBoxLayout *v)
{
    auto *lists = new QHBoxLayout;
    lists->setSpacing(0);
    LBC_W = new QListWidget(this);
    LBC_W->setObjectName(QStringLiteral("LBC_W"));
    LBC_W_Q1 = new QListWidget(this);
    LBC_W_Q1->setObjectName(QStringLiteral("LBC_W_Q1"));
    LBC_W_Q2 = new QListWidget(this);
    LBC_W_Q2->setObjectName(QStringLiteral("LBC_W_Q2"));
    LBC_W_Q2->setFixedWidth(64);
    const int row = concwidgets::listRowHeight(LBC_W->font());
    for (QListWidget *l : {LBC_W, LBC_W_Q1, LBC_W_Q2}) {
        concwidgets::setupList(l, row);
        l->installEventFilter(this);
        l->viewport()->installEventFilter(this);
        connect(l, &QListWidget::clicked, this, [this](const QModelIndex &i) { LBC_WClick(i.row()); });
    }
    SB_W = new QScrollBar(Qt::Vertical, this);
    SB_W->setObjectName(QStringLiteral("SB_W"));
    SB_W->setRange(0, 100);
    SB_W->setPageStep(10);
    SB_W->setTracking(false);
    lists->addWidget(LBC_W, 3);
    lists->addWidget(LBC_W_Q1, 2);
    lists->addWidget(LBC_W_Q2);
    lists->addWidget(SB_W);
    v->addLayout(lists, 1);
}

void WordListPanel::buildButtons(QVBoxLayout *v)
{
    auto *buttons = new QHBoxLayout;
    B_Prev = new QPushButton(QStringLiteral("В"), this);
    B_Prev->setObjectName(QStringLiteral("B_Prev"));
    B_Next = new QPushButton(QStringLiteral("Н"), this);
    B_Next->setObjectName(QStringLiteral("B_Next"));
    buttons->addWidget(B_Prev);
    buttons->addWidget(B_Next);
    v->addLayout(buttons);
    L_WNC = new QLabel(this);
    L_WNC->setObjectName(QStringLiteral("L_WNC"));
    v->addWidget(L_WNC);
}

void WordListPanel::buildBaseStrip()
{
    P_CS = new QWidget(this);
    P_CS->setObjectName(QStringLiteral("P_CS"));
    auto *cs = new QHBoxLayout(P_CS);
    cs->setContentsMargins(4, 0, 4, 0);
    Label8 = new QLabel(QStringLiteral("Строить конкорданс / текст на основе"), P_CS);
    Label8->setObjectName(QStringLiteral("Label8"));
    CBC_CList = new QComboBox(P_CS);
    CBC_CList->setObjectName(QStringLiteral("CBC_CList"));
    cs->addWidget(Label8);
    cs->addWidget(CBC_CList, 1);
}

void WordListPanel::connectSignals()
{
    for (QComboBox *box : {CBC_List, CBC_CList, CB_SortD})
        box->installEventFilter(this);
    connect(CBC_List, &QComboBox::activated, this, [this] {
        CBC_ListChange();
        LBC_W->setFocus();
    });
    connect(CBC_CList, &QComboBox::activated, this, [this] { CBC_CListChange(); });
    connect(CB_SortD, &QComboBox::activated, this, [this] { CB_SortDChange(); });
    connect(B_Prev, &QPushButton::clicked, this, &WordListPanel::B_PrevClick);
    connect(B_Next, &QPushButton::clicked, this, &WordListPanel::B_NextClick);
    // The side columns follow the list's row, whoever moved it.
    connect(LBC_W, &QListWidget::currentRowChanged, this, [this](int r) {
        for (QListWidget *l : {LBC_W_Q1, LBC_W_Q2})
            if (r < l->count())
                l->setCurrentRow(r);
    });
    connect(SB_W, &QScrollBar::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: onScroll(ScrollCode::LineUp); break;
        case QAbstractSlider::SliderSingleStepAdd: onScroll(ScrollCode::LineDown); break;
        case QAbstractSlider::SliderPageStepSub: onScroll(ScrollCode::PageUp); break;
        case QAbstractSlider::SliderPageStepAdd: onScroll(ScrollCode::PageDown); break;
        case QAbstractSlider::SliderMove: onScroll(ScrollCode::ThumbTrack); break;
        default: SB_W->setSliderPosition(SB_W->value()); break;
        }
    });
    connect(SB_W, &QScrollBar::sliderPressed, this, [this] { onScroll(ScrollCode::ThumbPress); });
    connect(SB_W, &QScrollBar::sliderReleased, this, [this] { onScroll(ScrollCode::EndScroll); });
}

tCConcPos *WordListPanel::conc()
{
    return m_page.state().CurrentConcPos.get();
}

bool WordListPanel::alphabetical() const
{
    return CB_SortD->currentIndex() <= 0;
}

int WordListPanel::charOf(const QComboBox *box, int index)
{
    if (index < 0 || index >= box->count())
        return -1;
    bool ok = false;
    const int n = box->itemData(index).toInt(&ok);
    return ok ? n : -1;
}

const conccore::WordEntry *WordListPanel::selectedEntry() const
{
    const int row = LBC_W->currentRow();
    return row >= 0 && row < m_entries.size() ? &m_entries[row] : nullptr;
}

void WordListPanel::reset()
{
    m_syncing = true;
    LBC_W->clear();
    LBC_W_Q1->clear();
    LBC_W_Q2->clear();
    m_entries.clear();
    CBC_List->clear();
    CBC_CList->clear();
    L_Req->clear();
    m_lreq.clear();
    L_WNC->clear();
    CB_SortD->clear();
    CB_SortD->addItems({QStringLiteral("по алфавиту"), QStringLiteral("\"обратная\""), QStringLiteral("по частоте")});
    CB_SortD->setCurrentIndex(0);
    L_SortD->setText(QStringLiteral("Сортировка :"));
    B_Prev->hide();
    B_Next->hide();
    LBC_W_Q1->hide();
    SB_W->hide();
    m_keepListPos = false;
    m_typing = false;
    m_atListEnd = false;
    m_fromTextView = false;
    m_scroll = conccore::ScrollState();
    colourList();
    m_syncing = false;
}

void WordListPanel::sendList(bool withDictPos)
{
    m_page.send("CN_W", withDictPos);
}

void WordListPanel::setOrdinaryListPos()
{
    m_page.state().Options.set("ListPos", conccore::ordinaryListPos(m_page.filters().listPosX(), m_lreq));
}

void WordListPanel::updateQuant()
{
    const tCConcPos *c = conc();
    const qint32 charNo = c && c->Level >= 0 && c->Level < tCConcPos::Levels ? c->CharNo[size_t(c->Level)] : 0;
    L_Quant->setText(cp1251::decode(conccore::quantCaption(charNo, CB_SortD->currentIndex())));
}

void WordListPanel::colourList()
{
    concwidgets::setBackground(LBC_W, alphabetical() ? QColor() : m_page.filterColor());
}

void WordListPanel::showPrefix()
{
    L_Req->setText(cp1251::decode(m_lreq));
}

void WordListPanel::CBC_ListChange(bool keepStarPrefix)
{
    tCConcPos *c = conc();
    const int charNo = charOf(CBC_List, CBC_List->currentIndex());
    if (!c || charNo < 0)
        return;
    if (c->Level <= 0 || c->Level >= tCConcPos::Levels)
        c->Level = 1;
    const size_t level = size_t(c->Level);
    SessionState &s = m_page.state();
    c->CharNo[level] = charNo;
    if (!keepStarPrefix)
        c->Request[level].clear();
    c->Move[level] = ' ';
    c->ValueNo[0] = charNo < s.CharList.size() ? s.CharList[charNo].count : 0;
    c->ValueNo[level] = -1;
    c->FirstLine = -1;
    m_lreq.clear();
    showPrefix();
    m_typing = false;
    setOrdinaryListPos();
    m_page.filters().selectRowFilter(charNo);
    updateQuant();
    sendList(true);
}

void WordListPanel::CBC_CListChange()
{
    const tCConcPos *c = conc();
    if (c && c->Level > 0)
        selectAction();
}

void WordListPanel::CB_SortDChange()
{
    tCConcPos *c = conc();
    m_page.state().Options.set("SortD", conccore::sortLetter(CB_SortD->currentIndex()));
    colourList();
    const bool keep = c && c->Level > 0 && c->Level < tCConcPos::Levels
        && c->Request[size_t(c->Level)].startsWith('*');
    CBC_ListChange(keep);
}

bool WordListPanel::readSelection()
{
    tCConcPos *c = conc();
    const int list = charOf(CBC_List, CBC_List->currentIndex());
    const int base = charOf(CBC_CList, CBC_CList->currentIndex());
    const int row = LBC_W->currentRow();
    if (!c || list < 0 || base < 0 || row < 0 || row >= m_entries.size() || c->Level <= 0
        || c->Level >= tCConcPos::Levels)
        return false;
    const size_t level = size_t(c->Level);
    c->CharNo[0] = base;
    c->CharNo[level] = list;
    c->ValueNo[level] = c->Move[level] == ' ' ? m_entries[row].rec.AlphaNo : m_entries[0].rec.AlphaNo;
    return true;
}

void WordListPanel::pageAction()
{
    if (!readSelection())
        return;
    if (!m_keepListPos)
        setOrdinaryListPos();
    updateQuant();
    sendList(false);
    // A key's list position goes with its own request only; a later button or
    // scroll-bar request decides its own.
    m_keepListPos = false;
}

void WordListPanel::B_PrevClick()
{
    tCConcPos *c = conc();
    if (!c)
        return;
    if (c->Level <= 0 || c->Level >= tCConcPos::Levels)
        c->Level = 1;
    c->Move[size_t(c->Level)] = '-';
    pageAction();
}

void WordListPanel::B_NextClick()
{
    tCConcPos *c = conc();
    if (!c)
        return;
    if (c->Level <= 0 || c->Level >= tCConcPos::Levels)
        c->Level = 1;
    c->Move[size_t(c->Level)] = '+';
    pageAction();
}

void WordListPanel::selectRow(int row)
{
    if (row < 0 || row >= LBC_W->count())
        return;
    m_syncing = true;
    LBC_W->setCurrentRow(row);
    m_syncing = false;
}

void WordListPanel::LBC_WClick(int row)
{
    tCConcPos *c = conc();
    if (!c || row < 0 || row >= LBC_W->count())
        return;
    selectRow(row);
    c->Move[0] = 'C';
    m_page.state().Options.set("LBCWIndex", QByteArray::number(row));
    selectAction();
    m_page.setZone(conccore::Zone::WordList, ConcPage::FontTarget::WordList);
    m_page.activateZone();
}

void WordListPanel::selectAction()
{
    tCConcPos *c = conc();
    const int row = LBC_W->currentRow();
    if (!c || c->Level <= 0 || c->Level >= tCConcPos::Levels || row < 0 || row >= m_entries.size())
        return;
    const size_t level = size_t(c->Level);
    SessionState &s = m_page.state();
    if (!m_typing && !c->Request[level].startsWith('*'))
        c->Request[level].clear();
    m_lreq = c->Request[level];
    showPrefix();
    if (!m_lreq.contains('*'))
        m_typing = false;
    m_page.context()->setRebuild();
    s.Options.set("TabType", m_page.textContextChecked() ? "TEXT2" : m_fromTextView ? "CONC" : "CONC2");
    const conccore::Numbering n = conccore::numbering(m_entries[row].rec, s.Options.value("SortD"), m_page.filterOn());
    L_WNC->setText(cp1251::decode(conccore::wncCaption(LBC_W->count(), c->ValueNo[0], n)));
    m_atListEnd = conccore::atListEnd(n, LBC_W->count(), row, c->ValueNo[0]);
    if (s.Options.value("PrintConc") != "True")
        s.Options.remove("ConcWord");
    m_page.contextRequest();
}

namespace {

// Characters that extend or shorten the typed prefix (the width keys and Enter act
// at once or not at all).
bool prefixChar(char c)
{
    return c == conccore::KeyBackspace || (uchar(c) >= uchar(' ') && c != '+' && c != '-' && c != '=' && c != '$');
}

} // namespace

void WordListPanel::keepTyped(const QKeyEvent *event)
{
    QWidget *focus = QApplication::focusWidget();
    if (focus != LBC_W && focus != LBC_W_Q1 && focus != LBC_W_Q2)
        return;
    const char c = concwidgets::typedChar(event);
    if (c && prefixChar(c))
        m_kept.append(c);
}

void WordListPanel::typeKept()
{
    tCConcPos *c = conc();
    if (m_kept.isEmpty() || !c) {
        m_kept.clear();
        return;
    }
    const QByteArray kept = std::exchange(m_kept, QByteArray());
    m_typing = true;
    m_typedAt.restart();
    SessionState &s = m_page.state();
    for (qsizetype i = 0; i + 1 < kept.size(); ++i)
        conccore::typeKey(kept[i], m_lreq, *c, s.Options, alphabetical());
    typeChar(kept.back(), false);
}

void WordListPanel::typeChar(char key)
{
    typeChar(key, true);
}

void WordListPanel::typeChar(char key, bool mayStartAnew)
{
    tCConcPos *c = conc();
    if (!c)
        return;
    // A prefix typed after a pause, once the list has answered the last one,
    // starts anew: the user is looking for another word.
    if (mayStartAnew && !m_typing && prefixChar(key) && key != conccore::KeyBackspace && m_typedAt.isValid()
        && m_typedAt.elapsed() > m_prefixPause && !m_lreq.startsWith('*'))
        m_lreq.clear();
    if (prefixChar(key))
        m_typedAt.restart();
    m_typing = true;
    SessionState &s = m_page.state();
    const conccore::Typed t = conccore::typeKey(key, m_lreq, *c, s.Options, alphabetical());
    showPrefix();
    switch (t.then) {
    case conccore::TypedThen::Nothing:
        return;
    case conccore::TypedThen::Context:
        m_page.context()->setRebuild();
        m_page.contextRequest();
        return;
    case conccore::TypedThen::OpenText:
        if (const tCConcPos *c = m_page.state().CurrentConcPos.get())
            m_page.text().openTextOfLine(c->CurLine);
        return;
    case conccore::TypedThen::SendList:
        setOrdinaryListPos();
        updateQuant();
        sendList(true);
        return;
    }
}

void WordListPanel::toggleFrequency()
{
    m_frequency = !m_frequency;
    m_page.PM_Q_Show->setChecked(m_frequency);
    applySuffixes();
}

void WordListPanel::applySuffixes()
{
    if (!m_frequency)
        return;
    const bool filter = m_page.filterOn();
    for (int i = 0; i < LBC_W->count() && i < m_entries.size(); ++i) {
        QListWidgetItem *item = LBC_W->item(i);
        const QByteArray text = cp1251::encode(item->text());
        item->setText(cp1251::decode(conccore::withFrequencySuffix(text, m_entries[i].rec, filter)));
    }
}

void WordListPanel::M_Wide_FullClick()
{
    if (m_page.PC_Fltrs->currentWidget() == m_page.TS_FGrp) {
        m_page.filters().filterSetWideFull();
    } else if (m_page.fontTarget() == ConcPage::FontTarget::WordList) {
        m_page.state().Options.set("ListPos", "FULL");
        m_keepListPos = true;
        pageAction();
    }
    m_page.M_Wide_Full->setVisible(false);
}

void WordListPanel::tieToEntry(int charIndex, qint32 valueNo)
{
    if (charIndex >= 0 && charIndex < CBC_List->count())
        CBC_List->setCurrentIndex(charIndex);
    const int row = LBC_W->currentRow();
    if (row >= 0 && row < m_entries.size())
        m_entries[row].rec.AlphaNo = valueNo;
}

bool WordListPanel::listKey(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && (event->key() == Qt::Key_Q || event->key() == Qt::Key_X)) {
        toggleFrequency();
        return true;
    }
    if (event->key() == Qt::Key_Right && !ctrl) {
        m_page.activateLowerZone();
        return true;
    }
    const conccore::ListKey key = concwidgets::listKeyOf(event);
    if (key != conccore::ListKey::Other) {
        const int row = LBC_W->currentRow();
        const conccore::Paging p = conccore::listKey(key, row, LBC_W->count(), m_atListEnd);
        switch (p.kind) {
        case conccore::Paging::Kind::Prev: B_PrevClick(); break;
        case conccore::Paging::Kind::Next: B_NextClick(); break;
        case conccore::Paging::Kind::ListPos:
            m_page.state().Options.set("ListPos", p.listPos);
            m_keepListPos = true;
            pageAction();
            break;
        case conccore::Paging::Kind::None:
            if (!p.consumed && (key == conccore::ListKey::Up || key == conccore::ListKey::Down)) {
                // Moving within the page selects the next value, as a click does.
                const int next = row + (key == conccore::ListKey::Up ? -1 : 1);
                if (next >= 0 && next < LBC_W->count())
                    LBC_WClick(next);
                return true;
            }
            break;
        }
        if (p.consumed)
            m_page.text().uncheckFastListing();
        return true;
    }
    if (const char c = concwidgets::typedChar(event)) {
        typeChar(c);
        return true;
    }
    return false;
}

void WordListPanel::onScroll(ScrollCode code)
{
    const int position = code == ScrollCode::EndScroll || code == ScrollCode::ThumbPress ? SB_W->sliderPosition()
                                                                                          : SB_W->value();
    const conccore::Scroll s = conccore::scrollEvent(m_scroll, code, position, !m_page.state().PendingRequest.isEmpty(),
                                                     true);
    if (s.keepThumb)
        SB_W->setSliderPosition(SB_W->value());
    using Act = conccore::Scroll::Act;
    switch (s.act) {
    case Act::Nothing: break;
    case Act::Progress: m_page.host().showProgress("0,0,", true); break;
    case Act::LineUp: B_PrevClick(); break;
    case Act::LineDown:
        if (LBC_W->currentRow() != LBC_W->count() - 1 && !m_atListEnd)
            B_NextClick();
        break;
    case Act::PagePrev: B_PrevClick(); break;
    case Act::PageNext: B_NextClick(); break;
    case Act::Position:
        m_page.state().Options.set("ConcSBarW", QByteArray::number(s.position));
        pageAction();
        break;
    }
    // A line or page click ends there: the end of the scroll follows at once.
    if (code == ScrollCode::LineUp || code == ScrollCode::LineDown || code == ScrollCode::PageUp
        || code == ScrollCode::PageDown)
        conccore::scrollEvent(m_scroll, ScrollCode::EndScroll, SB_W->value(), false, true);
}

bool WordListPanel::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == CBC_List || watched == CBC_CList || watched == CB_SortD) {
        if (type == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
                return false;
            if (const char c = concwidgets::typedChar(key))
                typeChar(c);
            return true;
        }
        return false;
    }
    if (type == QEvent::KeyPress && (watched == LBC_W || watched == LBC_W_Q1 || watched == LBC_W_Q2))
        return listKey(static_cast<QKeyEvent *>(event));
    if (type == QEvent::MouseButtonPress
        && (watched == LBC_W->viewport() || watched == LBC_W_Q1->viewport() || watched == LBC_W_Q2->viewport())) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const tCConcPos *c = conc();
        const bool offer = m_page.state().Options.value("SD") == "YES" || (c && c->ValueNo[0] < 1000);
        m_page.M_Wide_Full->setText(offer ? QStringLiteral("Копировать список") : QString());
        m_page.M_Wide_Full->setVisible(offer);
        m_page.PM_Q_Show->setVisible(true);
        m_page.PM_LCB_W_Text->setVisible(false);
        m_page.PM_LCB_W_Buf->setVisible(false);
        m_page.setZone(conccore::Zone::WordList, ConcPage::FontTarget::WordList);
        if (mouse->button() == Qt::RightButton) {
            // The pop-up acts on the selected value ("Добавить в составной
            // фильтр-список"): a value pressed with the right button is selected
            // first, as a left click would.
            const auto *list = qobject_cast<const QListWidget *>(static_cast<QWidget *>(watched)->parentWidget());
            const int row = list ? list->indexAt(mouse->position().toPoint()).row() : -1;
            if (row >= 0 && row != LBC_W->currentRow())
                LBC_WClick(row);
            m_page.popupFor(LBC_W, mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
