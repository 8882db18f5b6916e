#pragma once
// TS_ServLog, "Общая информация": the user name, the server's message, the update
// button, the cover picture and the start animation shown while the local server
// loads its corpus.
#include <QWidget>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QMovie;
class QPushButton;

class ServerLogPage : public QWidget {
    Q_OBJECT
public:
    explicit ServerLogPage(QWidget *parent = nullptr);
    ~ServerLogPage() override;

    // First show: no message, no update offered. The line under the cover is the
    // session's to set (showLoading, showStartNote).
    void firstShow();
    // The line under the cover says that the server loads its corpus: only while a
    // server is known to be loading, between the start of the session and its
    // registration.
    void showLoading();
    // The line under the cover says what the session does now or what went wrong, and
    // what the user can do; an empty text hides it.
    void showStartNote(const QString &text);
    // The cover picture, decoded with libjpeg; a missing or unreadable picture keeps
    // the designed one.
    void loadCover(const QString &path);
    // Plays `file` (empty: the designed animation, a simple indicator) and sets the
    // play flag; stopping clears it.
    void startAnimation(const QString &file);
    void stopAnimation();
    bool isPlaying() const { return m_playing; }
    void setPlaying(bool playing) { m_playing = playing; }

    QLineEdit *E_User = nullptr;
    QLabel *L1 = nullptr;
    QPushButton *B_Upd = nullptr;
    QGroupBox *GB_Server = nullptr;
    QWidget *P_Front = nullptr;
    QLabel *Image_Front = nullptr;
    QLabel *Animate1 = nullptr;
    QLabel *L_Loading = nullptr;

private:
    std::unique_ptr<QMovie> m_movie;
    bool m_playing = false;
};
