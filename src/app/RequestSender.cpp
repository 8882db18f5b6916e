#include "RequestSender.h"

#include "SessionLog.h"
#include "session/SessionState.h"
#include "model/Cp1251.h"
#include "net/Channel.h"

bool RequestSender::SendToServer(const QByteArray &tag, const QByteArray &params)
{
    m_log.append("Send on " + tag + " NMD_C=" + QByteArray::number(m_state.registrationRetries));
    m_state.idleForKeys = false;
    if (m_busy)
        m_busy();

    RequestHistory &h = m_state.History;
    if (!m_channel)
        return false;
    if (!h.replaying()) {
        if (!m_channel->send(tag, params))
            return false;
        h.record(tag, params);
    } else {
        const auto stored = h.replayRequest();
        if (!stored)
            return false;   // an entry without "=" stops the replay here
        if (!m_channel->send(stored->first, stored->second))
            return false;   // queue and cursor stay: the next call continues the replay
        h.replaySent();
    }
    h.finishReplayIfDone();
    m_state.PendingRequest = cp1251::ru("Запрос не завершён");
    return true;
}
