#include "MainWindow.h"

#include "Help.h"
#include "ProgressWindow.h"
#include "SelfUpdate.h"
#include "UiServices.h"
#include "concordance/ConcPage.h"
#include "concordance/SortSeqDialog.h"
#include "dictionary/DictPage.h"
#include "dictionary/core/JpegDecoder.h"
#include "dictionary/PictureWindow.h"
#include "filters/ListSelDialog.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "net/LocalLink.h"
#include "wire/ReplyReader.h"
#include "net/TcpChannel.h"
#include "platform/StartSignal.h"
#include "text/BufferWindow.h"
#include "text/FullTextWindow.h"

#include <QApplication>
#include <QTreeWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QVBoxLayout>

namespace {

// The address used in the socket mode when Cnfg.ini names none.
constexpr char DefaultServerAddress[] = "127.0.0.1";
// A request that has had no reply for this long is given up (see onRequestStalled).
constexpr int PendingRequestLimitMs = 60000;
constexpr int WatchdogTickLimit = 300;
constexpr int MaxDictionaries = 1000;
constexpr int KeyF1 = 112;
constexpr int KeyF5 = 116;
constexpr int KeyEsc = 27;

QByteArray upperLatin(QByteArray s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// The virtual-key code of a key event, as the session log and the key rules count
// keys (letters and digits by their capital ASCII code, F1 = 112, Esc = 27).
int virtualKeyCode(const QKeyEvent *e)
{
    const int k = e->key();
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return 112 + (k - Qt::Key_F1);
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
        return k;
    switch (k) {
    case Qt::Key_Escape: return 27;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    default: break;
    }
    // Other keys by their place on the keyboard (X11 key codes of a US layout), so
    // that a Cyrillic letter logs the code of its key, as the Latin letter would.
    static const QHash<quint32, int> byPlace = [] {
        QHash<quint32, int> m;
        const char *rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
        const quint32 first[] = {24, 38, 52};
        for (int r = 0; r < 3; ++r)
            for (int i = 0; rows[r][i]; ++i)
                m.insert(first[r] + quint32(i), rows[r][i]);
        const std::pair<quint32, int> punct[] = {{59, 188}, {60, 190}, {61, 191}, {47, 186},
                                                 {48, 222}, {34, 219}, {35, 221}, {49, 192},
                                                 {20, 189}, {21, 187}, {51, 220}};
        for (const auto &p : punct)
            m.insert(p.first, p.second);
        return m;
    }();
    const int placed = byPlace.value(e->nativeScanCode(), 0);
    if (placed)
        return placed;
    if (e->text().size() == 1 && e->text().at(0).unicode() < 128)
        return e->text().at(0).toUpper().unicode();
    return int(e->nativeVirtualKey() & 0xFF);
}

} // namespace

TForm1::TForm1(const Config &config, UiServices &ui, QWidget *parent)
    : QMainWindow(parent), m_config(config), m_ui(ui), m_sender(m_state, m_log)
{
    setObjectName(QStringLiteral("Form1"));
    m_playing = m_config.playAnimation;
    setWindowTitle(QStringLiteral("Система лексикографических запросов к удалённому серверу"));
    buildUi();

    m_socket = new TcpChannel(this);
    m_link = new LocalLink(this);
    m_update = new SelfUpdate(*this, m_log,
                              QFileInfo(m_config.iniPath).absolutePath() + QLatin1Char('/'), L1,
                              this, this);
    m_sender.setChannel(m_config.isLocal() ? static_cast<Channel *>(m_link)
                                           : static_cast<Channel *>(m_socket));
    m_sender.setBusyHook([this] { setBusyCursor(true); });
    for (Channel *ch : {static_cast<Channel *>(m_socket), static_cast<Channel *>(m_link)}) {
        connect(ch, &Channel::replyArrived, this, &TForm1::ReplyHandler);
        connect(ch, &Channel::replyFailed, this, &TForm1::onReplyFailed);
        connect(ch, &Channel::replyProgress, this, [this](int percent) {
            if (Form2)
                Form2->setPercent(percent);
        });
    }
    connect(m_socket, &TcpChannel::connected, this, &TForm1::onSocketConnected);
    // Queued: a connect can fail inside open(), before the click has set the
    // connecting state that the error handling returns from.
    connect(m_socket, &TcpChannel::errorOccurred, this, &TForm1::onSocketError,
            Qt::QueuedConnection);
    connect(m_socket, &TcpChannel::disconnected, this,
            [this] { onSocketError(QStringLiteral("Сервер закрыл соединение")); });
    connect(m_link, &LocalLink::itemChanged, this, &TForm1::LocalMessage);

    Timer.setObjectName(QStringLiteral("Timer"));
    GetServerTimer.setObjectName(QStringLiteral("GetServerTimer"));
    TimerForServer.setObjectName(QStringLiteral("TimerForServer"));
    ITimer.setObjectName(QStringLiteral("ITimer"));
    InfoTimer.setObjectName(QStringLiteral("InfoTimer"));
    Timer.setInterval(100);
    GetServerTimer.setInterval(100);
    TimerForServer.setInterval(1000);
    connect(&Timer, &QTimer::timeout, this, &TForm1::TimerTick);
    connect(&GetServerTimer, &QTimer::timeout, this, &TForm1::GetServerTimerTick);
    connect(&TimerForServer, &QTimer::timeout, this, &TForm1::TimerForServerTick);
    m_pendingGuard.setSingleShot(true);
    m_pendingGuard.setInterval(PendingRequestLimitMs);
    connect(&m_pendingGuard, &QTimer::timeout, this, &TForm1::onRequestStalled);

    m_startSignal = std::make_unique<platform::StartSignal>(m_config.UserDataFolder, nullptr,
                                                            m_config.startSignalAttempts);

    // Tags of the catalogue and the page that handles each. "RG", "NM", "NMD" and
    // "INFO" are handled among the common steps; "ZERO" after them; "RSTR", "DC" and
    // "CT_R" have no handler of their own.
    m_handlers.insert("DC_C", [this](const QByteArray &b) { TS_Dict->onDC_C(b); });
    m_handlers.insert("DC_CC", [this](const QByteArray &b) { TS_Dict->onDC_CC(b); });
    m_handlers.insert("DC_W", [this](const QByteArray &b) { TS_Dict->onDC_W(b); });
    m_handlers.insert("DC_S", [this](const QByteArray &b) { TS_Dict->onDC_S(b); });
    m_handlers.insert("CN_C", [this](const QByteArray &b) { TS_Conc->onCN_C(b); });
    m_handlers.insert("CN_Cx", [this](const QByteArray &b) { TS_Conc->onCN_Cx(b); });
    m_handlers.insert("CN_W", [this](const QByteArray &b) { TS_Conc->onCN_W(b); });
    m_handlers.insert("CT_N", [this](const QByteArray &b) { TS_Conc->onCT_N(b); });
    m_handlers.insert("CT_W", [this](const QByteArray &b) { TS_Conc->onCT_W(b); });
    m_handlers.insert("CT_T", [this](const QByteArray &b) { TS_Conc->onCT_T(b); });
    m_handlers.insert("CT_D", [this](const QByteArray &b) { TS_Conc->onCT_D(b); });

    // The window sees every key before the focused control.
    qApp->installEventFilter(this);

    // "DEFAULT"/"DEFAULTSIZE": the face of every list, tree and text view.
    if (!m_config.defaultFont.isEmpty()) {
        const QFont face(m_config.defaultFont, m_config.defaultFontSize);
        for (QWidget *view : {static_cast<QWidget *>(TS_Dict->LB_C), static_cast<QWidget *>(TS_Dict->LB_CC),
                              static_cast<QWidget *>(TS_Dict->LB_W), static_cast<QWidget *>(TS_Dict->TreeView1),
                              static_cast<QWidget *>(TS_Conc->LBC_W)})
            view->setFont(face);
    }

    // Creation: the cover picture of the start page.
    const QString cover = m_config.findCoverPicture();
    if (!cover.isEmpty()) {
        // Decoded with libjpeg; a missing or unreadable picture keeps the designed one.
        const dictcore::JpegResult pic = dictcore::decodeJpegFile(cover);
        if (pic.image) {
            const QImage img(reinterpret_cast<const uchar *>(pic.image->rgb.constData()),
                             pic.image->width, pic.image->height, pic.image->width * 3,
                             QImage::Format_RGB888);
            Image_Front->setPixmap(QPixmap::fromImage(img.copy()));
        }
    }
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
}

void TForm1::buildUi()
{
    auto *central = new QWidget(this);
    auto *vl = new QVBoxLayout(central);
    vl->setContentsMargins(0, 0, 0, 0);

    // The hidden top panel with the close and connect buttons.
    P_Top = new QWidget(central);
    P_Top->setObjectName(QStringLiteral("P_Top"));
    auto *tl = new QHBoxLayout(P_Top);
    B_Close = new QPushButton(QStringLiteral("Завершить"), P_Top);
    B_Close->setObjectName(QStringLiteral("B_Close"));
    B_Connect = new QPushButton(QStringLiteral("Подключиться к серверу"), P_Top);
    B_Connect->setObjectName(QStringLiteral("B_Connect"));
    tl->addWidget(B_Close);
    tl->addWidget(B_Connect);
    P_Top->hide();
    connect(B_Close, &QPushButton::clicked, this, &TForm1::B_CloseClick);
    connect(B_Connect, &QPushButton::clicked, this, &TForm1::B_ConnectClick);

    PageC = new QTabWidget(central);
    PageC->setObjectName(QStringLiteral("PageC"));

    TS_ServLog = new QWidget(PageC);
    TS_ServLog->setObjectName(QStringLiteral("TS_ServLog"));
    auto *sl = new QVBoxLayout(TS_ServLog);
    sl->addWidget(new QLabel(QStringLiteral("Имя пользователя для подключения"), TS_ServLog));
    E_User = new QLineEdit(TS_ServLog);
    E_User->setObjectName(QStringLiteral("E_User"));
    sl->addWidget(E_User);
    L1 = new QLabel(TS_ServLog);
    L1->setObjectName(QStringLiteral("L1"));
    L1->setWordWrap(true);
    sl->addWidget(L1);
    B_Upd = new QPushButton(QStringLiteral("Обновить"), TS_ServLog);
    B_Upd->setObjectName(QStringLiteral("B_Upd"));
    connect(B_Upd, &QPushButton::clicked, this, &TForm1::B_UpdClick);
    sl->addWidget(B_Upd);
    GB_Server = new QGroupBox(QStringLiteral("Управление сервером"), TS_ServLog);
    GB_Server->setObjectName(QStringLiteral("GB_Server"));
    auto *gl = new QVBoxLayout(GB_Server);
    auto *refreshServer = new QPushButton(QStringLiteral("Обновить сервер"), GB_Server);
    refreshServer->hide();
    gl->addWidget(refreshServer);
    sl->addWidget(GB_Server);
    P_Front = new QWidget(TS_ServLog);
    P_Front->setObjectName(QStringLiteral("P_Front"));
    auto *fl = new QVBoxLayout(P_Front);
    Image_Front = new QLabel(P_Front);
    Image_Front->setObjectName(QStringLiteral("Image_Front"));
    Image_Front->setAlignment(Qt::AlignCenter);
    Animate1 = new QLabel(P_Front);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setAlignment(Qt::AlignCenter);
    Animate1->hide();
    L_Loading = new QLabel(P_Front);
    L_Loading->setObjectName(QStringLiteral("L_Loading"));
    L_Loading->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    fl->addWidget(Image_Front, 1);
    fl->addWidget(Animate1);
    fl->addWidget(L_Loading);
    sl->addWidget(P_Front, 1);

    TS_Dict = new DictPage(*this, PageC);
    TS_Conc = new ConcPage(*this, PageC);
    TS_Chat = new QWidget(PageC);
    TS_Chat->setObjectName(QStringLiteral("TS_Chat"));
    PageC->addTab(TS_ServLog, QStringLiteral("Общая информация"));
    PageC->addTab(TS_Dict, QStringLiteral("Справочные материалы"));
    PageC->addTab(TS_Conc, QStringLiteral("Конкорданс"));
    PageC->addTab(TS_Chat, QStringLiteral("Связь с дежурным"));
    connect(TS_Dict->B_Refr, &QPushButton::clicked, this, &TForm1::B_RefrClick);
    TS_Dict->attachConcordance({TS_Conc, TS_Conc->LBC_W, TS_Conc->TreeDOx,
                                {TS_Conc->RBD1, TS_Conc->RBD2, TS_Conc->RBD3}, TS_Conc->CB_DST});
    connect(TS_Conc, &ConcPage::concordanceReset, TS_Dict, &DictPage::concordanceReset);
    connect(PageC, &QTabWidget::currentChanged, this, [this](int index) {
        QWidget *page = PageC->widget(index);
        if (page == TS_Dict)
            TS_Dict->TS_DictShow();
        else if (page == TS_ServLog)
            statusBar()->setPalette(QPalette());   // the system button-face colour
    });

    vl->addWidget(P_Top);
    vl->addWidget(PageC, 1);
    setCentralWidget(central);

    // SB_Info: two panels without bevels, 630 and 50 pixels.
    statusBar()->setObjectName(QStringLiteral("SB_Info"));
    statusBar()->setSizeGripEnabled(false);
    SB_Panel0 = new QLabel(statusBar());
    SB_Panel0->setObjectName(QStringLiteral("SB_Panel0"));
    SB_Panel0->setFixedWidth(630);
    SB_Panel1 = new QLabel(statusBar());
    SB_Panel1->setObjectName(QStringLiteral("SB_Panel1"));
    SB_Panel1->setFixedWidth(50);
    SB_Panel1->setAlignment(Qt::AlignCenter);
    statusBar()->addWidget(SB_Panel0);
    statusBar()->addWidget(SB_Panel1);

    QMenu *file = menuBar()->addMenu(QStringLiteral("Файл"));
    M_Close = file->addAction(QStringLiteral("Завершить"));
    M_Close->setObjectName(QStringLiteral("M_Close"));
    connect(M_Close, &QAction::triggered, this, &TForm1::B_CloseClick);
    M_Conn = file->addAction(B_Connect->text());
    M_Conn->setObjectName(QStringLiteral("M_Conn"));
    connect(M_Conn, &QAction::triggered, this, &TForm1::B_ConnectClick);
    QMenu *font = menuBar()->addMenu(QStringLiteral("Шрифт"));
    M_Font = font->addAction(QStringLiteral("Шрифт..."));
    M_Font->setObjectName(QStringLiteral("M_Font"));
    M_ConcFont = font->addAction(QStringLiteral("Шрифт конкорданса"));
    M_ConcFont->setObjectName(QStringLiteral("M_ConcFont"));
    M_Help = menuBar()->addAction(QStringLiteral("Помощь"));
    M_Help->setObjectName(QStringLiteral("M_Help"));
    connect(M_Help, &QAction::triggered, this, &TForm1::M_HelpClick);
}

void TForm1::createSecondaryWindows()
{
    F_ListSel = new TF_ListSel(this);
    F_SortSeq = new TF_SortSeq(this);
    T_F2 = new TT_F2(this);
    Form2 = new TForm2(this);
    Form3 = new TForm3(this);
    Form4 = new TForm4(this);
    Form5 = new TForm5(this);
    TS_Dict->setPictureWindow(Form5);
}

// ---------------------------------------------------------------- first show

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShown) {
        m_firstShown = true;
        firstShow();
    }
}

