#pragma once
// The socket session: connecting and disconnecting (the connect button and menu item),
// the socket's notifications, and the registration tags "RG", "NM", "NMD", "INFO" and
// the corpus size. Works on the frame through its public operations; the frame routes
// the replies here.
#include <QByteArray>
#include <QObject>
#include <QString>

class MainWindow;
class tCDictPos;

class SessionController : public QObject {
    Q_OBJECT
public:
    explicit SessionController(MainWindow &frame);

    // 0 disconnected, 1 connecting, 2 connected.
    int connectState() const { return m_connectState; }
    void setConnectState(int state, const QString &caption);

    // First show: the default user name and the connect controls (the button only in
    // the socket mode).
    void firstShow();
    // Cnfg.ini exists but cannot be read: said once the window shows.
    void explainUnreadableConfig();
    // The connect button: connects when disconnected, disconnects when connected.
    void B_ConnectClick();
    void onSocketConnected();
    // The socket failed (`reason`: a Russian phrase) or the server closed it: the
    // user is told the address and why, and the session's pages are cleared.
    void onSocketError(const QString &reason);
    void onServerClosed();
    // Drops what the ended session held (tabs, dictionaries, concordance position,
    // the pending request).
    void discardSession();
    // The window closes: the connection and the session end, the link closes.
    void closeSession();
    // The caption before any "INFO" text (set at the first show).
    QByteArray baseCaption() const { return m_baseCaption; }

    // The session's part of every reply's common steps: the reply's dictionary
    // position, the registration tags, the corpus size, "INFO", the current
    // dictionary and the tab flags. False when the rest of the reply's handling is
    // skipped (a registration retry).
    bool commonSteps(const QByteArray &tag, const QByteArray &body, const tCDictPos &replyDictPos);
    // "RG": the greeting asks for the registration.
    void onGreeting();
    // "NM"/"NMD". False when the rest of the reply's handling is skipped (a retry).
    bool handleRegistration(const QByteArray &body, int *candidate);
    // "SL_Count" in the option list: the corpus size, appended to the caption once.
    void handleSlCount();
    void handleInfo(const QByteArray &body);
    void sendRegistration(const QByteArray &tag);
    // The version text and the user name, as the server registers them.
    QByteArray registrationName() const;

signals:
    // The server has registered this client (an "NM"/"NMD" reply that ends the
    // registration) and the session's tabs are shown.
    void registered();

private:
    // A connect that failed: the configured address cannot be used, or the server
    // cannot be reached or went away.
    enum class Failure { Configuration, Network };
    void resetSessionPages();
    void failed(Failure kind, const QString &detail);
    // What to press to connect, for the start page.
    QString connectHint() const;
    // Why the configured address cannot be used; empty when it can.
    static QString badAddress(const QString &host, const QString &port);

    MainWindow &m_frame;
    int m_connectState = 0;
    QString m_address;   // "host:port" of the last connect
    bool m_registered = false;
    QByteArray m_baseCaption;
};
