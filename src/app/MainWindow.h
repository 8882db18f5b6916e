#pragma once
// The main window (object name "Form1"): the frame that holds the session state, the
// channels, the timers and the pages side by side. It reads each reply once and
// hands its tag to the one class that owns it (ReplyRouter); the pages do the work
// of their own tags and talk to each other through their named operations, which
// PageWiring connects once.
#include "PageWiring.h"
#include "RequestSender.h"
#include "SessionLog.h"
#include "session/Config.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "session/UiServices.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>

class BufferKeeper;
class BufferWindow;
class ConcPage;
class DictPage;
class FullTextWindow;
class GuideWindow;
class HistoryNavigation;
class ListSelDialog;
class LocalLink;
class LocalLinkSession;
class PictureWindow;
class ProgressWindow;
class QAction;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTabWidget;
class ReplyRouter;
class SelfUpdate;
class ServerLogPage;
class SessionController;
class SortSeqDialog;
class TcpChannel;
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
    void startReplay(const QList<int> &queue, const QByteArray &tag, const QByteArray &params) override;
    void RollBack() override;
    void showProgress(const QByteArray &text, bool closeEnabled) override;
    void closeProgress() override;
    void setStatusText(const QString &text) override;
    void setStatusHints(const QString &panel0, const QString &panel1) override;
    bool progressShowing() const override;

    // The one reply handler: `text` is one complete reply (length header removed);
    // `counted`: it carried a length header and arrived whole.
    void ReplyHandler(const QByteArray &text, bool counted = false);
    // Nothing is awaited any more (a reply that will not come, a lost connection):
    // the keys, the cursor and the progress window come back; `status`, when not
    // empty, goes to the first status-bar panel.
    void endPendingRequest(const QString &status = QString());

    // Operations of the frame.
    void B_CloseClick();
    void B_RefrClick();
    void B_UpdClick();
    void M_HelpClick();
    void SetFirstPage();
    void ApplyTabVisibility();
    void SetHelp();
    void setBusyCursor(bool busy);
    // The window's key handling; true when the key is consumed.
    bool FormKeyDown(QKeyEvent *event);
    // Saves "Timers.Log" when the mode or "CLLOG" asks for it (program exit).
    void saveSessionLog();

    SessionLog &log() { return m_log; }
    const SessionLog &sessionLog() const { return m_log; }
    TcpChannel *socketChannel() const { return m_socket; }
    LocalLink *localLink() const { return m_link; }
    Watchdog *watchdog() const { return m_watchdog; }
    SelfUpdate *selfUpdate() const { return m_update; }
    SessionController *session() const { return m_session; }
    LocalLinkSession *linkSession() const { return m_linkSession; }
    ServerLogPage *serverLogPage() const { return m_servLog; }
    HistoryNavigation *historyNavigation() const { return m_historyNav; }
    const PagePanels &panels() const { return m_panels; }
    // The buffer's copy on disk: restored at the first show, kept from then on.
    BufferKeeper *bufferKeeper() const { return m_bufferKeeper.get(); }
    QString helpFile() const { return m_helpFile; }
    // The user guide's window: made the first time an HTML guide is opened.
    GuideWindow *guideWindow() const { return m_guide; }

    // Widgets named as in the window's design.
    QTabWidget *PageC = nullptr;
    DictPage *TS_Dict = nullptr;
    ConcPage *TS_Conc = nullptr;
    QWidget *TS_Chat = nullptr;
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

    // The secondary windows, by their object names.
    ListSelDialog *F_ListSel = nullptr;
    SortSeqDialog *F_SortSeq = nullptr;
    BufferWindow *T_F2 = nullptr;
    ProgressWindow *Form2 = nullptr;
    FullTextWindow *Form4 = nullptr;
    PictureWindow *Form5 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    void buildPages();
    void connectChannels();
    void firstShow();
    // The tag's owner handles the reply; then the common steps after it.
    void routeReply(const QByteArray &tag, const QByteArray &body, bool counted);
    void afterReply(bool found, const QByteArray &tag, const QByteArray &body, char mark);

    Config m_config;
    FrameUiServices m_frameUi;   // the given services, closing the progress window first
    SessionState m_state;
    SessionLog m_log;
    // After the state and the log: it writes the buffer's last lines when it goes.
    std::unique_ptr<BufferKeeper> m_bufferKeeper;
    RequestSender m_sender;
    TcpChannel *m_socket = nullptr;
    LocalLink *m_link = nullptr;
    ServerLogPage *m_servLog = nullptr;
    SelfUpdate *m_update = nullptr;
    SessionController *m_session = nullptr;
    LocalLinkSession *m_linkSession = nullptr;
    HistoryNavigation *m_historyNav = nullptr;
    Watchdog *m_watchdog = nullptr;
    PagePanels m_panels;
    std::unique_ptr<ReplyRouter> m_router;

    QString m_helpFile;
    GuideWindow *m_guide = nullptr;
    bool m_firstShown = false;
    bool m_closing = false;
    tCConcPos m_scratchConc;   // parses records while no concordance is set up
};
