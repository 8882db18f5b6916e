#pragma once
// The send watchdog and the timer log. Every request restarts the watchdog; its ticks
// re-enable a window left disabled for too long, close a progress window whose close
// button was used, and, on the first tick after the first show in the socket mode,
// remove a leftover updater. A separate guard gives up a request that has had no reply
// for a minute, so that the keys, swallowed while a request is pending, come back.
#include <QByteArray>
#include <QObject>
#include <QTimer>

class MainWindow;

class Watchdog : public QObject {
    Q_OBJECT
public:
    explicit Watchdog(MainWindow &frame);

    // A request went out.
    void requestSent();
    // A reply arrived, or nothing is awaited any more.
    void requestEnded() { m_pendingGuard.stop(); }
    // First show: in the socket mode the watchdog starts, and its first tick cleans up
    // after an update.
    void firstShow(bool socketMode);
    void TimerTick();
    // A line of the timer log: the time, every timer's interval (0 when stopped, the
    // ticking one first) and `label`.
    void logTimer(QTimer *ticking, const QByteArray &label);

private:
    void closeProgressIfAsked();

    MainWindow &m_frame;
    int m_ticks = 0;
    bool m_firstWebTick = false;
    QTimer m_pendingGuard;
};
