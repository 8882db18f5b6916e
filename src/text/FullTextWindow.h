#pragma once
// TForm4: the full-text window of the fast listing.
#include <QDialog>

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr) : QDialog(parent)
    {
        setObjectName(QStringLiteral("Form4"));
        setModal(true);
    }
};
