#include "MainWindow.h"

#include "ConcordanceWiring.h"
#include "FilterWiring.h"
#include "FrameChrome.h"
#include "Help.h"
#include "KeyPreview.h"
#include "LocalLinkSession.h"
#include "ProgressWindow.h"
#include "SelfUpdate.h"
#include "ServerLogPage.h"
#include "SessionController.h"
#include "TextPagesWiring.h"
#include "UiServices.h"
#include "Watchdog.h"
#include "concordance/ConcDictLinks.h"
#include "concordance/ConcPage.h"
#include "concordance/SortSeqDialog.h"
#include "dictionary/DictPage.h"
#include "dictionary/PictureWindow.h"
#include "filters/HistoryNavigation.h"
#include "filters/ListSelDialog.h"
#include "model/Cp1251.h"
#include "net/LocalLink.h"
#include "net/TcpChannel.h"
#include "platform/KeyCodes.h"
#include "text/BufferWindow.h"
#include "text/FullTextWindow.h"
#include "wire/ReplyReader.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

MainWindow::MainWindow(const Config &config, UiServices &ui, QWidget *parent)
    : QMainWindow(parent), m_config(config), m_frameUi(ui, [this] { closeProgress(); }),
      m_sender(m_state, m_log)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Система лексикографических запросов к удалённому серверу"));
    buildUi();

    m_socket = new TcpChannel(this);
    m_link = new LocalLink(this);
    m_update = new SelfUpdate(*this, m_log, m_config.exeFolder, L1, this, this);
    m_session = new SessionController(*this);
    m_historyNav = new HistoryNavigation(*this, this);
    m_sender.setChannel(m_config.isLocal() ? static_cast<Channel *>(m_link)
                                           : static_cast<Channel *>(m_socket));
    m_sender.setBusyHook([this] { setBusyCursor(true); });
    for (Channel *ch : {static_cast<Channel *>(m_socket), static_cast<Channel *>(m_link)}) {
        connect(ch, &Channel::replyArrived, this, &MainWindow::ReplyHandler);
        connect(ch, &Channel::replyFailed, this, [this](const QString &reason) {
            endPendingRequest(reason);
        });
        connect(ch, &Channel::replyProgress, this, [this](int percent) {
            if (Form2)
                Form2->setPercent(percent);
        });
    }
    connect(m_socket, &TcpChannel::connected, m_session, &SessionController::onSocketConnected);
    // Queued: a connect can fail inside open(), before the click has set the
    // connecting state that the error handling returns from.
    connect(m_socket, &TcpChannel::errorOccurred, m_session, &SessionController::onSocketError,
            Qt::QueuedConnection);
    connect(m_socket, &TcpChannel::disconnected, m_session, &SessionController::onServerClosed);
    connect(B_Upd, &QPushButton::clicked, this, &MainWindow::B_UpdClick);

    // The timers, named as the timer log shows them.
    for (QTimer *t : {&Timer, &GetServerTimer, &TimerForServer})
        t->setInterval(100);
    Timer.setObjectName(QStringLiteral("Timer"));
    m_watchdog = new Watchdog(*this);
    m_linkSession = new LocalLinkSession(*this, m_link);
    connect(m_link, &LocalLink::itemChanged, m_linkSession, &LocalLinkSession::LocalMessage);

    // Tags of the catalogue and the page that handles each. "RG", "NM", "NMD" and
    // "INFO" are handled among the common steps, "ZERO" after them, "CL_E" and
    // "CL_B" by the self-update; "RSTR", "DC" and "CT_R" have no handler of their own.
    using DictHandler = void (DictPage::*)(const QByteArray &);
    using ConcHandler = void (ConcPage::*)(const QByteArray &);
    const std::pair<const char *, DictHandler> dictTags[] = {
        {"DC_C", &DictPage::onDC_C}, {"DC_CC", &DictPage::onDC_CC},
        {"DC_W", &DictPage::onDC_W}, {"DC_S", &DictPage::onDC_S}};
    const std::pair<const char *, ConcHandler> concTags[] = {
        {"CN_C", &ConcPage::onCN_C}, {"CN_Cx", &ConcPage::onCN_Cx}, {"CN_W", &ConcPage::onCN_W},
        {"CT_N", &ConcPage::onCT_N}, {"CT_W", &ConcPage::onCT_W},   {"CT_T", &ConcPage::onCT_T},
        {"CT_D", &ConcPage::onCT_D}};
    for (const auto &[tag, handler] : dictTags)
        m_handlers.insert(tag, [this, handler = handler](const QByteArray &b) { (TS_Dict->*handler)(b); });
    for (const auto &[tag, handler] : concTags)
        m_handlers.insert(tag, [this, handler = handler](const QByteArray &b) { (TS_Conc->*handler)(b); });
    // The first value list means the local server is up: its start signal is moot.
    connect(TS_Conc, &ConcPage::valueListArrived, &TimerForServer, &QTimer::stop);

    connectConcordancePage(*this);
    connectFilters(*this);

    // The window sees every key before the focused control.
    new KeyPreview(this, [this](QKeyEvent *e) { return FormKeyDown(e); });

    // "DEFAULT"/"DEFAULTSIZE": the face of every list, tree and text view.
    if (!m_config.defaultFont.isEmpty()) {
        const QFont face(m_config.defaultFont, m_config.defaultFontSize);
        TS_Dict->applyDefaultFont(face);
        TS_Conc->applyDefaultFont(face);
    }
    m_servLog->loadCover(m_config.findCoverPicture());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildUi()
{
    auto *central = new QWidget(this);
    auto *vl = new QVBoxLayout(central);
    vl->setContentsMargins(0, 0, 0, 0);

    const FrameChrome chrome(this, central);
    P_Top = chrome.P_Top;
    B_Close = chrome.B_Close;
    B_Connect = chrome.B_Connect;
    SB_Panel0 = chrome.SB_Panel0;
    SB_Panel1 = chrome.SB_Panel1;
    M_Close = chrome.M_Close;
    M_Conn = chrome.M_Conn;
    M_Font = chrome.M_Font;
    M_ConcFont = chrome.M_ConcFont;
    M_Help = chrome.M_Help;
    connect(B_Close, &QPushButton::clicked, this, &MainWindow::B_CloseClick);
    connect(B_Connect, &QPushButton::clicked, this, &MainWindow::B_ConnectClick);
    connect(M_Close, &QAction::triggered, this, &MainWindow::B_CloseClick);
    connect(M_Conn, &QAction::triggered, this, &MainWindow::B_ConnectClick);
    connect(M_Help, &QAction::triggered, this, &MainWindow::M_HelpClick);

    PageC = new QTabWidget(central);
    PageC->setObjectName(QStringLiteral("PageC"));
    m_servLog = new ServerLogPage(PageC);
    m_servLog->setPlaying(m_config.playAnimation);
    TS_ServLog = m_servLog;
    E_User = m_servLog->E_User;
    L1 = m_servLog->L1;
    B_Upd = m_servLog->B_Upd;
    GB_Server = m_servLog->GB_Server;
    Image_Front = m_servLog->Image_Front;
    Animate1 = m_servLog->Animate1;
    L_Loading = m_servLog->L_Loading;
    TS_Dict = new DictPage(*this, PageC);
    TS_Conc = new ConcPage(*this, PageC);
    TS_Chat = new QWidget(PageC);
    TS_Chat->setObjectName(QStringLiteral("TS_Chat"));
    PageC->addTab(TS_ServLog, QStringLiteral("Общая информация"));
    PageC->addTab(TS_Dict, QStringLiteral("Справочные материалы"));
    PageC->addTab(TS_Conc, QStringLiteral("Конкорданс"));
    PageC->addTab(TS_Chat, QStringLiteral("Связь с дежурным"));
    connect(TS_Dict->B_Refr, &QPushButton::clicked, this, &MainWindow::B_RefrClick);
    // The dictionary browser shows entries and a line's dictionary links on the
    // concordance page through the page's own operations.
    TS_Dict->setConcordanceView(TS_Conc->dictView());
    connect(TS_Conc->dictView(), &ConcDictLinks::entryLinkClicked, TS_Dict, &DictPage::TreeDOxClick);
    connect(TS_Conc->dictView(), &ConcDictLinks::linkChosen, TS_Dict, &DictPage::RBD1Click);
    connect(TS_Conc->dictView(), &ConcDictLinks::hierarchyToggled, TS_Dict, &DictPage::CB_DSTClick);
    connect(TS_Conc, &ConcPage::concordanceReset, TS_Dict, &DictPage::concordanceReset);
    connect(PageC, &QTabWidget::currentChanged, this, [this](int index) {
        QWidget *page = PageC->widget(index);
        if (page == TS_Dict)
            TS_Dict->TS_DictShow();
        else if (page == TS_ServLog)
            statusBar()->setPalette(QPalette());   // the system button-face colour
    });

    vl->addWidget(PageC, 1);
    setCentralWidget(central);

}

