#pragma once
// The in-memory session log: one line per request sent, reply received, timer tick
// and key press; saved as "Timers.Log" at exit.
#include <QByteArray>
#include <QList>
#include <QString>

class SessionLog {
public:
    void append(const QByteArray &line) { m_lines.append(line); }
    const QList<QByteArray> &lines() const { return m_lines; }
    bool contains(const QByteArray &part) const;
    // Writes the lines (1251 bytes, CR LF ends) over `path`; false on failure.
    bool save(const QString &path) const;

private:
    QList<QByteArray> m_lines;
};
