#pragma once
// The client's reading of the context lines ("CT_N", shown and exported) and of
// the dictionary links of a line, written down step by step from the client's
// rules, so that the server's bodies are checked the way the client will take them
// apart. (The text pages and the usage grid are read with the client's own
// parsers.) Header-only; 1251 bytes in and out.
#include <QByteArray>
#include <QList>

namespace concreaders {

// A "$$+" / "$$-" marker that is not the tail of "$$$+" / "$$$-".
inline qsizetype findMarker(const QByteArray &text, const char *marker, qsizetype from = 0)
{
    qsizetype i = text.indexOf(marker, from);
    while (i > 0 && text[i - 1] == '$')
        i = text.indexOf(marker, i + 1);
    return i;
}

inline void blank(QByteArray &text, qsizetype at)
{
    if (at >= 0 && at + 1 < text.size()) {
        text[at] = ' ';
        text[at + 1] = ' ';
    }
}

inline bool toInt(const QByteArray &s, int *out)
{
    bool ok = false;
    const int v = s.toInt(&ok);
    if (ok)
        *out = v;
    return ok;
}

// The backquote marks as the client shows them with prose mode off.
inline QByteArray renderMarks(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '`') {
            out += text[i];
            continue;
        }
        out += "||";
        if (i + 1 < text.size() && text[i + 1] == '`')
            ++i;
        while (i + 1 < text.size() && text[i + 1] == '`') {
            out += ' ';
            ++i;
        }
    }
    return out;
}

struct ContextLine {
    int number = 0;
    QByteArray left, centre, name, right;
    QByteArray tag;   // "$$+" + the fragment's text, or empty
};

// The shown "CT_N" body. Every located marker is blanked, used or not, which is
// why a page must give every line a fragment or none.
inline QList<ContextLine> readContextLines(QByteArray body)
{
    QList<ContextLine> out;
    body += ' ';
    qsizetype lineStart = 0;
    while (body.indexOf(" $$$ ") >= 0) {
        const qsizetype p = findMarker(body, "$$+");
        const qsizetype m = findMarker(body, "$$-");
        const qsizetype a = body.indexOf(" $@$ ");
        const qsizetype s = body.indexOf(" $*$ ");
        const qsizetype e = body.indexOf(" $$$");
        const bool fragment = p >= 0 && m > p && a > m;
        ContextLine line;
        if (fragment)
            line.tag = "$$+" + body.mid(p + 3, m - p - 3);
        const qsizetype leftStart = fragment ? m + 3 : lineStart;
        const bool adds = s >= 0 && s < e;
        if (adds) {
            if (a >= 0 && a < s) {
                line.left = body.mid(leftStart, a - leftStart);
                const QByteArray mid = body.mid(a + 5, s - a - 5);
                const qsizetype comma = mid.indexOf(',');
                if (!toInt(mid.left(comma < 0 ? mid.size() : comma), &line.number))
                    line.number = 0;
                QByteArray rest = comma < 0 ? QByteArray() : mid.mid(comma + 1);
                const qsizetype plus = rest.indexOf(" $+$ ");
                if (plus >= 0) {
                    line.name = rest.mid(plus + 5);
                    const qsizetype again = line.name.indexOf(" $+$ ");
                    if (again >= 0)
                        line.name.truncate(again);
                    rest.truncate(plus);
                }
                line.centre = rest;
            } else {
                line.left = body.mid(leftStart, s - leftStart);
            }
            line.right = body.mid(s + 5, e + 1 - (s + 5));
            out.append(line);
        }
        for (const qsizetype at : {p, m, a, s, e})
            blank(body, at);
        lineStart = e + 4;
    }
    return out;
}

// The lines an export writes after its header: "     " + count + " " + left + "  "
// + centre (cut before "$+$") + "  " + right, marks rendered, with the group
// heading + " : " before a line whose heading differs from the previous one's.
inline QList<QByteArray> readExport(const QByteArray &body)
{
    QList<QByteArray> out;
    QByteArray previousHeading;
    int count = 0;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype e = body.indexOf(" $$$", pos);
        if (e < 0)
            break;
        QByteArray piece = body.mid(pos, e - pos);
        pos = e + 4;
        QByteArray heading;
        const qsizetype at = piece.indexOf(" $@$ ");
        qsizetype f;
        while ((f = piece.indexOf(" $^$ ")) >= 0 && (at < 0 || f < piece.indexOf(" $@$ "))) {
            heading += piece.left(f).trimmed() + '/';
            piece.remove(0, f + 5);
        }
        const qsizetype a = piece.indexOf(" $@$ ");
        const qsizetype s = piece.indexOf(" $*$ ");
        if (a < 0 || s < a)
            continue;
        const QByteArray left = piece.left(a);
        QByteArray centre = piece.mid(a + 5, s - a - 5);
        const qsizetype comma = centre.indexOf(',');
        centre = comma < 0 ? centre : centre.mid(comma + 1);
        const qsizetype cut = centre.indexOf("$+$");
        if (cut >= 0)
            centre.truncate(cut);
        const QByteArray right = piece.mid(s + 5);
        if (!heading.isEmpty() && heading != previousHeading)
            out.append(heading + " : ");
        previousHeading = heading;
        out.append("     " + QByteArray::number(++count) + ' ' + renderMarks(left.trimmed()) + "  "
                   + renderMarks(centre.trimmed()) + "  " + renderMarks(right.trimmed()));
    }
    return out;
}

struct DictLinkRead {
    int headword = 0;     // counted from 1
    int dictionary = 0;
};

// A link list: "$$+" headword "," dictionary, each running to the next "$$+".
inline QList<DictLinkRead> readLinks(QByteArray text)
{
    QList<DictLinkRead> out;
    while (out.size() < 3) {
        const qsizetype p = text.indexOf("$$+");
        if (p < 0)
            break;
        const qsizetype c = text.indexOf(',', p);
        if (c < 0)
            break;
        qsizetype next = text.indexOf("$$+", p + 3);
        if (next < 0)
            next = text.size();
        DictLinkRead l;
        if (!toInt(text.mid(p + 3, c - p - 3), &l.headword) || c > next
            || !toInt(text.mid(c + 1, next - c - 1), &l.dictionary))
            break;
        out.append(l);
        blank(text, p);
        text[c] = ' ';
    }
    return out;
}

} // namespace concreaders