void MainWindow::createSecondaryWindows()
{
    F_ListSel = new ListSelDialog(this);
    F_SortSeq = new SortSeqDialog(this);
    T_F2 = new BufferWindow(this);
    Form2 = new ProgressWindow(this);
    Form4 = new FullTextWindow(this);
    Form5 = new PictureWindow(this);
    TS_Dict->setPictureWindow(Form5);
    TS_Conc->setSortSeqDialog(F_SortSeq);
    wireTextPages(*this);
}

// ---------------------------------------------------------------- first show

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShown) {
        m_firstShown = true;
        firstShow();
    }
}

void MainWindow::firstShow()
{
    // 1. Link and timers at rest.
    m_linkSession->reset();
    m_state.PendingRequest.clear();
    m_state.registrationRetries = 0;
    Timer.stop();
    Timer.setInterval(100);

    // 2. An unreadable configuration: the program says so and goes on with the
    // defaults in the socket mode, so the user can still connect from the menu.
    if (m_config.isBreak()) {
        m_config.ConnectionMode = "WEB";
        m_session->explainUnreadableConfig();
    }

    // 3. Caption, messages, help context, tabs.
    setWindowTitle(QStringLiteral("ОРВАН (Лаборатория корпусной лексикографии) ")
                   + cp1251::decode(m_config.versionText));
    SB_Panel0->clear();
    m_state.dictTabFlag = m_state.concTabFlag = m_state.chatTabFlag = false;
    ApplyTabVisibility();

    // 4. User name and the connect controls.
    m_session->firstShow();

    // 5. Tab captions; no update offered yet; 7. the loading label.
    const QStringList tabs{QStringLiteral("Общая информация"), QStringLiteral("Справочные материалы"),
                           QStringLiteral("Конкорданс"), QStringLiteral("Связь с дежурным")};
    for (int i = 0; i < tabs.size(); ++i)
        PageC->setTabText(i, tabs[i]);
    m_servLog->firstShow();

    // 6. The option list and the per-session counters; the base caption.
    m_state.Options = OptionList::initial();
    m_baseCaption = cp1251::encode(windowTitle());

    // 8. The mode's timer.
    m_watchdog->firstShow(m_config.isWeb());
    if (!m_config.isWeb())
        GetServerTimer.start();

    // 9. Help, pages, maximised window; the start-signal wait in the local mode.
    SetHelp();
    SetFirstPage();
    TS_Dict->SetDict();
    TS_Conc->SetConc();
    ApplyTabVisibility();
    showMaximized();
    if (m_config.isLocal())
        TimerForServer.start();
}

