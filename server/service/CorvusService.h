#pragma once
// What Corvus answers, independent of the endpoint: the greeting, registration,
// server information, the dictionary requests and "ZERO" for everything it cannot
// serve; the other requests by the handlers installed in its table
// (RequestHandlers). Immutable once serving starts; handle() is called from the
// request threads concurrently.
#include "dictionary/DictionaryReplies.h"
#include "protocol/RequestHandlers.h"
#include "wire/RequestReader.h"

#include <QByteArray>
#include <QList>
#include <memory>
#include <optional>

class UpdateOffer;

struct ServiceOutcome {
    QByteArray reply;                        // the whole reply as it goes on the wire, or its front
    std::shared_ptr<ReplyRest> rest;         // the rest, made as it is sent (handleStreamed())
    std::optional<QByteArray> registeredAs;  // a registration: the session's new user name
    QByteArray clientVersion;                // with registeredAs: the session's new client version
};

// The facts about the corpus that the session replies report.
struct CorpusFacts {
    QByteArray label;        // e.g. "fortunes-ru", 1251
    quint64 wordCount = 0;   // word tokens
    quint64 textCount = 0;
};

class CorvusService : public RequestHandlers {
public:
    CorvusService(CorpusFacts facts, QList<std::shared_ptr<const ServedDictionary>> dictionaries);

    // The newer client served by "CL_E"/"CL_B"; every reply to a remote client of an
    // older version is marked "U". Only before serving starts.
    void setUpdateOffer(std::shared_ptr<const UpdateOffer> offer);
    const UpdateOffer *updateOffer() const { return m_update.get(); }

    // "$RG=" sent when a TCP connection is accepted.
    QByteArray greeting() const;
    ServiceOutcome handle(const wirerequest::Request &request, const SessionInfo &session) const;
    // The same, but a large reply (an export of lines) may come as its front with
    // the rest to be made as the endpoint sends it.
    ServiceOutcome handleStreamed(const wirerequest::Request &request, const SessionInfo &session) const;
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
    ServiceOutcome answer(const wirerequest::Request &request, const SessionInfo &session, bool streamed) const;
    ServiceOutcome marked(ServiceOutcome out, const SessionInfo &session) const;
    QByteArray updateReply(const QByteArray &tag, const SessionInfo &session) const;
    QByteArray dictionaryReply(const wirerequest::Request &request) const;

    CorpusFacts m_facts;
    QList<std::shared_ptr<const ServedDictionary>> m_dictionaries;
    std::shared_ptr<const UpdateOffer> m_update;
};
