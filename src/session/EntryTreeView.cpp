#include "session/EntryTreeView.h"

#include "model/Cp1251.h"

#include <QTreeWidget>

namespace dictview {

namespace {
constexpr int LinkRole = Qt::UserRole;
}

void renderEntryTree(QTreeWidget *view, const dictcore::EntryTree &tree)
{
    view->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(tree.count());
    QList<QTreeWidgetItem *> top;
    for (const dictcore::EntryNode &node : tree.nodes) {
        QTreeWidgetItem *parent = node.parent >= 0 ? items.at(node.parent) : nullptr;
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem;
        item->setText(0, cp1251::decode(node.text));
        item->setToolTip(0, item->text(0));
        item->setData(0, LinkRole, node.link);
        items.append(item);
        if (!parent)
            top.append(item);
    }
    view->addTopLevelItems(top);
}

qint32 linkOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, LinkRole).toInt() : 0;
}

} // namespace dictview