// ---------------------------------------------------------------- requests

void MainWindow::SendToServer(const QByteArray &tag, const QByteArray &params)
{
    m_watchdog->requestSent();
    const bool sent = m_sender.SendToServer(tag, params);
    // Nothing went out and nothing is awaited: no reply will come to give the keys
    // and the cursor back, so they come back now.
    if (!sent && m_state.PendingRequest.isEmpty()) {
        m_watchdog->requestEnded();
        m_state.idleForKeys = true;
        setBusyCursor(false);
    }
}

void MainWindow::startReplay(const QList<int> &queue, const QByteArray &tag, const QByteArray &params)
{
    m_state.History.startReplay(queue);
    SendToServer(tag, params);
}

void MainWindow::RollBack()
{
    m_frameUi.message(this, QStringLiteral("Проблемы с выполнением запроса. Выполняется откат к "
                                      "прежнему запросу."));
    if (m_rollBackStep)
        m_rollBackStep();
    else
        m_historyNav->B_FBackClick();
}

void MainWindow::endPendingRequest(const QString &status)
{
    m_state.PendingRequest.clear();
    m_state.idleForKeys = true;
    m_watchdog->requestEnded();
    closeProgress();
    setBusyCursor(false);
    if (!status.isEmpty())
        setStatusText(status);
}

void MainWindow::showProgress(const QByteArray &text, bool closeEnabled)
{
    if (Form2)
        Form2->showProgress(text, closeEnabled);
    if (centralWidget())
        centralWidget()->repaint();
}

void MainWindow::closeProgress()
{
    if (Form2)
        Form2->close();
}

void MainWindow::setStatusText(const QString &text)
{
    SB_Panel0->setText(text);
}

void MainWindow::setBusyCursor(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    TS_Conc->setBusy(busy);
}

// ---------------------------------------------------------------- replies

void MainWindow::ReplyHandler(const QByteArray &text, bool counted)
{
    // Common steps before the tag's handler. A reply given up as late has come after
    // all: the status no longer says it is missing.
    if (SB_Panel0->text() == QStringLiteral("Сервер не ответил на запрос"))
        SB_Panel0->clear();
    m_state.PendingRequest.clear();
    m_watchdog->requestEnded();
    m_state.idleForKeys = true;
    m_linkSession->replyArrived();

    tCDictPos replyDictPos(-1);
    tCConcPos &conc = m_state.CurrentConcPos ? *m_state.CurrentConcPos : m_scratchConc;
    const replyreader::ReplyRead r = replyreader::readReply(text, conc, replyDictPos, m_state.Options);

    bool skipRest = false;
    if (r.found) {
        m_log.append("GetServer " + r.tag + " " + r.body.left(30));
        if (!TS_Conc->applyReplyState())
            RollBack();
        Timer.stop();
        skipRest = !m_session->commonSteps(r.tag, r.body, replyDictPos);
    }
    if (!skipRest)
        routeReply(r.found, r.tag, r.body, r.mark, counted);
    // Brings the window forward without taking the keyboard from the control that
    // has it (the dictionary lists move the focus with the arrow keys).
    if (isVisible() && m_state.idleForKeys && isEnabled() && !isActiveWindow())
        activateWindow();
    update();
}

