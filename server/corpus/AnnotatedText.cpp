#include "corpus/AnnotatedText.h"

#include "corpus/Charset.h"

#include <QStringList>

#include <algorithm>
#include <charconv>

namespace corvus::annotated {
namespace {

using namespace std::string_view_literals;

// Lines of a 1251 text (LF ends; a CR left before it is dropped), with numbers.
class Lines {
public:
    explicit Lines(std::string_view text) : m_text(text) {}
    bool next(std::string_view &line)
    {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos)
            end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_pos = end + 1;
        ++m_number;
        return true;
    }
    int number() const { return m_number; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    int m_number = 0;
};

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The tab-separated cells of a line, into a vector reused from line to line (one
// allocation per line would cost as much as the rest of the reading).
void splitTabs(std::string_view line, std::vector<std::string_view> &cells)
{
    cells.clear();
    // A byte loop: the cells are short, a search call per cell costs more.
    const char *start = line.data();
    const char *const end = start + line.size();
    for (const char *p = start; p != end; ++p) {
        if (*p == '\t') {
            cells.emplace_back(start, size_t(p - start));
            start = p + 1;
        }
    }
    cells.emplace_back(start, size_t(end - start));
}

std::string unescapeXml(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    static const std::pair<std::string_view, char> entities[] = {
        {"&amp;"sv, '&'}, {"&lt;"sv, '<'}, {"&gt;"sv, '>'}, {"&quot;"sv, '"'}, {"&apos;"sv, '\''}};
    for (size_t i = 0; i < s.size();) {
        bool replaced = false;
        if (s[i] == '&') {
            for (const auto &[name, ch] : entities) {
                if (s.substr(i, name.size()) == name) {
                    out += ch;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += s[i++];
    }
    return out;
}

// key="value" pairs of a start tag's inside (after its name).
std::vector<std::pair<std::string, std::string>> tagAttributes(std::string_view s)
{
    std::vector<std::pair<std::string, std::string>> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        const size_t eq = s.find('=', i);
        if (eq == std::string_view::npos)
            break;
        const std::string_view key = trimmed(s.substr(i, eq - i));
        size_t v = eq + 1;
        while (v < s.size() && s[v] == ' ')
            ++v;
        if (v >= s.size() || (s[v] != '"' && s[v] != '\''))
            break;
        const char quote = s[v];
        const size_t close = s.find(quote, v + 1);
        if (close == std::string_view::npos)
            break;
        if (!key.empty())
            out.emplace_back(std::string(key), unescapeXml(s.substr(v + 1, close - v - 1)));
        i = close + 1;
    }
    return out;
}

bool oneOf(std::string_view form, std::initializer_list<std::string_view> set)
{
    for (const std::string_view s : set)
        if (form == s)
            return true;
    return false;
}

// Spacing of vertical text, which does not record it: closing marks lean on the
// word before them, and a word after an opening mark leans on it.
bool closesUp(std::string_view form)
{
    return oneOf(form, {","sv, "."sv, ";"sv, ":"sv, "!"sv, "?"sv, ")"sv, "]"sv, "}"sv, "\xBB"sv,
                        "..."sv, "\x85"sv, "?!"sv, "!?"sv, "%"sv});
}
bool opensUp(std::string_view form)
{
    return oneOf(form, {"("sv, "["sv, "{"sv, "\xAB"sv, "\x84"sv});
}

// The document being read, handed to the sink in parts (see Sink).
class Emitter {
public:
    explicit Emitter(const Sink &sink) : m_sink(sink) {}
    ~Emitter() { close(); }
    Document *current() { return m_open ? &m_doc : nullptr; }
    // Whether the open document has a token yet (in any part).
    bool hasTokens() const { return m_count > 0; }
    void open(int line)
    {
        close();
        m_doc.attributes.clear();
        m_doc.tokens.clear();
        m_doc.firstLine = line;
        m_part = 0;
        m_count = 0;
        m_open = true;
    }
    void close()
    {
        if (m_open)
            m_sink.document(m_doc, m_part);
        m_open = false;
    }
    // Adds a token to the open document, handing the tokens before it over first
    // when they make a whole part.
    Token &push(Token &&t)
    {
        if (m_doc.tokens.size() >= kPartTokens) {
            m_sink.document(m_doc, m_part++);
            m_doc.tokens.clear();
            m_doc.attributes.clear();
        }
        ++m_count;
        m_doc.tokens.push_back(std::move(t));
        return m_doc.tokens.back();
    }
    void skip(int line, QString reason) { m_sink.skipped(Skipped{line, std::move(reason)}); }

private:
    const Sink &m_sink;
    Document m_doc;
    int m_part = 0;
    size_t m_count = 0;
    bool m_open = false;
};

// Every document whole, for the readers that return them all.
Sink collector(Parsed &out)
{
    Sink sink;
    sink.document = [&out](Document &doc, int part) {
        if (part == 0) {
            out.documents.push_back(doc);
        } else {
            std::vector<Token> &to = out.documents.back().tokens;
            to.insert(to.end(), std::make_move_iterator(doc.tokens.begin()), std::make_move_iterator(doc.tokens.end()));
        }
    };
    sink.skipped = [&out](Skipped &&line) { out.skipped.push_back(std::move(line)); };
    return sink;
}

void endSentence(Document *doc, int level)
{
    if (doc && !doc->tokens.empty())
        doc->tokens.back().breakAfter = std::max(doc->tokens.back().breakAfter, level);
}

QString lineReason(const char *what)
{
    return QString::fromUtf8(what);
}

std::optional<int> number(std::string_view s)
{
    int v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || s.empty() || v < 0)
        return std::nullopt;
    return v;
}

} // namespace

std::optional<std::string_view> Document::attribute(std::string_view name) const
{
    for (const auto &[key, value] : attributes)
        if (key == name)
            return std::string_view(value);
    return std::nullopt;
}

bool isPunctuation(std::string_view form)
{
    for (const char c : form)
        if (charset::isLetter(uint8_t(c)) || charset::isDigit(uint8_t(c)))
            return false;
    return true;
}

// ---------------------------------------------------------------- vertical text

std::optional<VrtLayout> vrtLayoutOfColumns(const QString &columns, QString *error)
{
    VrtLayout layout;
    layout.form = -1;
    const QStringList names = columns.split(QLatin1Char(','));
    for (int i = 0; i < names.size(); ++i) {
        const QString n = names[i].trimmed().toLower();
        int *slot = nullptr;
        if (n == QLatin1String("word") || n == QLatin1String("form"))
            slot = &layout.form;
        else if (n == QLatin1String("lemma"))
            slot = &layout.lemma;
        else if (n == QLatin1String("pos") || n == QLatin1String("upos") || n == QLatin1String("tag"))
            slot = &layout.pos;
        else if (n == QLatin1String("feats") || n == QLatin1String("msd"))
            slot = &layout.feats;
        if (slot && *slot < 0) {
            *slot = i;
            layout.columns = std::max(layout.columns, i + 1);
        }
    }
    if (layout.form < 0) {
        if (error)
            *error = QStringLiteral("в описании столбцов «%1» нет столбца словоформы (word)").arg(columns);
        return std::nullopt;
    }
    return layout;
}

std::optional<VrtLayout> parseVrtDeclaration(const QByteArray &text, QString *error)
{
    const std::string bytes = charset::toCp1251(std::string_view(text.constData(), size_t(text.size())));
    Lines lines(bytes);
    std::string_view line;
    std::optional<VrtLayout> layout;
    std::vector<std::pair<std::string, QString>> names;
    while (lines.next(line)) {
        line = trimmed(line);
        if (line.empty() || line.front() == '#')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            if (error)
                *error = QStringLiteral("строка %1 описания не вида «ключ=значение»").arg(lines.number());
            return std::nullopt;
        }
        const std::string_view key = trimmed(line.substr(0, eq));
        const std::string_view value = trimmed(line.substr(eq + 1));
        if (key == "columns"sv) {
            layout = vrtLayoutOfColumns(charset::toQString(value), error);
            if (!layout)
                return std::nullopt;
        } else if (key.substr(0, 10) == "attribute."sv && key.size() > 10) {
            names.emplace_back(std::string(key.substr(10)), charset::toQString(value));
        }
    }
    if (!layout) {
        if (error)
            *error = QStringLiteral("в описании нет строки «columns=...»");
        return std::nullopt;
    }
    layout->attributeNames = std::move(names);
    return layout;
}

Parsed readVrt(std::string_view text, const VrtLayout &layout)
{
    Parsed out;
    readVrt(text, layout, collector(out));
    return out;
}

void readVrt(std::string_view text, const VrtLayout &layout, const Sink &sink)
{
    Emitter doc(sink);
    bool joinNext = false;
    Lines lines(text);
    std::string_view line;
    std::vector<std::string_view> cells;
    while (lines.next(line)) {
        const std::string_view t = trimmed(line);
        if (t.empty())
            continue;
        if (t.front() == '<' && t.back() == '>') {
            const bool closing = t.size() > 1 && t[1] == '/';
            std::string_view inner = t.substr(closing ? 2 : 1, t.size() - (closing ? 3 : 2));
            if (!inner.empty() && inner.back() == '/')
                inner.remove_suffix(1);
            const size_t nameEnd = inner.find_first_of(" \t");
            const std::string_view name = inner.substr(0, nameEnd);
            if (name == "text"sv) {
                if (closing) {
                    doc.close();
                } else {
                    doc.open(lines.number());
                    if (nameEnd != std::string_view::npos)
                        doc.current()->attributes = tagAttributes(inner.substr(nameEnd));
                }
            } else if (closing && name == "s"sv) {
                endSentence(doc.current(), 1);
            } else if (closing && name == "p"sv) {
                endSentence(doc.current(), 2);
            }
            joinNext = false;
            continue;
        }
        splitTabs(line, cells);
        if (int(cells.size()) < layout.columns) {
            doc.skip(lines.number(),
                      QStringLiteral("столбцов %1, а нужно не меньше %2").arg(cells.size()).arg(layout.columns));
            continue;
        }
        const std::string_view form = trimmed(cells[size_t(layout.form)]);
        if (form.empty()) {
            doc.skip(lines.number(), lineReason("пустая словоформа"));
            continue;
        }
        if (!doc.current())
            doc.open(lines.number());
        Token tok;
        tok.form = std::string(form);
        if (layout.lemma >= 0)
            tok.lemma = std::string(trimmed(cells[size_t(layout.lemma)]));
        if (layout.pos >= 0)
            tok.pos = std::string(trimmed(cells[size_t(layout.pos)]));
        if (layout.feats >= 0)
            tok.feats = std::string(trimmed(cells[size_t(layout.feats)]));
        if (tok.lemma == "_"sv)
            tok.lemma.clear();
        tok.spaceBefore = doc.hasTokens() && !joinNext && !closesUp(form);
        joinNext = opensUp(form);
        doc.push(std::move(tok));
    }
}

// ---------------------------------------------------------------- CoNLL-U

Parsed readConllu(std::string_view text)
{
    Parsed out;
    readConllu(text, collector(out));
    return out;
}

namespace {

// "# key = value" split into key and value; no "=": the key alone.
void splitComment(std::string_view c, std::string_view &key, std::string_view &value)
{
    c = trimmed(c.substr(1));
    const size_t eq = c.find('=');
    key = trimmed(c.substr(0, eq));
    value = eq == std::string_view::npos ? std::string_view() : trimmed(c.substr(eq + 1));
}

// A lemma or part of speech of a multiword token's word added to the token's,
// joined by "+".
void addWordPart(std::string &to, std::string_view part)
{
    if (part == "_"sv)
        return;
    if (!to.empty())
        to += '+';
    to += part;
}

// A CoNLL-U text read line by line into documents: the one being filled, and
// what the lines before leave for the next.
class ConlluReader {
public:
    explicit ConlluReader(const Sink &sink) : m_doc(sink) {}

