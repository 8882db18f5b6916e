#pragma once
// Runs requests on a thread pool and hands each outcome back on the dispatcher's
// thread (the thread of the endpoints), so a slow request on one connection does not
// hold up short ones on others. Requests that arrive before the service is ready
// (the corpus is still loading) wait and run when it is set.
//
// Ordering per connection is the endpoint's business (ReplyOrder below): the
// outcomes of one connection may come back in any order.
//
// A request whose client has gone (SessionInfo::cancel set) is dropped: a waiting
// one is not started, a running one stops at its next check (Cancel.h); either way
// no outcome comes back and its memory is freed.
//
// While the service stands on a cache file whose full check is still running
// (hold()), only the requests that read nothing from it run: registration, server
// information and the update files (answersWhileHeld()); the others wait for
// release(), and are then answered by the service set last.
#include "service/CorvusService.h"

#include <QMap>
#include <QObject>
#include <atomic>
#include <optional>
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
    // Requests other than answersWhileHeld() wait until release().
    void hold() { m_held = true; }
    void release();
    static bool answersWhileHeld(const wirerequest::Request &request);
    const CorvusService *service() const { return m_service.get(); }

    // Handles `request` for `owner` (a connection); `done` runs on this thread,
    // unless `owner` has been destroyed by then. `cost` chooses the lane; without
    // it the service estimates it.
    void run(QObject *owner, const wirerequest::Request &request, const SessionInfo &session, Done done);
    void run(QObject *owner, const wirerequest::Request &request, const SessionInfo &session, Cost cost,
             Done done);
    // What the request will cost (the service's estimate; by kind before the
    // service is set).
    Cost costOf(const wirerequest::Request &request) const;
    // Requests dropped because their client had gone, since the start.
    int cancelledCount() const { return m_cancelled.load(); }

    QThreadPool &pool() { return m_pool; }
    QThreadPool &heavyPool() { return m_heavyPool; }
    // Requests that may take long by their kind (whole-list and concordance
    // exports, lines, the update files); the lane is chosen by costOf(), which asks
    // the service, whose estimate may know that a given page is cheap.
    static bool isHeavy(const wirerequest::Request &request);

private:
    struct Waiting {
        QPointer<QObject> owner;
        wirerequest::Request request;
        SessionInfo session;
        Done done;
        std::optional<Cost> cost;
    };
    void start(Waiting job);

    bool waits(const Waiting &job) const;

    std::shared_ptr<const CorvusService> m_service;
    bool m_held = false;
    QList<Waiting> m_waiting;
    QThreadPool m_pool;
    QThreadPool m_heavyPool;
    std::atomic<int> m_cancelled{0};
};

// A reply due on a connection: its bytes, or the front of a streamed reply and
// the rest still to be made (ReplyRest).
struct Outgoing {
    QByteArray bytes;
    std::shared_ptr<ReplyRest> rest;
    // What it holds in memory now.
    qint64 heldBytes() const { return bytes.size() + (rest ? rest->heldBytes() : 0); }
    // What its client has still to take.
    qint64 unsentBytes() const { return bytes.size() + (rest ? rest->remaining() : 0); }
};

// Sends the replies of one connection in the order of its requests, whatever order
// they complete in.
class ReplyOrder {
public:
    quint64 reserve() { return m_next++; }
    // Stores the reply of `seq` and returns those now due, in order.
    QList<Outgoing> complete(quint64 seq, Outgoing reply);
    int inFlight() const { return int(m_next - m_due); }
    // Bytes of the replies done but waiting for an earlier one: held in memory, and
    // still to be taken by the client (a streamed reply's rest is not made yet).
    qint64 heldBytes() const { return m_heldBytes; }
    qint64 unsentBytes() const { return m_unsentBytes; }

private:
    quint64 m_next = 0;
    quint64 m_due = 0;
    QMap<quint64, Outgoing> m_done;
    qint64 m_heldBytes = 0;
    qint64 m_unsentBytes = 0;
};
