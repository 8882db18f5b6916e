#include "concordance/Text.h"

#include "concordance/WireText.h"
#include "wire/ReplyWriter.h"
#include "wire/RequestReader.h"

#include <algorithm>

namespace corvus::conc {

namespace {

// The paging letter of a text request: `first`, else `second`, when one of "B-+E".
char letterOf(char first, const QByteArray &second)
{
    const auto paging = [](char c) { return c == 'B' || c == '-' || c == '+' || c == 'E'; };
    if (paging(first))
        return first;
    const QByteArray s = second.trimmed();
    if (s.size() == 1 && paging(s[0]))
        return s[0];
    return ' ';
}

int rowsOption(const OptionList &options, const char *name, int fallback)
{
    const int r = intOption(options, name, fallback);
    return std::clamp(r <= 0 ? fallback : r, 1, kMaxTextRows);
}

// What both text replies share: the current line of the request's position and
// the layout of its text; `show` writes the page into the body (it may read and set
// options), the text's name closes it, and the reply carries the line record with
// "TextPos" consumed.
template <typename Show>
QByteArray currentTextReply(const LineEngine &lines, const wirerequest::Request &request, Show show)
{
    if (!request.conc)
        return noPositionReply();
    tCConcPos conc = *request.conc;
    OptionList options = optionsOf(request);
    const LinePage pg = lines.current(conc, options);
    if (!pg.ok || pg.currentToken == kNone)
        return emptyPageReply(pg);

    const uint32_t text = lines.corpus().textOf(pg.currentToken);
    const TextLayout layout(lines, text, baseOf(conc.CharNo[0]));
    QByteArray body = show(layout, conc, pg, options);
    body += lines.textName(text);
    body += "$$$";

    setLineRecord(conc, pg);
    options.remove("TextPos");
    return reply::wire(request.tag, replyBody(&conc, nullptr, &options, body));
}

} // namespace

// ---------------------------------------------------------------------------------
// TextLayout

TextLayout::TextLayout(const LineEngine &lines, uint32_t text, Base base)
    : m_lines(lines), m_corpus(lines.corpus()), m_base(base)
{
    const TextInfo &ti = m_corpus.text(text);
    m_lo = ti.firstToken;
    m_hi = ti.firstToken + ti.tokenCount;
}

uint32_t TextLayout::hardStartOf(uint32_t token) const
{
    uint32_t s = std::clamp(token, m_lo, m_hi - 1);
    while (s > m_lo && !(m_corpus.tokenFlags(s - 1) & kLineEnd))
        --s;
    return s;
}

uint32_t TextLayout::hardEndOf(uint32_t hardStart) const
{
    uint32_t e = hardStart;
    while (e < m_hi && !(m_corpus.tokenFlags(e) & kLineEnd))
        ++e;
    return std::min(e + 1, m_hi);
}

QByteArray TextLayout::shown(uint32_t first, uint32_t end) const
{
    QByteArray out;
    for (uint32_t t = first; t < end; ++t) {
        if (t > first && (m_corpus.tokenFlags(t) & kSpaceBefore))
            out += ' ';
        m_lines.appendShown(t, m_base, out);
    }
    return out;
}

const std::vector<TextLayout::Label> &TextLayout::labels(uint32_t hs) const
{
    auto it = m_labels.find(hs);
    if (it != m_labels.end())
        return it->second;
    const uint32_t he = hardEndOf(hs);
    // Boundaries: every word but the first of the line starts a label, together with
    // the opening marks right before it (a mark after a blank and before the word
    // without one, like "«" or "(").
    std::vector<uint32_t> starts{hs};
    bool seenWord = false;
    for (uint32_t t = hs; t < he; ++t) {
        if (m_corpus.isPunct(t))
            continue;
        if (seenWord) {
            uint32_t b = t;
            while (b - 1 > starts.back() && m_corpus.isPunct(b - 1)
                   && (m_corpus.tokenFlags(b - 1) & kSpaceBefore) && !(m_corpus.tokenFlags(b) & kSpaceBefore))
                --b;
            if (b > starts.back())
                starts.push_back(b);
        }
        seenWord = true;
    }
    std::vector<Label> out;
    out.reserve(starts.size());
    QByteArray scratch;
    for (size_t i = 0; i < starts.size(); ++i) {
        Label l;
        l.first = starts[i];
        l.end = i + 1 < starts.size() ? starts[i + 1] : he;
        l.word = kNone;
        int width = 0;
        for (uint32_t t = l.first; t < l.end; ++t) {
            if (l.word == kNone && !m_corpus.isPunct(t))
                l.word = t;
            if (m_corpus.tokenFlags(t) & kSpaceBefore)
                ++width;
            scratch.clear();
            m_lines.appendShown(t, m_base, scratch);
            width += int(scratch.size());
        }
        l.width = width;
        out.push_back(l);
    }
    return m_labels.emplace(hs, std::move(out)).first->second;
}

const std::vector<DisplayLine> &TextLayout::wrapped(uint32_t hs) const
{
    auto it = m_wrapped.find(hs);
    if (it != m_wrapped.end())
        return it->second;
    const std::vector<Label> &ls = labels(hs);
    const uint32_t he = hardEndOf(hs);
    std::vector<DisplayLine> out;
    DisplayLine cur;
    cur.first = hs;
    cur.hardStart = hs;
    cur.hardEnd = he;
    cur.lineStart = true;
    cur.blankBefore = hs > m_lo && (m_corpus.tokenFlags(hs - 1) & kParagraphEnd);
    int width = 0;
    for (size_t i = 0; i < ls.size(); ++i) {
        const int w = ls[i].width;
        if (i > 0 && width > 0 && width + w > kRowChars) {
            cur.end = ls[i].first;
            out.push_back(cur);
            cur.first = ls[i].first;
            cur.lineStart = false;
            cur.blankBefore = false;
            width = 0;
        }
        width += w;
    }
    cur.end = he;
    out.push_back(cur);
    return m_wrapped.emplace(hs, std::move(out)).first->second;
}

DisplayLine TextLayout::at(uint32_t token) const
{
    const std::vector<DisplayLine> &ls = wrapped(hardStartOf(token));
    for (const DisplayLine &l : ls)
        if (token < l.end)
            return l;
    return ls.back();
}

DisplayLine TextLayout::firstLine() const
{
    return wrapped(m_lo).front();
}

DisplayLine TextLayout::lastLine() const
{
    return wrapped(hardStartOf(m_hi - 1)).back();
}

std::optional<DisplayLine> TextLayout::next(const DisplayLine &line) const
{
    const std::vector<DisplayLine> &ls = wrapped(line.hardStart);
    for (size_t i = 0; i + 1 < ls.size(); ++i)
        if (ls[i] == line)
            return ls[i + 1];
    if (line.hardEnd >= m_hi)
        return std::nullopt;
    return wrapped(line.hardEnd).front();
}

std::optional<DisplayLine> TextLayout::prev(const DisplayLine &line) const
{
    const std::vector<DisplayLine> &ls = wrapped(line.hardStart);
    for (size_t i = 1; i < ls.size(); ++i)
        if (ls[i] == line)
            return ls[i - 1];
    if (line.hardStart <= m_lo)
        return std::nullopt;
    return wrapped(hardStartOf(line.hardStart - 1)).back();
}

DisplayLine TextLayout::back(DisplayLine line, int rows) const
{
    int used = 1;
    while (used < rows) {
        const std::optional<DisplayLine> p = prev(line);
        if (!p)
            break;
        used += 1 + (line.blankBefore ? 1 : 0);
        if (used > rows)
            break;
        line = *p;
    }
    return line;
}

std::vector<DisplayLine> TextLayout::page(DisplayLine start, int rows) const
{
    std::vector<DisplayLine> out;
    int used = 0;
    std::optional<DisplayLine> l = start;
    while (l) {
        const int cost = 1 + (!out.empty() && l->blankBefore ? 1 : 0);
        if (!out.empty() && used + cost > rows)
            break;
        out.push_back(*l);
        used += cost;
        l = next(*l);
    }
    return out;
}

// ---------------------------------------------------------------------------------
// "CT_W"

QByteArray textPageReply(const LineEngine &lines, const wirerequest::Request &request)
{
    return currentTextReply(lines, request, [&](const TextLayout &layout, const tCConcPos &conc,
                                                const LinePage &pg, const OptionList &options) {
        const Corpus &corpus = lines.corpus();
        const uint32_t cur = pg.currentToken;
        const int rows = rowsOption(options, "LBC_T_Max", kDefaultWordRows);
        DisplayLine start;
        switch (letterOf(conc.Move[0], options.value("TextPos"))) {
        case 'B': start = layout.firstLine(); break;
        case 'E': start = layout.back(layout.lastLine(), rows); break;
        case '+': start = layout.at(cur); break;
        case '-': start = layout.back(layout.at(cur), rows); break;
        default: start = layout.back(layout.at(cur), std::max(1, rows / 3 + 1)); break;
        }
        const std::vector<DisplayLine> page = layout.page(start, rows);

        QByteArray body = "$$+";
        const QList<DictLink> links = lines.links(cur);
        for (int i = 0; i < links.size(); ++i) {
            if (i > 0)
                body += "$$+";
            appendNumber(body, links[i].second);
            body += ',';
            appendNumber(body, links[i].first);
        }
        body += "$$-$$+";
        appendNumber(body, pg.current);
        body += "$$-";
        for (size_t li = 0; li < page.size(); ++li) {
            const DisplayLine &line = page[li];
            for (const TextLayout::Label &label : layout.labels(line.hardStart)) {
                if (label.end <= line.first || label.first >= line.end)
                    continue;
                QByteArray entry;
                if (label.first == line.first) {
                    if (li > 0 && line.lineStart)
                        entry += line.blankBefore ? "``" : "`";
                    else if (li > 0 && (corpus.tokenFlags(label.first) & kSpaceBefore))
                        entry += ' ';
                } else if (corpus.tokenFlags(label.first) & kSpaceBefore) {
                    entry += ' ';
                }
                entry += layout.shown(label.first, label.end);
                if (entry.size() > kMaxLabelBytes)
                    entry.truncate(kMaxLabelBytes);
                body += entry;
                body += "$@$";
                const uint32_t word = label.word == kNone ? label.first : label.word;
                appendNumber(body, word == cur ? 0 : int64_t(word) + 1);
                body += "$$$";
            }
        }
        return body;
    });
}

// ---------------------------------------------------------------------------------
// "CT_T"

namespace {

// "row:column:length" of the current word on a plain page: the row among the page's
// pieces (the blank ones included), the byte column in it and the bytes the word
// takes (a 1251 byte is one character).
QByteArray markOf(const TextLayout &layout, const DisplayLine &line, uint32_t cur, int row)
{
    const QByteArray word = layout.shown(cur, cur + 1);
    // shown() joins tokens with the blanks of the source: the prefix up to the word
    // plus its own blank gives the column.
    const QByteArray upTo = layout.shown(line.first, cur + 1);
    const qsizetype column = upTo.size() - word.size();
    return QByteArray::number(row) + ':' + QByteArray::number(column) + ':' + QByteArray::number(word.size());
}

} // namespace

QByteArray plainTextReply(const LineEngine &lines, const wirerequest::Request &request)
{
    return currentTextReply(lines, request, [](const TextLayout &layout, const tCConcPos &conc,
                                               const LinePage &pg, OptionList &options) {
        const uint32_t cur = pg.currentToken;
        const int rows = rowsOption(options, "LBC_X_Max", kDefaultPlainRows);

        // The page shown before, when it is a page of this text.
        const int64_t beg = intOption(options, "LBC_T_Beg", -1);
        const int64_t end = intOption(options, "LBC_T_End", -1);
        const bool shownBefore = end != -1 && beg >= int64_t(layout.firstToken()) && beg < end
            && end <= int64_t(layout.endToken());

        DisplayLine start;
        const DisplayLine around = layout.back(layout.at(cur), std::max(1, rows / 3 + 1));
        // The window's keys set "TextPos"; Move[0] "B" comes from "В начало".
        char letter = letterOf(' ', options.value("TextPos"));
        if (letter == ' ')
            letter = letterOf(conc.Move[0], QByteArray());
        switch (letter) {
        case 'B':
            start = layout.firstLine();
            break;
        case 'E':
            start = layout.back(layout.lastLine(), rows);
            break;
        case '+':
            if (!shownBefore)
                start = around;
            else if (end >= int64_t(layout.endToken()))
                start = layout.at(uint32_t(beg));
            else
                start = layout.at(uint32_t(end));
            break;
        case '-':
            if (!shownBefore) {
                start = around;
            } else {
                const DisplayLine top = layout.at(uint32_t(beg));
                const std::optional<DisplayLine> before = layout.prev(top);
                start = before ? layout.back(*before, rows) : top;
            }
            break;
        default:
            start = shownBefore ? layout.at(uint32_t(beg)) : around;
            break;
        }
        const std::vector<DisplayLine> page = layout.page(start, rows);

        QByteArray body;
        QByteArray mark;
        int row = 0;
        for (size_t i = 0; i < page.size(); ++i, ++row) {
            if (i > 0 && page[i].blankBefore) {
                body += " $$$";
                ++row;
            }
            const QByteArray line = layout.shown(page[i].first, page[i].end);
            body += line.isEmpty() ? QByteArray(" ") : line;
            body += "$$$";
            if (cur >= page[i].first && cur < page[i].end)
                mark = markOf(layout, page[i], cur, row);
        }
        // Where the current occurrence is on the page; none when it is not.
        options.set("TextMark", mark);
        // The next request pages from the page shown now.
        options.set("LBC_T_Beg", QByteArray::number(page.front().first));
        options.set("LBC_T_End", QByteArray::number(page.back().end));
        return body;
    });
}

} // namespace corvus::conc