    void read(std::string_view text)
    {
        Lines lines(text);
        std::string_view line;
        while (lines.next(line)) {
            if (trimmed(line).empty()) {
                endSentence(m_doc.current(), 1);
                m_metaOpen = false;
                m_multi = nullptr;
            } else if (line.front() == '#') {
                comment(line, lines.number());
            } else {
                m_metaOpen = false;
                wordLine(line, lines.number());
            }
        }
        endSentence(m_doc.current(), 1);   // the blank line after the last sentence is often missing
    }

private:
    void open(int lineNo)
    {
        m_doc.open(lineNo);
        m_joinNext = false;
        m_multi = nullptr;
    }

    // "# newdoc" starts a document (its id and further keys are its attributes),
    // "# newpar" ends a paragraph, "# meta::key = value" right after "# newdoc"
    // is an attribute of the document; other comments say nothing.
    void comment(std::string_view line, int lineNo)
    {
        std::string_view key, value;
        splitComment(line, key, value);
        if (key.substr(0, 6) == "newdoc"sv) {
            const std::string_view rest = trimmed(key.substr(6));
            // "# newdoc genre = ..." right after "# newdoc id = ..." is more of
            // the same document's metadata, not a document of its own.
            if (!(m_metaOpen && m_doc.current() && !m_doc.hasTokens() && !rest.empty()))
                open(lineNo);
            m_metaOpen = true;
            if (!value.empty() || !rest.empty())
                m_doc.current()->attributes.emplace_back(rest.empty() ? std::string("id") : std::string(rest),
                                                         std::string(value));
        } else if (key == "newpar"sv || key.substr(0, 7) == "newpar "sv) {
            endSentence(m_doc.current(), 2);
        } else if (m_metaOpen && m_doc.current() && key.substr(0, 6) == "meta::"sv && key.size() > 6) {
            m_doc.current()->attributes.emplace_back(std::string(key.substr(6)), std::string(value));
        }
    }

