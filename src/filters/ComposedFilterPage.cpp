#include "ComposedFilterPage.h"

#include "FilterPanel.h"

#include "session/PageHost.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "concordance/api/ConcordanceView.h"
#include "filters/core/ComposedFilters.h"
#include "model/Cp1251.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

using filtercore::ComposedValue;

ComposedFilterPage::ComposedFilterPage(PageHost &host, ConcordanceView &conc, FilterPanel &rows, QWidget *parent)
    : QWidget(parent), m_host(host), m_conc(conc), m_rows(rows)
{
    setObjectName(QStringLiteral("P_FGrp"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    L_Filter = new QLabel(QStringLiteral("Текущий составной фильтр"), this);
    LB_Filter = new QListWidget(this);
    LB_Filter->setObjectName(QStringLiteral("LB_Filter"));
    L_VC = new QLabel(this);
    L_VC->setObjectName(QStringLiteral("L_VC"));
    LB_Filter_Chars = new QListWidget(this);
    LB_Filter_Chars->setObjectName(QStringLiteral("LB_Filter_Chars"));
    auto *buttons = new QHBoxLayout;
    auto button = [this, buttons](const char *name) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    B_Filter_Del = button("B_Filter_Del");
    B_Filter_Clr = button("B_Filter_Clr");
    B_Filter_New = button("B_Filter_New");
    B_Filter_Del->hide();
    v->addWidget(L_Filter);
    v->addWidget(LB_Filter, 2);
    v->addWidget(L_VC);
    v->addWidget(LB_Filter_Chars, 1);
    v->addLayout(buttons);

    PM_Filter = new QMenu(this);
    PM_Filter->setObjectName(QStringLiteral("PM_Filter"));
    PM_FIlter_F = PM_Filter->addAction(QStringLiteral("Удалить"));
    PM_FIlter_F->setObjectName(QStringLiteral("PM_FIlter_F"));
    LB_Filter->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LB_Filter, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (LB_Filter->currentRow() >= 0)
            PM_Filter->popup(LB_Filter->viewport()->mapToGlobal(at));
    });
    connect(PM_FIlter_F, &QAction::triggered, this, &ComposedFilterPage::B_Filter_DelClick);
    connect(B_Filter_Del, &QPushButton::clicked, this, &ComposedFilterPage::B_Filter_DelClick);
    connect(B_Filter_Clr, &QPushButton::clicked, this, &ComposedFilterPage::B_Filter_ClrClick);
    connect(B_Filter_New, &QPushButton::clicked, this, &ComposedFilterPage::B_Filter_NewClick);
    connect(LB_Filter, &QListWidget::itemClicked, this, [this] {
        set().valueSelected = LB_Filter->currentRow();
        LB_Filter_Reset();
    });
    connect(LB_Filter_Chars, &QListWidget::itemClicked, this,
            [this] { LB_Filter_CharsClick(LB_Filter_Chars->currentRow()); });
}

filtercore::tComposed_Filters_Set &ComposedFilterPage::set()
{
    return m_host.state().ComposedFilters;
}

bool ComposedFilterPage::onThisPage() const
{
    return m_conc.filterSetPageShown();
}

void ComposedFilterPage::reset()
{
    set() = filtercore::tComposed_Filters_Set();
    LB_Filter_Reset();
}

void ComposedFilterPage::LB_Filter_Reset()
{
    filtercore::tComposed_Filters_Set &s = set();
    {
        const QSignalBlocker b1(LB_Filter);
        const QSignalBlocker b2(LB_Filter_Chars);
        LB_Filter->clear();
        for (const ComposedValue &value : s.currentValues())
            LB_Filter->addItem(cp1251::decode(value.text));
        LB_Filter->setCurrentRow(s.valueSelected < LB_Filter->count() ? s.valueSelected : -1);
        LB_Filter_Chars->clear();
        for (const filtercore::ComposedFilter &f : s.filters)
            LB_Filter_Chars->addItem(cp1251::decode(f.line));
        LB_Filter_Chars->setCurrentRow(s.selected);
    }
    const bool values = LB_Filter->count() > 0;
    B_Filter_Clr->setVisible(values);
    B_Filter_New->setVisible(values);
    if (values) {
        B_Filter_Clr->setText(QStringLiteral("Очистить"));
        B_Filter_New->setText(QStringLiteral("Новый фильтр"));
    } else {
        LB_Filter->setCurrentRow(-1);
    }
    const bool chosen = LB_Filter->currentRow() >= 0;
    if (chosen && onThisPage())
        PM_FIlter_F->setText(QStringLiteral("Удалить"));
    LB_Filter->setContextMenuPolicy(chosen ? Qt::CustomContextMenu : Qt::NoContextMenu);
    B_Filter_Del->setVisible(chosen);
    if (chosen)
        B_Filter_Del->setText(PM_FIlter_F->text());
    const bool lines = LB_Filter_Chars->count() > 0;
    L_VC->setVisible(lines);
    LB_Filter_Chars->setVisible(lines);
}

