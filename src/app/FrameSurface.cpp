#include "FrameSurface.h"

#include "session/PageHost.h"
#include "session/SessionState.h"

#include <QEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QStatusBar>

FrameSurface::FrameSurface(QMainWindow &window, PageHost &host)
    : QObject(&window), m_window(window), m_host(host), m_bar(window.statusBar())
{
    m_bar->setMouseTracking(true);
    m_bar->installEventFilter(this);
    window.installEventFilter(this);
}

bool FrameSurface::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::Leave && type != QEvent::MouseButtonPress)
        return false;
    QStatusBar *bar = m_bar;
    if (watched == bar && (type == QEvent::MouseMove || type == QEvent::Leave)) {
        const bool over = type == QEvent::MouseMove && static_cast<QMouseEvent *>(event)->position().y() >= 1;
        QFont f = bar->font();
        f.setBold(over);
        bar->setFont(f);
        QPalette p = bar->palette();
        p.setColor(QPalette::Window, over ? QColor(0x00, 0xFF, 0xFF) : QPalette().color(QPalette::Button));
        bar->setPalette(p);
        bar->setAutoFillBackground(true);
    } else if (watched == &m_window && type == QEvent::MouseButtonPress
               && !m_host.state().PendingRequest.isEmpty()) {
        m_host.showProgress("0,0,", true);
    }
    return false;
}
