#include "SessionController.h"

#include "MainWindow.h"
#include "Watchdog.h"
#include "ServerLogPage.h"
#include "LocalLinkSession.h"
#include "SelfUpdate.h"
#include "session/UiServices.h"
#include "concordance/ConcPage.h"
#include "dictionary/DictPage.h"
#include "model/Cp1251.h"
#include "net/Registration.h"
#include "net/TcpChannel.h"

#include <QAction>
#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>

namespace {

// The address used in the socket mode when Cnfg.ini names none.
constexpr char DefaultServerAddress[] = "127.0.0.1";
// "NM" is repeated as "NMD" until the dictionaries arrive, at most this often.
constexpr int RegistrationAttempts = 60;

} // namespace

SessionController::SessionController(MainWindow &frame) : QObject(&frame), m_frame(frame) {}

void SessionController::setConnectState(int state, const QString &caption)
{
    m_connectState = state;
    m_frame.B_Connect->setText(caption);
    m_frame.B_Connect->setProperty("tag", state);
    m_frame.M_Conn->setText(caption);
    m_frame.M_Conn->setProperty("tag", state);
}

void SessionController::firstShow()
{
    // The link and the timers at rest.
    SessionState &s = m_frame.state();
    m_frame.linkSession()->reset();
    s.PendingRequest.clear();
    s.registrationRetries = 0;
    m_frame.Timer.stop();
    m_frame.Timer.setInterval(100);
    // The option list and the per-session counters; the caption "INFO" adds to.
    s.Options = OptionList::initial();
    m_baseCaption = cp1251::encode(m_frame.windowTitle());
    // The mode's timer.
    m_frame.watchdog()->firstShow(m_frame.config().isWeb());
    if (!m_frame.config().isWeb())
        m_frame.GetServerTimer.start();
    // The user name and the connect controls.
    m_frame.serverLogPage()->E_User->setText(QStringLiteral("Пользователь"));
    setConnectState(0, QStringLiteral("Подключиться к серверу"));
    m_frame.B_Connect->setVisible(m_frame.config().isWeb());
    m_frame.M_Conn->setVisible(true);
    // The local server starts with the session and loads its corpus; a server over
    // TCP waits until the user connects.
    if (m_frame.config().isWeb())
        m_frame.serverLogPage()->showStartNote(connectHint());
    else
        m_frame.serverLogPage()->showLoading();
}

QString SessionController::connectHint() const
{
    return QStringLiteral("Нет подключения к серверу. Нажмите «%1» в меню «Файл».")
        .arg(m_frame.M_Conn->text());
}

void SessionController::explainUnreadableConfig()
{
    QTimer::singleShot(0, &m_frame, [this] {
        const Config &config = m_frame.config();
        m_frame.ui().message(&m_frame, QStringLiteral("Файл настроек %1 не читается (%2). Программа "
                                                      "работает с настройками по умолчанию; "
                                                      "подключиться к серверу можно из меню «Файл».")
                                           .arg(config.iniPath, config.iniError));
    });
}

void SessionController::B_ConnectClick()
{
    const Config &config = m_frame.config();
    if (config.isLocal())
        return;
    m_frame.serverLogPage()->L1->clear();
    m_frame.selfUpdate()->reset();
    if (m_connectState == 0) {
        const QString host = cp1251::decode(config.readKey("IP", DefaultServerAddress)).trimmed();
        const QString port = cp1251::decode(config.readKey("Port", "1024")).trimmed();
        m_address = host + QLatin1Char(':') + port;
        m_registered = false;
        const QString bad = badAddress(host, port);
        if (!bad.isEmpty()) {
            failed(Failure::Configuration, config.iniPath + QStringLiteral(": ") + bad);
            return;
        }
        if (m_frame.socketChannel()->open(host, port)) {
            m_frame.Timer.start(500);
            setConnectState(1, QStringLiteral("...ждите"));
            m_frame.setStatusText(QStringLiteral("Идет соединение с %1 ...").arg(m_address));
            m_frame.serverLogPage()->showStartNote(QStringLiteral("Подключение к серверу %1 …").arg(m_address));
            m_frame.serverLogPage()->E_User->setEnabled(false);
            resetSessionPages();
        }
    } else if (m_connectState == 2) {
        m_frame.serverLogPage()->B_Upd->setEnabled(false);
        setConnectState(0, QStringLiteral("Подключиться"));
        m_frame.socketChannel()->close();
        m_frame.setStatusText(QStringLiteral("Связь прервана пользователем"));
        m_frame.serverLogPage()->E_User->setEnabled(true);
        m_frame.serverLogPage()->showStartNote(connectHint());
        discardSession();
    }
}

