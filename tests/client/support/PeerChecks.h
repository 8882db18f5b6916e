#pragma once
// Checks that something did NOT happen, made safe against late events: instead of
// waiting a little, a later event is waited for.
#include "TcpPeer.h"
#include "app/MainWindow.h"
#include "net/TcpChannel.h"

// True when the client sent nothing after the first `seen` requests. A marker goes
// straight onto the client's socket (no history, nothing pending) and is waited for:
// anything the client sent before it has arrived by then.
inline bool nothingSentSince(MainWindow &form, TcpPeer &peer, int seen)
{
    if (!form.socketChannel()->send("INFO", "marker") || !peer.waitForRequest(5000, seen))
        return false;
    return peer.requests().size() == seen + 1 && peer.requests().last() == "$INFO=marker";
}
