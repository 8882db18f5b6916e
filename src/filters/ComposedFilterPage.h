#pragma once
// TS_FGrp ("Набор фильтров"): the values of the current composed filter-list
// (LB_Filter), the lists (LB_Filter_Chars), the buttons B_Filter_Del, B_Filter_Clr
// and B_Filter_New, and the pop-up PM_Filter, whose one item also attaches and
// detaches a list on a filter row while "Фильтры" is shown. The lists are the
// session's tComposed_Filters_Set; this page shows them and asks the questions.
#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

class ConcordanceView;
class PageHost;
class FilterPanel;
class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
namespace filtercore {
class tComposed_Filters_Set;
}

class ComposedFilterPage : public QWidget {
    Q_OBJECT
public:
    ComposedFilterPage(PageHost &host, ConcordanceView &conc, FilterPanel &rows, QWidget *parent);

    // Shows the set on the list boxes and refreshes the buttons (LB_Filter_Reset).
    void LB_Filter_Reset();
    // Set-up of the concordance page: a new, empty set.
    void reset();

    // Handlers.
    void PC_FltrsChange();
    void B_Filter_NewClick();
    void B_Filter_ClrClick();
    void B_Filter_DelClick();
    void LB_Filter_CharsClick(int row);
    void M_Wide_FullClick();
    void SelectRowFilter(int charNo);

    // "Выбор из списка": the chosen line's index, -1 when none; the dialog when unset.
    std::function<int(const QList<QByteArray> &lines)> chooseLine;

    QLabel *L_Filter;
    QListWidget *LB_Filter;
    QLabel *L_VC;
    QListWidget *LB_Filter_Chars;
    QPushButton *B_Filter_Del;
    QPushButton *B_Filter_Clr;
    QPushButton *B_Filter_New;
    QMenu *PM_Filter;
    QAction *PM_FIlter_F;
    // "TMI_Fltrs" in the value list's pop-up while this page is shown.
    QPointer<QAction> TMI_Fltrs;   // the menu owns it

private:
    filtercore::tComposed_Filters_Set &set();
    bool onThisPage() const;
    int choose(const QList<QByteArray> &lines);

    PageHost &m_host;
    ConcordanceView &m_conc;
    FilterPanel &m_rows;
    bool m_wasShown = false;
};

// The modal "Выбор из списка": the caller fills the list and reads the chosen line.
int selectFromList(QWidget *parent, const QList<QByteArray> &lines);
