#pragma once
// The dictionary widgets of the concordance page: the entry tree of the current word
// (TreeDOx), the choice among a context line's dictionary links (RBD1-RBD3) and
// "Иерархия элементов" (CB_DST). The dictionary browser drives them through the
// ConcordanceDictView operations; the user's clicks come back as signals.
#include "concordance/api/ConcordanceDictView.h"

#include <QObject>
#include <functional>

class QCheckBox;
class QRadioButton;
class QTreeWidget;
class QWidget;

class ConcDictLinks : public QObject, public ConcordanceDictView {
    Q_OBJECT
public:
    // The widgets are created as children of `parent`; the page places them.
    // `showing`, `hasItems` and `listEnabled` answer for the page and its word list.
    ConcDictLinks(QWidget *parent, std::function<bool()> showing, std::function<bool()> hasItems,
                  std::function<bool()> listEnabled);

    bool isShowing() const override { return m_showing(); }
    bool wordListHasItems() const override { return m_hasItems(); }
    bool wordListEnabled() const override { return m_listEnabled(); }
    void showEntry(const dictcore::EntryTree &tree, bool visible) override;
    void setEntryVisible(bool visible) override;
    void showLinkChoice(int shown, int selected) override;
    bool hierarchyChecked() const override;
    void setHierarchyChecked(bool checked) override;

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

private:
    std::function<bool()> m_showing;
    std::function<bool()> m_hasItems;
    std::function<bool()> m_listEnabled;
};
