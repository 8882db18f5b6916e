#include "service/Dispatcher.h"

#include "protocol/Priority.h"

#include <QThread>

#include <utility>

Dispatcher::Dispatcher(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
    m_heavyPool.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
}

bool Dispatcher::isHeavy(const wirerequest::Request &request)
{
    return CorvusService::costByKind(request) == Cost::Long;
}

Cost Dispatcher::costOf(const wirerequest::Request &request) const
{
    return m_service ? m_service->costOf(request) : CorvusService::costByKind(request);
}

Dispatcher::~Dispatcher()
{
    m_pool.waitForDone();
    m_heavyPool.waitForDone();
}

bool Dispatcher::answersWhileHeld(const wirerequest::Request &request)
{
    const QByteArray &tag = request.tag;
    return tag == "NM" || tag == "NMD" || tag == "INFO" || tag == "CL_E" || tag == "CL_B";
}

bool Dispatcher::waits(const Waiting &job) const
{
    return !m_service || (m_held && !answersWhileHeld(job.request));
}

void Dispatcher::setService(std::shared_ptr<const CorvusService> service)
{
    m_service = std::move(service);
    QList<Waiting> waiting = std::exchange(m_waiting, {});
    for (Waiting &job : waiting) {
        if (!job.owner)
            continue;
        if (waits(job))
            m_waiting.append(std::move(job));
        else
            start(std::move(job));
    }
}

void Dispatcher::release()
{
    m_held = false;
    setService(m_service);
}

void Dispatcher::run(QObject *owner, const wirerequest::Request &request, const SessionInfo &session,
                     Done done)
{
    Waiting job{QPointer<QObject>(owner), request, session, std::move(done), std::nullopt};
    if (waits(job)) {
        m_waiting.append(std::move(job));
        return;
    }
    start(std::move(job));
}

void Dispatcher::run(QObject *owner, const wirerequest::Request &request, const SessionInfo &session,
                     Cost cost, Done done)
{
    Waiting job{QPointer<QObject>(owner), request, session, std::move(done), cost};
    if (waits(job)) {
        m_waiting.append(std::move(job));
        return;
    }
    start(std::move(job));
}

void Dispatcher::start(Waiting job)
{
    std::shared_ptr<const CorvusService> service = m_service;
    Dispatcher *self = this;
    const Cost cost = job.cost ? *job.cost : service->costOf(job.request);
    QThreadPool &lane = cost == Cost::Long ? m_heavyPool : m_pool;
    lane.start([service, self, cost, job = std::move(job)]() mutable {
        if (cost == Cost::Long)
            priority::lowerThisThread(priority::LongWork);
        const cancel::Flag *flag = job.session.cancel.get();
        std::optional<ServiceOutcome> done;
        if (!flag || !flag->isSet()) {
            cancel::Scope scope(flag);
            try {
                done = service->handleStreamed(job.request, job.session);
            } catch (const cancel::Cancelled &) {
            }
        }
        if (!done) {
            // Nobody to answer: the request and what it made go now.
            ++self->m_cancelled;
            return;
        }
        ServiceOutcome outcome = std::move(*done);
        // The dispatcher outlives its pool's jobs (its destructor waits for them),
        // and the outcome is posted to it, not to the connection, which may go
        // away meanwhile.
        QMetaObject::invokeMethod(
            self,
            [owner = job.owner, done = std::move(job.done), outcome = std::move(outcome)] {
                if (owner)
                    done(outcome);
            },
            Qt::QueuedConnection);
    });
}

QList<Outgoing> ReplyOrder::complete(quint64 seq, Outgoing reply)
{
    // A streamed rest is counted as it stands now: it makes nothing while it waits.
    m_heldBytes += reply.heldBytes();
    m_unsentBytes += reply.unsentBytes();
    m_done.insert(seq, std::move(reply));
    QList<Outgoing> due;
    while (!m_done.isEmpty() && m_done.firstKey() == m_due) {
        due.append(m_done.take(m_due));
        m_heldBytes -= due.back().heldBytes();
        m_unsentBytes -= due.back().unsentBytes();
        ++m_due;
    }
    return due;
}
