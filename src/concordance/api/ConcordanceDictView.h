#pragma once
// What the dictionary browser shows on the concordance page, as operations of the page
// that owns the widgets: the entry tree of the current word (TreeDOx), the choice
// among a context line's dictionary links (RBD1-RBD3) and the "Иерархия элементов"
// box. The owner reports the user's clicks back through its own signals, which the
// frame connects to the dictionary page.
#include "dictionary/core/EntryTree.h"

class QPoint;
class QTreeWidget;

class ConcordanceDictView {
public:
    virtual ~ConcordanceDictView() = default;
    // The concordance page is the current tab (entries then go to its tree).
    virtual bool isShowing() const = 0;
    virtual bool wordListHasItems() const = 0;
    virtual bool wordListEnabled() const = 0;
    // Shows `tree` in TreeDOx (an empty tree clears it) and shows or hides it.
    virtual void showEntry(const dictcore::EntryTree &tree, bool visible) = 0;
    virtual void setEntryVisible(bool visible) = 0;
    // The first `shown` link buttons visible, button `selected` ticked (-1: none);
    // no click is reported for these changes.
    virtual void showLinkChoice(int shown, int selected) = 0;
    virtual bool hierarchyChecked() const = 0;
    // Sets the box without reporting a click.
    virtual void setHierarchyChecked(bool checked) = 0;
    // A press on the dictionary page's entry tree: the lists' popup menu acts on
    // that tree (its font command changes the tree's font) and offers no copy of the
    // value list; with `popup` the menu opens at `global`.
    virtual void dictionaryTreePressed(QTreeWidget *tree, bool popup, const QPoint &global) = 0;
};
