#include "SelfUpdate.h"

#include "session/PageHost.h"
#include "SessionLog.h"
#include "session/UiServices.h"
#include "platform/AtomicFile.h"
#include "platform/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

const QString ClientFile = QStringLiteral("Lexar.ex");
const QString UpdaterFile = QStringLiteral("LexarE.exe");

constexpr QFileDevice::Permissions Executable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
    | QFileDevice::ExeOther;

} // namespace

SelfUpdate::SelfUpdate(PageHost &host, SessionLog &log, QString folder, QLabel *L1,
                       QWidget *window, QObject *parent)
    : QObject(parent), m_host(host), m_log(log), m_folder(std::move(folder)), m_L1(L1),
      m_window(window)
{
}

QString SelfUpdate::refusal(const QString &folder)
{
    switch (platform::programFolder(folder)) {
    case platform::ProgramFolder::Writable:
        break;
    case platform::ProgramFolder::Packaged:
        return QStringLiteral("Обновление отсюда не выполняется: эта копия программы установлена "
                              "из пакета, и папкой %1 распоряжается менеджер пакетов. Обновления "
                              "приходят вместе с пакетом lexar: обновите его средствами системы "
                              "(например, sudo apt upgrade).")
            .arg(folder);
    case platform::ProgramFolder::ReadOnly:
        return QStringLiteral("Обновление отсюда не выполняется: в папку программы %1 нельзя "
                              "записывать. Если программа установлена из пакета, обновления "
                              "приходят вместе с пакетом; иначе запустите копию программы из "
                              "папки, доступной Вам для записи.")
            .arg(folder);
    }
    return QString();
}

void SelfUpdate::B_UpdClick(QPushButton *B_Upd)
{
    if (const QString why = refusal(m_folder); !why.isEmpty()) {
        m_log.append("Update refused: the program's folder is not the program's to change");
        m_host.ui().message(m_window, why);
        return;
    }
    if (!m_host.ui().askYesNo(m_window, QStringLiteral("Запрошено обновление программы. Это может "
                                                      "занять несколько минут. Подтвердите "
                                                      "желание обновить.")))
        return;
    B_Upd->setEnabled(false);
    m_L1->setText(QStringLiteral("На сервер послан запрос на обновление"));
    m_stage = Stage::ClientAsked;
    m_clientSize = -1;
    m_host.SendToServer("CL_E", "New");
}

bool SelfUpdate::onReply(const QByteArray &tag, const QByteArray &body, bool counted)
{
    if (tag == "CL_E") {
        onCL_E(body, counted);
        return true;
    }
    if (tag == "CL_B") {
        onCL_B(body, counted);
        return true;
    }
    if (m_stage != Stage::Idle)
        m_log.append("Update abandoned: the server answered " + tag);
    reset();
    return false;
}

void SelfUpdate::reset()
{
    m_stage = Stage::Idle;
    m_clientSize = -1;
}

void SelfUpdate::ignore(const QByteArray &tag)
{
    m_log.append("Ignored " + tag + ": no update was requested");
    reset();
}

bool SelfUpdate::store(const QString &name, const QByteArray &body, bool counted)
{
    if (!counted) {
        // Without its length header a reply is whatever one read delivered: it may be
        // a piece of the program.
        m_host.ui().message(m_window, QStringLiteral("Обновление не выполнено: файл ") + name
                                          + QStringLiteral(" получен от сервера не полностью."));
        return false;
    }
    const QString error = platform::writeFileAtomically(m_folder + name, body, Executable);
    if (!error.isEmpty()) {
        m_host.ui().message(m_window, QStringLiteral("Обновление не выполнено. ") + error);
        return false;
    }
    return true;
}

void SelfUpdate::onCL_E(const QByteArray &body, bool counted)
{
    if (m_stage != Stage::ClientAsked) {
        ignore("CL_E");
        return;
    }
    m_L1->setText(QStringLiteral("Программа записывается на Ваш компьютер"));
    if (!store(ClientFile, body, counted)) {
        reset();
        return;
    }
    m_clientSize = body.size();
    m_stage = Stage::UpdaterAsked;
    m_host.SendToServer("CL_B", "New");
    m_host.showProgress("0,0,", true);
}

void SelfUpdate::onCL_B(const QByteArray &body, bool counted)
{
    if (m_stage != Stage::UpdaterAsked) {
        ignore("CL_B");
        return;
    }
    const qint64 clientSize = m_clientSize;
    reset();
    if (!store(UpdaterFile, body, counted))
        return;
    // The new client must still be the file this update wrote.
    if (QFileInfo(m_folder + ClientFile).size() != clientSize) {
        m_host.ui().message(m_window, QStringLiteral("Обновление не выполнено: файл ") + ClientFile
                                          + QStringLiteral(" изменён или удалён."));
        return;
    }
    m_L1->setText(QStringLiteral("Производится обновление и перезапуск программы"));
    if (!m_host.ui().startDetached(m_folder + UpdaterFile))
        m_log.append("The updater could not be started");
    m_window->close();
}

void SelfUpdate::postUpdateCleanup()
{
    // An installed copy ships its updater; only this program's own update leaves one
    // behind, and only in a folder the program may change.
    if (!QFileInfo::exists(m_folder + UpdaterFile) || !refusal(m_folder).isEmpty())
        return;
    m_cleanupTries = 0;
    m_cleanupTimer.setInterval(500);
    connect(&m_cleanupTimer, &QTimer::timeout, this, &SelfUpdate::removeUpdater,
            Qt::UniqueConnection);
    removeUpdater();
}

void SelfUpdate::removeUpdater()
{
    const QString updater = m_folder + UpdaterFile;
    if (QFile::remove(updater) || !QFileInfo::exists(updater)) {
        m_cleanupTimer.stop();
        m_L1->setText(QStringLiteral("Обновление завершено"));
    } else if (++m_cleanupTries < 120) {
        m_cleanupTimer.start();   // the updater may still be running
    } else {
        m_cleanupTimer.stop();
    }
}