    // A line of ten cells: a word, a multiword token (the words after it give it
    // their lemmas and parts of speech) or an empty node (no word of the text).
    void wordLine(std::string_view line, int lineNo)
    {
        splitTabs(line, m_cells);
        if (m_cells.size() != 10) {
            m_doc.skip(lineNo, QStringLiteral("столбцов %1, а нужно 10").arg(m_cells.size()));
            return;
        }
        const std::string_view id = m_cells[0];
        if (id.find('.') != std::string_view::npos)
            return;   // an empty node: no word of the text
        const size_t dash = id.find('-');
        const std::optional<int> first = number(id.substr(0, dash));
        const std::optional<int> last = dash == std::string_view::npos ? first : number(id.substr(dash + 1));
        if (!first || !last || *last < *first) {
            m_doc.skip(lineNo, QStringLiteral("номер «%1» не число и не диапазон").arg(charset::toQString(id)));
            return;
        }
        const std::string_view form = m_cells[1];
        if (form.empty()) {
            m_doc.skip(lineNo, lineReason("пустая словоформа"));
            return;
        }
        const bool word = dash == std::string_view::npos;
        if (word && m_multi && *first <= m_multiLast) {
            // A word of the multiword token before it: it gives lemma and part of speech.
            addWordPart(m_multi->lemma, m_cells[2]);
            addWordPart(m_multi->pos, m_cells[3]);
            if (*first == m_multiLast)
                m_multi = nullptr;
            return;
        }
        m_multi = nullptr;
        if (!m_doc.current())
            open(lineNo);
        Token tok;
        tok.form = std::string(form);
        if (word) {
            if (m_cells[2] != "_"sv)
                tok.lemma = std::string(m_cells[2]);
            if (m_cells[3] != "_"sv)
                tok.pos = std::string(m_cells[3]);
            if (m_cells[5] != "_"sv)
                tok.feats = std::string(m_cells[5]);
        }
        tok.spaceBefore = m_doc.hasTokens() && !m_joinNext;
        m_joinNext = m_cells[9].find("SpaceAfter=No"sv) != std::string_view::npos;
        Token &added = m_doc.push(std::move(tok));
        if (!word) {
            m_multi = &added;
            m_multiLast = *last;
        }
    }

    Emitter m_doc;
    std::vector<std::string_view> m_cells;
    bool m_joinNext = false;
    Token *m_multi = nullptr;   // the multiword token whose words are being read
    int m_multiLast = 0;        // the ID of its last word
    bool m_metaOpen = false;    // metadata lines may follow "# newdoc"
};

} // namespace

void readConllu(std::string_view text, const Sink &sink)
{
    ConlluReader(sink).read(text);
}

} // namespace corvus::annotated
