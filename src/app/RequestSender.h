#pragma once
// The one way out for every request: logs it, shows the busy cursor, puts it on the
// channel, records it in the history (or sends the next replayed entry instead) and
// marks it pending until a reply arrives.
#include <QByteArray>
#include <functional>

class Channel;
class SessionLog;
struct SessionState;

class RequestSender {
public:
    RequestSender(SessionState &state, SessionLog &log) : m_state(state), m_log(log) {}

    void setChannel(Channel *channel) { m_channel = channel; }
    Channel *channel() const { return m_channel; }
    // Called when a request goes out, to show the hourglass on the busy views.
    void setBusyHook(std::function<void()> hook) { m_busy = std::move(hook); }

    // True when a request went out on the channel.
    bool SendToServer(const QByteArray &tag, const QByteArray &params);

private:
    SessionState &m_state;
    SessionLog &m_log;
    Channel *m_channel = nullptr;
    std::function<void()> m_busy;
};
