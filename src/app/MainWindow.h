#pragma once
// MainWindow: the frame. Owns the session state, the channels, the timers and the pages,
// and routes every reply tag to the class that handles it: the session controller
// (registration), the local-link session, the self-update and the pages. The pages
// do the work of their own tags.
#include "Config.h"
#include "PageHost.h"
#include "RequestSender.h"
#include "SessionLog.h"
#include "SessionState.h"
#include "UiServices.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

class ConcPage;
class DictPage;
class HistoryNavigation;
class LocalLink;
class LocalLinkSession;
class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class SelfUpdate;
class ServerLogPage;
class SessionController;
class TcpChannel;
class ProgressWindow;
class FullTextWindow;
class PictureWindow;
class ListSelDialog;
class SortSeqDialog;
class BufferWindow;
class Watchdog;

class MainWindow : public QMainWindow, public PageHost {
    Q_OBJECT
public:
    MainWindow(const Config &config, UiServices &ui, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Creates the secondary windows, in their fixed order, after the main window.
    void createSecondaryWindows();

    // PageHost
    SessionState &state() override { return m_state; }
    const Config &config() const override { return m_config; }
    UiServices &ui() override { return m_frameUi; }
    void SendToServer(const QByteArray &tag, const QByteArray &params) override;
    void startReplay(const QList<int> &queue, const QByteArray &tag,
                     const QByteArray &params) override;
    void RollBack() override;
    void showProgress(const QByteArray &text, bool closeEnabled) override;
    void closeProgress() override;
    void setStatusText(const QString &text) override;

    // The one reply handler: `text` is one complete reply (length header removed);
    // `counted`: it carried a length header and arrived whole.
    void ReplyHandler(const QByteArray &text, bool counted = false);
    // Nothing is awaited any more (a reply that will not come, a lost connection):
    // the keys, the cursor and the progress window come back; `status`, when not
    // empty, goes to the first status-bar panel.
    void endPendingRequest(const QString &status = QString());

    // Operations of the frame.
    void B_ConnectClick();
    void B_CloseClick();
    void B_RefrClick();
    void B_UpdClick();
    // Replaces the history's step back that RollBack takes after its message.
    void setRollBackStep(std::function<void()> step) { m_rollBackStep = std::move(step); }
    void M_HelpClick();
    void SetFirstPage();
    void ApplyTabVisibility();
    void SetHelp();
    void setBusyCursor(bool busy);
    // The window's key handling; true when the key is consumed.
    bool FormKeyDown(QKeyEvent *event);
    // Saves "Timers.Log" when the mode or "CLLOG" asks for it (program exit).
    void saveSessionLog();

    // One tick of each timer (public so tests can drive them step by step).
    void TimerTick();
    void GetServerTimerTick();
    void TimerForServerTick();
    void logTimer(QTimer *ticking, const QByteArray &label);
    void LocalMessage(const QByteArray &text);

    SessionLog &log() { return m_log; }
    const SessionLog &sessionLog() const { return m_log; }
    int connectState() const;
    const QByteArray &localServerState() const;
    QByteArray registrationName() const;
    TcpChannel *socketChannel() const { return m_socket; }
    LocalLink *localLink() const { return m_link; }
    bool linkPending() const;
    bool linked() const;
    Watchdog *watchdog() const { return m_watchdog; }
    SelfUpdate *selfUpdate() const { return m_update; }
    SessionController *session() const { return m_session; }
    ServerLogPage *serverLogPage() const { return m_servLog; }
    HistoryNavigation *historyNavigation() const { return m_historyNav; }

    // Widgets named as in the window's design (those of the server-log page are
    // its own; the names here point at them).
    QTabWidget *PageC = nullptr;
    QWidget *TS_ServLog = nullptr;
    DictPage *TS_Dict = nullptr;
    ConcPage *TS_Conc = nullptr;
    QWidget *TS_Chat = nullptr;
    QLineEdit *E_User = nullptr;
    QLabel *L1 = nullptr;
    QPushButton *B_Upd = nullptr;
    QGroupBox *GB_Server = nullptr;
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

    ListSelDialog *F_ListSel = nullptr;
    SortSeqDialog *F_SortSeq = nullptr;
    BufferWindow *T_F2 = nullptr;
    ProgressWindow *Form2 = nullptr;
    FullTextWindow *Form4 = nullptr;
    PictureWindow *Form5 = nullptr;

    QString helpFile() const { return m_helpFile; }
    QByteArray baseCaption() const { return m_baseCaption; }
    // The play flag of the start-page animation.
    bool animationPlaying() const;
    void startAnimation(const QString &file);
    void stopAnimation();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    void firstShow();
    // The tag's handler and the common steps after it.
    void routeReply(bool found, const QByteArray &tag, const QByteArray &body, char mark,
                    bool counted);

    Config m_config;
    FrameUiServices m_frameUi;   // the given services, closing the progress window first
    SessionState m_state;
    SessionLog m_log;
    RequestSender m_sender;
    TcpChannel *m_socket = nullptr;
    LocalLink *m_link = nullptr;
    ServerLogPage *m_servLog = nullptr;
    SelfUpdate *m_update = nullptr;
    SessionController *m_session = nullptr;
    LocalLinkSession *m_linkSession = nullptr;
    HistoryNavigation *m_historyNav = nullptr;
    Watchdog *m_watchdog = nullptr;

    using Handler = std::function<void(const QByteArray &)>;
    QHash<QByteArray, Handler> m_handlers;

    QByteArray m_baseCaption;
    QString m_helpFile;
    bool m_firstShown = false;
    bool m_closing = false;
    std::function<void()> m_rollBackStep;
    tCConcPos m_scratchConc;   // parses records while no concordance is set up
};

// The frame's forwarders to the classes that do the work.
#include "LocalLinkSession.h"
#include "ServerLogPage.h"
#include "SessionController.h"
#include "Watchdog.h"

inline void MainWindow::TimerTick() { m_watchdog->TimerTick(); }
inline void MainWindow::GetServerTimerTick() { m_linkSession->GetServerTimerTick(); }
inline void MainWindow::TimerForServerTick() { m_linkSession->TimerForServerTick(); }
inline void MainWindow::logTimer(QTimer *ticking, const QByteArray &label) { m_watchdog->logTimer(ticking, label); }
inline void MainWindow::LocalMessage(const QByteArray &text) { m_linkSession->LocalMessage(text); }
inline int MainWindow::connectState() const { return m_session->connectState(); }
inline const QByteArray &MainWindow::localServerState() const { return m_linkSession->localServerState(); }
inline QByteArray MainWindow::registrationName() const { return m_session->registrationName(); }
inline bool MainWindow::linkPending() const { return m_linkSession->linkPending(); }
inline bool MainWindow::linked() const { return m_linkSession->linked(); }
inline void MainWindow::B_ConnectClick() { m_session->B_ConnectClick(); }
inline bool MainWindow::animationPlaying() const { return m_servLog->isPlaying(); }
inline void MainWindow::startAnimation(const QString &file) { m_servLog->startAnimation(file); }
inline void MainWindow::stopAnimation() { m_servLog->stopAnimation(); }
