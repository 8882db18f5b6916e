#include "SortSeqDialog.h"

#include "model/Cp1251.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SortSeqDialog::SortSeqDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_SortSeq"));
    setWindowTitle(QStringLiteral("Порядок сортировки конкорданса"));
    setModal(true);
    auto *v = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Порядок сортировки слов в конкордансе"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    CB_Seq = new QComboBox(this);
    CB_Seq->setObjectName(QStringLiteral("CB_Seq"));
    for (const QByteArray &entry : conccore::sortEntries())
        CB_Seq->addItem(cp1251::decode(entry));
    CB_Seq->setCurrentIndex(-1);
    auto *buttons = new QHBoxLayout;
    B_SSeq_OK = new QPushButton(this);
    B_SSeq_OK->setObjectName(QStringLiteral("B_SSeq_OK"));
    B_Canc = new QPushButton(this);
    B_Canc->setObjectName(QStringLiteral("B_Canc"));
    buttons->addWidget(B_SSeq_OK);
    buttons->addStretch(1);
    buttons->addWidget(B_Canc);
    v->addWidget(Label1);
    v->addWidget(CB_Seq);
    v->addLayout(buttons);
    connect(CB_Seq, &QComboBox::activated, this, &SortSeqDialog::CB_SeqChange);
    connect(B_SSeq_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(B_Canc, &QPushButton::clicked, this, &QDialog::reject);
}

void SortSeqDialog::showEvent(QShowEvent *event)
{
    B_SSeq_OK->setText(QStringLiteral("Применить выбранный порядок"));
    B_Canc->setText(QStringLiteral("Отменить"));
    m_state.selected = CB_Seq->currentIndex();
    m_state.open();
    CB_Seq->setCurrentIndex(m_state.selected);
    B_SSeq_OK->setVisible(m_state.okVisible);
    QDialog::showEvent(event);
}

void SortSeqDialog::CB_SeqChange(int index)
{
    m_state.select(index);
    B_SSeq_OK->setVisible(m_state.okVisible);
}
