#pragma once
// What Corvus answers, independent of the endpoint: the greeting, registration,
// server information, the dictionary requests and "ZERO" for everything it cannot
// serve. Immutable once serving starts; handle() is called from the request threads
// concurrently.
#include "Cancel.h"
#include "DictionaryReplies.h"
#include "WireRequest.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

class UpdateOffer;

// What an endpoint knows about its client.
struct SessionInfo {
    QByteArray userName;   // from the registration request, 1251
    QByteArray clientVersion;   // the digits and dots before the user name at registration
    bool local = false;    // the local link
    // Set when the client has gone: its requests stop (see Cancel.h).
    std::shared_ptr<const cancel::Flag> cancel;
};

// What a request will cost, as far as can be told before it runs. Long requests run
// on a lane of their own, so that short ones never queue behind them, and a
// connection has only a few of them in hand at once.
enum class Cost { Short, Long };

struct ServiceOutcome {
    QByteArray reply;                        // the whole reply as it goes on the wire
    std::optional<QByteArray> registeredAs;  // a registration: the session's new user name
    QByteArray clientVersion;                // with registeredAs: the session's new client version
};

// The facts about the corpus that the session replies report.
struct CorpusFacts {
    QByteArray label;        // e.g. "fortunes-ru", 1251
    quint64 wordCount = 0;   // word tokens
    quint64 textCount = 0;
};

class CorvusService {
public:
    using Handler = std::function<QByteArray(const wirerequest::Request &, const SessionInfo &)>;

    CorvusService(CorpusFacts facts, QList<std::shared_ptr<const ServedDictionary>> dictionaries);

    // A handler for another tag (the concordance requests): it returns the whole
    // reply. Registering "CN_C" offers concordances at registration ("CONC,"),
    // registering "CT_D" offers the usage sub-page (option "SS"="YES"). Only before
    // serving starts.
    void setHandler(const QByteArray &tag, Handler handler);
    // What a request of `tag` will cost, asked before it runs (from the endpoints'
    // thread: it must be quick and must not wait for running requests). Tags without
    // an estimate are classed by kind (costByKind). Only before serving starts.
    using CostEstimate = std::function<Cost(const wirerequest::Request &)>;
    void setCostEstimate(const QByteArray &tag, CostEstimate estimate);
    Cost costOf(const wirerequest::Request &request) const;
    // By the kind of request alone: whole-list and concordance exports, text prints,
    // the update files and every "CT_N" may take long.
    static Cost costByKind(const wirerequest::Request &request);

    // The concordance value that a dictionary headword stands for (dictionary
    // number, 0-based headword -> value number, characteristic number): a "DC_S"
    // reply then carries them as the options "DTCR"/"DTCC" (and removes them for a
    // headword without one). Only before serving starts.
    using EntryTie = std::function<std::optional<std::pair<qint32, qint32>>(int dictNo, int place)>;
    void setEntryTie(EntryTie tie) { m_entryTie = std::move(tie); }
    // The newer client served by "CL_E"/"CL_B"; every reply to a remote client of an
    // older version is marked "U". Only before serving starts.
    void setUpdateOffer(std::shared_ptr<const UpdateOffer> offer);
    const UpdateOffer *updateOffer() const { return m_update.get(); }

    // "$RG=" sent when a TCP connection is accepted.
    QByteArray greeting() const;
    ServiceOutcome handle(const wirerequest::Request &request, const SessionInfo &session) const;
    // `reply` as it goes to `session`: with the mark "U" when an update is offered to it.
    QByteArray markedFor(const SessionInfo &session, const QByteArray &reply) const;
    // The reply to bytes that are not a request.
    static QByteArray badRequest(const QByteArray &reason1251);

    // Bodies, for tests and the local link's "RegisterMe".
    QByteArray registrationBody(const QByteArray &params) const;
    QByteArray infoText() const;
    const QList<std::shared_ptr<const ServedDictionary>> &dictionaries() const { return m_dictionaries; }
    const CorpusFacts &facts() const { return m_facts; }

private:
    ServiceOutcome answer(const wirerequest::Request &request, const SessionInfo &session) const;
    QByteArray updateReply(const QByteArray &tag, const SessionInfo &session) const;
    QByteArray dictionaryReply(const wirerequest::Request &request) const;

    CorpusFacts m_facts;
    QList<std::shared_ptr<const ServedDictionary>> m_dictionaries;
    QHash<QByteArray, Handler> m_handlers;
    QHash<QByteArray, CostEstimate> m_costs;
    EntryTie m_entryTie;
    std::shared_ptr<const UpdateOffer> m_update;
};
