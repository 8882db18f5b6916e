#pragma once
// Runs requests on a thread pool and hands each outcome back on the dispatcher's
// thread (the thread of the endpoints), so a slow request on one connection does not
// hold up short ones on others. Requests that arrive before the service is ready
// (the corpus is still loading) wait and run when it is set.
//
// Ordering per connection is the endpoint's business (ReplyOrder below): the
// outcomes of one connection may come back in any order.
#include "CorvusService.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <memory>

class Dispatcher : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const ServiceOutcome &)>;

    explicit Dispatcher(QObject *parent = nullptr);
    // Waits for the running requests; their outcomes are dropped.
    ~Dispatcher() override;

    void setService(std::shared_ptr<const CorvusService> service);
    bool isReady() const { return bool(m_service); }
    const CorvusService *service() const { return m_service.get(); }

    // Handles `request` for `owner` (a connection); `done` runs on this thread,
    // unless `owner` has been destroyed by then.
    void run(QObject *owner, const wirerequest::Request &request, const SessionInfo &session, Done done);

    QThreadPool &pool() { return m_pool; }
    QThreadPool &heavyPool() { return m_heavyPool; }
    // Requests that may take long (whole-list and concordance exports, the lines of
    // a frequent word, the update files) run on a lane of their own, so that short
    // requests of other clients never queue behind them.
    static bool isHeavy(const wirerequest::Request &request);

private:
    struct Waiting {
        QPointer<QObject> owner;
        wirerequest::Request request;
        SessionInfo session;
        Done done;
    };
    void start(Waiting job);

    std::shared_ptr<const CorvusService> m_service;
    QList<Waiting> m_waiting;
    QThreadPool m_pool;
    QThreadPool m_heavyPool;
};

// Sends the replies of one connection in the order of its requests, whatever order
// they complete in.
class ReplyOrder {
public:
    quint64 reserve() { return m_next++; }
    // Stores the reply of `seq` and returns those now due, in order.
    QList<QByteArray> complete(quint64 seq, QByteArray reply);
    int inFlight() const { return int(m_next - m_due); }

private:
    quint64 m_next = 0;
    quint64 m_due = 0;
    QMap<quint64, QByteArray> m_done;
};
