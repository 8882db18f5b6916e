#pragma once
// BufferWindow: the buffer window. LB shows the session's buffer and writes the user's
// edits back to it; B_Save saves it into a text file (appended or replacing, never
// losing the old file on a failed write), B_Clear empties it, B_Hide and Esc
// close. Shown modally; the text is loaded once when shown, not per line, so a
// buffer of hundreds of thousands of lines opens at once.
#include <QDialog>
#include <QFont>
#include <functional>
#include <optional>

class PageHost;
class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class BufferWindow : public QDialog {
    Q_OBJECT
public:
    explicit BufferWindow(QWidget *parent = nullptr);
    ~BufferWindow() override;

    // The session whose buffer this window shows; the save dialog starts in its
    // documents folder.
    void attach(PageHost &host);

    // Dialog seams (tests answer them): the save-file dialog SD (empty: cancelled)
    // and the font dialog.
    std::function<QString(QWidget *parent, const QString &folder)> chooseFile;
    std::function<std::optional<QFont>(QWidget *parent, const QFont &initial)> chooseFont;

    // Shows the window modally (it returns at once; `closed` follows).
    void showBuffer();
    // The user's edits of LB go into the buffer now.
    void commitEdits();

    void B_SaveClick();
    void B_ClearClick();
    void B_HideClick();
    void MM_1_TClick();

    QPlainTextEdit *LB;
    QPushButton *B_Save;
    QPushButton *B_Clear;
    QPushButton *B_Hide;
    QLabel *StatusBar1;
    QAction *MM_1_T;
    QAction *PM_1_T;
    QString SD_InitialDir;

signals:
    // B_Clear ran (whatever the answer): B_BufShow_Text loses its highlight.
    void clearClicked();
    void closed();
    // After every change of the buffer (the window observes it): empty or not.
    void emptinessChanged(bool empty);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void reload();
    void bufferChanged();
    QList<QByteArray> editedLines() const;

    PageHost *m_host = nullptr;
    quint64 m_loadedRevision = ~quint64(0);
    qsizetype m_loadedSize = 0;
    bool m_syncing = false;
    bool m_reloadQueued = false;
};
