#include "UsagePanel.h"

#include "concordance/api/ConcordanceView.h"
#include "dictionary/api/DictionaryLinks.h"
#include "session/Neighbour.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int RowHeight = 13;
constexpr int MinEntryLeft = 40;

} // namespace

UsagePanel::UsagePanel(PageHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("UsagePanel"));
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    L_Heading = new QLabel(QStringLiteral("Некоторые характеристики словоупотреблений"), this);
    CB_Txt = new QCheckBox(QStringLiteral("контекст"), this);
    CB_Txt->setObjectName(QStringLiteral("CB_Txt"));
    CB_DO = new QCheckBox(QStringLiteral("Словарная статья в толковом словаре"), this);
    CB_DO->setObjectName(QStringLiteral("CB_DO"));
    BT_Prev = new QPushButton(QStringLiteral("<<"), this);
    BT_Prev->setObjectName(QStringLiteral("BT_Prev"));
    BT_Next = new QPushButton(QStringLiteral(">>"), this);
    BT_Next->setObjectName(QStringLiteral("BT_Next"));
    top->addWidget(L_Heading);
    top->addStretch(1);
    top->addWidget(CB_Txt);
    top->addWidget(CB_DO);
    top->addWidget(BT_Prev);
    top->addWidget(BT_Next);
    lay->addLayout(top);

    // The table and the entry share an area laid out by hand: the entry's right
    // edge stays at the area's, its left edge is where the user dragged it.
    m_area = new QWidget(this);
    m_area->setObjectName(QStringLiteral("UsageArea"));
    m_area->setMouseTracking(true);
    lay->addWidget(m_area, 1);
    SG = new QTableWidget(m_area);
    SG->setObjectName(QStringLiteral("SG"));
    SG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG->setSelectionMode(QAbstractItemView::ContiguousSelection);
    SG->verticalHeader()->hide();
    SG->verticalHeader()->setMinimumSectionSize(RowHeight);
    SG->verticalHeader()->setDefaultSectionSize(RowHeight);
    SG->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    TreeDO = new QTreeWidget(m_area);
    TreeDO->setObjectName(QStringLiteral("TreeDO"));
    TreeDO->setHeaderHidden(true);
    TreeDO->hide();
    TreeDO->viewport()->installEventFilter(this);
    m_area->installEventFilter(this);

    connect(SG, &QTableWidget::cellPressed, this,
            [this](int row, int) { SGMouseDown(row + (m_grid.hasHeading() ? 1 : 0)); });
    connect(CB_Txt, &QCheckBox::toggled, this, &UsagePanel::CB_TxtClick);
    connect(CB_DO, &QCheckBox::toggled, this, &UsagePanel::CB_DOClick);
    connect(BT_Prev, &QPushButton::clicked, this, &UsagePanel::BT_PrevClick);
    connect(BT_Next, &QPushButton::clicked, this, &UsagePanel::BT_NextClick);
    reset();
}

void UsagePanel::connectNeighbours(ConcordanceView *conc, DictionaryLinks *dictionary)
{
    m_conc = &neighbour(conc, "The usage table", "concordance page");
    m_dictionary = &neighbour(dictionary, "The usage table", "dictionary");
}

ConcordanceView &UsagePanel::conc() const { return neighbour(m_conc, "The usage table", "concordance page"); }
DictionaryLinks &UsagePanel::dictionary() const { return neighbour(m_dictionary, "The usage table", "dictionary"); }

SessionState &UsagePanel::state()
{
    return m_host.state();
}

void UsagePanel::adoptEntryTree(QTreeWidget *tree)
{
    m_entryTree = tree;
    if (!tree)
        return;
    const bool shown = !tree->isHidden();
    tree->setParent(m_area);
    tree->setVisible(shown);
    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);
    placeArea();
}

void UsagePanel::reset()
{
    m_grid = dictcore::UsageGrid();
    m_grid.rows.clear();
    showGrid();
    {
        const QSignalBlocker a(CB_Txt);
        const QSignalBlocker b(CB_DO);
        CB_Txt->setChecked(false);
        CB_DO->setChecked(false);
    }
    CB_DO->setEnabled(false);
    TreeDO->clear();
    TreeDO->hide();
    placeArea();
}

bool UsagePanel::isContextChecked() const
{
    return CB_Txt->isChecked();
}

// ---------------------------------------------------------------- requests

void UsagePanel::sendUsage()
{
    SessionState &s = state();
    if (!s.CurrentConcPos)
        return;
    const tCDictPos dict = s.currentDictPos() ? *s.currentDictPos() : tCDictPos(-1);
    m_host.SendToServer("CT_D", requests::concDictParams(*s.CurrentConcPos, dict, s.Options));
}

void UsagePanel::requestUsage()
{
    sendUsage();
}

void UsagePanel::CB_TxtClick()
{
    state().Options.set("TabType", CB_Txt->isChecked() ? "TEXT" : "CONC");
    sendUsage();
}

void UsagePanel::CB_DOClick()
{
    if (!CB_DO->isChecked()) {
        TreeDO->hide();
        TreeDO->clear();
        placeArea();
        return;
    }
    TreeDO->show();
    placeArea();
    dictionary().requestEntry();
}

// The table's pages: the paging letter goes with the request for the selected
// value's data (a click on the value would replace it with its own 'C').
void UsagePanel::BT_PrevClick()
{
    conc().pageSubPage('-');
}

