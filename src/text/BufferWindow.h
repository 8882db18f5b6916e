#pragma once
// TT_F2: the buffer of collected lines and fragments.
#include <QDialog>

class TT_F2 : public QDialog {
    Q_OBJECT
public:
    explicit TT_F2(QWidget *parent = nullptr) : QDialog(parent)
    {
        setObjectName(QStringLiteral("T_F2"));
        setModal(true);
        setGeometry(70, 119, 760, 530);
    }
};
