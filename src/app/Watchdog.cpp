#include "Watchdog.h"

#include "MainWindow.h"
#include "ProgressWindow.h"
#include "SelfUpdate.h"
#include "model/Cp1251.h"

#include <QTime>

namespace {

// A request that has had no reply for this long is given up.
constexpr int PendingRequestLimitMs = 60000;
// Ticks (of 100 ms) after which a disabled window is enabled again.
constexpr int TickLimit = 300;

} // namespace

Watchdog::Watchdog(MainWindow &frame) : QObject(&frame), m_frame(frame)
{
    m_pendingGuard.setSingleShot(true);
    m_pendingGuard.setInterval(PendingRequestLimitMs);
    connect(&m_pendingGuard, &QTimer::timeout, this, [this] {
        if (!m_frame.state().PendingRequest.isEmpty())
            m_frame.endPendingRequest(QStringLiteral("Сервер не ответил на запрос"));
    });
    connect(&m_frame.Timer, &QTimer::timeout, this, &Watchdog::TimerTick);
}

void Watchdog::requestSent()
{
    m_ticks = 0;
    m_frame.Timer.start(100);
    m_pendingGuard.start();
}

void Watchdog::firstShow(bool socketMode)
{
    if (!socketMode)
        return;
    m_firstWebTick = true;
    m_ticks = 0;
    m_frame.Timer.start();
}

void Watchdog::TimerTick()
{
    QTimer &timer = m_frame.Timer;
    logTimer(&timer, cp1251::ru("начало"));
    if (++m_ticks > TickLimit) {
        m_ticks = 0;
        timer.stop();
        m_frame.setEnabled(true);
        logTimer(&timer, "1");
        return;
    }
    if (m_firstWebTick) {
        m_firstWebTick = false;
        timer.stop();
        m_frame.selfUpdate()->postUpdateCleanup();
        logTimer(&timer, "first");
    } else if (m_frame.isEnabled()) {
        timer.stop();
        logTimer(&timer, "2");
    } else {
        logTimer(&timer, "LOCAL");
        if (m_frame.config().isWeb())
            closeProgressIfAsked();
    }
}

void Watchdog::closeProgressIfAsked()
{
    ProgressWindow *progress = m_frame.Form2;
    if (progress && progress->isVisible()) {
        if (progress->closeUsed()) {
            m_frame.Timer.stop();
            progress->close();
        }
    } else {
        m_frame.Timer.stop();
        logTimer(&m_frame.Timer, cp1251::ru("конец"));
    }
}

void Watchdog::logTimer(QTimer *ticking, const QByteArray &label)
{
    QByteArray line = QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).toLatin1() + " : ";
    QList<QTimer *> order{ticking};
    for (QTimer *t : {&m_frame.Timer, &m_frame.GetServerTimer})
        if (t != ticking)
            order.append(t);
    for (QTimer *t : order)
        line += t->objectName().toLatin1() + "=" + QByteArray::number(t->isActive() ? t->interval() : 0)
                + ",";
    // The log's layout names two more timers of the window, which never run in
    // this program.
    m_frame.log().append(line + "ITimer=0,InfoTimer=0," + label);
}
