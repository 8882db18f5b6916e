#pragma once
// The contents of the "Словарь" sub-page (TS_Conc_D): the table of usage
// characteristics of the current word ("CT_D") with its paging buttons, the choice
// between the characteristics of the concordance and of the text (CB_Txt), and the
// dictionary entry of the word (CB_DO) beside the table, in an area whose left
// edge can be dragged. The decisions are dictcore's (UsageGrid.h); the
// concordance page is reached through the hooks.
#include "dictionary/core/UsageGrid.h"

#include <QWidget>
#include <functional>

class PageHost;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTreeWidget;
struct SessionState;

class UsagePanel : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        // The click on the selected value of the word list (asks for the shown
        // sub-page's data again).
        std::function<void()> wordListClick;
        // Selects concordance line `line` (0-based row of the context lines) and
        // runs its click: the line selection and its dictionary links.
        std::function<void(int line)> selectConcLine;
        // Asks for the entry of the current dictionary record ("DC_S"); unset, the
        // panel sends the request itself.
        std::function<void()> requestEntry;
        std::function<void()> clearDictLinks;
        // A press on either tree: the popup menu's target becomes TreeDOx.
        std::function<void()> treePressed;
        // The end of a drag of the entry's edge gives the keyboard to the word list.
        std::function<void()> focusWordList;
    };

    explicit UsagePanel(PageHost &host, QWidget *parent = nullptr);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    const Hooks &hooks() const { return m_hooks; }
    // The entry tree that the dictionary page fills (TreeDOx) shares TreeDO's
    // place beside the table.
    void adoptEntryTree(QTreeWidget *tree);

    // The concordance reset: no table, CB_DO disabled, TreeDO hidden.
    void reset();
    // The context request of the "Словарь" sub-page: "CT_D".
    void requestUsage();
    bool isContextChecked() const;
    void onCT_D(const QByteArray &body);

    void CB_TxtClick();
    void CB_DOClick();
    void BT_PrevClick();
    void BT_NextClick();
    // A press on row `row` of the table as the reply numbered it (row 0 the first).
    void SGMouseDown(int row);

    const dictcore::UsageGrid &grid() const { return m_grid; }
    // TreeDO's left edge inside the table's area.
    int entryLeft() const;

    QLabel *L_Heading;
    QTableWidget *SG = nullptr;
    QCheckBox *CB_Txt;
    QCheckBox *CB_DO;
    QTreeWidget *TreeDO = nullptr;
    QPushButton *BT_Prev;
    QPushButton *BT_Next;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    SessionState &state();
    void sendUsage();
    void showGrid();
    void placeArea();
    void setEntryLeft(int left);

    PageHost &m_host;
    Hooks m_hooks;
    dictcore::UsageGrid m_grid;
    QWidget *m_area = nullptr;          // the table and the entry beside it
    QTreeWidget *m_entryTree = nullptr; // TreeDOx
    int m_entryWidth = -1;              // the entry area's width (its right edge stays)
    bool m_dragging = false;
};
