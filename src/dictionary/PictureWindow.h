#pragma once
// TForm5: a reference picture of a dictionary entry.
#include <QDialog>

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr) : QDialog(parent)
    {
        setObjectName(QStringLiteral("Form5"));
        setWindowTitle(QStringLiteral("Справочное изображение"));
        setGeometry(154, 0, 870, 600);
    }
};