void UsagePanel::BT_NextClick()
{
    conc().pageSubPage('+');
}

// ---------------------------------------------------------------- the reply

void UsagePanel::onCT_D(const QByteArray &body)
{
    SessionState &s = state();
    m_grid = dictcore::parseUsageGrid(body);
    showGrid();
    const dictcore::UsageOutcome out = dictcore::applyUsageGrid(m_grid, CB_DO->isEnabled(), s.currentDictPos());
    CB_DO->setEnabled(out.entryEnabled);
    if (m_grid.hasHeadword)
        TreeDO->setVisible(out.entryEnabled && CB_DO->isChecked());
    placeArea();
    dictionary().clearDictLinks();
    if (!out.requestEntry)
        return;
    dictionary().requestEntry();
    m_host.showProgress("0,0,", true);
}

void UsagePanel::showGrid()
{
    const QSignalBlocker block(SG);
    SG->clear();
    const int offset = m_grid.hasHeading() ? 1 : 0;
    SG->setColumnCount(m_grid.rows.isEmpty() ? 0 : m_grid.columns);
    SG->setRowCount(int(m_grid.rows.size()) - offset);
    SG->horizontalHeader()->setVisible(offset == 1);
    if (offset) {
        QStringList heading;
        for (const QByteArray &cell : m_grid.rows.first())
            heading.append(cp1251::decode(cell));
        SG->setHorizontalHeaderLabels(heading);
    }
    for (int r = offset; r < m_grid.rows.size(); ++r) {
        for (int c = 0; c < m_grid.columns; ++c) {
            auto *item = new QTableWidgetItem(cp1251::decode(m_grid.rows[r][c]));
            if (c == 0)
                item->setData(Qt::UserRole, m_grid.occurrence[r]);
            SG->setItem(r - offset, c, item);
        }
    }
    // Columns as wide as their headings and cells (text titles are long), each at
    // most a quarter of the table, so that every characteristic stays in view.
    SG->resizeColumnsToContents();
    const int widest = qMax(80, SG->viewport()->width() / 4);
    for (int c = 0; c < SG->columnCount(); ++c)
        SG->setColumnWidth(c, qMin(SG->columnWidth(c), widest));
    if (m_grid.selectedRow - offset >= 0)
        SG->setCurrentCell(m_grid.selectedRow - offset, m_grid.selectedColumn);
}

void UsagePanel::SGMouseDown(int row)
{
    const dictcore::GridClick click = dictcore::gridClick(m_grid, row, isContextChecked());
    if (!click.act)
        return;
    if (tCConcPos *c = state().CurrentConcPos.get()) {
        c->FirstLine = click.firstLine;
        c->CurLine = click.curLine;
    }
    conc().selectContextLine(click.line);
    SG->setCurrentCell(row - (m_grid.hasHeading() ? 1 : 0), 0);
}

// ---------------------------------------------------------------- the entry's edge

int UsagePanel::entryLeft() const
{
    const int w = m_area->width();
    const int width = m_entryWidth < 0 ? w / 3 : m_entryWidth;
    return qMax(MinEntryLeft, w - width);
}

void UsagePanel::setEntryLeft(int left)
{
    const int w = m_area->width();
    left = qBound(MinEntryLeft, left, qMax(MinEntryLeft, w - 20));
    m_entryWidth = w - left;
    placeArea();
}

void UsagePanel::placeArea()
{
    const int w = m_area->width();
    const int h = m_area->height();
    const bool entry = !TreeDO->isHidden() || (m_entryTree && !m_entryTree->isHidden());
    if (!entry) {
        SG->setGeometry(0, 0, w, h);
        return;
    }
    const int left = entryLeft();
    SG->setGeometry(0, 0, qMax(0, left - 2), h);
    TreeDO->setGeometry(left, 0, w - left, h);
    if (m_entryTree)
        m_entryTree->setGeometry(left, 0, w - left, h);
}

// A press on either tree makes the entry the target of the lists' popup menu; the
// right button opens the menu, the left one near the entry's lower left edge starts
// dragging that edge. True when the press was taken.
bool UsagePanel::treePressed(QWidget *viewport, const QMouseEvent *event)
{
    const bool popup = event->button() == Qt::RightButton;
    conc().entryTreePressed(popup, event->globalPosition().toPoint());
    if (popup)
        return true;
    const QPoint p = viewport->mapTo(m_area, event->position().toPoint());
    const QRect r = TreeDO->geometry();
    const int fromEdge = p.x() - r.left();
    if (r.bottom() - p.y() < 30 && fromEdge >= 2 && fromEdge <= 4) {
        m_dragging = true;
        return true;
    }
    return false;
}

bool UsagePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (!TreeDO)
        return QWidget::eventFilter(watched, event);
    const bool tree = watched == TreeDO->viewport() || (m_entryTree && watched == m_entryTree->viewport());
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == m_area)
            placeArea();
        break;
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        if (watched == m_entryTree)
            placeArea();
        break;
    case QEvent::MouseButtonPress:
        if (tree && treePressed(static_cast<QWidget *>(watched), static_cast<QMouseEvent *>(event)))
            return true;
        break;
    case QEvent::MouseMove:
        if (m_dragging && (tree || watched == m_area)) {
            const QPoint p = static_cast<QWidget *>(watched)->mapTo(m_area, static_cast<QMouseEvent *>(event)->position().toPoint());
            setEntryLeft(p.x());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragging) {
            m_dragging = false;
            conc().activateWordList();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
