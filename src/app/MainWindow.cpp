#include "MainWindow.h"

#include "FrameChrome.h"
#include "FrameSurface.h"
#include "GuideWindow.h"
#include "Help.h"
#include "ReplyRouter.h"
#include "KeyPreview.h"
#include "LocalLinkSession.h"
#include "ProgressWindow.h"
#include "SelfUpdate.h"
#include "ServerLogPage.h"
#include "SessionController.h"
#include "Watchdog.h"
#include "concordance/ConcPage.h"
#include "concordance/SortSeqDialog.h"
#include "dictionary/DictPage.h"
#include "dictionary/PictureWindow.h"
#include "dictionary/UsagePanel.h"
#include "filters/HistoryNavigation.h"
#include "filters/ListSelDialog.h"
#include "model/Cp1251.h"
#include "net/LocalLink.h"
#include "net/TcpChannel.h"
#include "platform/KeyCodes.h"
#include "text/BufferKeeper.h"
#include "text/BufferWindow.h"
#include "text/FullTextWindow.h"
#include "text/TextPanel.h"
#include "wire/ReplyReader.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
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
    m_historyNav = new HistoryNavigation(*this, this);
    m_bufferKeeper = std::make_unique<BufferKeeper>(m_state.Buffer, m_config.UserDataFolder);
    connect(m_bufferKeeper.get(), &BufferKeeper::writeFailed, this, [this](const QString &reason) {
        m_log.append("Buffer not kept: " + reason.toUtf8());
    });
    buildUi();

    m_socket = new TcpChannel(this);
    m_link = new LocalLink(this);
    m_update = new SelfUpdate(*this, m_log, m_config.exeFolder, m_servLog->L1, this, this);
    m_session = new SessionController(*this);
    // The timers, named as the timer log shows them.
    for (QTimer *t : {&Timer, &GetServerTimer, &TimerForServer})
        t->setInterval(100);
    Timer.setObjectName(QStringLiteral("Timer"));
    m_watchdog = new Watchdog(*this);
    m_linkSession = new LocalLinkSession(*this, m_link);
    connectChannels();
    // The first value list means the local server is up: its start signal is moot.
    connect(TS_Conc, &ConcPage::valueListArrived, &TimerForServer, &QTimer::stop);

    new FrameSurface(*this, *this);
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

MainWindow::~MainWindow()
{
    // What is pending reaches the disk, and the buffer window lets go of the buffer,
    // while the state is still there (the members go before the child windows would).
    m_bufferKeeper.reset();
    delete T_F2;
    T_F2 = nullptr;
}

void MainWindow::connectChannels()
{
    m_sender.setChannel(m_config.isLocal() ? static_cast<Channel *>(m_link) : static_cast<Channel *>(m_socket));
    m_sender.setBusyHook([this] { setBusyCursor(true); });
    for (Channel *ch : {static_cast<Channel *>(m_socket), static_cast<Channel *>(m_link)}) {
        connect(ch, &Channel::replyArrived, this, &MainWindow::ReplyHandler);
        connect(ch, &Channel::replyFailed, this, [this](const QString &reason) { endPendingRequest(reason); });
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
    connect(m_link, &LocalLink::itemChanged, m_linkSession, &LocalLinkSession::LocalMessage);
    connect(m_servLog->B_Upd, &QPushButton::clicked, this, &MainWindow::B_UpdClick);
}

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
    connect(B_Connect, &QPushButton::clicked, this, [this] { m_session->B_ConnectClick(); });
    connect(M_Close, &QAction::triggered, this, &MainWindow::B_CloseClick);
    connect(M_Conn, &QAction::triggered, this, [this] { m_session->B_ConnectClick(); });
    connect(M_Help, &QAction::triggered, this, &MainWindow::M_HelpClick);

    PageC = new QTabWidget(central);
    PageC->setObjectName(QStringLiteral("PageC"));
    buildPages();
    vl->addWidget(PageC, 1);
    setCentralWidget(central);
}

