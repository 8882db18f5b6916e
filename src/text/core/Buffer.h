#pragma once
// The buffer: the lines (1251 text) that the user collects during work (exported
// concordances and word lists, single and marked lines, text fragments). It lives in
// the session state; the buffer window shows it and writes the user's edits back, and
// the frame keeps a copy of it on disk (text/BufferKeeper) that comes back at the next
// start. Exports only append lines and rewrite lines they appended themselves, by the
// index append() returned.
#include <QByteArray>
#include <QList>
#include <functional>
#include <utility>
#include <vector>

namespace textcore {

class Buffer {
public:
    const QList<QByteArray> &lines() const { return m_lines; }
    qsizetype size() const { return m_lines.size(); }
    bool isEmpty() const { return m_lines.isEmpty(); }

    // Appends one line and returns its index.
    qsizetype append(const QByteArray &line);
    void append(const QList<QByteArray> &lines);
    void append(QList<QByteArray> &&lines);
    // Rewrites a line appended earlier; an index that is no longer there (the user
    // emptied the buffer meanwhile) is ignored.
    void setLine(qsizetype index, const QByteArray &line);
    // The whole text after the user edited it in the buffer window.
    void setLines(QList<QByteArray> lines);
    void clear();
    // Advances with every change, so a view knows when to reload.
    quint64 revision() const { return m_revision; }
    // How many leading lines are unchanged since markSynced(): a view that loaded the
    // buffer then only reloads the lines after them.
    qsizetype unchangedPrefix() const { return qMin(m_unchanged, m_lines.size()); }
    void markSynced() { m_unchanged = m_lines.size(); }
    // Called after every change, one function per owner: the buffer window follows
    // exports that arrive while it is open, the keeper writes the lines to disk. A
    // second call by the same owner replaces its function, an empty function removes
    // it. An observer must not add or remove observers while it is called.
    void setObserver(const void *owner, std::function<void()> observer);

private:
    void changed();

    QList<QByteArray> m_lines;
    quint64 m_revision = 0;
    qsizetype m_unchanged = 0;
    std::vector<std::pair<const void *, std::function<void()>>> m_observers;
};

} // namespace textcore
