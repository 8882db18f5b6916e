#pragma once
// BufferKeeper: keeps the buffer's lines on disk as they are collected, so that
// neither a crash nor the end of the program loses them, and brings them back at the
// next start. The file ("Buffer.txt" in the user's data folder) holds the lines as a
// save writes them (textcore::keptBufferBytes) and is replaced atomically.
//
// Writes are coalesced: a change schedules one write for the next turn of the event
// loop, and a write follows the one before it by at least MinWriteGap, so an export
// of a quarter of a million lines, which lets the loop run between its portions,
// rewrites the file a few times, not once per line or portion. What is still
// pending is written when the keeper is flushed (the window closes) or destroyed.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace textcore {
class Buffer;
}

class BufferKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr char FileName[] = "Buffer.txt";
    static constexpr int MinWriteGap = 1000;   // ms

    // Writes `bytes` to `path` so that a reader sees the old file or all of the new
    // one; returns an empty string on success, else the reason.
    using Writer = std::function<QString(const QString &path, const QByteArray &bytes)>;

    // `folder` is the user's data folder (ending with "/"). Nothing is read or written
    // before restore().
    BufferKeeper(textcore::Buffer &buffer, const QString &folder, QObject *parent = nullptr);
    ~BufferKeeper() override;

    // Puts the kept lines in front of what the buffer holds (normally nothing, at
    // start-up) and from then on keeps every change. A missing or unreadable file
    // gives no lines; a damaged one gives the lines it still has.
    void restore();
    // Writes a pending change now.
    void flush();

    // Replaces the file writer (tests count the writes through it); the default is
    // the platform's atomic writer.
    void setWriter(Writer writer) { m_writer = std::move(writer); }

    QString path() const { return m_path; }
    bool isKeeping() const { return m_keeping; }
    bool writePending() const { return m_pending; }
    // Why the last write failed; empty after a write that succeeded.
    QString lastError() const { return m_lastError; }

signals:
    // A write failed (the folder is not writable, the disk is full): the buffer in
    // memory is whole, the file holds the lines of the last write that succeeded.
    void writeFailed(const QString &reason);

private:
    void changed();
    void write();

    textcore::Buffer &m_buffer;
    QString m_path;
    Writer m_writer;
    QTimer m_timer;
    QElapsedTimer m_sinceWrite;
    bool m_keeping = false;
    bool m_pending = false;
    QString m_lastError;
};
