#include "ContextPanel.h"

#include "ConcPage.h"
#include "session/ConcWidgets.h"
#include "WordListPanel.h"

#include "dictionary/api/DictionaryLinks.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "filters/api/HistorySteps.h"
#include "session/PageHost.h"
#include "text/api/TextSubPage.h"
#include "session/SessionState.h"
#include "model/Cp1251.h"
#include "concordance/core/Zones.h"

#include <QAction>
#include <QBrush>
#include <QColor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using conccore::ScrollCode;

namespace {

QString nameCaption(const QByteArray &name)
{
    return QStringLiteral("Название текста \"") + cp1251::decode(name) + QLatin1Char('"');
}

// An empty label that the panel and the tests find by its object name.
QLabel *namedLabel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

ContextPanel::ContextPanel(ConcPage &page, QWidget *parent) : QWidget(parent), m_page(page)
{
    setObjectName(QStringLiteral("TS_Conc_C"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);

    buildTopRow(v);
    buildColumns(v);
    buildBottomRow(v);
    connectSignals();
}

void ContextPanel::buildTopRow(QVBoxLayout *v)
{
    auto *top = new QHBoxLayout;
    L_LNC = namedLabel(this, "L_LNC");
    L_LNC_B = namedLabel(this, "L_LNC_B");
    L_LNC_E = namedLabel(this, "L_LNC_E");
    L_LNC_C = namedLabel(this, "L_LNC_C");
    B_SortS = new QPushButton(this);
    B_SortS->setObjectName(QStringLiteral("B_SortS"));
    for (QLabel *l : {L_LNC, L_LNC_B, L_LNC_E, L_LNC_C})
        top->addWidget(l);
    top->addStretch(1);
    top->addWidget(B_SortS);
    v->addLayout(top);
}

void ContextPanel::buildColumns(QVBoxLayout *v)
{
    auto *middle = new QHBoxLayout;
    middle->setSpacing(0);
    P_Columns = new QWidget(this);
    P_Columns->setObjectName(QStringLiteral("P_Columns"));
    P_Columns->installEventFilter(this);
    LBC_L = new QListWidget(P_Columns);
    LBC_L->setObjectName(QStringLiteral("LBC_L"));
    LBC_Wx = new QListWidget(P_Columns);
    LBC_Wx->setObjectName(QStringLiteral("LBC_Wx"));
    LBC_R = new QListWidget(P_Columns);
    LBC_R->setObjectName(QStringLiteral("LBC_R"));
    m_rowHeight = concwidgets::columnRowHeight(LBC_L->font());
    for (QListWidget *l : {LBC_L, LBC_Wx, LBC_R}) {
        concwidgets::setupList(l, m_rowHeight);
        l->setFrameShape(QFrame::NoFrame);
        l->setMouseTracking(true);
        l->installEventFilter(this);
        l->viewport()->installEventFilter(this);
        connect(l, &QListWidget::currentRowChanged, this, [this](int r) {
            if (!m_syncing)
                setRows(r);
        });
    }
    LBC_R->setTextElideMode(Qt::ElideNone);
    LBC_L->setTextElideMode(Qt::ElideNone);
    LBC_Wx->setTextElideMode(Qt::ElideNone);
    L_Wx = new QLabel(this);
    L_Wx->setObjectName(QStringLiteral("L_Wx"));
    L_Wx->hide();
    SB_Wx = new QScrollBar(Qt::Vertical, this);
    SB_Wx->setObjectName(QStringLiteral("SB_Wx"));
    SB_Wx->setRange(0, 100);
    SB_Wx->setPageStep(10);
    SB_Wx->setTracking(false);
    middle->addWidget(P_Columns, 1);
    middle->addWidget(SB_Wx);
    v->addLayout(middle, 1);
}

void ContextPanel::buildBottomRow(QVBoxLayout *v)
{
    auto *bottom = new QHBoxLayout;
    BC_Prev = new QPushButton(QStringLiteral("В"), this);
    BC_Prev->setObjectName(QStringLiteral("BC_Prev"));
    BC_Next = new QPushButton(QStringLiteral("Н"), this);
    BC_Next->setObjectName(QStringLiteral("BC_Next"));
    LC_TextName = namedLabel(this, "LC_TextName");
    LC_TextNameHint = namedLabel(this, "LC_TextNameHint");
    P_ConcBuf = new QWidget(this);
    P_ConcBuf->setObjectName(QStringLiteral("P_ConcBuf"));
    auto *buf = new QHBoxLayout(P_ConcBuf);
    buf->setContentsMargins(0, 0, 0, 0);
    B_Buf2 = new QPushButton(P_ConcBuf);
    B_Buf2->setObjectName(QStringLiteral("B_Buf2"));
    B_BufShow = new QPushButton(P_ConcBuf);
    B_BufShow->setObjectName(QStringLiteral("B_BufShow"));
    B_BufC = new QPushButton(P_ConcBuf);
    B_BufC->setObjectName(QStringLiteral("B_BufC"));
    for (QPushButton *b : {B_Buf2, B_BufShow, B_BufC})
        buf->addWidget(b);
    bottom->addWidget(BC_Prev);
    bottom->addWidget(BC_Next);
    bottom->addWidget(LC_TextName, 1);
    bottom->addWidget(LC_TextNameHint, 1);
    bottom->addWidget(P_ConcBuf);
    v->addLayout(bottom);
}

void ContextPanel::connectSignals()
{
    connect(BC_Prev, &QPushButton::clicked, this, [this] { this->page('-'); });
    connect(BC_Next, &QPushButton::clicked, this, [this] { this->page('+'); });
    connect(B_SortS, &QPushButton::clicked, &m_page, &ConcPage::B_SortSClick);
    connect(SB_Wx, &QScrollBar::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: onScroll(ScrollCode::LineUp); break;
        case QAbstractSlider::SliderSingleStepAdd: onScroll(ScrollCode::LineDown); break;
        case QAbstractSlider::SliderPageStepSub: onScroll(ScrollCode::PageUp); break;
        case QAbstractSlider::SliderPageStepAdd: onScroll(ScrollCode::PageDown); break;
        case QAbstractSlider::SliderMove: onScroll(ScrollCode::ThumbTrack); break;
        default: SB_Wx->setSliderPosition(SB_Wx->value()); break;
        }
    });
    connect(SB_Wx, &QScrollBar::sliderPressed, this, [this] { onScroll(ScrollCode::ThumbPress); });
    connect(SB_Wx, &QScrollBar::sliderReleased, this, [this] { onScroll(ScrollCode::EndScroll); });
}

