#include "ConcPage.h"

#include "ConcDictLinks.h"
#include "session/ConcWidgets.h"
#include "ContextPanel.h"
#include "SortSeqDialog.h"
#include "WordListPanel.h"

#include "session/Config.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "concordance/core/SortSeq.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "session/UiServices.h"
#include "text/api/TextSubPage.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using conccore::SubPage;
using conccore::Zone;

ConcPage::ConcPage(PageHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("TS_Conc"));
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    auto *split = new QSplitter(Qt::Vertical, this);
    root->addWidget(split);

    auto *top = new QWidget(split);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    auto *listRow = new QHBoxLayout;
    Panel3 = new WordListPanel(*this, top);
    LBC_W = Panel3->LBC_W;
    PC_Fltrs = new QTabWidget(top);
    PC_Fltrs->setObjectName(QStringLiteral("PC_Fltrs"));
    auto page = [](QTabWidget *tabs, const char *name, const QString &caption) {
        auto *w = new QWidget(tabs);
        w->setObjectName(QLatin1String(name));
        tabs->addTab(w, caption);
        return w;
    };
    TS_Fltr = page(PC_Fltrs, "TS_Fltr", QStringLiteral("Фильтры"));
    TS_FGrp = page(PC_Fltrs, "TS_FGrp", QStringLiteral("Набор фильтров"));
    TS_CharList = page(PC_Fltrs, "TS_CharList", QStringLiteral("Настройка списков"));
    listRow->addWidget(Panel3, 2);
    listRow->addWidget(PC_Fltrs, 3);
    topLayout->addLayout(listRow, 1);
    topLayout->addWidget(Panel3->P_CS);

    PageCC = new QTabWidget(split);
    PageCC->setObjectName(QStringLiteral("PageCC"));
    m_context = new ContextPanel(*this, PageCC);
    TS_Conc_C = m_context;
    PageCC->addTab(TS_Conc_C, QStringLiteral("Контекст"));
    TS_Conc_T = page(PageCC, "TS_Conc_T", QStringLiteral("Текст"));
    TS_Conc_D = page(PageCC, "TS_Conc_D", QStringLiteral("Словарь"));
    buildSubPages();
    split->addWidget(top);
    split->addWidget(PageCC);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);

    buildMenu();

    // Sub-pages change only by the mouse: the keys and the wheel of the tab bar do
    // nothing.
    PageCC->installEventFilter(this);
    PageCC->tabBar()->installEventFilter(this);
    connect(PageCC, &QTabWidget::currentChanged, this, &ConcPage::PageCCChange);
    Panel3->installEventFilter(this);

    setSubPageVisibility(false, false);
}

ConcPage::~ConcPage() = default;

