// The dictionary page's widgets and their arrangement: the dictionary choice on top,
// then four panes side by side (letters, letter pairs, headwords, entry) between
// splitters whose positions are remembered between runs.
#include "DictPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QLabel *namedLabel(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

// A pane of the splitter: its caption, its view and its count label.
QWidget *pane(const QString &caption, QWidget *view, QLabel *count, QWidget *parent)
{
    auto *w = new QWidget(parent);
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(caption, w);
    title->setBuddy(view);
    v->addWidget(title);
    v->addWidget(view, 1);
    v->addWidget(count);
    view->setAccessibleName(caption);
    return w;
}

QSettings layoutSettings()
{
    // $XDG_CONFIG_HOME/VELTA/Lexar.ini
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("VELTA"),
                     QStringLiteral("Lexar"));
}

} // namespace

void DictPage::buildLayout()
{
    auto *v = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    CB_Dict = new QComboBox(this);
    CB_Dict->setObjectName(QStringLiteral("CB_Dict"));
    CB_Dict->setAccessibleName(QStringLiteral("Словарь"));
    // Dictionary names come from the server: a long one must not widen the window.
    CB_Dict->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CB_Dict->setMinimumContentsLength(24);
    B_Refr = new QPushButton(QStringLiteral("Обновить"), this);
    B_Refr->setObjectName(QStringLiteral("B_Refr"));
    top->addWidget(CB_Dict, 1);
    top->addWidget(B_Refr);
    v->addLayout(top);

    LB_C = new QListWidget(this);
    LB_C->setObjectName(QStringLiteral("LB_C"));
    LB_CC = new QListWidget(this);
    LB_CC->setObjectName(QStringLiteral("LB_CC"));
    LB_W = new QListWidget(this);
    LB_W->setObjectName(QStringLiteral("LB_W"));
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    // Examples are read whole: no eliding, a horizontal scroll bar, the text as a tooltip.
    TreeView1->setTextElideMode(Qt::ElideNone);
    TreeView1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeView1->header()->setStretchLastSection(false);
    L_CN = namedLabel(QStringLiteral("L_CN"), this);
    L_CCN = namedLabel(QStringLiteral("L_CCN"), this);
    L_WN = namedLabel(QStringLiteral("L_WN"), this);
    L_SN = namedLabel(QStringLiteral("L_SN"), this);
    L_DD = namedLabel(QStringLiteral("L_DD"), this);

    m_panes = new QSplitter(Qt::Horizontal, this);
    m_panes->setObjectName(QStringLiteral("DictPanes"));
    m_panes->setChildrenCollapsible(false);
    m_panes->addWidget(pane(QStringLiteral("Буква"), LB_C, L_CN, m_panes));
    m_panes->addWidget(pane(QStringLiteral("Сочетание"), LB_CC, L_CCN, m_panes));
    m_panes->addWidget(pane(QStringLiteral("Заглавные слова"), LB_W, L_WN, m_panes));
    m_panes->addWidget(pane(QStringLiteral("Справка"), TreeView1, L_SN, m_panes));
    // Letters and pairs are two characters wide; the entry takes what is left.
    m_panes->setSizes({70, 90, 220, 620});
    for (int i = 0; i < 4; ++i)
        m_panes->setStretchFactor(i, i == 3 ? 1 : 0);
    const QByteArray saved = layoutSettings().value(QStringLiteral("dictionary/panes")).toByteArray();
    if (!saved.isEmpty())
        m_panes->restoreState(saved);
    connect(m_panes, &QSplitter::splitterMoved, this, &DictPage::saveLayout);
    v->addWidget(m_panes, 1);

    CB_ConcRef = new QCheckBox(QStringLiteral("Связать с конкордансом"), this);
    CB_ConcRef->setObjectName(QStringLiteral("CB_ConcRef"));
    CB_ConcRef->setEnabled(false);
    CB_ConcRef->hide();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(CB_ConcRef);
    bottom->addStretch(1);
    bottom->addWidget(L_DD);
    v->addLayout(bottom);

    // The list that has the keyboard is marked, so a person sees where keys go.
    setStyleSheet(QStringLiteral("QListWidget:focus, QTreeWidget:focus "
                                 "{ border: 2px solid palette(highlight); }"));
}

void DictPage::saveLayout()
{
    layoutSettings().setValue(QStringLiteral("dictionary/panes"), m_panes->saveState());
}
