#include "Buffer.h"

namespace textcore {

qsizetype Buffer::append(const QByteArray &line)
{
    m_lines.append(line);
    ++m_revision;
    return m_lines.size() - 1;
}

void Buffer::append(const QList<QByteArray> &lines)
{
    m_lines.append(lines);
    ++m_revision;
}

void Buffer::setLine(qsizetype index, const QByteArray &line)
{
    if (index >= 0 && index < m_lines.size()) {
        m_lines[index] = line;
        ++m_revision;
    }
}

void Buffer::setLines(QList<QByteArray> lines)
{
    m_lines = std::move(lines);
    ++m_revision;
}

void Buffer::clear()
{
    m_lines.clear();
    ++m_revision;
}

} // namespace textcore