void MainWindow::routeReply(bool found, const QByteArray &tag, const QByteArray &body, char mark,
                        bool counted)
{
    // Tags handled among the common steps, or with nothing to do.
    static const QByteArrayList handledElsewhere{"RG", "NM", "NMD", "INFO", "ZERO", "RSTR", "DC", "CT_R"};
    if (found && !m_update->onReply(tag, body, counted)) {
        if (const Handler h = m_handlers.value(tag))
            h(body);
        else if (!handledElsewhere.contains(tag))
            m_log.append("Reply ignored: no handler for " + tag);
    }
    // A dictionary list that came back empty ends the reply's handling early; the
    // cursor and progress steps below still run.
    const bool endedEarly = found && TS_Dict->takeEndReplyHandling();

    // Common steps after the handler.
    if (found && !endedEarly) {
        B_Upd->setEnabled(mark == 'U');
        if (m_config.isWeb())
            statusBar()->setPalette(QPalette());
        TS_Conc->applyListIndexOption();
        TS_Conc->refreshLevelDisplay();
    } else if (!found) {
        m_session->sendRegistration("NM");
        showProgress("0,0,", true);
    }
    if (found && tag == "ZERO") {
        closeProgress();
        m_frameUi.message(this, cp1251::decode(body));
    }
    if (m_state.idleForKeys) {
        closeProgress();
        setBusyCursor(false);
    }
}

// ---------------------------------------------------------------- session

void MainWindow::B_UpdClick()
{
    m_update->B_UpdClick(B_Upd);
}

// ---------------------------------------------------------------- frame

void MainWindow::SetFirstPage()
{
    PageC->setCurrentIndex(0);
}

void MainWindow::ApplyTabVisibility()
{
    PageC->setTabVisible(PageC->indexOf(TS_Dict), m_state.dictTabFlag);
    PageC->setTabVisible(PageC->indexOf(TS_Conc), m_state.concTabFlag);
    PageC->setTabVisible(PageC->indexOf(TS_Chat), m_state.chatTabFlag);
    TS_Conc->setSubPageVisibility(m_state.concDictTabFlag, m_config.testMode);
}

void MainWindow::SetHelp()
{
    m_helpFile = findHelpFile(m_config.RootFolder);
    // Without a help file the item would do nothing: it says so by being disabled.
    M_Help->setEnabled(helpAction(m_helpFile) != HelpKind::None);
}

void MainWindow::M_HelpClick()
{
    if (helpAction(m_helpFile) == HelpKind::None)
        return;
    if (!m_frameUi.openFile(m_helpFile))
        m_frameUi.message(this, QStringLiteral("Не удалось открыть файл справки ") + m_helpFile);
}

void MainWindow::B_CloseClick()
{
    close();
}

void MainWindow::B_RefrClick()
{
    TS_Dict->TS_DictShow();
}

bool MainWindow::FormKeyDown(QKeyEvent *event)
{
    const int vk = platform::virtualKeyCode(event->key(), event->nativeScanCode(), event->text(),
                                            event->nativeVirtualKey());
    bool consumed = false;
    m_linkSession->linkRestartCheck(vk, &consumed);
    if (consumed)
        return true;
    if (!m_state.idleForKeys)
        return true;   // a reply is awaited: the key does nothing
    if (TS_Conc->textViewKey(event))
        return true;
    // On the concordance tab "+" and "-" widen and narrow the context.
    if (PageC->currentWidget() == TS_Conc && TS_Conc->FormKeyPress(event))
        return true;
    // Typing on the dictionary page searches, whichever control has the keyboard.
    if (PageC->currentWidget() == TS_Dict && !TS_Dict->isAncestorOf(QApplication::focusWidget())
        && TS_Dict->typeAhead(event))
        return true;
    if (vk == platform::VkF1) {
        M_HelpClick();
        return true;
    }
    if (vk == platform::VkEscape && animationPlaying()) {
        stopAnimation();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- close

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        m_closing = true;
        if (m_session->connectState() > 0)
            m_session->B_ConnectClick();
        m_session->discardSession();
        m_state.Options.clear();
        m_state.CharList.clear();
        m_linkSession->close();
    }
    event->accept();
}

void MainWindow::saveSessionLog()
{
    if (m_config.isLocal() || m_config.saveLogAlways)
        m_log.save(m_config.UserDataFolder + QStringLiteral("Timers.Log"));
}
