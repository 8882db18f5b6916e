#include "ReplyAssembler.h"

namespace {

// More digits than this cannot announce a length below the cap (leading zeros aside,
// which nobody sends); a header prefix that long is not waited for.
constexpr int MaxHeaderDigits = 10;

enum class HeaderKind { None, Header, NeedMore, Bad };

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

QString oversizeError(QByteArrayView digits)
{
    return QStringLiteral("Ответ сервера отброшен: объявленная длина %1 байт больше допустимой (%2 байт)")
        .arg(QString::fromLatin1(digits.first(qMin<qsizetype>(digits.size(), MaxHeaderDigits + 10))))
        .arg(ReplyAssembler::MaxReplyLength);
}

// Classifies the bytes at the start of a reply. `complete` says the text is whole
// (no more bytes will be added), so a prefix of a header is simply no header.
HeaderScan scanHeader(QByteArrayView text, bool complete)
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
    if (run >= 3) {
        const QByteArrayView digits = text.sliced(2, run - 2);
        bool allDigits = true;
        for (const char c : digits)
            allDigits = allDigits && c >= '0' && c <= '9';
        if (!allDigits) {
            scan.kind = HeaderKind::Bad;
            scan.error = badDigitsError(digits);
            return scan;
        }
        qint64 count = 0;
        for (const char c : digits) {
            count = count * 10 + (c - '0');
            if (count > ReplyAssembler::MaxReplyLength)
                break;
        }
        if (count > ReplyAssembler::MaxReplyLength) {
            scan.kind = HeaderKind::Bad;
            scan.error = oversizeError(digits);
            return scan;
        }
        scan.kind = HeaderKind::Header;
        scan.count = count;
        scan.headerLength = run + 3;
        return scan;
    }
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
    if (digitCount > MaxHeaderDigits) {
        scan.kind = HeaderKind::Bad;
        scan.error = oversizeError(text.sliced(2, digitCount));
        return scan;
    }
    scan.kind = HeaderKind::NeedMore;
    return scan;
}

} // namespace

QList<ReplyAssembler::Item> ReplyAssembler::feed(const QByteArray &chunk)
{
    QList<Item> out;
    m_buffer += chunk;
    qsizetype pos = 0;   // start of the bytes not yet handed out; compacted at the end
    for (;;) {
        const qsizetype left = m_buffer.size() - pos;
        if (m_expected >= 0) {
            if (left < m_expected)
                break;
            Item item;
            item.reply = m_buffer.mid(pos, m_expected);
            item.counted = true;
            pos += m_expected;
            m_expected = -1;
            out.append(item);
            continue;   // what is left begins the next reply
        }
        if (left == 0)
            break;
        const HeaderScan scan = scanHeader(QByteArrayView(m_buffer).sliced(pos), false);
        if (scan.kind == HeaderKind::NeedMore)
            break;
        if (scan.kind == HeaderKind::Bad) {
            Item item;
            item.ok = false;
            item.error = scan.error;
            out.append(item);
            pos = m_buffer.size();
            break;
        }
        if (scan.kind == HeaderKind::Header) {
            m_expected = scan.count;
            pos += scan.headerLength;
            continue;
        }
        // No header: the reply is all that has arrived.
        Item item;
        item.reply = m_buffer.mid(pos);
        pos = m_buffer.size();
        out.append(item);
        break;
    }
    if (pos == m_buffer.size())
        m_buffer.clear();
    else if (pos > 0)
        m_buffer.remove(0, pos);
    return out;
}

int ReplyAssembler::progressPercent() const
{
    if (m_expected <= 0)
        return 0;
    return int(qint64(m_buffer.size()) * 100 / m_expected);
}

void ReplyAssembler::reset()
{
    m_buffer.clear();
    m_expected = -1;
}

ReplyAssembler::Stripped ReplyAssembler::stripLengthHeader(const QByteArray &text)
{
    Stripped result;
    const HeaderScan scan = scanHeader(text, true);
    switch (scan.kind) {
    case HeaderKind::Header:
        result.text = text.mid(scan.headerLength, scan.count);
        result.counted = result.text.size() == scan.count;
        break;
    case HeaderKind::Bad:
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