void TForm1::firstShow()
{
    // 1. Link and timers at rest.
    m_linkPending = true;
    m_state.PendingRequest.clear();
    m_state.registrationRetries = 0;
    Timer.stop();
    Timer.setInterval(100);
    GetServerTimer.stop();
    GetServerTimer.setInterval(100);
    m_getServerTag = 0;

    // 2. An unreadable configuration ends the program without connecting.
    if (m_config.isBreak()) {
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }

    // 3. Caption, messages, help context, tabs.
    setWindowTitle(QStringLiteral("ОРВАН (Лаборатория корпусной лексикографии) ")
                   + cp1251::decode(m_config.versionText));
    L1->clear();
    SB_Panel0->clear();
    m_state.dictTabFlag = m_state.concTabFlag = m_state.chatTabFlag = false;
    ApplyTabVisibility();

    // 4. User name and the connect controls.
    E_User->setText(QStringLiteral("Пользователь"));
    setConnectState(0, QStringLiteral("Подключиться к серверу"));
    B_Connect->setVisible(m_config.isWeb());
    M_Conn->setVisible(true);

    // 5. Tab captions; no update offered yet.
    PageC->setTabText(0, QStringLiteral("Общая информация"));
    PageC->setTabText(1, QStringLiteral("Справочные материалы"));
    PageC->setTabText(2, QStringLiteral("Конкорданс"));
    PageC->setTabText(3, QStringLiteral("Связь с дежурным"));
    B_Upd->setEnabled(false);

    // 6. The option list and the per-session counters.
    m_state.Options = OptionList::initial();

    // 7. The loading label and the base caption.
    L_Loading->setText(QStringLiteral("ВЫПОЛНЯЕТСЯ ЗАГРУЗКА КОРПУСА ТЕКСТОВ..."));
    L_Loading->show();
    m_baseCaption = cp1251::encode(windowTitle());

    // 8. The mode's timer.
    if (m_config.isWeb()) {
        m_firstWebTick = true;
        m_watchdogTicks = 0;
        Timer.start();
    } else {
        GetServerTimer.start();
    }

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

// ---------------------------------------------------------------- sending

void TForm1::SendToServer(const QByteArray &tag, const QByteArray &params)
{
    // The send watchdog restarts with every request.
    m_watchdogTicks = 0;
    Timer.start(100);
    m_pendingGuard.start();
    const bool sent = m_sender.SendToServer(tag, params);
    if (!sent && m_state.PendingRequest.isEmpty()) {
        // Nothing went out and nothing is awaited: no reply will come to give the
        // keys and the cursor back, so they come back now.
        m_pendingGuard.stop();
        m_state.idleForKeys = true;
        setBusyCursor(false);
    }
}

void TForm1::startReplay(const QList<int> &queue, const QByteArray &tag, const QByteArray &params)
{
    m_state.History.startReplay(queue);
    SendToServer(tag, params);
}

void TForm1::RollBack()
{
    m_ui.message(this, QStringLiteral("Проблемы с выполнением запроса. Выполняется откат к "
                                      "прежнему запросу."));
    // The step back through the history is taken by the history navigation.
    if (m_rollBackStep)
        m_rollBackStep();
}

void TForm1::showProgress(const QByteArray &text, bool closeEnabled)
{
    if (Form2)
        Form2->showProgress(text, closeEnabled);
    if (centralWidget())
        centralWidget()->repaint();
}

void TForm1::closeProgress()
{
    if (Form2)
        Form2->close();
}

void TForm1::setStatusText(const QString &text)
{
    SB_Panel0->setText(text);
}

QByteArray TForm1::registrationName() const
{
    return m_config.versionText + cp1251::encode(E_User->text());
}

void TForm1::sendRegistration(const QByteArray &tag)
{
    SendToServer(tag, registrationName());
}

void TForm1::setBusyCursor(bool busy)
{
    QList<QWidget *> views{this, TS_Conc->LBC_W};
    for (QWidget *w : views) {
        if (busy)
            w->setCursor(Qt::WaitCursor);
        else
            w->unsetCursor();
    }
}

// ---------------------------------------------------------------- replies

void TForm1::ReplyHandler(const QByteArray &text, bool counted)
{
    // Common steps before the tag's handler.
    m_state.PendingRequest.clear();
    m_pendingGuard.stop();
    tCDictPos replyDictPos(-1);
    m_state.idleForKeys = true;
    m_linkPending = false;

    tCConcPos &conc = m_state.CurrentConcPos ? *m_state.CurrentConcPos : m_scratchConc;
    const replyreader::ReplyRead r =
        replyreader::readReply(text, conc, replyDictPos, m_state.Options);

    bool skipRest = false;
    if (r.found) {
        m_log.append("GetServer " + r.tag + " " + r.body.left(30));
        if (!TS_Conc->applyReplyState())
            RollBack();
        Timer.stop();

        QList<DictEntry> &dicts = m_state.DictPosList;
        // A position far beyond any dictionary the server named is a broken record,
        // not a reason to build millions of entries.
        if (replyDictPos.DictNo > MaxDictionaries)
            replyDictPos.DictNo = -1;
        if (replyDictPos.DictNo >= 0) {
            while (dicts.size() <= replyDictPos.DictNo)
                dicts.append(DictEntry{QByteArray(), tCDictPos(qint32(dicts.size()))});
            dicts[replyDictPos.DictNo].pos = replyDictPos;
        }
        int candidate = -1;
        if (replyDictPos.DictNo >= 0 && replyDictPos.WordNo >= 0
            && replyDictPos.DictNo < dicts.size())
            candidate = replyDictPos.DictNo;
        else if (!dicts.isEmpty()) {
            const int sel = TS_Dict->CB_Dict->currentIndex();
            if (sel >= 0 && sel < dicts.size())
                candidate = sel;
        }

        // The session's own tags.
        if (r.tag == "RG") {
            TS_Conc->showLoadingLines(QByteArray());
            sendRegistration("NM");
            showProgress("0,0,", true);
        } else if (r.tag == "NM" || r.tag == "NMD") {
            skipRest = !handleRegistration(r.body, &candidate);
        }
        if (!skipRest) {
            handleSlCount();
            if (r.tag == "INFO")
                handleInfo(r.body);

            if (candidate < 0 && !dicts.isEmpty())
                candidate = 0;
            if (candidate >= 0 && dicts[candidate].pos.DictNo >= 0) {
                m_state.CurDictPos = candidate;
                m_state.CurDict = dicts[candidate].pos.DictNo;
            } else {
                m_state.CurDictPos = -1;
                m_state.CurDict = -1;
            }
            if (m_state.Options.value("SWD") == "YES")
                TS_Dict->selectDictionary(m_state.CurDict);
            if (m_state.Options.value("SS") == "YES") {
                m_state.concDictTabFlag = true;
                ApplyTabVisibility();
            }
        }
    }

    if (!skipRest) {
        if (r.found && !m_update->onReply(r.tag, r.body, counted)) {
            const Handler h = m_handlers.value(r.tag);
            if (h)
                h(r.body);
        }
        // A dictionary list that came back empty ends the reply's handling early;
        // the cursor and progress steps below still run.
        const bool endedEarly = r.found && TS_Dict->takeEndReplyHandling();

        // Common steps after the handler.
        if (r.found && !endedEarly) {
            B_Upd->setEnabled(r.mark == 'U');
            if (m_config.isWeb())
                statusBar()->setPalette(QPalette());
            const QByteArray index = m_state.Options.value("LBCWIndex");
            if (!index.isEmpty() && index != "NO" && index != "YES") {
                bool ok = false;
                const int row = index.toInt(&ok);
                if (ok && row >= 0 && row < TS_Conc->LBC_W->count())
                    TS_Conc->LBC_W->setCurrentRow(row);
                m_state.Options.remove("LBCWIndex");
            }
            TS_Conc->refreshLevelDisplay();
        } else if (!r.found) {
            sendRegistration("NM");
            showProgress("0,0,", true);
        }
        if (r.found && r.tag == "ZERO") {
            closeProgress();
            m_ui.message(this, cp1251::decode(r.body));
        }
        if (m_state.idleForKeys) {
            closeProgress();
            setBusyCursor(false);
        }
    }
    // Brings the window forward without taking the keyboard from the control
    // that has it (the dictionary lists move the focus with the arrow keys).
    if (isVisible() && m_state.idleForKeys && isEnabled() && !isActiveWindow())
        activateWindow();
    update();
}

bool TForm1::handleRegistration(const QByteArray &body, int *candidate)
{
    const QByteArray upper = upperLatin(body);
    const int mes = upper.indexOf("MES=");
    if (mes >= 0)
        L1->setText(cp1251::decode(body.mid(mes + 4)));
    const int dict = upper.indexOf("DICT=");
    if (dict >= 0)
        m_state.dictTabFlag = true;
    if (upper.contains("CONC,"))
        m_state.concTabFlag = true;
    if (m_state.Options.value("SWD") == "NO")
        m_state.CurDict = 0;

    QList<DictEntry> &dicts = m_state.DictPosList;
    if (dict < 0) {
        ++m_state.registrationRetries;
        if (m_state.registrationRetries < 60) {
            sendRegistration("NMD");
            return false;
        }
        if (m_state.registrationRetries == 60) {
            dicts.append(DictEntry{QByteArray("FICT"), tCDictPos(0)});
            Timer.stop();
        }
    } else {
        const int from = dict + 5;
        const int end = upper.indexOf(",END,", from);
        const QList<QByteArray> names =
            commalist::split(end < 0 ? body.mid(from) : body.mid(from, end - from));
        TS_Dict->setDictionaryNames(names, m_state.CurDict);
        for (int i = 0; i < names.size(); ++i) {
            if (i < dicts.size()) {
                if (dicts[i].name.isEmpty())
                    dicts[i].name = names[i];
            } else {
                dicts.append(DictEntry{names[i], tCDictPos(qint32(i))});
            }
        }
    }
    closeProgress();
    // The corpus is loaded once the server registers us; in the socket mode no link
    // tick hides the loading label.
    L_Loading->hide();
    ApplyTabVisibility();
    if (!dicts.isEmpty())
        *candidate = 0;
    PageC->setCurrentWidget(TS_Conc);
    return true;
}

void TForm1::handleSlCount()
{
    const QByteArray count = m_state.Options.value("SL_Count");
    const QString marker = QStringLiteral(" Объём корпуса текстов ");
    if (!count.isEmpty() && !windowTitle().contains(marker))
        setWindowTitle(windowTitle() + marker + cp1251::decode(count));
}

void TForm1::handleInfo(const QByteArray &body)
{
    setWindowTitle(cp1251::decode(m_baseCaption + "   +" + body));
}

void TForm1::onReplyFailed(const QString &reason)
{
    // A reply that will not complete: nothing is pending any more.
    m_state.PendingRequest.clear();
    m_state.idleForKeys = true;
    m_pendingGuard.stop();
    closeProgress();
    setBusyCursor(false);
    setStatusText(reason);
}

void TForm1::onRequestStalled()
{
    if (m_state.PendingRequest.isEmpty())
        return;
    onReplyFailed(QStringLiteral("Сервер не ответил на запрос"));
}

// ---------------------------------------------------------------- local link

void TForm1::LocalMessage(const QByteArray &text)
{
    if (!text.isEmpty() && m_localServerState.isEmpty())
        m_localServerState = "IS";
    if (text == "Server is Ready") {
        m_log.append("Server is Ready");
        m_localServerState = text;
        m_link->pokeRaw("RegisterMe");
    } else if (text == "CLOSE") {
        close();
    } else if (!text.isEmpty()) {
        m_log.append("Server Info ...");
        m_link->deliverReply(text);
    }
}

void TForm1::GetServerTimerTick()
{
    logTimer(&GetServerTimer, cp1251::ru("начало"));
    if (!m_config.isLocal())
        return;
    if (!m_linkPending && m_linked)
        GetServerTimer.stop();
    if (m_linkPending) {
        logTimer(&GetServerTimer, "first");
        // A configured file is loaded when the designed animation is not asked for.
        if (!m_playing && !m_config.animationName.isEmpty()) {
            m_animationFile = m_config.animationFile();
            m_playing = true;
        }
        if (m_playing)
            startAnimation(m_animationFile);
        else
            logTimer(&GetServerTimer, "before_setlink");
        if (!m_config.LocalServerName.isEmpty() && m_link->setLink(m_config.LocalServerName)) {
            logTimer(&GetServerTimer, "setlink");
            m_linkPending = false;
            m_linked = false;
            // The attempt is made once; F5 and the start signal open the link again.
            m_link->openLink(m_config.LocalServerPath.isEmpty() ? m_config.LocalServerFile
                                                                : m_config.LocalServerPath);
            m_linked = true;
            logTimer(&GetServerTimer, "SEND");
            sendRegistration("NM");
            logTimer(&GetServerTimer, "END_SEND");
            TS_Conc->showLoadingLines(QByteArray::number(m_getServerTag));
            repaint();
            showProgress("0,0,", true);
            m_getServerTag = (m_getServerTag + 1) % 10;
        } else {
            logTimer(&GetServerTimer, "get");
            GetServerTimer.setInterval(1000);
        }
    }
    L_Loading->hide();
    logTimer(&GetServerTimer, cp1251::ru("конец"));
}

void TForm1::TimerForServerTick()
{
    const platform::StartSignal::TickResult r = m_startSignal->tick();
    if (r != platform::StartSignal::TickResult::Waiting) {
        TimerForServer.stop();
        bool consumed = false;
        linkRestartCheck(KeyF5, &consumed);   // as if F5 had been pressed
    }
}

void TForm1::restartLocalLink(int keyCode)
{
    const QByteArray code = QByteArray::number(keyCode);
    m_log.append("Restart DDE =" + code + " Beg");
    if (PageC->currentWidget() == TS_ServLog && !PageC->isTabVisible(PageC->indexOf(TS_Conc))) {
        m_link->closeLink();
        m_linkPending = true;
        GetServerTimerTick();
        m_log.append("Restart DDE =" + code + " END");
    }
}

void TForm1::linkRestartCheck(int keyCode, bool *consumed)
{
    const QByteArray code = QByteArray::number(keyCode);
    m_log.append("Restart DDE " + m_state.PendingRequest + " " + code + "=" + code + " Pro");
    *consumed = false;
    if (!m_state.PendingRequest.isEmpty() || keyCode == KeyF5) {
        restartLocalLink(keyCode);
        *consumed = true;
    }
}

// ---------------------------------------------------------------- watchdog

void TForm1::TimerTick()
{
    logTimer(&Timer, cp1251::ru("начало"));
    ++m_watchdogTicks;
    if (m_watchdogTicks <= WatchdogTickLimit) {
        if (m_firstWebTick) {
            m_firstWebTick = false;
            Timer.stop();
            m_update->postUpdateCleanup();
            logTimer(&Timer, "first");
        } else if (isEnabled()) {
            Timer.stop();
            logTimer(&Timer, "2");
        } else {
            logTimer(&Timer, "LOCAL");
            if (m_config.isWeb()) {
                if (Form2 && Form2->isVisible()) {
                    if (Form2->closeUsed()) {
                        Timer.stop();
                        Form2->close();
                    }
                } else {
                    Timer.stop();
                    logTimer(&Timer, cp1251::ru("конец"));
                }
            }
        }
    } else {
        m_watchdogTicks = 0;
        Timer.stop();
        setEnabled(true);
        logTimer(&Timer, "1");
    }
}

void TForm1::logTimer(QTimer *ticking, const QByteArray &label)
{
    QByteArray line = QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).toLatin1()
                      + " : ";
    QList<QTimer *> order{ticking};
    for (QTimer *t : {&Timer, &GetServerTimer, &ITimer, &InfoTimer})
        if (t != ticking)
            order.append(t);
    for (QTimer *t : order) {
        line += t->objectName().toLatin1() + "="
                + QByteArray::number(t->isActive() ? t->interval() : 0) + ",";
    }
    m_log.append(line + label);
}

