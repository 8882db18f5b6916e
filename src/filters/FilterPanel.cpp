#include "FilterPanel.h"

#include "ComposedFilterPage.h"

#include "concordance/api/ConcordanceView.h"
#include "model/Cp1251.h"
#include "session/ConcWidgets.h"
#include "session/Config.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "text/api/TextSubPage.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>

using filtercore::FirstField;
using filtercore::RowCount;

namespace {
// The drag of a row label carries its row number under this type.
const QString RowMime = QStringLiteral("application/x-lexar-filter-row");
} // namespace

FilterPanel::FilterPanel(PageHost &host, ConcordanceView &conc, TextSubPage &text, QWidget *parent)
    : QWidget(parent), m_host(host), m_conc(conc), m_text(text), m_rows(*this, host.state().ComposedFilters)
{
    setObjectName(QStringLiteral("P_CF"));
    setAutoFillBackground(true);
    const RgbColor c = host.config().filterColor;
    m_filterColor = QColor(c.red, c.green, c.blue);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    buildRows(grid);
    buildDistanceFields(grid);
    buildOptionBoxes(grid);
    buildColourMenu();
}

void FilterPanel::buildRows(QGridLayout *grid)
{
    for (int r = 1; r <= RowCount; ++r) {
        const int i = r - 1;
        LD[i] = new QLabel(this);
        LD[i]->setObjectName(QStringLiteral("LD%1").arg(r));
        LD[i]->setFixedWidth(14);
        LD[i]->setAcceptDrops(true);
        LD[i]->installEventFilter(this);
        RB_Q[i] = new QRadioButton(this);
        RB_Q[i]->setObjectName(QStringLiteral("RB_Q%1").arg(r));
        RB_Q[i]->hide();
        RB_Q[i]->setAutoExclusive(false);   // the rows decide which one is checked
        CB_Q[i] = new QCheckBox(this);
        CB_Q[i]->setObjectName(QStringLiteral("CB_Q%1").arg(r));
        CB_Q[i]->setMouseTracking(true);
        CB_Q[i]->setContextMenuPolicy(Qt::CustomContextMenu);
        CB_Q[i]->installEventFilter(this);
        connect(CB_Q[i], &QCheckBox::clicked, this, [this, r](bool on) { CB_QClick(r, on); });
        connect(CB_Q[i], &QWidget::customContextMenuRequested, this, [this, r](const QPoint &at) {
            if (m_composed && m_popupRow == r)
                m_composed->PM_Filter->popup(CB_Q[size_t(r - 1)]->mapToGlobal(at));
        });
        grid->addWidget(LD[i], i, 0);
        grid->addWidget(CB_Q[i], i, 1);
    }
}

void FilterPanel::buildDistanceFields(QGridLayout *grid)
{
    for (int f = FirstField; f <= filtercore::LastField; ++f) {
        QLineEdit *e = new QLineEdit(QStringLiteral("0"), this);
        E_Plus[size_t(f - FirstField)] = e;
        e->setObjectName(QStringLiteral("E_Plus%1").arg(f));
        e->setMaxLength(2);
        e->setFixedWidth(36);
        e->hide();
        e->installEventFilter(this);
        connect(e, &QLineEdit::textEdited, this, [this, f](const QString &t) { E_PlusChange(f, t); });
    }
    grid->addWidget(E_Plus[0], 1, 2);
}

void FilterPanel::buildOptionBoxes(QGridLayout *grid)
{
    CB_Context = new QCheckBox(QStringLiteral("совм.встречаемость"), this);
    CB_Context->setObjectName(QStringLiteral("CB_Context"));
    CB_Perm = new QCheckBox(QStringLiteral("Фильтрация"), this);
    CB_Perm->setObjectName(QStringLiteral("CB_Perm"));
    {
        // Always disabled, it only says that filtering is on: its box looks disabled,
        // its caption keeps the ordinary text colour, readable on the filter colour.
        QPalette pal = CB_Perm->palette();
        pal.setColor(QPalette::Disabled, QPalette::WindowText, pal.color(QPalette::Active, QPalette::WindowText));
        CB_Perm->setPalette(pal);
    }
    CB_ListPosX = new QCheckBox(QStringLiteral("В начало"), this);
    CB_ListPosX->setObjectName(QStringLiteral("CB_ListPosX"));
    grid->addWidget(CB_Context, RowCount, 1);
    grid->addWidget(CB_Perm, RowCount + 1, 1);
    grid->addWidget(CB_ListPosX, RowCount + 2, 1);
    // The free width goes after the distance field, which so stands right beside
    // the caption of its row rather than at the far edge of the panel.
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(RowCount + 3, 1);
    connect(CB_Context, &QCheckBox::clicked, this, &FilterPanel::CB_ContextClick);
    connect(CB_Perm, &QCheckBox::clicked, this, [this](bool on) {
        m_rows.setPerm(on);
        render();
    });
    connect(CB_ListPosX, &QCheckBox::clicked, this, [this](bool on) { m_rows.setListPosX(on); });
}

