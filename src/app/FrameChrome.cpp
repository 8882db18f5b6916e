#include "FrameChrome.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace {

QAction *named(QAction *action, const char *name)
{
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

FrameChrome::FrameChrome(QMainWindow *window, QWidget *central)
{
    P_Top = new QWidget(central);
    P_Top->setObjectName(QStringLiteral("P_Top"));
    auto *top = new QHBoxLayout(P_Top);
    B_Close = new QPushButton(QStringLiteral("Завершить"), P_Top);
    B_Close->setObjectName(QStringLiteral("B_Close"));
    B_Connect = new QPushButton(QStringLiteral("Подключиться к серверу"), P_Top);
    B_Connect->setObjectName(QStringLiteral("B_Connect"));
    top->addWidget(B_Close);
    top->addWidget(B_Connect);
    P_Top->hide();
    if (central->layout())
        central->layout()->addWidget(P_Top);

    QStatusBar *bar = window->statusBar();
    bar->setObjectName(QStringLiteral("SB_Info"));
    bar->setSizeGripEnabled(false);
    SB_Panel0 = new QLabel(bar);
    SB_Panel0->setObjectName(QStringLiteral("SB_Panel0"));
    // Panel 0 is 630 pixels wide at least and grows to the hint it carries, so that
    // the key hints are not cut off in a wider font; panel 1 (50 at least) takes
    // the rest of the bar. Explicit minimums keep long texts from widening the window.
    SB_Panel0->setMinimumWidth(630);
    SB_Panel1 = new QLabel(bar);
    SB_Panel1->setObjectName(QStringLiteral("SB_Panel1"));
    SB_Panel1->setMinimumWidth(50);
    SB_Panel1->setAlignment(Qt::AlignCenter);
    bar->addWidget(SB_Panel0);
    bar->addWidget(SB_Panel1, 1);

    QMenuBar *menus = window->menuBar();
    QMenu *file = menus->addMenu(QStringLiteral("Файл"));
    M_Close = named(file->addAction(QStringLiteral("Завершить")), "M_Close");
    M_Conn = named(file->addAction(QStringLiteral("Подключиться к серверу")), "M_Conn");
    QMenu *font = menus->addMenu(QStringLiteral("Шрифт"));
    M_Font = named(font->addAction(QStringLiteral("Шрифт...")), "M_Font");
    M_ConcFont = named(font->addAction(QStringLiteral("Шрифт конкорданса")), "M_ConcFont");
    M_Help = named(menus->addAction(QStringLiteral("Помощь")), "M_Help");
}
