#pragma once
// SIGTERM and SIGINT end the server the ordinary way: the handler only writes a byte
// to a pipe, and the event loop reads it and asks the server to stop, so the
// endpoints close, the local link's socket is removed and running requests stop.
#include <QObject>

class QSocketNotifier;

class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;
    // Catches SIGTERM and SIGINT from now on (one object per process). False when
    // the pipe cannot be made.
    bool install();

signals:
    // `name` is "SIGTERM" or "SIGINT".
    void stopRequested(const QString &name);

private:
    void onSignal();

    QSocketNotifier *m_notifier = nullptr;
};
