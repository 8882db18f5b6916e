#include "CommaList.h"

namespace commalist {

namespace {

bool isBlank(char c)
{
    // Bytes 1..32; NUL never reaches here because the text is cut at it.
    return static_cast<unsigned char>(c) <= 32;
}

bool needsQuotes(const QByteArray &item)
{
    for (const char c : item) {
        if (static_cast<unsigned char>(c) <= 32 || c == '"' || c == ',')
            return true;
    }
    return false;
}

} // namespace

QByteArray join(const QList<QByteArray> &items)
{
    if (items.size() == 1 && items.first().isEmpty())
        return QByteArrayLiteral("\"\"");
    QByteArray out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ',';
        const QByteArray &item = items[i];
        if (needsQuotes(item)) {
            out += '"';
            QByteArray inner = item;
            inner.replace('"', QByteArrayLiteral("\"\""));
            out += inner;
            out += '"';
        } else {
            out += item;
        }
    }
    return out;
}

QList<QByteArray> split(const QByteArray &textIn)
{
    QList<QByteArray> items;
    const qsizetype nul = textIn.indexOf('\0');
    const QByteArray text = nul >= 0 ? textIn.left(nul) : textIn;
    const qsizetype n = text.size();
    qsizetype p = 0;

    while (p < n && isBlank(text[p]))
        ++p;
    while (p < n) {
        QByteArray item;
        if (text[p] == '"') {
            // Quoted: "" inside is one quote; an unterminated quote takes the rest.
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const qsizetype start = p;
            while (p < n && !isBlank(text[p]) && text[p] != ',')
                ++p;
            item = text.mid(start, p - start);
        }
        items.append(item);
        while (p < n && isBlank(text[p]))
            ++p;
        if (p < n && text[p] == ',') {
            if (p + 1 == n)
                items.append(QByteArray());
            do {
                ++p;
            } while (p < n && isBlank(text[p]));
        }
    }
    return items;
}

} // namespace commalist
