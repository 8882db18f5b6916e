#pragma once
// The frame's hidden top panel P_Top (close and connect buttons), its menu bar and
// status bar: "Файл" (close, connect), "Шрифт" (the two font
// commands), "Помощь", and the status bar SB_Info with its two panels (630 and 50
// pixels, no bevels).
class QAction;
class QLabel;
class QMainWindow;
class QPushButton;
class QWidget;

struct FrameChrome {
    // P_Top is created hidden inside `central`, at the top of its layout.
    FrameChrome(QMainWindow *window, QWidget *central);

    QWidget *P_Top = nullptr;
    QPushButton *B_Close = nullptr;
    QPushButton *B_Connect = nullptr;
    QLabel *SB_Panel0 = nullptr;
    QLabel *SB_Panel1 = nullptr;
    QAction *M_Close = nullptr;
    QAction *M_Conn = nullptr;
    QAction *M_Font = nullptr;
    QAction *M_ConcFont = nullptr;
    QAction *M_Help = nullptr;
};
