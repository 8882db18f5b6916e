#include "ConcDictLinks.h"

#include "ConcPage.h"

#include "session/EntryTreeView.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QListWidget>
#include <QTreeWidget>

ConcDictLinks::ConcDictLinks(QWidget *parent, const ConcPage &page) : QObject(parent), m_page(page)
{
    TreeDOx = new QTreeWidget(parent);
    TreeDOx->setObjectName(QStringLiteral("TreeDOx"));
    TreeDOx->setHeaderHidden(true);
    TreeDOx->hide();
    connect(TreeDOx, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { emit entryLinkClicked(dictview::linkOf(item)); });
    RBD1 = new QRadioButton(QStringLiteral("1"), parent);
    RBD2 = new QRadioButton(QStringLiteral("2"), parent);
    RBD3 = new QRadioButton(QStringLiteral("3"), parent);
    int which = 0;
    for (QRadioButton *rb : {RBD1, RBD2, RBD3}) {
        rb->setObjectName(QStringLiteral("RBD") + rb->text());
        rb->hide();
        connect(rb, &QRadioButton::toggled, this, [this, which](bool on) {
            if (on)
                emit linkChosen(which);
        });
        ++which;
    }
    CB_DST = new QCheckBox(QStringLiteral("Иерархия элементов"), parent);
    CB_DST->setObjectName(QStringLiteral("CB_DST"));
    connect(CB_DST, &QCheckBox::toggled, this, &ConcDictLinks::hierarchyToggled);
}

void ConcDictLinks::showEntry(const dictcore::EntryTree &tree, bool visible)
{
    if (tree.isEmpty())
        TreeDOx->clear();
    else
        dictview::renderEntryTree(TreeDOx, tree);
    TreeDOx->setVisible(visible);
}

void ConcDictLinks::setEntryVisible(bool visible)
{
    TreeDOx->setVisible(visible);
}

void ConcDictLinks::showLinkChoice(int shown, int selected)
{
    int i = 0;
    for (QRadioButton *rb : {RBD1, RBD2, RBD3}) {
        const QSignalBlocker block(rb);
        // Auto-exclusive buttons cannot be unticked one by one.
        rb->setAutoExclusive(false);
        rb->setChecked(i == selected);
        rb->setAutoExclusive(true);
        rb->setVisible(i < shown);
        ++i;
    }
}

bool ConcDictLinks::hierarchyChecked() const
{
    return CB_DST->isChecked();
}

void ConcDictLinks::setHierarchyChecked(bool checked)
{
    const QSignalBlocker block(CB_DST);
    CB_DST->setChecked(checked);
}

bool ConcDictLinks::isShowing() const { return m_page.isShowing(); }
bool ConcDictLinks::wordListHasItems() const { return m_page.LBC_W->count() > 0; }
bool ConcDictLinks::wordListEnabled() const { return m_page.LBC_W->isEnabled(); }

void ConcDictLinks::dictionaryTreePressed(QTreeWidget *tree, bool popup, const QPoint &global)
{
    emit treePressed(tree, popup, global);
}
