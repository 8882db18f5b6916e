#pragma once
// Rendering an entry tree into a tree widget, and reading a node's link back.
#include "dictionary/core/EntryTree.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace dictview {

void renderEntryTree(QTreeWidget *view, const dictcore::EntryTree &tree);
// The link of a rendered node (0 when none).
qint32 linkOf(const QTreeWidgetItem *item);

} // namespace dictview
