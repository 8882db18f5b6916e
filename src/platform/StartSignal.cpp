#include "StartSignal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

namespace {

const QString &sectionName()
{
    static const QString name = QStringLiteral("VELTA");
    return name;
}

const QString &valueKey()
{
    static const QString key = QStringLiteral("VELTA/Started");
    return key;
}

} // namespace

StartSignalStore::StartSignalStore(QString path)
    : m_path(std::move(path))
{
}

QString StartSignalStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/VELTA/registry.ini");
}

bool StartSignalStore::keyExists() const
{
    if (!QFileInfo(m_path).isFile())
        return false;
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.status() == QSettings::NoError
        && settings.childGroups().contains(sectionName());
}

std::optional<QString> StartSignalStore::readStarted() const
{
    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile())
        return std::nullopt;
    if (info.exists() && !info.isReadable())
        return std::nullopt;
    QSettings settings(m_path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return std::nullopt;
    return settings.value(valueKey()).toString();
}

bool StartSignalStore::writeStarted(const QString &value)
{
    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile())
        return false;
    QSettings settings(m_path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return false;
    settings.setValue(valueKey(), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

StartSignal::StartSignal(QString userDataFolder, std::shared_ptr<StartSignalStore> store,
                         int attempts)
    : m_userDataFolder(std::move(userDataFolder))
    , m_store(store ? std::move(store) : std::make_shared<StartSignalStore>())
    , m_attempts(attempts)
{
}

QString StartSignal::startedFilePath(const QString &userDataFolder)
{
    return userDataFolder + QStringLiteral("Started");
}

void StartSignal::failedAttempt()
{
    if (m_pause)
        m_pause();
}

bool StartSignal::reset()
{
    const QString file = startedFilePath(m_userDataFolder);
    if (QFileInfo(file).isFile())
        QFile::remove(file);   // a failure leaves it; the store is still reset

    while (m_attempts < ResetAttemptLimit) {
        ++m_attempts;
        if (m_store->writeStarted(QStringLiteral("FALSE")))
            return true;
        failedAttempt();
    }
    return false;
}

StartSignal::TickResult StartSignal::tick()
{
    bool started = QFileInfo(startedFilePath(m_userDataFolder)).isFile();
    if (m_store->keyExists()) {
        for (int i = 0; i < TickAttemptLimit; ++i) {
            ++m_attempts;
            const std::optional<QString> value = m_store->readStarted();
            if (value) {
                if (*value == QLatin1String("TRUE"))
                    started = true;
                break;
            }
            failedAttempt();
        }
    }
    if (started)
        return TickResult::Started;
    if (m_attempts > GiveUpLimit)
        return TickResult::GaveUp;
    return TickResult::Waiting;
}

bool StartSignal::signalStarted(const QString &userDataFolder,
                                std::shared_ptr<StartSignalStore> store)
{
    if (!store)
        store = std::make_shared<StartSignalStore>();
    bool fileWritten = false;
    QDir().mkpath(userDataFolder);   // the server may be first to run on this account
    QFile file(startedFilePath(userDataFolder));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fileWritten = file.write("TRUE") == 4 && file.flush();
    file.close();
    const bool storeWritten = store->writeStarted(QStringLiteral("TRUE"));
    return fileWritten || storeWritten;
}

} // namespace platform
