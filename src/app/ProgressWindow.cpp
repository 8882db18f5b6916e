#include "ProgressWindow.h"

#include "net/Progress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("ОРВАН"));
    auto *lay = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Выполняется обработка запроса"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    B_Close = new QPushButton(QStringLiteral("Закрыть"), this);
    B_Close->setObjectName(QStringLiteral("B_Close"));
    lay->addWidget(Label1);
    lay->addWidget(ProgressBar1);
    lay->addWidget(Label2);
    lay->addWidget(B_Close);
    connect(B_Close, &QPushButton::clicked, this, [this] {
        m_closeUsed = true;
        close();
    });
}

void ProgressWindow::showProgress(const QByteArray &text, bool closeEnabled)
{
    const ProgressValues v = parseProgressText(text);
    ProgressBar1->setRange(0, v.max);
    ProgressBar1->setValue(v.pos);
    B_Close->setEnabled(closeEnabled);
    m_closeUsed = false;
    show();
}

void ProgressWindow::setPercent(int percent)
{
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(qBound(0, percent, 100));
}
