#pragma once
// The client's reading of the concordance view replies, written down step by step
// from the client's rules, so that the server's bodies are checked the way the
// client will take them apart: the context lines ("CT_N", shown and exported), the
// dictionary links of a line, the text page ("CT_W"), the full text ("CT_T") and
// the usage grid ("CT_D"). Header-only; 1251 bytes in and out.
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

struct TextWord {
    QByteArray text;
    int number = 0;
};

struct TextPage {
    QByteArray links;          // the link list ("$$+..." up to "$$-")
    QByteArray number;         // the number section
    QList<TextWord> words;
    QByteArray title;
};

// The "CT_W" body as the text view reads it.
inline TextPage readTextPage(QByteArray body)
{
    TextPage page;
    qsizetype p = findMarker(body, "$$+");
    qsizetype m = findMarker(body, "$$-");
    if (p >= 0 && m > p) {
        page.links = body.mid(p, m - p);
        body.remove(p, m - p + 2);
    }
    p = findMarker(body, "$$+");
    m = findMarker(body, "$$-");
    qsizetype pos = 1;
    if (m >= 0) {
        if (p >= 0 && p < m)
            page.number = body.mid(p + 3, m - p - 3);
        pos = m + 3;
    }
    for (;;) {
        const QByteArray window = body.mid(pos, 255);
        const qsizetype d = window.indexOf("$$$");
        const qsizetype a = window.indexOf("$@$");
        if (d < 0 && a < 0)
            break;
        if (a < 0) {
            page.title = window.left(d);
            break;
        }
        if (d >= 0 && d < a) {
            pos += d + 3;
            continue;
        }
        const qsizetype end = window.indexOf("$$$", a);
        if (end < 0)
            break;
        TextWord w;
        w.text = window.left(a);
        if (toInt(window.mid(a + 3, end - a - 3), &w.number))
            page.words.append(w);
        pos += end + 3;
    }
    return page;
}

// The words of a page laid out in rows: a word starting with "`" (after blanks)
// starts a new row, once per grave accent.
inline QList<QByteArray> textRows(const TextPage &page)
{
    QList<QByteArray> rows{QByteArray()};
    for (const TextWord &w : page.words) {
        QByteArray t = w.text;
        for (;;) {
            const QByteArray trimmed = t.trimmed();
            if (!trimmed.startsWith('`'))
                break;
            t = trimmed.mid(1);
            rows.append(QByteArray());
        }
        rows.last() += t;
    }
    return rows;
}

struct PlainText {
    QList<QByteArray> lines;
    QByteArray title;
};

// The "CT_T" body as the full-text window reads it.
inline PlainText readPlainText(const QByteArray &body)
{
    PlainText out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype d = body.indexOf("$$$", pos);
        if (d < 0)
            break;
        if (d + 3 == body.size()) {
            out.title = body.mid(pos, d - pos);
            break;
        }
        out.lines.append(body.mid(pos, d - pos));
        pos = d + 3;
    }
    return out;
}

struct Grid {
    QList<QList<QByteArray>> rows;   // row 0: the heading row; cells beyond its count dropped
    QList<int> occurrence;           // per row; -1 none
    int headword = -2;               // -2: no reference
    int selectedRow = -1, selectedColumn = -1;
};

// The "CT_D" body as the usage grid reads it.
inline Grid readGrid(QByteArray body)
{
    Grid g;
    qsizetype ref = findMarker(body, "$$+");
    qsizetype s = 0;
    int columns = -1;
    while (body.indexOf("$$$") >= 0) {
        const qsizetype rowEnd = body.indexOf("$$$");
        blank(body, rowEnd);
        QList<QByteArray> row;
        int occ = -1;
        for (;;) {
            const qsizetype star = body.indexOf("$$*", s);
            const bool refHere = ref >= s && ref < rowEnd;
            if (star < 0 && !refHere)
                break;
            qsizetype cellEnd = star;
            qsizetype next = star + 3;
            if (refHere && (star < 0 || ref < star)) {
                cellEnd = ref;
                const qsizetype plus = body.indexOf('+', ref + 3);
                if (plus >= 0 && plus - (ref + 3) < 6) {
                    int h = 0;
                    if (toInt(body.mid(ref + 3, plus - ref - 3), &h))
                        g.headword = h;
                    next = plus + 1;
                } else {
                    next = ref + 3;
                }
                g.selectedRow = int(g.rows.size());
                g.selectedColumn = int(row.size());
                ref = -1;
            }
            if (cellEnd > rowEnd)
                break;
            QByteArray text = body.mid(s, cellEnd - s);
            const qsizetype comma = text.indexOf("$$,");
            if (comma >= 0) {
                toInt(text.mid(comma + 3), &occ);
                text.truncate(comma);
            }
            row.append(text);
            s = next;
        }
        if (columns < 0)
            columns = int(row.size());
        while (row.size() > columns)
            row.removeLast();
        g.rows.append(row);
        g.occurrence.append(occ);
        s = rowEnd + 3;
    }
    return g;
}

} // namespace concreaders
