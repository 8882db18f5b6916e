#include "LocalLinkSession.h"

#include "MainWindow.h"
#include "Watchdog.h"
#include "ServerLogPage.h"
#include "SessionController.h"
#include "concordance/ConcPage.h"
#include "model/Cp1251.h"
#include "net/LocalLink.h"
#include "platform/KeyCodes.h"
#include "platform/StartSignal.h"

#include <QDir>
#include <QLabel>
#include <QTabWidget>

LocalLinkSession::LocalLinkSession(MainWindow &frame, LocalLink *link)
    : QObject(&frame), m_frame(frame), m_link(link),
      m_startSignal(std::make_unique<platform::StartSignal>(
          frame.config().UserDataFolder, nullptr, frame.config().startSignalAttempts))
{
    frame.GetServerTimer.setObjectName(QStringLiteral("GetServerTimer"));
    frame.TimerForServer.setObjectName(QStringLiteral("TimerForServer"));
    frame.TimerForServer.setInterval(1000);
    connect(&frame.GetServerTimer, &QTimer::timeout, this, &LocalLinkSession::GetServerTimerTick);
    connect(&frame.TimerForServer, &QTimer::timeout, this, &LocalLinkSession::TimerForServerTick);
}

LocalLinkSession::~LocalLinkSession() = default;

void LocalLinkSession::reset()
{
    m_linkPending = true;
    m_getServerTag = 0;
    m_frame.GetServerTimer.stop();
    m_frame.GetServerTimer.setInterval(100);
}

void LocalLinkSession::LocalMessage(const QByteArray &text)
{
    if (!text.isEmpty() && m_localServerState.isEmpty())
        m_localServerState = "IS";
    if (text == "Server is Ready") {
        m_frame.log().append("Server is Ready");
        m_localServerState = text;
        m_link->pokeRaw("RegisterMe");
    } else if (text == "CLOSE") {
        m_frame.close();
    } else if (!text.isEmpty()) {
        m_frame.log().append("Server Info ...");
        m_link->deliverReply(text);
    }
}

void LocalLinkSession::GetServerTimerTick()
{
    const Config &config = m_frame.config();
    QTimer &timer = m_frame.GetServerTimer;
    m_frame.watchdog()->logTimer(&timer, cp1251::ru("начало"));
    if (!config.isLocal())
        return;
    if (!m_linkPending && m_linked)
        timer.stop();
    if (m_linkPending) {
        m_frame.watchdog()->logTimer(&timer, "first");
        // A configured file is played when the designed animation is not asked for.
        QString animation;
        if (!m_frame.serverLogPage()->isPlaying() && !config.animationName.isEmpty())
            animation = config.animationFile();
        if (m_frame.serverLogPage()->isPlaying() || !animation.isEmpty())
            m_frame.serverLogPage()->startAnimation(animation);
        else
            m_frame.watchdog()->logTimer(&timer, "before_setlink");
        if (!config.LocalServerName.isEmpty() && m_link->setLink(config.LocalServerName)) {
            m_frame.watchdog()->logTimer(&timer, "setlink");
            m_linkPending = false;
            m_linked = false;
            // The attempt is made once; F5 and the start signal open the link again.
            const bool open = m_link->openLink(config.LocalServerPath.isEmpty() ? config.LocalServerFile
                                                                                : config.LocalServerPath);
            m_linked = true;
            // A server on the link loads its corpus until it registers us.
            if (open)
                m_frame.serverLogPage()->showLoading();
            else
                m_frame.serverLogPage()->showStartNote(
                    QStringLiteral("Локальный сервер не отвечает: %1 не запустился или не открыл связь. "
                                   "Нажмите F5, чтобы попробовать ещё раз.")
                        .arg(config.LocalServerFile));
            m_frame.watchdog()->logTimer(&timer, "SEND");
            m_frame.session()->sendRegistration("NM");
            m_frame.watchdog()->logTimer(&timer, "END_SEND");
            m_frame.TS_Conc->showLoadingLines(QByteArray::number(m_getServerTag));
            m_frame.repaint();
            m_frame.showProgress("0,0,", true);
            m_getServerTag = (m_getServerTag + 1) % 10;
        } else {
            m_frame.watchdog()->logTimer(&timer, "get");
            timer.setInterval(1000);
            if (config.LocalServerName.isEmpty())
                reportMissingServer();
        }
    }
    m_frame.watchdog()->logTimer(&timer, cp1251::ru("конец"));
}

void LocalLinkSession::reportMissingServer()
{
    if (m_missingReported)
        return;
    m_missingReported = true;
    const QString text =
        QStringLiteral("Локальный сервер не найден: в папке %1 нет файла Corvus.exe. Запустите "
                       "Lexar из папки программы или укажите сервер в Cnfg.ini (IP, Port).")
            .arg(QDir::toNativeSeparators(m_frame.config().CurrentFolder));
    m_frame.serverLogPage()->L1->setText(text);
    m_frame.serverLogPage()->showStartNote(QStringLiteral("Локальный сервер не найден. Запустите Lexar из папки "
                                                          "программы (где лежит Corvus.exe) или укажите "
                                                          "сервер в Cnfg.ini (IP, Port)."));
    m_frame.setStatusText(QStringLiteral("Локальный сервер не найден"));
    m_frame.serverLogPage()->stopAnimation();
    m_frame.ui().message(&m_frame, text);
}

void LocalLinkSession::TimerForServerTick()
{
    if (m_startSignal->tick() == platform::StartSignal::TickResult::Waiting)
        return;
    m_frame.TimerForServer.stop();
    bool consumed = false;
    linkRestartCheck(platform::VkF5, &consumed);   // as if F5 had been pressed
}

void LocalLinkSession::restartLocalLink(int keyCode)
{
    const QByteArray code = QByteArray::number(keyCode);
    m_frame.log().append("Restart DDE =" + code + " Beg");
    QTabWidget *pages = m_frame.PageC;
    if (pages->currentWidget() == m_frame.serverLogPage()
        && !pages->isTabVisible(pages->indexOf(m_frame.TS_Conc))) {
        m_link->closeLink();
        m_linkPending = true;
        GetServerTimerTick();
        m_frame.log().append("Restart DDE =" + code + " END");
    }
}

void LocalLinkSession::linkRestartCheck(int keyCode, bool *consumed)
{
    const QByteArray code = QByteArray::number(keyCode);
    const QByteArray &pending = m_frame.state().PendingRequest;
    m_frame.log().append("Restart DDE " + pending + " " + code + "=" + code + " Pro");
    *consumed = false;
    if (!pending.isEmpty() || keyCode == platform::VkF5) {
        restartLocalLink(keyCode);
        *consumed = true;
    }
}

void LocalLinkSession::close()
{
    if (m_frame.config().isLocal() && !m_localServerState.isEmpty()) {
        m_link->pokeEncoded("CLOSE");
        m_link->closeLink();
    }
}