void ContextPanel::reset()
{
    m_syncing = true;
    LBC_L->clear();
    LBC_Wx->clear();
    LBC_R->clear();
    m_syncing = false;
    m_numbers.clear();
    m_names.clear();
    m_tags.clear();
    m_widthsDirty = true;
    rebuildWidths();
    for (QLabel *l : {LC_TextNameHint, L_LNC_B, L_LNC_E, L_LNC_C, LC_TextName})
        l->clear();
    L_LNC->hide();
    B_Buf2->setText(QStringLiteral("Конк.-> буфер"));
    B_BufShow->setText(QStringLiteral("Просмотреть буф."));
    B_BufC->setText(QStringLiteral("Очистить буфер"));
    BC_Prev->hide();
    BC_Next->hide();
    SB_Wx->hide();
    m_rebuild = true;
    m_fromDictionary = true;   // the one request after the set-up
    m_pendingLine = -1;
    m_scroll = conccore::ScrollState();
    m_widestCentre = 0;
    layoutColumns();
}

void ContextPanel::rebuildWidths()
{
    if (!m_widthsDirty)
        return;
    const QFontMetricsF fm(LBC_L->font());
    std::array<double, conccore::CharWidths::Count> advance{};
    for (int i = 0; i < conccore::CharWidths::Count; ++i)
        advance[size_t(i)] = fm.horizontalAdvance(QChar(cp1251::toUnicode(uchar(conccore::CharWidths::First + i))));
    m_widths = conccore::CharWidths::measure(advance, conccore::leftColumnWidth(P_Columns->width()));
    m_widthsDirty = false;
}

void ContextPanel::applyColumnFont(const QFont &font)
{
    for (QListWidget *l : {LBC_L, LBC_Wx, LBC_R})
        l->setFont(font);
    L_Wx->setFont(font);
    m_rowHeight = concwidgets::columnRowHeight(font);
    for (QListWidget *l : {LBC_L, LBC_Wx, LBC_R})
        concwidgets::setRowHeight(l, m_rowHeight);
    m_widthsDirty = true;
}

void ContextPanel::highlight(bool on)
{
    for (QListWidget *l : {LBC_L, LBC_Wx, LBC_R})
        concwidgets::setBackground(l, on ? concwidgets::zoneHighlight() : QColor());
}

