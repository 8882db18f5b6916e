#pragma once
// What the main window offers its pages: the one request sender, the roll back, the
// progress window, modal messages and the configuration. Pages get this and the
// session state; they never reach into each other's widgets.
#include <QByteArray>
#include <QList>
#include <QString>

class UiServices;
struct Config;
struct SessionState;

class PageHost {
public:
    virtual ~PageHost() = default;
    virtual SessionState &state() = 0;
    virtual const Config &config() const = 0;
    virtual UiServices &ui() = 0;
    virtual void SendToServer(const QByteArray &tag, const QByteArray &params) = 0;
    // Sends the stored requests of `queue` (history indexes, last first) in place of
    // the follow-up requests of the replies; an empty queue sends (tag, params).
    virtual void startReplay(const QList<int> &queue, const QByteArray &tag,
                             const QByteArray &params) = 0;
    // "Проблемы с выполнением запроса..." and one step back in the history.
    virtual void RollBack() = 0;
    virtual void showProgress(const QByteArray &text, bool closeEnabled) = 0;
    virtual void closeProgress() = 0;
    // The first status-bar panel.
    virtual void setStatusText(const QString &text) = 0;
    // Both panels: the switch and movement hints, and the selection hint.
    virtual void setStatusHints(const QString &panel0, const QString &panel1) = 0;
    // The progress window is showing.
    virtual bool progressShowing() const = 0;
};
