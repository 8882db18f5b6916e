#pragma once
// The main window's surface: the status bar turns bold on aqua while the mouse is
// over it below its top pixel row, and a press on the window while a request is
// pending brings up the progress window.
#include <QObject>
#include <QPointer>

class PageHost;
class QMainWindow;
class QStatusBar;

class FrameSurface : public QObject {
public:
    FrameSurface(QMainWindow &window, PageHost &host);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMainWindow &m_window;
    PageHost &m_host;
    QPointer<QStatusBar> m_bar;
};
