#pragma once
// A PageHost for tests of one page or panel without the main window: the session
// state and configuration it owns, a UiServices that records and answers, and the
// requests "sent" recorded with their exact wire bytes.
#include "AppFixture.h"
#include "session/Config.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "wire/RequestWriter.h"

#include <QList>

class PageHostDouble : public PageHost {
public:
    PageHostDouble() { m_state.CurrentConcPos = std::make_unique<tCConcPos>(); }

    SessionState &state() override { return m_state; }
    const Config &config() const override { return m_config; }
    UiServices &ui() override { return recordingUi; }
    void SendToServer(const QByteArray &tag, const QByteArray &params) override
    {
        sent.append(requests::wire(tag, params));
    }
    void startReplay(const QList<int> &, const QByteArray &tag, const QByteArray &params) override
    {
        SendToServer(tag, params);
    }
    void RollBack() override {}
    void showProgress(const QByteArray &text, bool) override { progress.append(text); }
    void closeProgress() override {}
    void setStatusText(const QString &) override {}
    void setStatusHints(const QString &, const QString &) override {}
    bool progressShowing() const override { return false; }

    Config &mutableConfig() { return m_config; }

    RecordingUi recordingUi;
    QList<QByteArray> sent;
    QList<QByteArray> progress;

private:
    SessionState m_state;
    Config m_config;
};
