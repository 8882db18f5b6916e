#include "GuideWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

const QString GuideWindow::Caption = QStringLiteral("Lexar — руководство пользователя");

GuideWindow::GuideWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_Guide"));
    setWindowTitle(Caption);
    setModal(false);
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    resize(980, 720);

    auto *lay = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    B_Back = new QPushButton(QStringLiteral("Назад"), this);
    B_Back->setObjectName(QStringLiteral("B_Back"));
    B_Back->setEnabled(false);
    B_Contents = new QPushButton(QStringLiteral("Содержание"), this);
    B_Contents->setObjectName(QStringLiteral("B_Contents"));
    B_Close = new QPushButton(QStringLiteral("Закрыть"), this);
    B_Close->setObjectName(QStringLiteral("B_Close"));
    bar->addWidget(B_Back);
    bar->addWidget(B_Contents);
    bar->addStretch(1);
    bar->addWidget(B_Close);
    lay->addLayout(bar);

    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Links to the web leave the program; the guide's own links stay in the window.
    Browser->setOpenExternalLinks(true);
    lay->addWidget(Browser, 1);

    connect(Browser, &QTextBrowser::backwardAvailable, B_Back, &QWidget::setEnabled);
    connect(B_Back, &QPushButton::clicked, Browser, &QTextBrowser::backward);
    connect(B_Contents, &QPushButton::clicked, Browser, &QTextBrowser::home);
    connect(B_Close, &QPushButton::clicked, this, &QWidget::close);
}

void GuideWindow::showGuide(const QString &file)
{
    if (file != m_file) {
        m_file = file;
        Browser->clearHistory();
        Browser->setSource(QUrl::fromLocalFile(file));
    }
    show();
    raise();
    activateWindow();
}
