#pragma once
// The dictionary widgets of the concordance page: the entry tree of the current word
// (TreeDOx), the choice among a context line's dictionary links (RBD1-RBD3) and
// "Иерархия элементов" (CB_DST). The dictionary browser drives them through the
// ConcordanceDictView operations; the user's clicks come back as signals.
#include "concordance/api/ConcordanceDictView.h"

#include <QObject>

class ConcPage;
class QCheckBox;
class QRadioButton;
class QTreeWidget;
class QWidget;

class ConcDictLinks : public QObject, public ConcordanceDictView {
    Q_OBJECT
public:
    // The widgets are created as children of `parent`; the page places them and
    // answers for itself and its word list.
    ConcDictLinks(QWidget *parent, const ConcPage &page);

    bool isShowing() const override;
    bool wordListHasItems() const override;
    bool wordListEnabled() const override;
    void showEntry(const dictcore::EntryTree &tree, bool visible) override;
    void setEntryVisible(bool visible) override;
    void showLinkChoice(int shown, int selected) override;
    bool hierarchyChecked() const override;
    void setHierarchyChecked(bool checked) override;
    void dictionaryTreePressed(QTreeWidget *tree, bool popup, const QPoint &global) override;

    QTreeWidget *TreeDOx;
    QRadioButton *RBD1;
    QRadioButton *RBD2;
    QRadioButton *RBD3;
    QCheckBox *CB_DST;

signals:
    void entryLinkClicked(qint32 link);
    // Link button `which` (0..2) became selected by the user.
    void linkChosen(int which);
    void hierarchyToggled();
    // The dictionary page's entry tree was pressed (the page makes it the menu's target).
    void treePressed(QTreeWidget *tree, bool popup, const QPoint &global);

private:
    const ConcPage &m_page;
};
