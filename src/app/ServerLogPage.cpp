#include "ServerLogPage.h"

#include "WrapLabel.h"
#include "dictionary/core/JpegDecoder.h"

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

ServerLogPage::ServerLogPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TS_ServLog"));
    auto *sl = new QVBoxLayout(this);
    sl->addWidget(new QLabel(QStringLiteral("Имя пользователя для подключения"), this));
    E_User = new QLineEdit(this);
    E_User->setObjectName(QStringLiteral("E_User"));
    sl->addWidget(E_User);
    // The server's messages: no text from a server may widen the window.
    L1 = new WrapLabel(this);
    L1->setObjectName(QStringLiteral("L1"));
    sl->addWidget(L1);
    B_Upd = new QPushButton(QStringLiteral("Обновить"), this);
    B_Upd->setObjectName(QStringLiteral("B_Upd"));
    sl->addWidget(B_Upd);
    GB_Server = new QGroupBox(QStringLiteral("Управление сервером"), this);
    GB_Server->setObjectName(QStringLiteral("GB_Server"));
    auto *gl = new QVBoxLayout(GB_Server);
    auto *refreshServer = new QPushButton(QStringLiteral("Обновить сервер"), GB_Server);
    refreshServer->hide();
    gl->addWidget(refreshServer);
    sl->addWidget(GB_Server);
    P_Front = new QWidget(this);
    P_Front->setObjectName(QStringLiteral("P_Front"));
    auto *fl = new QVBoxLayout(P_Front);
    Image_Front = new QLabel(P_Front);
    Image_Front->setObjectName(QStringLiteral("Image_Front"));
    Image_Front->setAlignment(Qt::AlignCenter);
    Animate1 = new QLabel(P_Front);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setAlignment(Qt::AlignCenter);
    Animate1->hide();
    L_Loading = new QLabel(P_Front);
    L_Loading->setObjectName(QStringLiteral("L_Loading"));
    L_Loading->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    L_Loading->setWordWrap(true);   // a note that names a file or an address
    fl->addWidget(Image_Front, 1);
    fl->addWidget(Animate1);
    fl->addWidget(L_Loading);
    sl->addWidget(P_Front, 1);
}

ServerLogPage::~ServerLogPage() = default;

void ServerLogPage::firstShow()
{
    L1->clear();
    B_Upd->setEnabled(false);
}

void ServerLogPage::showLoading()
{
    showStartNote(QStringLiteral("ВЫПОЛНЯЕТСЯ ЗАГРУЗКА КОРПУСА ТЕКСТОВ..."));
}

void ServerLogPage::showStartNote(const QString &text)
{
    L_Loading->setText(text);
    L_Loading->setVisible(!text.isEmpty());
}

void ServerLogPage::loadCover(const QString &path)
{
    if (path.isEmpty())
        return;
    const dictcore::JpegResult pic = dictcore::decodeJpegFile(path);
    if (!pic.image)
        return;
    const QImage img(reinterpret_cast<const uchar *>(pic.image->rgb.constData()), pic.image->width,
                     pic.image->height, pic.image->width * 3, QImage::Format_RGB888);
    Image_Front->setPixmap(QPixmap::fromImage(img.copy()));
}

void ServerLogPage::startAnimation(const QString &file)
{
    m_playing = true;
    Animate1->show();
    if (m_movie && m_movie->state() == QMovie::Running)
        return;
    if (!file.isEmpty()) {
        m_movie = std::make_unique<QMovie>(file);
        if (m_movie->isValid()) {
            Animate1->setMovie(m_movie.get());
            m_movie->start();
            return;
        }
        m_movie.reset();
    }
    Animate1->setText(QStringLiteral("⌛"));
}

void ServerLogPage::stopAnimation()
{
    if (m_movie)
        m_movie->stop();
    Animate1->hide();
    m_playing = false;
}