void ComposedFilterPage::PC_FltrsChange()
{
    if (onThisPage()) {
        m_wasShown = true;
        PM_FIlter_F->setText(QStringLiteral("Удалить"));
        B_Filter_Clr->hide();
        B_Filter_Del->hide();
        if (!TMI_Fltrs) {
            TMI_Fltrs = new QAction(QStringLiteral("Добавить в составной фильтр-список"), this);
            TMI_Fltrs->setObjectName(QStringLiteral("TMI_Fltrs"));
            m_conc.addListMenuAction(TMI_Fltrs);
            connect(TMI_Fltrs, &QAction::triggered, this, [this] { m_conc.wideFull(); });
        }
        L_VC->setText(QStringLiteral("Составные фильтры-списки"));
        LB_Filter_Reset();
        m_rows.CB_Q[0]->setContextMenuPolicy(Qt::NoContextMenu);
        return;
    }
    if (m_wasShown) {
        m_wasShown = false;
        delete TMI_Fltrs;
        TMI_Fltrs = nullptr;
    }
}

void ComposedFilterPage::SelectRowFilter(int charNo)
{
    set().SelectFilterForCharacteristic(m_conc.listCaption().value_or(QByteArray()), charNo);
    LB_Filter_Reset();
}

void ComposedFilterPage::M_Wide_FullClick()
{
    const conccore::WordEntry *e = m_conc.selectedValue();
    const tCConcPos *c = m_host.state().CurrentConcPos.get();
    if (e && c && c->Level >= 0 && c->Level < tCConcPos::Levels)
        set().AddValue(e->text, e->rec, c->CharNo[size_t(c->Level)],
                       m_conc.listCaption().value_or(QByteArray()));
    LB_Filter_Reset();
}

void ComposedFilterPage::B_Filter_NewClick()
{
    const tCConcPos *c = m_host.state().CurrentConcPos.get();
    const int charNo = c && c->Level >= 0 && c->Level < tCConcPos::Levels ? c->CharNo[size_t(c->Level)] : 0;
    set().NewFilter(m_conc.listCaption().value_or(QByteArray()), charNo);
    LB_Filter_Reset();
}

void ComposedFilterPage::B_Filter_ClrClick()
{
    filtercore::tComposed_Filters_Set &s = set();
    if (onThisPage() && !s.currentValues().isEmpty()) {
        QByteArray joined;
        for (const ComposedValue &v : s.currentValues())
            joined += (joined.isEmpty() ? QByteArray() : QByteArray(",")) + v.text;
        const QString question = QStringLiteral("Очистить список значений : ") + cp1251::decode(joined.left(25))
            + QStringLiteral(" ?");
        if (m_host.ui().askOkCancel(window(), question)) {
            const int index = s.selected;
            if (s.DeleteSelectedFilter())
                m_rows.rows().composedFilterRemoved(index);
            else
                m_host.ui().message(window(), QStringLiteral("Неудачная попытка удалить составной фильтр номер ")
                                                         + QString::number(index));
        }
    }
    LB_Filter_Reset();
}

void ComposedFilterPage::B_Filter_DelClick()
{
    filtercore::tComposed_Filters_Set &s = set();
    if (s.filters.isEmpty())
        return;
    if (onThisPage()) {
        const int row = LB_Filter->currentRow();
        if (row < 0 || row >= s.currentValues().size())
            return;
        s.valueSelected = row;
        const QString question = QStringLiteral("Удалить строку : ") + LB_Filter->item(row)->text() + QStringLiteral(" ?");
        if (m_host.ui().askOkCancel(window(), question))
            s.DeleteValue();
        LB_Filter_Reset();
        return;
    }
    if (!m_conc.filterRowsPageShown())
        return;
    m_rows.rows().attachOrDetach([this](const QList<QByteArray> &lines) { return choose(lines); });
    m_rows.render();
    LB_Filter_Reset();
}

void ComposedFilterPage::LB_Filter_CharsClick(int row)
{
    set().SelectFilter(row);
    LB_Filter_Reset();
}

int ComposedFilterPage::choose(const QList<QByteArray> &lines)
{
    return chooseLine ? chooseLine(lines) : selectFromList(window(), lines);
}

int selectFromList(QWidget *parent, const QList<QByteArray> &lines)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("F_Select"));
    dialog.setWindowTitle(QStringLiteral("Выбор из списка"));
    dialog.setFixedSize(384, 179);
    auto *v = new QVBoxLayout(&dialog);
    v->addWidget(new QLabel(QStringLiteral("Выберите значение"), &dialog));
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("LB_Select"));
    for (const QByteArray &line : lines)
        list->addItem(cp1251::decode(line));
    if (list->count() > 0)
        list->setCurrentRow(0);
    v->addWidget(list, 1);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    box->button(QDialogButtonBox::Ok)->setDefault(true);
    v->addWidget(box);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // A double click chooses the line, as OK does.
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    return dialog.exec() == QDialog::Accepted ? list->currentRow() : -1;
}
