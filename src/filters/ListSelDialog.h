#pragma once
// ListSelDialog: the choice of characteristics offered by one group. LBC lists the
// characteristics on offer and not chosen, LBS the chosen ones in order; the
// buttons and keys move lines between them and within LBS. "Отменить" restores the
// selection the dialog opened with. The decisions are filtercore::ListSelection's.
#include "filters/core/ListSelection.h"

#include <QByteArray>
#include <QDialog>
#include <QList>

class QLabel;
class QListWidget;
class QPushButton;

class ListSelDialog : public QDialog {
    Q_OBJECT
public:
    explicit ListSelDialog(QWidget *parent = nullptr);

    // Before showing: the heading, the characteristics' names (1251, by number),
    // the markers and the selection (characteristic numbers in order).
    void prepare(const QString &caption, const QList<QByteArray> &names, const QList<int> &markers,
                 const QByteArray &selection);
    const filtercore::ListSelection &selection() const { return m_sel; }

    // The dialog's operations (also reached by keys and double clicks).
    void B_SelClick();
    void B_DelClick();
    void B_UpClick();
    void B_DnClick();
    void B_AllClick();
    void B_ClrClick();
    void B_CancelClick();
    void B_CloseClick();

    QLabel *L_Cap;
    QLabel *Label1;
    QListWidget *LBC;
    QLabel *Label2;
    QListWidget *LBS;
    QPushButton *B_Sel;
    QPushButton *B_Del;
    QPushButton *B_Up;
    QPushButton *B_Dn;
    QPushButton *B_All;
    QPushButton *B_Clr;
    QPushButton *B_Close;
    QPushButton *B_Cancel;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    void FormShow();
    // Both lists from the state; `lbcRow` / `lbsRow` are the lines to select
    // (clamped; -1 for none).
    void refresh(int lbcRow, int lbsRow);
    // The label above the list with the keyboard is drawn red.
    void focusList(QListWidget *list);
    void paintLabels();
    bool LBCKeyDown(int key, Qt::KeyboardModifiers mods);
    bool LBSKeyDown(int key, Qt::KeyboardModifiers mods);
    // The characteristic carried by a list's current line; -1 when none.
    static int currentChar(const QListWidget *list);

    filtercore::ListSelection m_sel;
    QList<QByteArray> m_names;
    QList<int> m_markers;
    QByteArray m_initial;
    QListWidget *m_active = nullptr;
};
