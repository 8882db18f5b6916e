#pragma once
// Modal questions and messages, and opening files with the desktop. The main window
// asks through this interface so that offscreen tests can answer and record instead
// of blocking in a message box.
#include <QFont>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

class UiServices {
public:
    virtual ~UiServices() = default;
    // A message box with an OK button.
    virtual void message(QWidget *parent, const QString &text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;
    // A question with OK and Cancel; true for OK. Answered like a Yes/No question
    // unless the implementation shows its own buttons.
    virtual bool askOkCancel(QWidget *parent, const QString &text) { return askYesNo(parent, text); }
    // A question with Yes and No whose default button is No, for questions where
    // Enter must leave things as they are; true for Yes. Answered like askYesNo
    // unless the implementation shows its own buttons.
    virtual bool askYesNoDefaultNo(QWidget *parent, const QString &text) { return askYesNo(parent, text); }
    // Opens a file with the desktop's handler; false on failure.
    virtual bool openFile(const QString &path) = 0;
    // Starts a program detached, with no arguments; false when it cannot start.
    virtual bool startDetached(const QString &program) = 0;
    // The font dialog starting at `initial`; nothing when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial) = 0;
};

// The production implementation: QMessageBox and QDesktopServices.
class DesktopUiServices : public UiServices {
public:
    void message(QWidget *parent, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &text) override;
    bool askOkCancel(QWidget *parent, const QString &text) override;
    bool askYesNoDefaultNo(QWidget *parent, const QString &text) override;
    bool openFile(const QString &path) override;
    bool startDetached(const QString &program) override;
    std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial) override;
};

// The frame's messages and questions: the progress window is closed first, so a
// message never sits on top of it (or under it), then the call goes on to `inner`.
class FrameUiServices : public UiServices {
public:
    FrameUiServices(UiServices &inner, std::function<void()> closeProgress)
        : m_inner(inner), m_closeProgress(std::move(closeProgress))
    {
    }
    void message(QWidget *parent, const QString &text) override
    {
        m_closeProgress();
        m_inner.message(parent, text);
    }
    bool askYesNo(QWidget *parent, const QString &text) override
    {
        m_closeProgress();
        return m_inner.askYesNo(parent, text);
    }
    bool askOkCancel(QWidget *parent, const QString &text) override
    {
        m_closeProgress();
        return m_inner.askOkCancel(parent, text);
    }
    bool askYesNoDefaultNo(QWidget *parent, const QString &text) override
    {
        m_closeProgress();
        return m_inner.askYesNoDefaultNo(parent, text);
    }
    bool openFile(const QString &path) override { return m_inner.openFile(path); }
    bool startDetached(const QString &program) override { return m_inner.startDetached(program); }
    std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial) override
    {
        return m_inner.chooseFont(parent, initial);
    }

private:
    UiServices &m_inner;
    std::function<void()> m_closeProgress;
};
