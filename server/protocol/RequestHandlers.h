#pragma once
// What the server's services install by tag, below the endpoints: a handler that
// answers a request, an estimate of what a request will cost, and the concordance
// value that a dictionary headword stands for. The concordance registers its
// requests here (registerListHandlers, registerViewHandlers) without knowing the
// service that answers them; CorvusService holds the table and consults it.
#include "protocol/Cancel.h"
#include "wire/RequestReader.h"

#include <QByteArray>
#include <QHash>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

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

// The rest of a reply that is made while it is sent: a large export is not held
// whole. Its front (header, tag, records) goes first; the header already counts
// these bytes. The endpoint asks for the next piece when its socket has room, on
// its own thread, so a client that does not read makes the server make nothing.
class ReplyRest {
public:
    virtual ~ReplyRest() = default;
    // The next piece, about `size` bytes (a line is not split, so it may be
    // more); empty once everything has been given.
    virtual QByteArray next(qsizetype size) = 0;
    // Bytes not given yet.
    virtual qint64 remaining() const = 0;
    // Bytes the rest holds meanwhile (what it makes its pieces from).
    virtual qint64 heldBytes() const = 0;
};

// A reply whose tail may be made as it is sent (`rest` set), or a whole one.
struct StreamedReply {
    QByteArray front;
    std::shared_ptr<ReplyRest> rest;
};
// Every piece of a streamed reply after its front, one after the other.
QByteArray wholeReply(StreamedReply reply);

class RequestHandlers {
public:
    using Handler = std::function<QByteArray(const wirerequest::Request &, const SessionInfo &)>;

    // A handler for another tag (the concordance requests): it returns the whole
    // reply. Registering "CN_C" offers concordances at registration ("CONC,"),
    // registering "CT_D" offers the usage sub-page (option "SS"="YES"). Only before
    // serving starts.
    void setHandler(const QByteArray &tag, Handler handler);
    // A handler whose reply may be made while it is sent (see ReplyRest); it
    // takes the place of a handler of the same tag.
    using StreamHandler = std::function<StreamedReply(const wirerequest::Request &, const SessionInfo &)>;
    void setStreamHandler(const QByteArray &tag, StreamHandler handler);
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

protected:
    QHash<QByteArray, Handler> m_handlers;
    QHash<QByteArray, StreamHandler> m_streamHandlers;
    QHash<QByteArray, CostEstimate> m_costs;
    EntryTie m_entryTie;
};
