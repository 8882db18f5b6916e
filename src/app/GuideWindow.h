#pragma once
// The user guide inside the program: a window of its own (not modal, so the guide
// stays open beside the main window while the user tries what it says) that shows
// the guide's HTML file with its pictures and its internal links. The main window
// opens it for F1 and "Помощь" when the help folder holds an HTML guide (Help.h).
#include <QDialog>

class QPushButton;
class QTextBrowser;

class GuideWindow : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;   // "Lexar — руководство пользователя"

    explicit GuideWindow(QWidget *parent = nullptr);

    // Shows the guide `file` (an HTML file; its pictures are found beside it) from
    // its beginning, and brings the window forward. A file already shown keeps the
    // place the user has read to.
    void showGuide(const QString &file);
    // The file shown; empty before the first showGuide.
    QString file() const { return m_file; }

    QTextBrowser *Browser;
    QPushButton *B_Back;
    QPushButton *B_Contents;
    QPushButton *B_Close;

private:
    QString m_file;
};