void ContextPanel::layoutColumns()
{
    const QRect area = P_Columns->rect();
    const conccore::ColumnGeometry g = conccore::layoutColumns(area.width(), m_widestCentre);
    LBC_L->setGeometry(g.leftX, 0, g.leftWidth, area.height());
    LBC_Wx->setGeometry(g.centreX, 0, g.centreWidth, area.height());
    LBC_R->setGeometry(g.rightX, 0, g.rightWidth, area.height());
}

QByteArray ContextPanel::selectedName() const
{
    const int row = LBC_Wx->currentRow();
    return row >= 0 && row < m_names.size() ? m_names[row] : QByteArray();
}

void ContextPanel::setRows(int row)
{
    m_syncing = true;
    for (QListWidget *l : {LBC_L, LBC_Wx, LBC_R})
        if (row < l->count())
            l->setCurrentRow(row);
    m_syncing = false;
}

void ContextPanel::alignRows(int row)
{
    if (row >= 0)
        setRows(row);
}

void ContextPanel::LBC_WxClick(int row)
{
    SessionState &s = m_page.state();
    if (row < 0 || row >= m_numbers.size() || !s.CurrentConcPos)
        return;
    setRows(row);
    s.CurrentConcPos->FirstLine = m_numbers.first();
    s.CurrentConcPos->CurLine = m_numbers[row];
    s.Options.set("Text_CrntCW", QByteArray::number(m_numbers[row]));
    LC_TextName->setText(nameCaption(m_names[row]));
    m_page.dictionary().loadDictLinks(m_tags[row]);
}

void ContextPanel::page(char move)
{
    SessionState &s = m_page.state();
    if (!s.CurrentConcPos)
        return;
    s.CurrentConcPos->Move[0] = move;
    m_page.selectAction();
}

void ContextPanel::unmarkLine(int row)
{
    QListWidgetItem *item = LBC_L->item(row);
    if (item && item->text().startsWith(QLatin1Char('*'))) {
        item->setText(item->text().mid(1));
        showMark(row, false);
    }
}

void ContextPanel::showMark(int row, bool marked)
{
    const QBrush background = marked ? QBrush(QColor::fromRgb(conccore::MarkedLineRgb)) : QBrush();
    for (QListWidget *l : {LBC_L, LBC_Wx, LBC_R})
        if (QListWidgetItem *item = l->item(row))
            item->setBackground(background);
}

void ContextPanel::toggleMark(int row)
{
    QListWidgetItem *left = LBC_L->item(row);
    if (!left || !LBC_Wx->item(row) || !LBC_R->item(row))
        return;
    textcore::PendingFragment &f = m_page.state().PendingFragment;
    if (left->text().startsWith(QLatin1Char('*'))) {
        left->setText(left->text().mid(1));
        f.entries.removeIf([row](const textcore::FragmentEntry &e) { return e.object == row; });
        showMark(row, false);
    } else {
        const QString text = left->text().trimmed() + QLatin1Char(' ') + LBC_Wx->item(row)->text()
            + QLatin1Char(' ') + LBC_R->item(row)->text().trimmed();
        f.entries.append(textcore::FragmentEntry{cp1251::encode(text), row,
                                                 row < m_names.size() ? m_names[row] : QByteArray()});
        left->setText(QLatin1Char('*') + left->text());
        showMark(row, true);
    }
    QByteArrayList texts;
    for (const textcore::FragmentEntry &e : f.entries)
        texts.append(e.text);
    f.text = texts.join('\n');
    m_page.markedLinesChanged(!f.entries.isEmpty());
}

void ContextPanel::hover(QListWidget *column, int y)
{
    const int row = concwidgets::rowAt(column, y);
    if (row < 0 || row >= m_names.size()) {
        m_hoverRow = -1;
        const QByteArray name = selectedName();
        LC_TextName->setText(name.isEmpty() && LBC_Wx->currentRow() < 0 ? QString() : nameCaption(name));
        LC_TextNameHint->clear();
        return;
    }
    if (row != m_hoverRow && y > 0) {
        m_hoverRow = row;
        LC_TextNameHint->setText(nameCaption(m_names[row]));
        LBC_Wx->setToolTip(cp1251::decode(m_names[row]));
    }
}

