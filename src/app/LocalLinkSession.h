#pragma once
// The local mode's session: setting up the link to the local server on the link
// timer's ticks, the messages the server pushes through the item, the wait for its
// start signal and the restart of the link (F5, or any key while a request hangs).
#include <QByteArray>
#include <QObject>
#include <memory>

namespace platform {
class StartSignal;
}
class LocalLink;
class MainWindow;

class LocalLinkSession : public QObject {
    Q_OBJECT
public:
    LocalLinkSession(MainWindow &frame, LocalLink *link);
    ~LocalLinkSession() override;

    // First show: the link is to be set up, its timer at rest, the loading tag at 0.
    void reset();
    // Every reply ends the wait for the link.
    void replyArrived() { m_linkPending = false; }

    // The item changed: "Server is Ready", "CLOSE", or a reply.
    void LocalMessage(const QByteArray &text);
    void GetServerTimerTick();
    void TimerForServerTick();
    // A key press while a request hangs, or F5, restarts the link; `consumed` says
    // whether the key was taken.
    void linkRestartCheck(int keyCode, bool *consumed);
    // Closing the window: tells a local server "CLOSE".
    void close();

    const QByteArray &localServerState() const { return m_localServerState; }
    bool linkPending() const { return m_linkPending; }
    bool linked() const { return m_linked; }

private:
    void restartLocalLink(int keyCode);
    // No local server file was found in the current folder: said once.
    void reportMissingServer();

    MainWindow &m_frame;
    LocalLink *m_link;
    QByteArray m_localServerState;   // "", "IS", "Server is Ready"
    bool m_linkPending = false;
    bool m_linked = false;
    int m_getServerTag = 0;
    bool m_missingReported = false;
    std::unique_ptr<platform::StartSignal> m_startSignal;
};
