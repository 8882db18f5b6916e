#pragma once
// The client's self-update: the update button's question, the two replies that carry
// the new client ("CL_E") and the updater ("CL_B"), and the removal of the updater at
// the next start.
//
// The two replies are accepted only as answers to the requests this class sent after
// the user said Yes: a "CL_E" or "CL_B" that arrives at any other time (a server that
// pushes an updater nobody asked for) is ignored with a line in the session log, and
// nothing is written or started. A connect, a disconnect or any other reply ends the
// pending update. Files are written atomically, and the updater is started only when
// both replies arrived whole (with their length headers and every announced byte).
//
// A copy whose folder it may not change (installed from a package, or read-only)
// refuses the update at the button with a message and never asks the server, and
// leaves the folder alone at start-up too.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class PageHost;
class QLabel;
class QPushButton;
class QWidget;
class SessionLog;

class SelfUpdate : public QObject {
    Q_OBJECT
public:
    enum class Stage { Idle, ClientAsked, UpdaterAsked };

    // `folder`: the executable's folder, ending with "/". `L1` shows the progress
    // texts; `window` is the main window, closed once the updater has started.
    SelfUpdate(PageHost &host, SessionLog &log, QString folder, QLabel *L1, QWidget *window,
               QObject *parent = nullptr);

    Stage stage() const { return m_stage; }
    QString folder() const { return m_folder; }

    // Why this copy cannot update itself (Russian, for a message box); empty when
    // its folder is its own to change.
    static QString refusal(const QString &folder);

    // The update button: asks, then sends "CL_E"; in a folder the program may not
    // change, only explains why not.
    void B_UpdClick(QPushButton *B_Upd);
    // Every reply with a known tag passes here. True when the reply was one of the
    // update's own (handled or ignored here), false for every other tag.
    bool onReply(const QByteArray &tag, const QByteArray &body, bool counted);
    // A connect or a disconnect: whatever was pending is forgotten.
    void reset();
    // Removes a leftover updater (first tick after the first show in the socket
    // mode), retrying every 500 ms for at most a minute while it is still running.
    void postUpdateCleanup();

private:
    void onCL_E(const QByteArray &body, bool counted);
    void onCL_B(const QByteArray &body, bool counted);
    bool store(const QString &name, const QByteArray &body, bool counted);
    void ignore(const QByteArray &tag);
    void removeUpdater();

    PageHost &m_host;
    SessionLog &m_log;
    QString m_folder;
    QLabel *m_L1;
    QWidget *m_window;
    Stage m_stage = Stage::Idle;
    qint64 m_clientSize = -1;   // bytes of "Lexar.ex" as written in this update
    QTimer m_cleanupTimer;
    int m_cleanupTries = 0;
};