void FilterPanel::buildColourMenu()
{
    PM_ChangeColor = new QMenu(this);
    PM_ChangeColor->setObjectName(QStringLiteral("PM_ChangeColor"));
    MI_ChangeColor = PM_ChangeColor->addAction(QStringLiteral("Изменить цвет фона (при фильтрации)"));
    MI_ChangeColor->setObjectName(QStringLiteral("MI_ChangeColor"));
    M_TextBack = PM_ChangeColor->addAction(QStringLiteral("Изменить фон текстовой панели"));
    M_TextBack->setObjectName(QStringLiteral("M_TextBack"));
    connect(MI_ChangeColor, &QAction::triggered, this, &FilterPanel::MI_ChangeColorClick);
    connect(M_TextBack, &QAction::triggered, this, &FilterPanel::M_TextBackClick);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PM_ChangeColor->popup(mapToGlobal(at)); });
}

// ---------------------------------------------------------------- rendering

std::optional<FilterPanel::RowControls> FilterPanel::CaseQ(int row) const
{
    if (row < 1 || row > RowCount)
        return std::nullopt;
    const size_t i = size_t(row - 1);
    return RowControls{CB_Q[i], RB_Q[i], row == filtercore::DistanceRow ? E_Plus[0] : nullptr, LD[i]};
}

void FilterPanel::render()
{
    const filtercore::FilterPanelState &s = m_rows.state();
    for (int r = 1; r <= RowCount; ++r) {
        const filtercore::FilterRowView &v = s.row(r);
        const RowControls c = *CaseQ(r);
        const QSignalBlocker b1(c.check);
        const QSignalBlocker b2(c.radio);
        c.check->setText(cp1251::decode(v.caption));
        c.check->setToolTip(v.hintShown ? cp1251::decode(v.hint) : QString());
        c.check->setChecked(v.checked);
        c.check->setEnabled(v.enabled);
        c.check->setVisible(v.visible);
        c.radio->setChecked(v.radio);
        c.label->setText(cp1251::decode(v.labelCaption));
        c.label->setVisible(v.labelVisible);
        c.label->setEnabled(v.enabled);
    }
    for (int f = FirstField; f <= filtercore::LastField; ++f) {
        QLineEdit *e = E_Plus[size_t(f - FirstField)];
        const filtercore::DistanceField &d = s.field(f);
        const QSignalBlocker b(e);
        if (e->text() != cp1251::decode(d.text))
            e->setText(cp1251::decode(d.text));
        e->setVisible(d.visible && f == filtercore::DistanceRow);
        e->setEnabled(d.enabled);
    }
    for (QCheckBox *box : {CB_Context, CB_Perm, CB_ListPosX}) {
        const QSignalBlocker b(box);
        box->setChecked(box == CB_Context ? s.context : box == CB_Perm ? s.perm : s.listPosX);
    }
    CB_Perm->setVisible(s.permVisible);
    CB_Perm->setEnabled(s.permEnabled);
    const QColor colour = s.coloured ? m_filterColor : QColor();
    concwidgets::setBackground(this, colour);
    m_conc.setFilterMarksColour(colour);
}

SessionState &FilterPanel::state()
{
    return m_host.state();
}

void FilterPanel::reset()
{
    m_rows.reset();
    m_popupRow = 0;
    for (QCheckBox *box : CB_Q)
        box->setContextMenuPolicy(Qt::CustomContextMenu);
    applyTextColour();
    render();
}

bool FilterPanel::distanceEditFocused() const
{
    for (const QLineEdit *e : E_Plus)
        if (e->hasFocus())
            return true;
    return false;
}

// ---------------------------------------------------------------- handlers

void FilterPanel::CB_QClick(int row, bool checked)
{
    m_rows.setChecked(row, checked);
    render();
}

void FilterPanel::E_PlusChange(int field, const QString &text)
{
    m_rows.setDistanceText(field, cp1251::encode(text));
    render();
}

void FilterPanel::E_PlusEnter()
{
    m_rows.distanceEnter();
    render();
}

void FilterPanel::E_PlusExit(int field)
{
    m_rows.distanceExit(field);
    render();
}

void FilterPanel::CB_ContextClick(bool checked)
{
    m_rows.setContext(checked);
    render();
}

void FilterPanel::LD2EndDrag(int dragged, int target)
{
    m_rows.LD2EndDrag(dragged, target);
    render();
}

