#pragma once
// SortSeqDialog: the order of the concordance lines. Offers the six sort sequences in
// CB_Seq; B_SSeq_OK shows only while the chosen code differs from the one the dialog
// was opened with. The decisions are conccore::SortDialogState's.
#include "concordance/core/SortSeq.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

class SortSeqDialog : public QDialog {
    Q_OBJECT
public:
    explicit SortSeqDialog(QWidget *parent = nullptr);

    // The chosen code (the option "SortSeq" of the last reply, or the user's).
    void setChosen(const QByteArray &code) { m_state.chosen = code; }
    QByteArray chosen() const { return m_state.chosen; }
    const conccore::SortDialogState &dialogState() const { return m_state; }

    QLabel *Label1;
    QComboBox *CB_Seq;
    QPushButton *B_SSeq_OK;
    QPushButton *B_Canc;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void CB_SeqChange(int index);

    conccore::SortDialogState m_state;
};