// PM_LBC_W, the popup menu of the lists, and the buffer buttons of "Контекст".
void ConcPage::buildMenu()
{
    PM_LBC_W = new QMenu(this);
    PM_LBC_W->setObjectName(QStringLiteral("PM_LBC_W"));
    auto item = [this](const char *name, const QString &caption) {
        QAction *a = PM_LBC_W->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    M_Wide_Full = item("M_Wide_Full", QString());
    PM_Q_Show = item("PM_Q_Show", QStringLiteral("Инф. о частоте (кол-ве)"));
    PM_Q_Show->setCheckable(true);
    PM_LCB_W_Font = item("PM_LCB_W_Font", QStringLiteral("Шрифт ..."));
    PM_LCB_W_Text = item("PM_LCB_W_Text", QStringLiteral("Просмотр текста"));
    PM_LCB_W_Buf = item("PM_LCB_W_Buf", QStringLiteral("Строка конк.=>Буфер"));
    PM_BuffShow = item("PM_BuffShow", QStringLiteral("Просмотр буфера"));
    connect(M_Wide_Full, &QAction::triggered, Panel3, &WordListPanel::M_Wide_FullClick);
    connect(PM_Q_Show, &QAction::triggered, Panel3, [this] {
        PM_Q_Show->setChecked(!PM_Q_Show->isChecked());   // the toggle sets the mark itself
        Panel3->toggleFrequency();
    });
    connect(PM_LCB_W_Font, &QAction::triggered, this, [this] { fontCommand(m_fontTarget); });
    connect(PM_LCB_W_Text, &QAction::triggered, this, [this] {
        if (const tCConcPos *c = state().CurrentConcPos.get())
            text().openTextOfLine(c->CurLine);
    });
    connect(PM_LCB_W_Buf, &QAction::triggered, this, [this] { text().copyLineToBuffer(); });
    connect(PM_BuffShow, &QAction::triggered, this, [this] { text().showBuffer(); });
    // The buffer buttons of "Контекст".
    connect(m_context->B_Buf2, &QPushButton::clicked, this, [this] { text().copyToBuffer(); });
    connect(m_context->B_BufShow, &QPushButton::clicked, this, [this] { text().showBuffer(); });
    connect(m_context->B_BufC, &QPushButton::clicked, this, [this] { text().emptyBuffer(); });
}


void ConcPage::buildSubPages()
{
    auto *dict = new QVBoxLayout(TS_Conc_D);
    auto *links = new QHBoxLayout;
    m_dictLinks = new ConcDictLinks(TS_Conc_D, *this);
    connect(m_dictLinks, &ConcDictLinks::treePressed, this, &ConcPage::treeTarget);
    TreeDOx = m_dictLinks->TreeDOx;
    RBD1 = m_dictLinks->RBD1;
    RBD2 = m_dictLinks->RBD2;
    RBD3 = m_dictLinks->RBD3;
    CB_DST = m_dictLinks->CB_DST;
    for (QRadioButton *rb : {RBD1, RBD2, RBD3})
        links->addWidget(rb);
    links->addStretch(1);
    dict->addLayout(links);
    // The usage table goes below the links (placeUsageSubPage); CB_DST is placed on
    // "Настройка списков" by the list page.
}

SessionState &ConcPage::state()
{
    return m_host.state();
}

const Config &ConcPage::config() const
{
    return m_host.config();
}

// ---------------------------------------------------------------- set-up

void ConcPage::SetConc()
{
    SessionState &s = state();
    // 1. A new position: level 0, every mark "N", every distance 0.
    s.CurrentConcPos = std::make_unique<tCConcPos>();
    // 2. Lists, combo boxes, labels and the width table.
    Panel3->reset();
    m_context->reset();
    M_Wide_Full->setText(QString());
    M_Wide_Full->setVisible(false);
    m_opened = false;
    // 3. "Контекст" the sub-page; the main window at 10, 10.
    m_settingUp = true;
    PageCC->setCurrentWidget(TS_Conc_C);
    m_settingUp = false;
    // A maximised window stays so on a new connection.
    if (!window()->isMaximized())
        window()->move(10, 10);
    // 4. The sort button for "CLR".
    showSortCaption("CLR");
    // 5. The start-up fonts.
    applyStartupFonts();
    // 6. The neighbours' state: the marks for the buffer, the history. The buffer's
    // lines stay (the text panel's reset asks whether to empty them), and the
    // emptying button says whether there are any.
    bufferEmptinessChanged(s.Buffer.isEmpty());
    s.PendingFragment.clear();
    s.History.reset();
    s.KeepDictPos = false;
    m_zone = Zone::WordList;
    m_fontTarget = FontTarget::None;
    text().reset();
    usage().reset();
    emit concordanceReset();
}

void ConcPage::applyStartupFonts()
{
    const Config &c = config();
    if (!c.defaultFont.isEmpty())
        applyDefaultFont(QFont(c.defaultFont, c.defaultFontSize));
}

void ConcPage::applyDefaultFont(const QFont &face)
{
    for (QWidget *w : {static_cast<QWidget *>(Panel3->L_Req), static_cast<QWidget *>(TreeDOx)})
        w->setFont(face);
    for (QListWidget *l : {LBC_W, Panel3->LBC_W_Q1, Panel3->LBC_W_Q2}) {
        l->setFont(face);
        concwidgets::setRowHeight(l, concwidgets::listRowHeight(face));
    }
    m_context->applyColumnFont(face);
    text().setTextFont(face);
    text().setBufferFont(face);
}

bool ConcPage::isShowing() const
{
    const auto *stack = qobject_cast<const QStackedWidget *>(parentWidget());
    return stack && stack->currentWidget() == this;
}

void ConcPage::setBusy(bool busy)
{
    for (QWidget *w : {static_cast<QWidget *>(LBC_W), static_cast<QWidget *>(m_context->LBC_L),
                       static_cast<QWidget *>(m_context->LBC_R)}) {
        if (busy)
            w->setCursor(Qt::WaitCursor);
        else
            w->unsetCursor();
    }
}

void ConcPage::applyListIndexOption()
{
    OptionList &options = m_host.state().Options;
    const QByteArray index = options.value("LBCWIndex");
    if (index.isEmpty() || index == "NO" || index == "YES")
        return;
    bool ok = false;
    const int row = index.toInt(&ok);
    if (ok && row >= 0 && row < LBC_W->count())
        Panel3->selectRow(row);
    options.remove("LBCWIndex");
}

void ConcPage::showSortCaption(const QByteArray &code)
{
    m_context->B_SortS->setText(cp1251::decode(conccore::sortButtonCaption(code)));
}

// ---------------------------------------------------------------- replies

bool ConcPage::applyReplyState()
{
    SessionState &s = state();
    filters().syncRows();
    const bool ok = Panel3->restoreFromReply();
    const QByteArray seq = s.Options.value("SortSeq");
    if (!seq.isEmpty()) {
        if (m_sortDialog)
            m_sortDialog->setChosen(seq);
        showSortCaption(seq);
    }
    m_context->L_LNC->setText(cp1251::decode(conccore::shownConcWidth(s.Options.value("ConcWidth")))
                              + QStringLiteral(" слов справа-слева"));
    return ok;
}

void ConcPage::setSubPageVisibility(bool concDict, bool filterSet)
{
    PageCC->setTabVisible(PageCC->indexOf(TS_Conc_D), concDict);
    PC_Fltrs->setTabVisible(PC_Fltrs->indexOf(TS_FGrp), filterSet);
}

void ConcPage::keepTyped(const QKeyEvent *event) { Panel3->keepTyped(event); }
void ConcPage::typeKept() { Panel3->typeKept(); }

void ConcPage::showLoadingLines(const QByteArray &suffix)
{
    LBC_W->addItem(QStringLiteral("<        ИДЁТ       >"));
    LBC_W->addItem(QStringLiteral("<  ЗАГРУЗКА СЛОВАРЯ >") + cp1251::decode(suffix));
    LBC_W->repaint();
}

void ConcPage::onCN_W(const QByteArray &body)
{
    emit valueListArrived();
    Panel3->onCN_W(body);
}

void ConcPage::send(const QByteArray &tag, bool withDictPos)
{
    SessionState &s = state();
    if (!s.CurrentConcPos)
        return;
    const tCDictPos *current = s.currentDictPos();
    const tCDictPos dict = current ? *current : tCDictPos();
    m_host.SendToServer(tag, withDictPos ? requests::concDictParams(*s.CurrentConcPos, dict, s.Options)
                                         : requests::concParams(*s.CurrentConcPos, s.Options));
}

// ---------------------------------------------------------------- the tab

void ConcPage::TS_ConcShow()
{
    SessionState &s = state();
    if (!s.concTabFlag || !s.CurrentConcPos)
        return;
    if (!m_opened) {
        m_opened = true;
        m_settingUp = true;
        PageCC->setCurrentWidget(TS_Conc_C);
        PC_Fltrs->setCurrentWidget(TS_Fltr);
        m_settingUp = false;
        s.Options.set("SortSeq", "CLR");
        s.Options.set("SortD", conccore::sortLetter(Panel3->CB_SortD->currentIndex()));
        // The server pages for the window as it is from the first request on.
        recomputePageSizes();
        const tCDictPos *current = s.currentDictPos();
        m_host.SendToServer("CN_C", requests::dictParams(current ? *current : tCDictPos(), s.Options));
    }
    activateZone();
}

void ConcPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        TS_ConcShow();
}

void ConcPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void ConcPage::FormResize()
{
    SessionState &s = state();
    if (!s.CurrentConcPos || !m_opened)
        return;
    // Only a change of the page sizes asks again, so that dragging the window's
    // edge does not flood the server: a value list that holds another number of
    // rows asks for its page anew (its lines follow), else the lines alone.
    const QByteArray listRows = s.Options.value("LBC_W_Max");
    if (!recomputePageSizes())
        return;
    if (s.Options.value("LBC_W_Max") != listRows)
        requestListPage();
    else
        Panel3->LBC_WClick(LBC_W->currentRow());
}

void ConcPage::requestListPage()
{
    Panel3->setOrdinaryListPos();
    Panel3->updateQuant();
    if (state().CurrentConcPos)
        send("CN_W", true);
}

bool ConcPage::recomputePageSizes()
{
    // The sizes come from the settled layout: the layouts of a tab that was hidden
    // while the window changed size are laid out first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (layout())
        layout()->activate();
    conccore::PageGeometry g;
    g.wordListHeight = LBC_W->height();
    g.wordListRow = concwidgets::rowHeight(LBC_W);
    g.contextHeight = m_context->LBC_L->height();
    g.contextRow = m_context->rowHeight();
    g.textRow = text().wordLabelHeight() + 2;
    g.fullTextHeight = text().fullTextMemoHeight();
    g.fullTextRow = QFontInfo(text().fullTextFont()).pixelSize() + 2;
    return conccore::setPageSizes(state().Options, g);
}

