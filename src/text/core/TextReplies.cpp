#include "TextReplies.h"

#include "model/Cp1251.h"
#include "model/StrictInt.h"

namespace textcore {

qsizetype findMarker(const QByteArray &text, const char *marker, qsizetype from)
{
    qsizetype i = text.indexOf(marker, from);
    while (i > 0 && text[i - 1] == '$')
        i = text.indexOf(marker, i + 1);
    return i;
}

TextPageReply parseTextPage(const QByteArray &bodyIn)
{
    TextPageReply page;
    QByteArray body = bodyIn;

    // The link section; its "$$" of "$$-" goes with it, the "-" stays.
    qsizetype plus = findMarker(body, "$$+");
    qsizetype minus = findMarker(body, "$$-");
    if (plus >= 0 && minus > plus) {
        page.links = body.mid(plus, minus - plus);
        body.remove(plus, minus - plus + 2);
    }

    // The number section; a "$$-" alone counts as its end.
    plus = findMarker(body, "$$+");
    minus = findMarker(body, "$$-");
    qsizetype pos = 1;
    if (minus >= 0) {
        if (plus >= 0 && plus < minus)
            page.number = body.mid(plus + 3, minus - plus - 3);
        pos = minus + 3;
    }

    while (pos < body.size()) {
        const QByteArray window = body.mid(pos, EntryWindow);
        const qsizetype end = window.indexOf("$$$");
        const qsizetype at = window.indexOf("$@$");
        if (end < 0 && at < 0)
            break;
        if (at < 0) {
            page.title = window.left(end);
            page.hasTitle = true;
            break;
        }
        if (end >= 0 && end < at) {   // a text without a number
            pos += end + 3;
            continue;
        }
        const qsizetype entryEnd = window.indexOf("$$$", at + 3);
        if (entryEnd < 0)
            break;   // does not fit the window
        if (const auto n = strictint::parse(QByteArrayView(window).sliced(at + 3, entryEnd - at - 3)))
            page.words.append(TextWord{window.left(at), *n});
        pos += entryEnd + 3;
    }
    return page;
}

FullTextReply parseFullText(const QByteArray &body)
{
    FullTextReply out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype end = body.indexOf("$$$", pos);
        if (end < 0)
            break;
        if (end + 3 == body.size()) {
            out.title = body.mid(pos, end - pos);
            out.hasTitle = true;
            break;
        }
        out.lines.append(body.mid(pos, end - pos));
        pos = end + 3;
    }
    return out;
}

std::optional<TextMark> parseTextMark(const QByteArray &value, const QList<QByteArray> &lines)
{
    const QList<QByteArray> parts = value.split(':');
    if (parts.size() != 3)
        return std::nullopt;
    int n[3];
    for (int i = 0; i < 3; ++i) {
        const std::optional<qint32> v = strictint::parse(parts[i]);
        if (!v || *v < 0)
            return std::nullopt;
        n[i] = *v;
    }
    const TextMark mark{n[0], n[1], n[2]};
    if (mark.row >= lines.size() || mark.length == 0
        || qsizetype(mark.column) + mark.length > lines[mark.row].size())
        return std::nullopt;
    return mark;
}

QByteArray textNameCaption(const QByteArray &title)
{
    return cp1251::ru("Название текста ") + '"' + title + '"';
}

QList<QByteArray> textRows(const QList<TextWord> &words)
{
    QList<QByteArray> rows{QByteArray()};
    for (const TextWord &w : words) {
        QByteArray rest = w.text;
        bool first = true;
        while (first || !rest.isEmpty()) {
            QByteArray piece = rest;
            rest.clear();
            // Leading accents (after blanks) start new rows.
            for (;;) {
                qsizetype i = 0;
                while (i < piece.size() && piece[i] == ' ')
                    ++i;
                if (i >= piece.size() || piece[i] != '`')
                    break;
                piece.remove(0, i + 1);
                rows.append(QByteArray());
            }
            // An accent further on splits the rest off as a piece of its own.
            const qsizetype accent = piece.indexOf('`');
            if (accent >= 0) {
                rest = piece.mid(accent);
                piece.truncate(accent);
            }
            rows.last() += piece;
            first = false;
        }
    }
    return rows;
}

} // namespace textcore
