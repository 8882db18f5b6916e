#include "RequestSender.h"

#include "SessionLog.h"
#include "SessionState.h"
#include "model/Cp1251.h"
#include "net/Channel.h"

void RequestSender::SendToServer(const QByteArray &tag, const QByteArray &params)
{
    m_log.append("Send on " + tag + " NMD_C=" + QByteArray::number(m_state.registrationRetries));
    m_state.idleForKeys = false;
    if (m_busy)
        m_busy();

    RequestHistory &h = m_state.History;
    if (!m_channel)
        return;
    if (!h.replaying()) {
        if (!m_channel->send(tag, params))
            return;
        h.record(tag, params);
    } else {
        const auto stored = h.replayRequest();
        if (!stored)
            return;   // an entry without "=" stops the replay here
        if (!m_channel->send(stored->first, stored->second))
            return;   // queue and cursor stay: the next call continues the replay
        h.replaySent();
    }
    h.finishReplayIfDone();
    m_state.PendingRequest = cp1251::ru("Запрос не завершён");
}

void RequestSender::startReplay(const QList<int> &queue, const QByteArray &tag,
                                const QByteArray &params)
{
    m_state.History.startReplay(queue);
    SendToServer(tag, params);
}
