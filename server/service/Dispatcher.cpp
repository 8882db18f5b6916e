#include "Dispatcher.h"

#include <QThread>

#include <utility>

Dispatcher::Dispatcher(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
    m_heavyPool.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
}

bool Dispatcher::isHeavy(const wirerequest::Request &request)
{
    if (request.tag == "CT_N" || request.tag == "CL_E" || request.tag == "CL_B")
        return true;
    if (!request.options)
        return false;
    const OptionList &o = *request.options;
    return o.value("ListPos") == "FULL" || o.value("PrintConc") == "True"
           || !o.value("PrintText").isEmpty();
}

Dispatcher::~Dispatcher()
{
    m_pool.waitForDone();
    m_heavyPool.waitForDone();
}

void Dispatcher::setService(std::shared_ptr<const CorvusService> service)
{
    m_service = std::move(service);
    const QList<Waiting> waiting = std::exchange(m_waiting, {});
    for (const Waiting &job : waiting) {
        if (job.owner)
            start(job);
    }
}

void Dispatcher::run(QObject *owner, const wirerequest::Request &request, const SessionInfo &session,
                     Done done)
{
    Waiting job{QPointer<QObject>(owner), request, session, std::move(done)};
    if (!m_service) {
        m_waiting.append(std::move(job));
        return;
    }
    start(std::move(job));
}

void Dispatcher::start(Waiting job)
{
    std::shared_ptr<const CorvusService> service = m_service;
    Dispatcher *self = this;
    QThreadPool &lane = isHeavy(job.request) ? m_heavyPool : m_pool;
    lane.start([service, self, job = std::move(job)]() mutable {
        ServiceOutcome outcome = service->handle(job.request, job.session);
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

QList<QByteArray> ReplyOrder::complete(quint64 seq, QByteArray reply)
{
    m_done.insert(seq, std::move(reply));
    QList<QByteArray> due;
    while (!m_done.isEmpty() && m_done.firstKey() == m_due) {
        due.append(m_done.take(m_due));
        ++m_due;
    }
    return due;
}
