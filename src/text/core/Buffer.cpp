#include "Buffer.h"

namespace textcore {

qsizetype Buffer::append(const QByteArray &line)
{
    m_lines.append(line);
    changed();
    return m_lines.size() - 1;
}

void Buffer::append(const QList<QByteArray> &lines)
{
    m_lines.append(lines);
    changed();
}

void Buffer::append(QList<QByteArray> &&lines)
{
    if (m_lines.isEmpty())
        m_lines = std::move(lines);   // a large export into an empty buffer: no second list
    else
        m_lines.append(std::move(lines));
    changed();
}

void Buffer::setLine(qsizetype index, const QByteArray &line)
{
    if (index >= 0 && index < m_lines.size()) {
        m_lines[index] = line;
        m_unchanged = qMin(m_unchanged, index);
        changed();
    }
}

void Buffer::setLines(QList<QByteArray> lines)
{
    m_lines = std::move(lines);
    m_unchanged = 0;
    changed();
}

void Buffer::clear()
{
    m_lines.clear();
    m_unchanged = 0;
    changed();
}

void Buffer::setObserver(const void *owner, std::function<void()> observer)
{
    for (auto it = m_observers.begin(); it != m_observers.end(); ++it) {
        if (it->first == owner) {
            if (observer)
                it->second = std::move(observer);
            else
                m_observers.erase(it);
            return;
        }
    }
    if (observer)
        m_observers.emplace_back(owner, std::move(observer));
}

void Buffer::changed()
{
    ++m_revision;
    for (const auto &o : m_observers)
        o.second();
}

} // namespace textcore
