#include "BufferKeeper.h"

#include "platform/AtomicFile.h"
#include "text/core/Buffer.h"
#include "text/core/BufferOps.h"

BufferKeeper::BufferKeeper(textcore::Buffer &buffer, const QString &folder, QObject *parent)
    : QObject(parent), m_buffer(buffer), m_path(folder + QLatin1String(FileName)),
      m_writer([](const QString &path, const QByteArray &bytes) {
          return platform::writeFileAtomically(path, bytes);
      })
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &BufferKeeper::write);
}

BufferKeeper::~BufferKeeper()
{
    flush();
    if (m_keeping)
        m_buffer.setObserver(this, {});
}

void BufferKeeper::restore()
{
    if (m_keeping)
        return;
    QList<QByteArray> lines = textcore::readKeptBuffer(m_path);
    if (!lines.isEmpty()) {
        const bool hadLines = !m_buffer.isEmpty();
        lines += m_buffer.lines();
        m_buffer.setLines(std::move(lines));
        // Lines collected before the restore are not in the file yet.
        if (hadLines)
            m_pending = true;
    } else if (!m_buffer.isEmpty()) {
        m_pending = true;
    }
    m_keeping = true;
    m_buffer.setObserver(this, [this] { changed(); });
    if (m_pending)
        m_timer.start(0);
}

void BufferKeeper::flush()
{
    if (m_pending)
        write();
}

void BufferKeeper::changed()
{
    m_pending = true;
    if (m_timer.isActive())
        return;
    // The next turn of the loop, or the rest of the gap after the last write.
    int wait = 0;
    if (m_sinceWrite.isValid())
        wait = int(qMax<qint64>(0, MinWriteGap - m_sinceWrite.elapsed()));
    m_timer.start(wait);
}

void BufferKeeper::write()
{
    m_timer.stop();
    if (!m_pending)
        return;
    m_pending = false;
    m_lastError = m_writer(m_path, textcore::keptBufferBytes(m_buffer.lines()));
    m_sinceWrite.start();
    if (!m_lastError.isEmpty())
        emit writeFailed(m_lastError);
}
