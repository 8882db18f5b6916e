#pragma once
// Modal questions and messages, and opening files with the desktop. The main window
// asks through this interface so that offscreen tests can answer and record instead
// of blocking in a message box.
#include <QString>

class QWidget;

class UiServices {
public:
    virtual ~UiServices() = default;
    // A message box with an OK button.
    virtual void message(QWidget *parent, const QString &text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;
    // Opens a file with the desktop's handler; false on failure.
    virtual bool openFile(const QString &path) = 0;
    // Starts a program detached, with no arguments; false when it cannot start.
    virtual bool startDetached(const QString &program) = 0;
};

// The production implementation: QMessageBox and QDesktopServices.
class DesktopUiServices : public UiServices {
public:
    void message(QWidget *parent, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &text) override;
    bool openFile(const QString &path) override;
    bool startDetached(const QString &program) override;
};