void SessionController::resetSessionPages()
{
    SessionState &s = m_frame.state();
    m_frame.SetFirstPage();
    s.Options = OptionList::initial();
    s.DictPosList.clear();
    s.CurDict = -1;
    s.CurDictPos = -1;
    m_frame.TS_Dict->SetDict();
    m_frame.TS_Conc->SetConc();
}

void SessionController::closeSession()
{
    if (m_connectState > 0)
        B_ConnectClick();
    discardSession();
    m_frame.state().Options.clear();
    m_frame.state().CharList.clear();
    m_frame.linkSession()->close();
}

void SessionController::discardSession()
{
    SessionState &s = m_frame.state();
    s.dictTabFlag = s.concTabFlag = s.chatTabFlag = false;
    m_frame.ApplyTabVisibility();
    s.DictPosList.clear();
    s.CurDict = -1;
    s.CurDictPos = -1;
    s.CurrentConcPos.reset();
    m_frame.endPendingRequest();
}

void SessionController::onSocketConnected()
{
    m_frame.setStatusText(QStringLiteral("Сервер на связи"));
    setConnectState(2, QStringLiteral("Отключиться"));
    // The server greets, then registers this client once its corpus is loaded.
    m_frame.serverLogPage()->showLoading();
}

void SessionController::onSocketError(const QString &reason)
{
    if (m_connectState == 0)
        return;   // already handled (a refused connect reports once)
    QString why = reason;
    if (m_connectState == 2)
        why = m_registered ? QStringLiteral("связь потеряна: %1").arg(reason)
                           : QStringLiteral("%1 до регистрации").arg(reason);
    failed(Failure::Network, m_address + QStringLiteral(" — ") + why);
}

void SessionController::onServerClosed()
{
    onSocketError(QStringLiteral("сервер закрыл соединение"));
}

void SessionController::failed(Failure kind, const QString &detail)
{
    m_frame.selfUpdate()->reset();
    m_frame.socketChannel()->close();
    setConnectState(0, QStringLiteral("Подключиться"));
    m_frame.serverLogPage()->E_User->setEnabled(true);
    // Nothing can answer a pending request now; what the ended session showed goes,
    // so nothing looks live until the next registration.
    m_frame.endPendingRequest(QStringLiteral("Ошибка подключения: ") + detail);
    const bool hadSession = m_frame.state().CurrentConcPos || !m_frame.state().DictPosList.isEmpty();
    if (hadSession)
        resetSessionPages();
    discardSession();
    const QString again = QStringLiteral("нажмите «%1» в меню «Файл».").arg(m_frame.M_Conn->text());
    if (kind == Failure::Configuration) {
        // The address cannot be used at all: nothing was tried on the network.
        const QString title = QStringLiteral("В файле настроек неверный адрес сервера");
        const QString todo = QStringLiteral("Исправьте ключи IP и Port в разделе [1] этого файла и ") + again;
        m_frame.serverLogPage()->L1->setText(title + QStringLiteral(": ") + detail);
        m_frame.serverLogPage()->showStartNote(title + QStringLiteral(": ") + detail + QLatin1Char('\n') + todo);
        m_frame.ui().message(&m_frame, title + QLatin1Char('\n') + detail + QLatin1Char('\n') + todo);
        return;
    }
    const QString todo = QStringLiteral("Проверьте, что сервер запущен и доступен по этому адресу "
                                        "(ключи IP и Port в файле настроек), и ")
        + again;
    m_frame.serverLogPage()->L1->setText(QStringLiteral("Нет связи с сервером: ") + detail);
    m_frame.serverLogPage()->showStartNote(QStringLiteral("Нет связи с сервером: ") + detail + QLatin1Char('\n') + todo);
    m_frame.ui().message(&m_frame, QStringLiteral("Не найден сервер в сети\n") + detail + QLatin1Char('\n') + todo);
}

