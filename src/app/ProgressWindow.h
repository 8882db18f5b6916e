#pragma once
// The progress window (object name "Form2") shown while a request is processed.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget *parent = nullptr);

    // Shows the window with the bar read from the progress text ("max,pos", possibly
    // after ",END," and before ",MES"); `closeEnabled` enables the close button.
    void showProgress(const QByteArray &text, bool closeEnabled);
    void setPercent(int percent);
    // The close button was used since the window was last shown.
    bool closeUsed() const { return m_closeUsed; }

    QLabel *Label1;
    QProgressBar *ProgressBar1;
    QLabel *Label2;
    QPushButton *B_Close;

private:
    bool m_closeUsed = false;
};
