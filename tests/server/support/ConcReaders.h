#pragma once
// The client's reading of the text view replies, written down step by step from the
// client's rules, so that the server's bodies are checked the way the client will
// take them apart: the text page ("CT_W"), the full text ("CT_T") and the usage
// grid ("CT_D"). Header-only; 1251 bytes in and out. (The context lines and the
// dictionary links are read with the client's own parsers.)
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
