#pragma once
// The seam between the request sender / reply handler and the transport. The socket
// channel and the local link implement it; tests bind a scripted peer instead.
#include <QByteArray>
#include <QObject>
#include <QString>

class Channel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Channel() override = default;

    // Puts "$" + tag + "=" + params on the channel. False when it cannot be sent
    // (socket not connected); the sender then neither records nor marks it pending.
    virtual bool send(const QByteArray &tag, const QByteArray &params) = 0;

signals:
    // One complete reply text (any length header already removed), in arrival order.
    // `counted`: the reply carried a length header and all the bytes it announced
    // arrived; without a header a reply is whatever one read delivered.
    void replyArrived(const QByteArray &text, bool counted);
    // A long reply is being received: percent of the announced length.
    void replyProgress(int percent);
    // A reply was abandoned (the rest did not arrive in time, an absurd announced
    // length, a malformed header); `reason` is a Russian text for the status bar.
    void replyFailed(const QString &reason);
};
