#pragma once
// TF_SortSeq: the order of the concordance lines.
#include <QDialog>

class TF_SortSeq : public QDialog {
    Q_OBJECT
public:
    explicit TF_SortSeq(QWidget *parent = nullptr) : QDialog(parent)
    {
        setObjectName(QStringLiteral("F_SortSeq"));
        setWindowTitle(QStringLiteral("Порядок сортировки конкорданса"));
        setModal(true);
    }
};
