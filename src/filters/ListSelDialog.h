#pragma once
// TF_ListSel: the choice of characteristics offered by each group.
#include <QDialog>

class TF_ListSel : public QDialog {
    Q_OBJECT
public:
    explicit TF_ListSel(QWidget *parent = nullptr) : QDialog(parent)
    {
        setObjectName(QStringLiteral("F_ListSel"));
        setWindowTitle(QStringLiteral("Выбор списка характеристик"));
        setModal(true);
    }
};