QString SessionController::badAddress(const QString &host, const QString &port)
{
    if (host.isEmpty())
        return QStringLiteral("не задан адрес сервера (IP)");
    // A name or an address; digits and dots alone must make an IPv4 address.
    static const QRegularExpression hostChars(QStringLiteral("^[A-Za-z0-9.:-]+$"));
    static const QRegularExpression dotted(QStringLiteral("^[0-9.]+$"));
    if (!hostChars.match(host).hasMatch()
        || (dotted.match(host).hasMatch() && QHostAddress(host).protocol() != QAbstractSocket::IPv4Protocol))
        return QStringLiteral("неверное значение IP «%1»: нужен адрес или имя компьютера").arg(host);
    bool ok = false;
    const int number = port.toInt(&ok, 10);
    if (!ok || number < 1 || number > 65535)
        return QStringLiteral("неверный порт «%1» (нужно число от 1 до 65535)").arg(port);
    return QString();
}

bool SessionController::commonSteps(const QByteArray &tag, const QByteArray &body,
                                    const tCDictPos &replyDictPos)
{
    SessionState &s = m_frame.state();
    int candidate = s.storeReplyDictPos(replyDictPos, m_frame.TS_Dict->chosenDictionary());
    if (tag == "RG")
        onGreeting();
    else if ((tag == "NM" || tag == "NMD") && !handleRegistration(body, &candidate))
        return false;
    handleSlCount();
    if (tag == "INFO")
        handleInfo(body);
    s.setCurrentDict(candidate);
    if (s.Options.value("SWD") == "YES")
        m_frame.TS_Dict->selectDictionary(s.CurDict);
    if (s.Options.value("SS") == "YES") {
        s.concDictTabFlag = true;
        m_frame.ApplyTabVisibility();
    }
    return true;
}

void SessionController::onGreeting()
{
    m_frame.TS_Conc->showLoadingLines(QByteArray());
    sendRegistration("NM");
    m_frame.showProgress("0,0,", true);
}

bool SessionController::handleRegistration(const QByteArray &body, int *candidate)
{
    SessionState &s = m_frame.state();
    const RegistrationReply reg = readRegistration(body);
    if (reg.hasMessage)
        m_frame.serverLogPage()->L1->setText(cp1251::decode(reg.message));
    if (reg.hasDictionaries)
        s.dictTabFlag = true;
    if (reg.concordance)
        s.concTabFlag = true;
    if (s.Options.value("SWD") == "NO")
        s.CurDict = 0;

    QList<DictEntry> &dicts = s.DictPosList;
    if (!reg.hasDictionaries) {
        ++s.registrationRetries;
        if (s.registrationRetries < RegistrationAttempts) {
            sendRegistration("NMD");
            return false;
        }
        if (s.registrationRetries == RegistrationAttempts) {
            dicts.append(DictEntry{QByteArray("FICT"), tCDictPos(0)});
            m_frame.Timer.stop();
        }
    } else {
        const QList<QByteArray> &names = reg.dictionaries;
        m_frame.TS_Dict->setDictionaryNames(names, s.CurDict);
        for (int i = 0; i < names.size(); ++i) {
            if (i < dicts.size()) {
                if (dicts[i].name.isEmpty())
                    dicts[i].name = names[i];
            } else {
                dicts.append(DictEntry{names[i], tCDictPos(qint32(i))});
            }
        }
    }
    m_registered = true;
    m_frame.closeProgress();
    // The corpus is loaded once the server registers us.
    m_frame.serverLogPage()->showStartNote(QString());
    m_frame.ApplyTabVisibility();
    if (!dicts.isEmpty())
        *candidate = 0;
    m_frame.PageC->setCurrentWidget(m_frame.TS_Conc);
    emit registered();
    return true;
}

void SessionController::handleSlCount()
{
    const QByteArray count = m_frame.state().Options.value("SL_Count");
    const QString marker = QStringLiteral(" Объём корпуса текстов ");
    if (!count.isEmpty() && !m_frame.windowTitle().contains(marker))
        m_frame.setWindowTitle(m_frame.windowTitle() + marker + cp1251::decode(count));
}

void SessionController::handleInfo(const QByteArray &body)
{
    m_frame.setWindowTitle(cp1251::decode(m_baseCaption + "   +" + body));
}

void SessionController::sendRegistration(const QByteArray &tag)
{
    m_frame.SendToServer(tag, registrationName());
}

QByteArray SessionController::registrationName() const
{
    return m_frame.config().versionText + cp1251::encode(m_frame.serverLogPage()->E_User->text());
}
