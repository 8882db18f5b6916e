#pragma once
// The sub-page "Настройка списков" (TS_CharList): the group chosen in CB_Groups,
// B_ListSel opening the dialog that edits which characteristics the group offers and
// in which order, the hierarchy check box CB_DST (its behaviour stays with the
// dictionary links that own it) and CB_ListPos. The result becomes the option
// "Char" + G; groups 0 and 1 refill the value list's combo boxes, group 2 (the
// usage grid's columns) asks for the current concordance again.
#include "concordance/core/ConcReplies.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <functional>

class ConcPage;
class PageHost;
class QCheckBox;
class QComboBox;
class QPushButton;
class QWidget;
class ListSelDialog;

class CharListPage : public QObject {
    Q_OBJECT
public:
    // Builds the controls on `tab`; `dst` is moved there. `dialog` gives the
    // selection dialog when it is needed (it is made after the pages).
    CharListPage(PageHost &host, ConcPage &page, QWidget *tab, QCheckBox *dst,
                 std::function<ListSelDialog *()> dialog);

    // The groups arrived: CB_Groups lists them and shows group 0.
    void groupsChanged(const QList<conccore::Group> &groups);
    void selectGroupZero();
    // Set-up of the concordance page: CB_ListPos hidden.
    void reset();
    void B_ListSelClick();
    // Applies a chosen selection (characteristic numbers in order) to group `g`.
    void applySelection(int g, const QByteArray &selection);

    QComboBox *CB_Groups;
    QPushButton *B_ListSel;
    QCheckBox *CB_DST;
    QCheckBox *CB_ListPos;

private:
    void refillCombo(QComboBox *box, const QByteArray &code);

    PageHost &m_host;
    ConcPage &m_page;
    std::function<ListSelDialog *()> m_dialog;
    QList<QByteArray> m_lines;   // the group lines, by group index
};