void ContextPanel::columnPress(QListWidget *column, QMouseEvent *event)
{
    const int row = concwidgets::rowAt(column, int(event->position().y()));
    alignRows(row);
    const ConcPage::FontTarget target = column == LBC_L    ? ConcPage::FontTarget::ContextLeft
                                        : column == LBC_Wx ? ConcPage::FontTarget::ContextCentre
                                                           : ConcPage::FontTarget::ContextRight;
    m_page.setZone(conccore::Zone::Context, target);
    m_page.PM_LCB_W_Text->setVisible(true);
    m_page.PM_LCB_W_Buf->setVisible(true);
    m_page.M_Wide_Full->setVisible(false);
    m_page.PM_Q_Show->setVisible(false);
    m_marking = event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier);
    if (row >= 0)
        LBC_WxClick(row);
    m_page.activateZone();
}

void ContextPanel::columnRelease(QListWidget *column, QMouseEvent *event)
{
    const int row = concwidgets::rowAt(column, int(event->position().y()));
    if (m_marking && row >= 0 && !m_page.textContextChecked())
        toggleMark(row);
    m_marking = false;
}

bool ContextPanel::columnKey(QKeyEvent *event)
{
    const int row = LBC_Wx->currentRow();
    alignRows(row);
    switch (event->key()) {
    case Qt::Key_Left:
        m_page.activateWordList();
        return true;
    case Qt::Key_Right:
        m_page.activateLowerZone();
        return true;
    default:
        break;
    }
    const conccore::ListKey key = concwidgets::listKeyOf(event);
    const int last = LBC_Wx->count() - 1;
    switch (key) {
    case conccore::ListKey::Home: page('B'); return true;
    case conccore::ListKey::End: page('E'); return true;
    case conccore::ListKey::PageUp: page('-'); return true;
    case conccore::ListKey::PageDown: page('+'); return true;
    case conccore::ListKey::Up:
        if (row <= 0)
            page('-');
        else
            LBC_WxClick(row - 1);
        return true;
    case conccore::ListKey::Down:
        if (row >= last)
            page('+');
        else
            LBC_WxClick(row + 1);
        return true;
    case conccore::ListKey::Other:
        break;
    }
    // Enter opens the selected line's text (through the value list's key handling).
    // A letter, a blank or a backspace means nothing in the lines and does nothing:
    // passed on to the value list's search it would replace the user's word.
    if (const char c = concwidgets::typedChar(event)) {
        if (c == conccore::KeyEnter)
            m_page.wordList()->typeChar(c);
        return true;
    }
    return false;
}

void ContextPanel::onScroll(ScrollCode code)
{
    const int position = code == ScrollCode::EndScroll || code == ScrollCode::ThumbPress ? SB_Wx->sliderPosition()
                                                                                          : SB_Wx->value();
    const conccore::Scroll s = conccore::scrollEvent(m_scroll, code, position,
                                                     !m_page.state().PendingRequest.isEmpty(), false);
    if (s.keepThumb)
        SB_Wx->setSliderPosition(SB_Wx->value());
    using Act = conccore::Scroll::Act;
    switch (s.act) {
    case Act::Progress: m_page.host().showProgress("0,0,", true); break;
    case Act::PagePrev: page('-'); break;
    case Act::PageNext: page('+'); break;
    case Act::Position:
        m_page.state().Options.set("ConcSBar", QByteArray::number(s.position));
        m_page.selectAction();
        break;
    default: break;
    }
    if (code == ScrollCode::LineUp || code == ScrollCode::LineDown || code == ScrollCode::PageUp
        || code == ScrollCode::PageDown)
        conccore::scrollEvent(m_scroll, ScrollCode::EndScroll, SB_Wx->value(), false, false);
}

bool ContextPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == P_Columns) {
        if (event->type() == QEvent::Resize) {
            m_widthsDirty = true;
            layoutColumns();
        }
        return false;
    }
    for (QListWidget *column : {LBC_L, LBC_Wx, LBC_R}) {
        if (watched == column && event->type() == QEvent::KeyPress)
            return columnKey(static_cast<QKeyEvent *>(event));
        if (watched != column->viewport())
            continue;
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            columnPress(column, mouse);
            if (mouse->button() == Qt::RightButton) {
                m_page.popupFor(column, mouse->globalPosition().toPoint());
                return true;
            }
            return true;
        }
        case QEvent::MouseButtonRelease:
            columnRelease(column, static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseMove:
            hover(column, int(static_cast<QMouseEvent *>(event)->position().y()));
            return false;
        case QEvent::Leave:
            hover(column, -1);
            return false;
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}
