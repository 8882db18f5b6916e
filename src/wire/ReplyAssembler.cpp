#include "ReplyAssembler.h"

namespace {

// More digits than this cannot announce a length an honest server sends; a header
// prefix that long is not waited for, and its reply cannot be skipped either.
constexpr int MaxHeaderDigits = 10;

// Lost: the header cannot be read, so where the next reply begins is unknown.
enum class HeaderKind { None, Header, NeedMore, Oversize, Lost };

struct HeaderScan {
    HeaderKind kind = HeaderKind::None;
    qint64 count = 0;
    qsizetype headerLength = 0;
    QString error;
};

QString badDigitsError(QByteArrayView digits)
{
    QByteArray shown = digits.first(qMin<qsizetype>(digits.size(), 20)).toByteArray();
    if (digits.size() > shown.size())
        shown += "...";
    return QStringLiteral("Ответ сервера отброшен: длина в заголовке не является числом («%1»)")
        .arg(QString::fromLatin1(shown));
}

QString oversizeError(QByteArrayView digits, qint64 max)
{
    return QStringLiteral("Ответ сервера отброшен: объявленная длина %1 байт больше допустимой (%2 байт)")
        .arg(QString::fromLatin1(digits.first(qMin<qsizetype>(digits.size(), MaxHeaderDigits + 10))))
        .arg(max);
}

HeaderScan lost(const QString &error)
{
    HeaderScan scan;
    scan.kind = HeaderKind::Lost;
    scan.error = error;
    return scan;
}

// A complete "##" + digits + "###" whose "###" run starts at `run`.
HeaderScan readHeader(QByteArrayView text, qsizetype run, qint64 max)
{
    const QByteArrayView digits = text.sliced(2, run - 2);
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return lost(badDigitsError(digits));
    }
    if (digits.size() > MaxHeaderDigits)
        return lost(oversizeError(digits, max));
    qint64 count = 0;
    for (const char c : digits)
        count = count * 10 + (c - '0');
    HeaderScan scan;
    scan.kind = count > max ? HeaderKind::Oversize : HeaderKind::Header;
    scan.count = count;
    scan.headerLength = run + 3;
    if (count > max)
        scan.error = oversizeError(digits, max);
    return scan;
}

// Classifies the bytes at the start of a reply. `complete` says the text is whole
// (no more bytes will be added), so a prefix of a header is simply no header.
HeaderScan scanHeader(QByteArrayView text, bool complete, qint64 max)
{
    HeaderScan scan;
    if (text.isEmpty() || text[0] != '#')
        return scan;
    if (text.size() < 2 || text[1] != '#') {
        if (text.size() < 2 && !complete)
            scan.kind = HeaderKind::NeedMore;
        return scan;
    }
    const qsizetype run = text.indexOf("###");
    if (run >= 3)
        return readHeader(text, run, max);
    if (run >= 0 || complete)
        return scan;   // "###" at the very start: no header
    // "##", digits, up to two '#': the rest of a header may still come.
    qsizetype i = 2;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    const qsizetype digitCount = i - 2;
    qsizetype hashes = 0;
    while (i < text.size() && text[i] == '#') {
        ++i;
        ++hashes;
    }
    if (i != text.size() || (hashes > 0 && digitCount == 0))
        return scan;   // something else follows: not a header
    if (digitCount > MaxHeaderDigits)
        return lost(oversizeError(text.sliced(2, digitCount), max));
    scan.kind = HeaderKind::NeedMore;
    return scan;
}

ReplyAssembler::Item failure(const QString &error, bool lostStream)
{
    ReplyAssembler::Item item;
    item.ok = false;
    item.error = error;
    item.lost = lostStream;
    return item;
}

} // namespace

QList<ReplyAssembler::Item> ReplyAssembler::feed(const QByteArray &chunk)
{
    QList<Item> out;
    if (m_lost || chunk.isEmpty())
        return out;
    // The start of a header split between reads is joined to this chunk (the start
    // is a few bytes, the copy is of one read).
    QByteArray joined;
    if (!m_head.isEmpty()) {
        joined = m_head + chunk;
        m_head.clear();
    }
    const QByteArray &whole = joined.isEmpty() ? chunk : joined;
    QByteArrayView rest(whole);
    while (!rest.isEmpty()) {
        if (m_skip > 0) {
            const qsizetype n = qsizetype(qMin<qint64>(m_skip, rest.size()));
            m_skip -= n;
            rest = rest.sliced(n);
            continue;
        }
        if (m_expected >= 0) {
            takeBody(rest, out);
            continue;
        }
        const HeaderScan scan = scanHeader(rest, false, m_max);
        switch (scan.kind) {
        case HeaderKind::NeedMore:
            m_head = rest.toByteArray();
            return out;
        case HeaderKind::Lost:
            out.append(failure(scan.error, true));
            m_lost = true;
            return out;
        case HeaderKind::Oversize:
            out.append(failure(scan.error, false));
            m_skip = scan.count;
            rest = rest.sliced(scan.headerLength);
            break;
        case HeaderKind::Header:
            m_expected = scan.count;
            rest = rest.sliced(scan.headerLength);
            takeBody(rest, out);   // a count of 0 is complete at once
            break;
        case HeaderKind::None: {
            // No header: the reply is all that has arrived.
            Item item;
            item.reply = rest.size() == whole.size() ? whole : rest.toByteArray();
            out.append(item);
            return out;
        }
        }
    }
    return out;
}

void ReplyAssembler::takeBody(QByteArrayView &rest, QList<Item> &out)
{
    // The body is held once, in an array sized for the announced count, and handed
    // out as it is.
    if (m_body.isEmpty())
        m_body.reserve(qsizetype(m_expected));
    const qsizetype n = qsizetype(qMin<qint64>(m_expected - m_body.size(), rest.size()));
    m_body.append(rest.first(n));
    rest = rest.sliced(n);
    if (m_body.size() < m_expected)
        return;
    Item item;
    item.reply = std::move(m_body);
    item.counted = true;
    out.append(std::move(item));
    m_body = QByteArray();
    m_expected = -1;
}

int ReplyAssembler::progressPercent() const
{
    if (m_expected <= 0)
        return 0;
    return int(qint64(m_body.size()) * 100 / m_expected);
}

void ReplyAssembler::reset()
{
    m_head.clear();
    m_body = QByteArray();
    m_expected = -1;
    m_skip = 0;
    m_lost = false;
}

ReplyAssembler::Stripped ReplyAssembler::stripLengthHeader(const QByteArray &text, qint64 maxReplyLength)
{
    Stripped result;
    const HeaderScan scan = scanHeader(text, true, maxReplyLength);
    switch (scan.kind) {
    case HeaderKind::Header:
        result.text = text.mid(scan.headerLength, scan.count);
        result.counted = result.text.size() == scan.count;
        break;
    case HeaderKind::Oversize:
    case HeaderKind::Lost:
        result.ok = false;
        result.error = scan.error;
        break;
    case HeaderKind::None:
    case HeaderKind::NeedMore:
        result.text = text;
        break;
    }
    return result;
}