// ---------------------------------------------------------------- session

void TForm1::setConnectState(int state, const QString &caption)
{
    m_connectState = state;
    B_Connect->setText(caption);
    B_Connect->setProperty("tag", state);
    M_Conn->setText(caption);
    M_Conn->setProperty("tag", state);
}

void TForm1::B_ConnectClick()
{
    if (m_config.isLocal())
        return;
    L1->clear();
    const QByteArray host = m_config.readKey("IP", DefaultServerAddress);
    const QByteArray port = m_config.readKey("Port", "1024");
    m_update->reset();
    if (m_connectState == 0) {
        if (m_socket->open(cp1251::decode(host), cp1251::decode(port))) {
            Timer.start(500);
            setConnectState(1, QStringLiteral("...ждите"));
            setStatusText(QStringLiteral("Идет соединение ..."));
            E_User->setEnabled(false);
            resetSessionPages();
        }
    } else if (m_connectState == 2) {
        B_Upd->setEnabled(false);
        setConnectState(0, QStringLiteral("Подключиться"));
        m_socket->close();
        setStatusText(QStringLiteral("Связь прервана пользователем"));
        E_User->setEnabled(true);
        discardSession();
    }
}

void TForm1::resetSessionPages()
{
    SetFirstPage();
    m_state.Options = OptionList::initial();
    m_state.DictPosList.clear();
    m_state.CurDict = -1;
    m_state.CurDictPos = -1;
    TS_Dict->SetDict();
    TS_Conc->SetConc();
}

