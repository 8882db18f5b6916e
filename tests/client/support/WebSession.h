#pragma once
// The whole main window in the socket mode against a scripted server (TcpPeer) on a
// loopback port: connect, registration, and the replies a test scripts.
#include "AppFixture.h"
#include "PeerChecks.h"
#include "TcpPeer.h"
#include "app/MainWindow.h"
#include "model/Cp1251.h"
#include "model/OptionList.h"

#include <QTabWidget>
#include <QtTest>
#include <memory>

namespace websession {

// A reply body with an option-list record in front.
inline QByteArray withOptions(const QByteArray &comma, const QByteArray &rest)
{
    OptionList o = OptionList::fromCommaText(comma);
    return o.framed() + rest;
}

// After a registration reply: when it offered concordances, the concordance tab
// opened and asked for its characteristics ("CN_C"); the scripted server answers
// with a reply that has no handler of its own ("RSTR", with `body`), so nothing
// follows. True once no request is pending.
inline bool settleRegistration(TcpPeer &peer, MainWindow &form, int seen, const QByteArray &body = {})
{
    const auto opening = [&] {
        for (int i = seen; i < peer.requests().size(); ++i)
            if (peer.requests()[i].startsWith("$CN_C="))
                return true;
        return false;
    };
    if (!QTest::qWaitFor([&] { return form.state().PendingRequest.isEmpty() || opening(); }, 5000))
        return false;
    if (opening())
        peer.replyFramed("RSTR", body);
    return QTest::qWaitFor([&] { return form.state().PendingRequest.isEmpty(); }, 5000);
}

struct WebSession {
    explicit WebSession(const QList<QByteArray> &extraIni = {}, bool greet = true)
    {
        peer.start(greet);
        QList<QByteArray> ini{"IP=127.0.0.1", "Port=" + QByteArray::number(peer.port())};
        ini += extraIni;
        form = std::make_unique<MainWindow>(home.config(ini), ui);
        form->createSecondaryWindows();
        form->show();
    }

    // Connects, answers the greeting's "NM" with the given reply body.
    bool registerWith(const QByteArray &nmBody)
    {
        form->B_ConnectClick();
        if (!peer.waitForClient() || !peer.waitForRequest(5000, 0))
            return false;
        const int seen = int(peer.requests().size());
        peer.replyFramed("NM", nmBody);
        return settleRegistration(peer, *form, seen) && seen > 0;
    }

    bool tabVisible(QWidget *page) const { return form->PageC->isTabVisible(form->PageC->indexOf(page)); }

    TestHome home;
    RecordingUi ui;
    TcpPeer peer;
    std::unique_ptr<MainWindow> form;
};

inline const QByteArray RegisteredBody =
    "DICT=" + cp1251::ru("Словарь") + ",\"" + cp1251::ru("Тезаурус корпуса") + "\",END,CONC,MES="
    + cp1251::ru("Добро пожаловать");

} // namespace websession

using websession::WebSession;
using websession::withOptions;
using websession::RegisteredBody;