bool ConcPage::FormKeyPress(QKeyEvent *event)
{
    const QString text = event->text();
    if (text != QLatin1String("+") && text != QLatin1String("-"))
        return false;
    if (filters().distanceEditFocused())
        return false;
    Panel3->typeChar(char(text.at(0).toLatin1()));
    return true;
}

// ---------------------------------------------------------------- sub-pages

SubPage ConcPage::shownSubPage() const
{
    QWidget *w = PageCC->currentWidget();
    if (!w)
        return SubPage::None;
    if (w == TS_Conc_C)
        return SubPage::Context;
    if (w == TS_Conc_T)
        return SubPage::Text;
    if (w == TS_Conc_D)
        return SubPage::Dictionary;
    return SubPage::None;
}

QString ConcPage::fontTCaption() const
{
    return shownSubPage() == SubPage::Text ? QStringLiteral("Шрифт текста") : QStringLiteral("Шрифт конкорданса");
}

int ConcPage::fontTTag() const
{
    return shownSubPage() == SubPage::Text ? 2 : 1;
}

void ConcPage::PageCCChange()
{
    // The text page's labels go when its sub-page is left; it is asked for anew
    // when the sub-page is shown again.
    const SubPage shown = shownSubPage();
    if (m_shownSubPage == SubPage::Text && shown != SubPage::Text)
        text().leaveSubPage();
    m_shownSubPage = shown;
    emit fontTChanged(fontTCaption(), fontTTag());
    if (!m_settingUp)
        contextRequest();
}

// ---------------------------------------------------------------- operations

void ConcPage::contextRequest() { m_context->contextRequest(); }
void ConcPage::selectAction() { Panel3->selectAction(); }
bool ConcPage::readSelection() { return Panel3->readSelection(); }
void ConcPage::setPendingLineIndex(int row) { m_context->setPendingLineIndex(row); }
void ConcPage::setListFromTextView(bool on) { Panel3->setListFromTextView(on); }
void ConcPage::tieToEntry(qint32 charIndex, qint32 valueNo) { Panel3->tieToEntry(charIndex, valueNo); }

bool ConcPage::textContextChecked() const
{
    return usage().isContextChecked();
}

bool ConcPage::filterOn() const
{
    return filters().filterOn();
}

bool ConcPage::proseMode() const
{
    return config().textProza;
}

QColor ConcPage::filterColor() const
{
    return filters().filterColor();
}

void ConcPage::popupFor(QWidget *source, const QPoint &globalPos)
{
    Q_UNUSED(source);
    PM_LBC_W->popup(globalPos);
}

void ConcPage::B_SortSClick()
{
    if (!m_sortDialog)
        m_sortDialog = new SortSeqDialog(this);
    SessionState &s = state();
    const QByteArray seq = s.Options.value("SortSeq");
    if (!seq.isEmpty())
        m_sortDialog->setChosen(seq);
    if (m_sortDialog->exec() != QDialog::Accepted)
        return;
    const QByteArray code = m_sortDialog->chosen();
    s.Options.set("SortSeq", code);
    showSortCaption(code);
    m_context->setRebuild();
    Panel3->selectAction();
}

// ---------------------------------------------------------------- zones

void ConcPage::setZone(Zone zone, FontTarget target)
{
    m_zone = zone;
    m_fontTarget = target;
}

void ConcPage::activateWordList()
{
    setZone(Zone::WordList, FontTarget::WordList);
    activateZone();
}

void ConcPage::activateLowerZone()
{
    const Zone z = conccore::lowerZone(shownSubPage(), m_zone);
    setZone(z, z == Zone::Context ? FontTarget::ContextLeft : z == Zone::Text ? FontTarget::Text : m_fontTarget);
    activateZone();
}

