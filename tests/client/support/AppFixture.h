#pragma once
// Helpers for tests that run the whole main window offscreen: a UiServices that
// records messages and answers questions, and a configuration written into a
// temporary folder that plays the executable's folder.
#include "session/Config.h"
#include "session/UiServices.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

class RecordingUi : public UiServices {
public:
    void message(QWidget *, const QString &text) override { messages.append(text); }
    bool askYesNo(QWidget *, const QString &text) override
    {
        questions.append(text);
        return answer;
    }
    // Recorded among the questions, and also here: the ones whose default is No.
    bool askYesNoDefaultNo(QWidget *parent, const QString &text) override
    {
        defaultNo.append(text);
        return askYesNo(parent, text);
    }
    bool openFile(const QString &path) override
    {
        opened.append(path);
        return true;
    }
    bool startDetached(const QString &program) override
    {
        started.append(program);
        return true;
    }
    // The font dialog answers `font` (nothing: cancelled).
    std::optional<QFont> chooseFont(QWidget *, const QFont &) override { return font; }

    QStringList messages;
    QStringList questions;
    QStringList defaultNo;
    QStringList opened;
    QStringList started;
    bool answer = true;
    std::optional<QFont> font;
};

// A temporary home: HOME and the XDG folders inside it, so logs, the start signal,
// the kept buffer and the local link's socket never touch the real profile, and no
// test finds what another left there.
class TestHome {
public:
    TestHome();
    QString path() const { return m_dir.path(); }
    // Writes Cnfg.ini (1251 bytes, "[1]" section) with the given lines and loads the
    // configuration with this folder as the executable's and the current folder.
    Config config(const QList<QByteArray> &iniLines, bool withIni = true) const;

private:
    QTemporaryDir m_dir;
};
