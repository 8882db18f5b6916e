#pragma once
// The contents of the "Словарь" sub-page (TS_Conc_D): the table of usage
// characteristics of the current word ("CT_D") with its paging buttons, the choice
// between the characteristics of the concordance and of the text (CB_Txt), and the
// dictionary entry of the word (CB_DO) beside the table, in an area whose left
// edge can be dragged. The decisions are dictcore's (UsageGrid.h); the
// concordance page and the dictionary are reached through their named operations.
#include "dictionary/api/UsageSubPage.h"
#include "dictionary/core/UsageGrid.h"

#include <QWidget>

class ConcordanceView;
class DictionaryLinks;
class PageHost;
class QCheckBox;
class QLabel;
class QMouseEvent;
class QPushButton;
class QTableWidget;
class QTreeWidget;
struct SessionState;

class UsagePanel : public QWidget, public UsageSubPage {
    Q_OBJECT
public:
    explicit UsagePanel(PageHost &host, QWidget *parent = nullptr);

    // The pages it works with; both are needed (a missing one stops the program at
    // start-up with a message naming it).
    void connectNeighbours(ConcordanceView *conc, DictionaryLinks *dictionary);
    // The entry tree that the dictionary page fills (TreeDOx) shares TreeDO's
    // place beside the table.
    void adoptEntryTree(QTreeWidget *tree);

    // The concordance reset: no table, CB_DO disabled, TreeDO hidden.
    void reset() override;
    // The context request of the "Словарь" sub-page: "CT_D".
    void requestUsage() override;
    bool isContextChecked() const override;
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
    bool treePressed(QWidget *viewport, const QMouseEvent *event);

    ConcordanceView &conc() const;
    DictionaryLinks &dictionary() const;

    PageHost &m_host;
    ConcordanceView *m_conc = nullptr;
    DictionaryLinks *m_dictionary = nullptr;
    dictcore::UsageGrid m_grid;
    QWidget *m_area = nullptr;          // the table and the entry beside it
    QTreeWidget *m_entryTree = nullptr; // TreeDOx
    int m_entryWidth = -1;              // the entry area's width (its right edge stays)
    bool m_dragging = false;
};