void ConcPage::activateZone()
{
    const bool tabShown = isVisible();
    if (LBC_W->isVisible() && tabShown && m_zone == Zone::WordList) {
        concwidgets::setBackground(Panel3, concwidgets::zoneHighlight());
        m_context->highlight(false);
        text().setZoneHighlight(false);
        PM_LCB_W_Font->setText(QStringLiteral("Шрифт словаря"));
        LBC_W->setFocus();
        showHints(Zone::WordList);
    }
    if (m_context->LBC_Wx->isVisible() && tabShown && shownSubPage() == SubPage::Context && m_zone == Zone::Context) {
        concwidgets::setBackground(Panel3, QColor());
        text().setZoneHighlight(false);
        m_context->highlight(true);
        PM_LCB_W_Font->setText(QStringLiteral("Шрифт конкорданса"));
        PM_Q_Show->setVisible(false);
        m_context->LBC_Wx->setFocus();
        showHints(Zone::Context);
    }
    if (TS_Conc_T->isEnabled() && TS_Conc_T->isVisible() && shownSubPage() == SubPage::Text && m_zone == Zone::Text) {
        concwidgets::setBackground(Panel3, QColor());
        text().setZoneHighlight(true);
        text().focusText();
        showHints(Zone::Text);
    }
}

// The selection hint tells how the mouse selects in the lines or the text; while
// the word list has the keyboard status panel 1 is empty.
void ConcPage::showHints(Zone highlighted)
{
    const conccore::StatusHints h =
        conccore::statusHints(conccore::MainTab::Concordance, shownSubPage(), LBC_W->isVisible(), highlighted);
    m_host.setStatusHints(h.panel0, highlighted == Zone::WordList ? QString() : h.panel1);
}

// ---------------------------------------------------------------- fonts

QFont ConcPage::targetFont(FontTarget target) const
{
    switch (target) {
    case FontTarget::WordList: return LBC_W->font();
    case FontTarget::ContextLeft:
    case FontTarget::ContextCentre:
    case FontTarget::ContextRight: return m_context->LBC_L->font();
    case FontTarget::EntryTree: return m_fontTree ? m_fontTree->font() : TreeDOx->font();
    case FontTarget::Text:
    case FontTarget::None: break;
    }
    return text().textFont();
}

void ConcPage::M_FontClick()
{
    fontCommand(FontTarget::WordList);
}

void ConcPage::M_FontTClick(int tag)
{
    fontCommand(tag == 2 ? FontTarget::Text : FontTarget::ContextLeft);
}

void ConcPage::fontCommand(FontTarget target)
{
    const QFont initial = targetFont(target);
    const std::optional<QFont> chosen = m_host.ui().chooseFont(window(), initial);
    if (!chosen)
        return;
    switch (target) {
    case FontTarget::WordList:
        for (QListWidget *l : {LBC_W, Panel3->LBC_W_Q1, Panel3->LBC_W_Q2}) {
            l->setFont(*chosen);
            concwidgets::setRowHeight(l, concwidgets::listRowHeight(*chosen));
        }
        text().setBufferFont(*chosen);
        recomputePageSizes();
        requestListPage();
        return;
    case FontTarget::ContextLeft:
    case FontTarget::ContextCentre:
    case FontTarget::ContextRight:
        m_context->applyColumnFont(*chosen);
        recomputePageSizes();
        Panel3->LBC_WClick(LBC_W->currentRow());
        m_context->markWidthsForRebuild();
        return;
    case FontTarget::EntryTree:
        (m_fontTree ? m_fontTree.data() : TreeDOx)->setFont(*chosen);
        return;
    case FontTarget::Text:
    case FontTarget::None:
        if (target == FontTarget::Text || text().hasWords())
            text().setTextFont(*chosen);
        return;
    }
}

// ---------------------------------------------------------------- events

bool ConcPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PageCC->tabBar() || watched == PageCC) {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            const bool switching = watched == PageCC->tabBar()
                || ((key->modifiers() & Qt::ControlModifier)
                    && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
                        || key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown));
            if (switching && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
                return true;
            if (switching && (key->modifiers() & Qt::ControlModifier))
                return true;
        }
        if (event->type() == QEvent::Wheel && watched == PageCC->tabBar())
            return true;
        return false;
    }
    if (watched == Panel3 && event->type() == QEvent::MouseButtonPress) {
        activateWordList();
        return false;
    }
    return QWidget::eventFilter(watched, event);
}