void TForm1::discardSession()
{
    m_state.dictTabFlag = m_state.concTabFlag = m_state.chatTabFlag = false;
    ApplyTabVisibility();
    TS_Conc->PC_Conc->setTabVisible(TS_Conc->PC_Conc->indexOf(TS_Conc->TS_Text), false);
    m_state.DictPosList.clear();
    m_state.CurDict = -1;
    m_state.CurDictPos = -1;
    m_state.CurrentConcPos.reset();
    m_state.PendingRequest.clear();
    m_state.idleForKeys = true;
    m_pendingGuard.stop();
}

void TForm1::onSocketConnected()
{
    setStatusText(QStringLiteral("Сервер на связи"));
    setConnectState(2, QStringLiteral("Отключиться"));
}

void TForm1::onSocketError(const QString &)
{
    if (m_connectState == 0)
        return;   // already handled (a refused connect reports once)
    m_update->reset();
    m_ui.message(this, QStringLiteral("Не найден сервер в сети"));
    setConnectState(0, QStringLiteral("Подключиться"));
    setStatusText(QStringLiteral("Ошибка подключения"));
    E_User->setEnabled(true);
    // Nothing can answer a pending request now: free the keys and the cursor.
    m_state.PendingRequest.clear();
    m_state.idleForKeys = true;
    m_pendingGuard.stop();
    closeProgress();
    setBusyCursor(false);
}

