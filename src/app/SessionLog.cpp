#include "SessionLog.h"

#include <QSaveFile>

bool SessionLog::contains(const QByteArray &part) const
{
    for (const QByteArray &l : m_lines)
        if (l.contains(part))
            return true;
    return false;
}

bool SessionLog::save(const QString &path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray &l : m_lines) {
        f.write(l);
        f.write("\r\n");
    }
    return f.commit();
}
