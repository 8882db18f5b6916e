#include "protocol/RequestHandlers.h"

void RequestHandlers::setHandler(const QByteArray &tag, Handler handler)
{
    m_handlers.insert(tag, std::move(handler));
    m_streamHandlers.remove(tag);
}

void RequestHandlers::setStreamHandler(const QByteArray &tag, StreamHandler handler)
{
    // The plain table still names the tag: registration offers what it holds.
    m_handlers.insert(tag, [handler](const wirerequest::Request &request, const SessionInfo &session) {
        return wholeReply(handler(request, session));
    });
    m_streamHandlers.insert(tag, std::move(handler));
}

QByteArray wholeReply(StreamedReply reply)
{
    if (!reply.rest)
        return std::move(reply.front);
    QByteArray out = std::move(reply.front);
    out.reserve(out.size() + reply.rest->remaining());
    for (QByteArray piece = reply.rest->next(qsizetype(1) << 20); !piece.isEmpty();
         piece = reply.rest->next(qsizetype(1) << 20))
        out += piece;
    return out;
}

void RequestHandlers::setCostEstimate(const QByteArray &tag, CostEstimate estimate)
{
    m_costs.insert(tag, std::move(estimate));
}

Cost RequestHandlers::costByKind(const wirerequest::Request &request)
{
    if (request.tag == "CT_N" || request.tag == "CL_E" || request.tag == "CL_B")
        return Cost::Long;
    if (!request.options)
        return Cost::Short;
    const OptionList &o = *request.options;
    const bool exports = o.value("ListPos") == "FULL" || o.value("PrintConc") == "True"
        || !o.value("PrintText").isEmpty();
    return exports ? Cost::Long : Cost::Short;
}

Cost RequestHandlers::costOf(const wirerequest::Request &request) const
{
    if (const auto e = m_costs.constFind(request.tag); e != m_costs.constEnd())
        return (*e)(request);
    return costByKind(request);
}