void MainWindow::buildPages()
{
    m_servLog = new ServerLogPage(PageC);
    m_servLog->setPlaying(m_config.playAnimation);
    TS_Dict = new DictPage(*this, PageC);
    TS_Conc = new ConcPage(*this, PageC);
    m_panels = wirePages(*this);
    m_router = std::make_unique<ReplyRouter>(*TS_Dict, *TS_Conc, *m_panels.text, *m_panels.usage);
    TS_Chat = new QWidget(PageC);
    TS_Chat->setObjectName(QStringLiteral("TS_Chat"));
    PageC->addTab(m_servLog, QStringLiteral("Общая информация"));
    PageC->addTab(TS_Dict, QStringLiteral("Справочные материалы"));
    PageC->addTab(TS_Conc, QStringLiteral("Конкорданс"));
    PageC->addTab(TS_Chat, QStringLiteral("Связь с дежурным"));
    connect(TS_Dict->B_Refr, &QPushButton::clicked, this, &MainWindow::B_RefrClick);
    connect(PageC, &QTabWidget::currentChanged, this, [this](int index) {
        QWidget *page = PageC->widget(index);
        if (page == TS_Dict)
            TS_Dict->TS_DictShow();
        else if (page == m_servLog)
            statusBar()->setPalette(QPalette());   // the system button-face colour
    });
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
    m_panels.text->setWindows(Form4, T_F2);
    if (!m_config.defaultFont.isEmpty())
        T_F2->LB->setFont(QFont(m_config.defaultFont, m_config.defaultFontSize));
}

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
    // An unreadable configuration: the program says so and goes on with the
    // defaults in the socket mode, so the user can still connect from the menu.
    if (m_config.isBreak()) {
        m_config.ConnectionMode = "WEB";
        m_session->explainUnreadableConfig();
    }
    setWindowTitle(QStringLiteral("ОРВАН (Лаборатория корпусной лексикографии) ")
                   + cp1251::decode(m_config.versionText));
    SB_Panel0->clear();
    m_state.dictTabFlag = m_state.concTabFlag = m_state.chatTabFlag = false;
    ApplyTabVisibility();
    m_session->firstShow();   // link, timers, options and the connect controls at rest
    const QStringList tabs{QStringLiteral("Общая информация"), QStringLiteral("Справочные материалы"),
                           QStringLiteral("Конкорданс"), QStringLiteral("Связь с дежурным")};
    for (int i = 0; i < tabs.size(); ++i)
        PageC->setTabText(i, tabs[i]);
    m_servLog->firstShow();   // no update offered yet, the loading label
    // Help, pages, maximised window; the start-signal wait in the local mode.
    SetHelp();
    SetFirstPage();
    TS_Dict->SetDict();
    TS_Conc->SetConc();
    // The lines collected in the last run come back after the set-up, so it has
    // nothing to ask about them.
    m_bufferKeeper->restore();
    ApplyTabVisibility();
    showMaximized();
    if (m_config.isLocal())
        TimerForServer.start();
}

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

void MainWindow::setStatusHints(const QString &panel0, const QString &panel1)
{
    SB_Panel0->setText(panel0);
    SB_Panel1->setText(panel1);
}

bool MainWindow::progressShowing() const
{
    return Form2 && Form2->isVisible();
}

void MainWindow::setBusyCursor(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    TS_Conc->setBusy(busy);
}

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
    if (!skipRest) {
        if (r.found)
            routeReply(r.tag, r.body, counted);
        afterReply(r.found, r.tag, r.body, r.mark);
    }
    // Brings the window forward without taking the keyboard from the control that
    // has it (the dictionary lists move the focus with the arrow keys).
    if (isVisible() && m_state.idleForKeys && isEnabled() && !isActiveWindow())
        activateWindow();
    update();
}

void MainWindow::routeReply(const QByteArray &tag, const QByteArray &body, bool counted)
{
    if (m_update->onReply(tag, body, counted))
        return;
    if (!m_router->route(tag, body) && !ReplyRouter::handledElsewhere(tag))
        m_log.append("Reply ignored: no handler for " + tag);
}

void MainWindow::afterReply(bool found, const QByteArray &tag, const QByteArray &body, char mark)
{
    // A dictionary list that came back empty ends the reply's handling early; the
    // cursor and progress steps below still run.
    const bool endedEarly = found && TS_Dict->takeEndReplyHandling();
    if (found && !endedEarly) {
        m_servLog->B_Upd->setEnabled(mark == 'U');
        if (m_config.isWeb())
            statusBar()->setPalette(QPalette());
        TS_Conc->applyListIndexOption();
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
        TS_Conc->typeKept();
    }
}

void MainWindow::B_UpdClick()
{
    m_update->B_UpdClick(m_servLog->B_Upd);
}

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
    switch (helpAction(m_helpFile)) {
    case HelpKind::None:
        return;
    case HelpKind::Guide:
        // The guide stays open beside the window while the user works.
        if (!m_guide)
            m_guide = new GuideWindow(this);
        m_guide->showGuide(m_helpFile);
        return;
    case HelpKind::WinHelp:
    case HelpKind::HtmlHelp:
        if (!m_frameUi.openFile(m_helpFile))
            m_frameUi.message(this, QStringLiteral("Не удалось открыть файл справки ") + m_helpFile);
        return;
    }
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
    if (consumed || !m_state.idleForKeys) {
        // A reply is awaited: the key does nothing, but what is typed into the
        // value list is kept for when the reply has come.
        TS_Conc->keepTyped(event);
        return true;
    }
    if (m_panels.text->textViewKey(event))
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
    if (vk == platform::VkEscape && m_servLog->isPlaying()) {
        m_servLog->stopAnimation();
        return true;
    }
    return false;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        m_closing = true;
        m_session->closeSession();
        m_bufferKeeper->flush();
    }
    event->accept();
}

void MainWindow::saveSessionLog()
{
    if (m_config.isLocal() || m_config.saveLogAlways)
        m_log.save(m_config.UserDataFolder + QStringLiteral("Timers.Log"));
}
