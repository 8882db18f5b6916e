#pragma once
// The history buttons: on the filter panel the arrows BB_FBack and BB_F with the
// small B_FBackX ("Н") and B_FNextX ("В"), and on the filter-set page B_FBack,
// B_FNext and B_FMark. Each strip is a widget of its own that the page places;
// clicks and the arrow keys go to HistoryNavigation.
#include <QObject>

class HistoryNavigation;
class QPushButton;
class QWidget;

class HistoryButtons : public QObject {
    Q_OBJECT
public:
    HistoryButtons(HistoryNavigation &nav, QWidget *panelParent, QWidget *setParent);

    // Set-up of the concordance page: B_FNextX hidden.
    void reset();

    QWidget *panelStrip;   // BB_FBack, B_FBackX, B_FNextX, BB_F
    QWidget *setStrip;     // B_FBack, B_FNext, B_FMark
    QPushButton *BB_FBack;
    QPushButton *BB_F;
    QPushButton *B_FBackX;
    QPushButton *B_FNextX;
    QPushButton *B_FBack;
    QPushButton *B_FNext;
    QPushButton *B_FMark;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    HistoryNavigation &m_nav;
};
