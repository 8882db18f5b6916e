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

void Buffer::setLine(qsizetype index, const QByteArray &line)
{
    if (index >= 0 && index < m_lines.size()) {
        m_lines[index] = line;
        changed();
    }
}

void Buffer::setLines(QList<QByteArray> lines)
{
    m_lines = std::move(lines);
    changed();
}

void Buffer::clear()
{
    m_lines.clear();
    changed();
}

void Buffer::changed()
{
    ++m_revision;
    if (m_observer)
        m_observer();
}

} // namespace textcore
