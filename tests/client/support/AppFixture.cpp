#include "AppFixture.h"

#include <QDir>
#include <QFile>

TestHome::TestHome()
{
    // The home itself too: QStandardPaths' test mode puts the data folder (logs, the
    // start signal, the kept buffer) under $HOME/.qttest, not under XDG_DATA_HOME.
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/cache")));
    QDir().mkpath(m_dir.path() + QStringLiteral("/data"));
    QDir().mkpath(m_dir.path() + QStringLiteral("/config"));
}

Config TestHome::config(const QList<QByteArray> &iniLines, bool withIni) const
{
    if (withIni) {
        QFile f(m_dir.path() + QStringLiteral("/Cnfg.ini"));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write("[1]\r\n");
            for (const QByteArray &l : iniLines)
                f.write(l + "\r\n");
        }
    }
    return Config::load(m_dir.path(), m_dir.path(), [](const QString &) { return true; });
}
