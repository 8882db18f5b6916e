#pragma once
// Calling the service in-process with a request's exact bytes, and unwrapping the
// length header of its reply.
#include "service/CorvusService.h"
#include "wire/RequestReader.h"

#include <QByteArray>

namespace corvustest {

// The reply the service gives to `wire`, as a connection would send it.
inline QByteArray handleWire(const CorvusService &service, const QByteArray &wire)
{
    const wirerequest::Result r = wirerequest::parse(wire, true);
    if (r.status != wirerequest::Status::Complete)
        return CorvusService::badRequest(r.reason);
    return service.handle(r.request, SessionInfo{}).reply;
}

// Strips the length header after checking that it counts the bytes after it; empty
// when there is no header or it lies.
inline QByteArray unframe(const QByteArray &reply)
{
    if (!reply.startsWith("##"))
        return QByteArray();
    const qsizetype h = reply.indexOf("###", 2);
    if (h < 0 || reply.mid(2, h - 2).toLongLong() != reply.size() - h - 3)
        return QByteArray();
    return reply.mid(h + 3);
}

} // namespace corvustest
