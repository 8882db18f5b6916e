#pragma once
// TForm1: the frame. Owns the session state, the channels, the timers and the pages,
// and routes every reply tag to the page that handles it. The pages do the work of
// their own tags.
#include "Config.h"
#include "PageHost.h"
#include "RequestSender.h"
#include "SessionLog.h"
#include "SessionState.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>
#include <QMovie>
#include <QPointer>
#include <functional>
#include <memory>

namespace platform {
class StartSignal;
}

class ConcPage;
class DictPage;
class LocalLink;
class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class SelfUpdate;
class TcpChannel;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TF_ListSel;
class TF_SortSeq;
class TT_F2;
class UiServices;

class TForm1 : public QMainWindow, public PageHost {
    Q_OBJECT
public:
    TForm1(const Config &config, UiServices &ui, QWidget *parent = nullptr);
    ~TForm1() override;

    // Creates the secondary windows, in their fixed order, after the main window.
    void createSecondaryWindows();

    // PageHost
    SessionState &state() override { return m_state; }
    const Config &config() const override { return m_config; }
    UiServices &ui() override { return m_ui; }
    void SendToServer(const QByteArray &tag, const QByteArray &params) override;
    void startReplay(const QList<int> &queue, const QByteArray &tag,
                     const QByteArray &params) override;
    void RollBack() override;
    void showProgress(const QByteArray &text, bool closeEnabled) override;
    void closeProgress() override;
    void setStatusText(const QString &text) override;

    // The one reply handler: `text` is one complete reply (length header removed).
    // `counted`: the reply carried a length header and arrived whole.
    void ReplyHandler(const QByteArray &text, bool counted = false);
    // The local link's dispatcher for a decoded item change.
    void LocalMessage(const QByteArray &text);

    // Operations of the frame.
    void B_ConnectClick();
    void B_CloseClick();
    void B_RefrClick();
    void B_UpdClick();
    // The history's step back, run by RollBack after its message.
    void setRollBackStep(std::function<void()> step) { m_rollBackStep = std::move(step); }
    void M_HelpClick();
    void SetFirstPage();
    void ApplyTabVisibility();
    void SetHelp();
    // The window's key handling; true when the key is consumed.
    bool FormKeyDown(QKeyEvent *event);
    // Saves "Timers.Log" when the mode or "CLLOG" asks for it (program exit).
    void saveSessionLog();

    // One tick of each timer (public so tests can drive them step by step).
    void TimerTick();
    void GetServerTimerTick();
    void TimerForServerTick();

    const SessionLog &sessionLog() const { return m_log; }
    int connectState() const { return m_connectState; }
    const QByteArray &localServerState() const { return m_localServerState; }
    QByteArray registrationName() const;
    TcpChannel *socketChannel() const { return m_socket; }
    LocalLink *localLink() const { return m_link; }
    bool linkPending() const { return m_linkPending; }
    bool linked() const { return m_linked; }
    SelfUpdate *selfUpdate() const { return m_update; }

    // Widgets named as in the window's design.
    QTabWidget *PageC = nullptr;
    QWidget *TS_ServLog = nullptr;
    DictPage *TS_Dict = nullptr;
    ConcPage *TS_Conc = nullptr;
    QWidget *TS_Chat = nullptr;
    QLineEdit *E_User = nullptr;
    QLabel *L1 = nullptr;
    QPushButton *B_Upd = nullptr;
    QGroupBox *GB_Server = nullptr;
    QWidget *P_Front = nullptr;
    QLabel *Image_Front = nullptr;
    QLabel *L_Loading = nullptr;
    QLabel *Animate1 = nullptr;
    QWidget *P_Top = nullptr;
    QPushButton *B_Close = nullptr;
    QPushButton *B_Connect = nullptr;
    QLabel *SB_Panel0 = nullptr;
    QLabel *SB_Panel1 = nullptr;
    QAction *M_Conn = nullptr;
    QAction *M_Close = nullptr;
    QAction *M_Font = nullptr;
    QAction *M_ConcFont = nullptr;
    QAction *M_Help = nullptr;

    QTimer Timer;            // send watchdog
    QTimer GetServerTimer;   // local link set-up
    QTimer TimerForServer;   // waits for the local server's start signal
    QTimer ITimer;           // not running in these flows; shown in the timer log
    QTimer InfoTimer;

    TF_ListSel *F_ListSel = nullptr;
    TF_SortSeq *F_SortSeq = nullptr;
    TT_F2 *T_F2 = nullptr;
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    TForm4 *Form4 = nullptr;
    TForm5 *Form5 = nullptr;

    QString helpFile() const { return m_helpFile; }
    QByteArray baseCaption() const { return m_baseCaption; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void firstShow();
    void setConnectState(int state, const QString &caption);
    void onSocketConnected();
    void onSocketError(const QString &reason);
    void onReplyFailed(const QString &reason);
    void logTimer(QTimer *ticking, const QByteArray &label);
    void linkRestartCheck(int keyCode, bool *consumed);
    void restartLocalLink(int keyCode);
    void stopAnimation();
    void setBusyCursor(bool busy);
    void resetSessionPages();
    void onRequestStalled();
    void startAnimation(const QString &file);
    void discardSession();

    // Session tags.
    // False when the rest of the reply's handling is skipped (a registration retry).
    bool handleRegistration(const QByteArray &body, int *candidate);
    void handleSlCount();
    void handleInfo(const QByteArray &body);
    void sendRegistration(const QByteArray &tag);

    Config m_config;
    UiServices &m_ui;
    SessionState m_state;
    SessionLog m_log;
    RequestSender m_sender;
    TcpChannel *m_socket = nullptr;
    LocalLink *m_link = nullptr;
    SelfUpdate *m_update = nullptr;

    using Handler = std::function<void(const QByteArray &)>;
    QHash<QByteArray, Handler> m_handlers;

    int m_connectState = 0;
    QByteArray m_baseCaption;
    QString m_helpFile;
    QByteArray m_localServerState;   // "", "IS", "Server is Ready"
    bool m_linkPending = false;
    bool m_linked = false;
    bool m_firstShown = false;
    bool m_firstWebTick = false;
    bool m_playing = false;       // the play flag of the start-page animation
    QString m_animationFile;      // empty: the designed animation
    bool m_closing = false;
    int m_watchdogTicks = 0;
    int m_getServerTag = 0;
    // Gives up a request that has had no reply for a long time, so that the keys,
    // which are swallowed while a request is pending, come back.
    QTimer m_pendingGuard;
    std::unique_ptr<platform::StartSignal> m_startSignal;
    std::unique_ptr<QMovie> m_movie;
    std::function<void()> m_rollBackStep;
    struct LastKey {
        const QEvent *event = nullptr;
        QPointer<QWidget> widget;
        int key = 0;
        Qt::KeyboardModifiers modifiers;
    } m_lastKey;
    tCConcPos m_scratchConc;   // parses records while no concordance is set up
};