// ---------------------------------------------------------------- frame

void TForm1::SetFirstPage()
{
    PageC->setCurrentIndex(0);
}

void TForm1::ApplyTabVisibility()
{
    PageC->setTabVisible(PageC->indexOf(TS_Dict), m_state.dictTabFlag);
    PageC->setTabVisible(PageC->indexOf(TS_Conc), m_state.concTabFlag);
    PageC->setTabVisible(PageC->indexOf(TS_Chat), m_state.chatTabFlag);
    TS_Conc->setSubPageVisibility(m_state.concDictTabFlag, m_config.testMode);
}

void TForm1::SetHelp()
{
    m_helpFile = findHelpFile(m_config.RootFolder);
}

void TForm1::M_HelpClick()
{
    switch (helpAction(m_helpFile)) {
    case HelpKind::None:
        return;
    case HelpKind::WinHelp:
    case HelpKind::HtmlHelp:
        if (!m_ui.openFile(m_helpFile))
            m_ui.message(this, QStringLiteral("Не удалось открыть файл справки ") + m_helpFile);
        return;
    }
}

void TForm1::B_CloseClick()
{
    close();
}

void TForm1::B_RefrClick()
{
    TS_Dict->TS_DictShow();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        auto *key = static_cast<QKeyEvent *>(event);
        // An ignored key travels up to the parents and passes this filter again;
        // act once per key, on its first delivery.
        const bool propagated = event == m_lastKey.event && m_lastKey.widget
                                && w != m_lastKey.widget && w->isAncestorOf(m_lastKey.widget)
                                && key->key() == m_lastKey.key
                                && key->modifiers() == m_lastKey.modifiers;
        if (!propagated && (w == this || isAncestorOf(w))) {
            m_lastKey = {event, w, key->key(), key->modifiers()};
            return FormKeyDown(key);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::FormKeyDown(QKeyEvent *event)
{
    const int vk = virtualKeyCode(event);
    bool consumed = false;
    linkRestartCheck(vk, &consumed);
    if (consumed)
        return true;
    if (!m_state.idleForKeys)
        return true;   // a reply is awaited: the key does nothing
    if (TS_Conc->textViewKey(event))
        return true;
    if (vk == KeyF1) {
        M_HelpClick();
        return true;
    }
    if (vk == KeyEsc && m_playing) {
        stopAnimation();
        return true;
    }
    return false;
}

void TForm1::startAnimation(const QString &file)
{
    m_playing = true;
    Animate1->show();
    if (m_movie && m_movie->state() == QMovie::Running)
        return;
    if (!file.isEmpty()) {
        m_movie = std::make_unique<QMovie>(file);
        if (m_movie->isValid()) {
            Animate1->setMovie(m_movie.get());
            m_movie->start();
            return;
        }
        m_movie.reset();
    }
    // The designed animation: a simple indicator drawn by the label itself.
    Animate1->setText(QStringLiteral("⌛"));
}

void TForm1::stopAnimation()
{
    if (m_movie)
        m_movie->stop();
    Animate1->hide();
    m_playing = false;
}

// ---------------------------------------------------------------- self-update

void TForm1::B_UpdClick()
{
    m_update->B_UpdClick(B_Upd);
}

// ---------------------------------------------------------------- close

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        m_closing = true;
        if (m_connectState > 0)
            B_ConnectClick();
        discardSession();
        m_state.Options.clear();
        m_state.CharList.clear();
        if (m_config.isLocal() && !m_localServerState.isEmpty()) {
            m_link->pokeEncoded("CLOSE");
            m_link->closeLink();
        }
    }
    event->accept();
}

void TForm1::saveSessionLog()
{
    if (m_config.isLocal() || m_config.saveLogAlways)
        m_log.save(m_config.UserDataFolder + QStringLiteral("Timers.Log"));
}
