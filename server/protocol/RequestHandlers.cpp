#include "protocol/RequestHandlers.h"

void RequestHandlers::setHandler(const QByteArray &tag, Handler handler)
{
    m_handlers.insert(tag, std::move(handler));
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