void FilterPanel::CB_Q1MouseMove(int row)
{
    if (!m_conc.filterRowsPageShown() || !m_composed)
        return;
    m_popupRow = 0;
    for (QCheckBox *box : CB_Q)
        box->setContextMenuPolicy(Qt::NoContextMenu);
    const std::optional<QString> caption = m_rows.hoverRow(row);
    if (!caption)
        return;
    m_popupRow = row;
    CB_Q[size_t(row - 1)]->setContextMenuPolicy(Qt::CustomContextMenu);
    m_composed->PM_FIlter_F->setText(*caption);
    m_composed->PM_FIlter_F->setProperty("tag", m_rows.state().popupTag);
}

std::optional<QColor> FilterPanel::askColor(const QColor &initial)
{
    if (chooseColor)
        return chooseColor(initial);
    const QColor c = QColorDialog::getColor(initial, window());
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
}

void FilterPanel::MI_ChangeColorClick()
{
    m_conc.setFilterMarksColour(QColor());
    const std::optional<QColor> chosen = askColor(m_filterColor);
    if (!chosen)
        return;
    m_filterColor = *chosen;
    render();
}

void FilterPanel::M_TextBackClick()
{
    const QColor initial = m_textColour.isValid() ? m_textColour : palette().color(QPalette::Base);
    const std::optional<QColor> chosen = askColor(initial);
    if (!chosen)
        return;
    m_textColour = *chosen;
    applyTextColour();
}

void FilterPanel::applyTextColour()
{
    m_text.setBackground(m_textColour);
}

// ---------------------------------------------------------------- events

int FilterPanel::rowOfLabel(QObject *o) const
{
    for (int r = 1; r <= RowCount; ++r)
        if (LD[size_t(r - 1)] == o)
            return r;
    return 0;
}

bool FilterPanel::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    for (int f = FirstField; f <= filtercore::LastField; ++f) {
        if (watched != E_Plus[size_t(f - FirstField)])
            continue;
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                E_PlusEnter();
                return true;
            }
        } else if (type == QEvent::FocusOut) {
            E_PlusExit(f);
        }
        return false;
    }
    for (int r = 1; r <= RowCount; ++r)
        if (watched == CB_Q[size_t(r - 1)] && (type == QEvent::MouseMove || type == QEvent::Enter))
            CB_Q1MouseMove(r);
    if (const int row = rowOfLabel(watched)) {
        if (type == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            auto *drag = new QDrag(watched);
            auto *mime = new QMimeData;
            mime->setData(RowMime, QByteArray::number(row));
            drag->setMimeData(mime);
            drag->exec(Qt::MoveAction);
            return true;
        }
        if (type == QEvent::DragEnter || type == QEvent::DragMove) {
            auto *e = static_cast<QDragMoveEvent *>(event);
            if (e->mimeData()->hasFormat(RowMime) && LD1DragOver())
                e->acceptProposedAction();
            else
                e->ignore();
            return true;
        }
        if (type == QEvent::Drop) {
            auto *e = static_cast<QDropEvent *>(event);
            const int dragged = e->mimeData()->data(RowMime).toInt();
            if (LD1DragOver() && dragged >= 1) {
                e->acceptProposedAction();
                LD2EndDrag(dragged, row);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- what the rows ask of the page

tCConcPos *FilterPanel::conc()
{
    return m_host.state().CurrentConcPos.get();
}

OptionList &FilterPanel::options()
{
    return m_host.state().Options;
}

std::optional<QByteArray> FilterPanel::listText()
{
    return m_conc.listCaption();
}

std::optional<QByteArray> FilterPanel::valueText()
{
    const conccore::WordEntry *e = m_conc.selectedValue();
    if (!e)
        return std::nullopt;
    return e->text;
}

bool FilterPanel::selectListIndex(int index)
{
    return m_conc.selectListIndex(index);
}

qint32 FilterPanel::listCount()
{
    const int n = m_conc.listCharacteristic();
    const QList<CharEntry> &chars = m_host.state().CharList;
    return n >= 0 && n < chars.size() ? chars[n].count : 0;
}

bool FilterPanel::typedPrefixEmpty()
{
    return m_conc.typedPrefixEmpty();
}

bool FilterPanel::alphabeticalOrder()
{
    return m_conc.alphabeticalOrder();
}

void FilterPanel::blockListTools(bool block)
{
    m_conc.blockListTools(block);
}

void FilterPanel::refreshQuant()
{
    m_conc.refreshQuant();
}

void FilterPanel::sendWordList()
{
    m_conc.sendWordList();
}

void FilterPanel::listKindChange()
{
    m_conc.requestList();
}

void FilterPanel::rollBack()
{
    m_host.RollBack();
}

void FilterPanel::message(const QString &text)
{
    m_host.ui().message(window(), text);
}

bool FilterPanel::askOkCancel(const QString &text)
{
    return m_host.ui().askOkCancel(window(), text);
}
