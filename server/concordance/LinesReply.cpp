// The "CT_N" reply and what the views of lines share: the options they read, the
// records they send back, and the registration of the view handlers.
#include "concordance/Lines.h"

#include "concordance/Grid.h"
#include "concordance/ShownForms.h"
#include "concordance/Text.h"
#include "concordance/WireText.h"
#include "protocol/Cancel.h"
#include "protocol/RequestHandlers.h"
#include "wire/ReplyWriter.h"
#include "wire/RequestReader.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <system_error>

namespace corvus::conc {

// ---------------------------------------------------------------------------------
// Options and small helpers

SortSeq sortSeqFrom(QByteArrayView code)
{
    const QByteArray c = code.toByteArray().trimmed().toUpper();
    static const char *codes[6] = {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"};
    for (int i = 0; i < 6; ++i)
        if (c == codes[i])
            return SortSeq(i);
    return SortSeq::CLR;
}

QByteArray sortSeqCode(SortSeq seq)
{
    static const char *codes[6] = {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"};
    return QByteArray(codes[int(seq)]);
}

Base baseOf(int charNo)
{
    return charNo == kCharLemma ? Base::Lemma : Base::Form;
}

int intOption(const OptionList &options, const char *name, int fallback)
{
    bool ok = false;
    const int v = options.value(QByteArray(name)).trimmed().toInt(&ok);
    return ok ? v : fallback;
}

QList<int> groupOption(const ConcEngine &engine, const OptionList &options, int group)
{
    const QByteArray name = "Char" + QByteArray::number(group);
    if (!options.has(name))
        return engine.groupMembers(group);
    const QByteArray code = options.value(name);
    QList<int> out;
    const bool shifted = !code.isEmpty() && uint8_t(code[0]) > 199;
    for (const char c : code) {
        const int n = shifted ? int(uint8_t(c)) - 200 : int(uint8_t(c));
        if (engine.validChar(n) && !out.contains(n))
            out.append(n);
    }
    return out;
}

OptionList optionsOf(const wirerequest::Request &request)
{
    return request.options ? *request.options : OptionList::initial();
}

QByteArray noPositionReply()
{
    return reply::zero(ru("В запросе нет позиции конкорданса."));
}

QByteArray emptyPageReply(const LinePage &pg)
{
    return reply::zero(pg.ok ? ru("Для выбранного значения строк конкорданса нет.") : pg.error);
}

void setLineRecord(tCConcPos &conc, const LinePage &pg)
{
    conc.FirstLine = qint32(pg.first);
    conc.CurLine = qint32(pg.current);
    conc.Found[0] = qint32(pg.signature);
    conc.Found[size_t(pg.query.level)] = qint32(std::min<uint32_t>(pg.count, INT32_MAX));
    for (char &m : conc.Move)
        m = ' ';
}

// ---------------------------------------------------------------------------------
// "CT_N"

namespace {

// Room for the most frequent word of a literary corpus at the default width (about
// 35 MiB for 242,000 lines), well below the client's reply cap (256 MiB); what one
// client can make the server hold stays bounded.
constexpr qsizetype kMaxExportBytes = qsizetype(64) << 20;

void appendLine(const LineEngine &lines, uint32_t token, uint32_t number, int width, Base base,
                QByteArray &out)
{
    const LineEngine::Context ctx = lines.context(token, width, base);
    out += ctx.left;
    out += " $@$ ";
    appendNumber(out, number);
    out += ',';
    out += ctx.centre;
    out += " $+$ ";
    out += lines.textName(lines.corpus().textOf(token));
    out += " $*$ ";
    out += ctx.right;
    out += " $$$";
}

bool isTrue(const QByteArray &v)
{
    return v.trimmed().compare("True", Qt::CaseInsensitive) == 0;
}

// The lines of an export: all the lines of the order, or the one line asked for,
// each with the export heading's characteristics in front; cut short, and saying
// so at its end, where the body would grow past kMaxExportBytes. The reply's header
// counts the body before it is sent, so the lines are made twice: once to measure
// them (nothing is kept) and again piece by piece as the connection takes them.
// Text names are made once per text, and a line is written straight into its
// piece.
class ExportLines final : public ReplyRest {
public:
    ExportLines(std::shared_ptr<const LineEngine> lines, const OptionList &options, std::vector<uint32_t> tokens,
                uint32_t firstNumber, int width, Base base)
        : m_lines(std::move(lines)), m_tokens(std::move(tokens)), m_firstNumber(firstNumber), m_width(width),
          m_base(base)
    {
        const ConcEngine &engine = m_lines->engine();
        for (const int c : groupOption(engine, options, 3)) {
            m_heading.push_back(&engine.characteristic(c));
            m_textHeading = m_textHeading && m_heading.back()->perText();
        }
        if (m_base == Base::Form && m_tokens.size() >= kShownFormsLines)
            m_forms = &m_lines->shownForms();
        measure();
    }

    qint64 size() const { return m_size; }
    qint64 remaining() const override { return m_done ? 0 : m_size - m_given; }
    qint64 heldBytes() const override
    {
        qint64 names = 0;
        for (const TextBytes &text : m_names)
            names += text.heading.size() + text.name.size() + 48;
        return qint64(m_tokens.capacity() * sizeof(uint32_t)) + names + qint64(m_ahead.size()) * kAheadBytes;
    }

    QByteArray next(qsizetype size) override
    {
        QByteArray out;
        if (m_done)
            return out;
        if (m_count >= kSplitLines) {
            // A large export: the next pieces are made on threads of their own while
            // this one is sent, two at a time (the text names are all known by now).
            const qsizetype piece = std::max(size, kAheadBytes);
            while (m_ahead.size() < 2 && m_next < m_count)
                makeAhead(piece);
            if (!m_ahead.empty()) {
                out = m_ahead.front().get();
                m_ahead.pop_front();
            }
            if (m_next < m_count)
                makeAhead(piece);
        } else {
            out.reserve(size + 4096);
            LineSink sink(&out);
            while (m_next < m_count && sink.size() < size)
                writeLine(m_next++, sink, &m_names);
        }
        if (m_next == m_count && m_ahead.empty()) {
            out += m_trailer;
            m_done = true;
            m_tokens = {};   // everything is made: nothing more to hold
            m_names.clear();
        }
        m_given += out.size();
        if (m_done && m_given != m_size)
            qWarning("Corvus: an export made %lld bytes where it counted %lld", m_given, m_size);
        return out;
    }

private:
    // What the lines of one text share: the heading fields when they are all the
    // text's (author, title and the like), and the text's name.
    struct TextBytes {
        QByteArray heading;
        QByteArray name;
    };
    using Names = QHash<uint32_t, TextBytes>;

    // Counts the lines. A line's bytes do not depend on its place in the order but
    // for its number and the blank before it, so the lines are counted in corpus
    // order (the tokens sorted), which reads the corpus's tokens front to back
    // rather than at random, and the numbers are counted apart. A large export is
    // counted in two halves at once (the second on a thread of its own, with its
    // own names); only one that reaches the cap is counted again in the order,
    // line by line, to find the line it stops at.
    void measure()
    {
        const size_t n = m_tokens.size();
        std::atomic<bool> stop{false};
        Names names;
        std::future<qint64> second;
        if (n >= kSplitLines) {
            try {
                second = std::async(std::launch::async, [&] { return countSorted(n / 2, n, &names, &stop); });
            } catch (const std::system_error &) {
                // No thread to be had: the second half is counted here too.
            }
        }
        qint64 total = 0;
        try {
            total = countSorted(0, second.valid() ? n / 2 : n, &m_names, nullptr);
        } catch (...) {
            stop = true;
            throw;
        }
        if (second.valid()) {
            total += second.get();
            for (auto it = names.cbegin(); it != names.cend(); ++it)
                m_names.insert(it.key(), it.value());
        }
        total += numberBytes(m_firstNumber, n) + qint64(n > 0 ? n - 1 : 0);
        if (total < kMaxExportBytes) {
            m_count = n;
            m_size = total;
            return;
        }
        LineSink sink(nullptr);
        size_t i = 0;
        for (; i < n && sink.size() < kMaxExportBytes; ++i) {
            if ((i & 0x3FF) == 0)
                cancel::check();
            writeLine(i, sink, &m_names);
        }
        m_count = i;
        if (m_count < n)
            m_trailer = ' ' + ru("(выгрузка ограничена: выведено строк ") + QByteArray::number(qulonglong(m_count))
                + ru(" из ") + QByteArray::number(qulonglong(n)) + ") $@$ 0, $*$  $$$";
        m_size = sink.size() + m_trailer.size();
    }

    // The decimal digits of the numbers first .. first + n - 1.
    static qint64 numberBytes(uint64_t first, uint64_t n)
    {
        qint64 bytes = 0;
        uint64_t from = first, digits = 1, limit = 10;
        const uint64_t end = first + n;
        for (; from < end; ++digits, limit *= 10) {
            if (from < limit) {
                const uint64_t to = std::min(end, limit);
                bytes += qint64((to - from) * digits);
                from = to;
            }
        }
        return bytes;
    }

    // The bytes of the lines of the tokens m_tokens[from, to), without their numbers
    // and the blanks between them, counted in corpus order. Without `stop` the
    // request's cancellation is checked, with it the flag.
    qint64 countSorted(size_t from, size_t to, Names *names, const std::atomic<bool> *stop) const
    {
        std::vector<uint32_t> tokens(m_tokens.begin() + qsizetype(from), m_tokens.begin() + qsizetype(to));
        std::sort(tokens.begin(), tokens.end());
        LineSink sink(nullptr);
        for (size_t i = 0; i < tokens.size(); ++i) {
            if ((i & 0x3FF) == 0) {
                if (!stop)
                    cancel::check();
                else if (*stop)
                    return 0;
            }
            writeBody(tokens[i], -1, sink, names);
        }
        return sink.size();
    }

    // Lines [from, to), made while the connection sends the piece before.
    void makeAhead(qsizetype bytes)
    {
        const double perLine = double(m_size) / double(std::max<size_t>(m_count, 1));
        const size_t lines = std::max<size_t>(1, size_t(double(bytes) / std::max(perLine, 1.0)));
        const size_t from = m_next, to = std::min(m_count, from + lines);
        m_next = to;
        const auto make = [this, from, to, bytes] {
            QByteArray out;
            out.reserve(bytes + bytes / 4);
            LineSink sink(&out);
            for (size_t i = from; i < to; ++i)
                writeLine(i, sink, nullptr);
            sink.finish();
            return out;
        };
        try {
            m_ahead.push_back(std::async(std::launch::async, make));
        } catch (const std::system_error &) {
            // No thread to be had: made here and now.
            std::promise<QByteArray> made;
            made.set_value(make());
            m_ahead.push_back(made.get_future());
        }
    }

    // A text's heading fields and name: made into `names`, or without them read
    // from those made.
    const TextBytes &bytesOf(uint32_t text, Names *names) const
    {
        if (!names) {
            if (const auto it = m_names.constFind(text); it != m_names.constEnd())
                return *it;
            thread_local TextBytes spare;
            spare = makeBytes(text);
            return spare;
        }
        auto it = names->find(text);
        if (it == names->end())
            it = names->insert(text, makeBytes(text));
        return *it;
    }

    TextBytes makeBytes(uint32_t text) const
    {
        TextBytes out{{}, m_lines->textName(text)};
        if (!m_textHeading)
            return out;
        for (const Characteristic *ch : m_heading) {
            // Characteristic::valueOf() of a word of the text.
            const Span<uint32_t> values = ch->byText();
            const uint32_t v = text < values.size() ? values[text] : kNone;
            if (v < ch->valueCount())
                appendCleanBytes(out.heading, ch->text(v));
            out.heading += " $^$ ";
        }
        return out;
    }

    void writeLine(size_t i, LineSink &out, Names *names) const
    {
        if (i > 0)
            out.put(' ');
        writeBody(m_tokens[i], int64_t(m_firstNumber) + int64_t(i), out, names);
    }

    // A line without the blank before it; its number left out when negative.
    void writeBody(uint32_t token, int64_t number, LineSink &out, Names *names) const
    {
        const LineEngine::ContextRange r = m_lines->contextRange(token, m_width);
        const TextBytes &text = bytesOf(r.text, names);
        if (m_textHeading && !m_lines->corpus().isPunct(token))
            out.put(text.heading);
        else
            writeHeading(token, out);
        m_lines->writeLeft(r, token, m_base, out, m_forms);
        out.put(" $@$ ");
        if (number >= 0)
            out.putNumber(number);
        out.put(',');
        m_lines->writeShown(token, m_base, out, m_forms);
        out.put(" $+$ ");
        out.put(text.name);
        out.put(" $*$ ");
        m_lines->writeRight(r, token, m_base, out, m_forms);
        out.put(" $$$");
    }

    // The heading fields of a line, each followed by its marker.
    void writeHeading(uint32_t token, LineSink &out) const
    {
        for (const Characteristic *ch : m_heading) {
            const uint32_t v = ch->valueOf(token);
            if (v != kNone) {
                const std::string_view text = ch->text(v);
                const qint64 from = out.size();
                out.put(text);
                if (!out.counts())
                    cleanBytes(out.at(from), text.size());
            }
            out.put(" $^$ ");
        }
    }

    static constexpr size_t kSplitLines = 50000;
    // Exports of this many lines copy the forms' texts from ShownForms (made once).
    static constexpr size_t kShownFormsLines = 5000;
    static constexpr qsizetype kAheadBytes = qsizetype(256) << 10;

    std::shared_ptr<const LineEngine> m_lines;
    std::vector<uint32_t> m_tokens;
    uint32_t m_firstNumber;
    int m_width;
    Base m_base;
    std::vector<const Characteristic *> m_heading;
    bool m_textHeading = true;   // every heading field is the text's: made once per text
    const ShownForms *m_forms = nullptr;   // the engine's, for a large export on the form base
    Names m_names;
    size_t m_count = 0;     // lines within the cap
    size_t m_next = 0;      // the next line to give
    QByteArray m_trailer;   // the note of a cut export, with its separator
    qint64 m_size = 0;
    qint64 m_given = 0;
    bool m_done = false;
    // Pieces being made (the last member: they are waited for before the others go).
    std::deque<std::future<QByteArray>> m_ahead;
};

// The reply to an export ("PrintConc"): every line of the order, or with
// "PrintConcStr" the current line alone. Its front carries the header and the
// records; the lines follow as the connection takes them.
StreamedReply exportReply(std::shared_ptr<const LineEngine> lines, const QByteArray &tag, tCConcPos &conc,
                          OptionList &options, int width, Base base)
{
    const bool one = isTrue(options.value("PrintConcStr"));
    LinePage pg = one ? lines->current(conc, options) : pageOfOrder(lines->order(conc, options));
    if (!pg.ok || pg.count == 0)
        return {emptyPageReply(pg), nullptr};
    std::vector<uint32_t> tokens;
    uint32_t firstNumber = 1;
    if (one) {
        tokens = pg.tokens;
        firstNumber = pg.current;
    } else {
        pg.order->complete();
        tokens = pg.order->lines(0, pg.count);
    }
    auto rest = std::make_shared<ExportLines>(lines, options, std::move(tokens), firstNumber, width, base);
    conc.Found[size_t(pg.query.level)] = qint32(std::min<uint32_t>(pg.count, INT32_MAX));
    for (char &m : conc.Move)
        m = ' ';
    // A whole export is headed "Найдено ..."; a requested line keeps "True", so
    // that its header reads "Запрошенная строка : ".
    if (!one)
        options.set("PrintConcStr", "False");
    const QByteArray records = replyBody(&conc, nullptr, &options, QByteArray());
    return {reply::wireFront(tag, records, records.size() + rest->size()), rest};
}

// The lines of a page. Every line carries a link fragment (empty where the centre
// word has no headword) as soon as one does, so that the client's marker search,
// which runs over the whole body, pairs each fragment with its own line.
QByteArray pageBody(const LineEngine &lines, const LinePage &pg, int width, Base base)
{
    std::vector<QList<DictLink>> links(pg.tokens.size());
    bool anyLink = false;
    for (size_t i = 0; i < pg.tokens.size(); ++i) {
        links[i] = lines.links(pg.tokens[i]);
        anyLink |= !links[i].isEmpty();
    }
    QByteArray body;
    body.reserve(qsizetype(pg.tokens.size()) * 200);
    for (size_t i = 0; i < pg.tokens.size(); ++i) {
        if (i > 0)
            body += ' ';
        if (anyLink) {
            // One link per line: a second "$$+" inside a fragment would be taken for
            // the next line's fragment marker.
            body += "$$+";
            if (!links[i].isEmpty()) {
                appendNumber(body, links[i].front().second);
                body += ',';
                appendNumber(body, links[i].front().first);
            }
            body += "$$-";
        }
        appendLine(lines, pg.tokens[i], pg.first + uint32_t(i), width, base, body);
    }
    return body;
}

} // namespace

StreamedReply linesStream(const std::shared_ptr<const LineEngine> &lines, const wirerequest::Request &request)
{
    const QByteArray &tag = request.tag;
    if (!request.conc)
        return {noPositionReply(), nullptr};
    tCConcPos conc = *request.conc;
    OptionList options = optionsOf(request);
    const int width = std::clamp(intOption(options, "ConcWidth", kDefaultConcWidth), 1, kMaxConcWidth);
    const Base base = baseOf(conc.CharNo[0]);
    if (isTrue(options.value("PrintConc")))
        return exportReply(lines, tag, conc, options, width, base);

    const LinePage pg = lines->page(conc, options);
    if (!pg.ok || pg.count == 0)
        return {emptyPageReply(pg), nullptr};
    const QByteArray body = pageBody(*lines, pg, width, base);
    setLineRecord(conc, pg);
    const uint32_t last = pg.first + uint32_t(pg.tokens.size()) - 1;
    options.set("ConcCount", "(" + QByteArray::number(pg.first) + "-" + QByteArray::number(last) + ")");
    if (pg.scrollPercent >= 0)
        options.set("ConcSBar", QByteArray::number(pg.scrollPercent));
    else
        options.remove("ConcSBar");
    return {reply::wire(tag, replyBody(&conc, nullptr, &options, body)), nullptr};
}

QByteArray linesReply(const std::shared_ptr<const LineEngine> &lines, const wirerequest::Request &request)
{
    return wholeReply(linesStream(lines, request));
}

// ---------------------------------------------------------------------------------
// Registration

namespace {

template <typename F>
RequestHandlers::Handler guarded(std::shared_ptr<const LineEngine> lines, F f)
{
    return [lines, f](const wirerequest::Request &request, const SessionInfo &) -> QByteArray {
        try {
            return f(*lines, request);
        } catch (const std::bad_alloc &) {
            return reply::zero(ru("Серверу не хватило памяти для ответа на запрос."));
        }
    };
}

} // namespace

void registerViewHandlers(RequestHandlers &service, std::shared_ptr<const LineEngine> lines)
{
    service.setStreamHandler("CT_N", [lines](const wirerequest::Request &request, const SessionInfo &) {
        try {
            return linesStream(lines, request);
        } catch (const std::bad_alloc &) {
            return StreamedReply{reply::zero(ru("Серверу не хватило памяти для ответа на запрос.")), nullptr};
        }
    });
    service.setCostEstimate("CT_N", [lines](const wirerequest::Request &request) {
        return request.conc ? linesCost(*lines, *request.conc, optionsOf(request)) : Cost::Short;
    });
    service.setHandler("CT_W", guarded(lines, &textPageReply));
    service.setHandler("CT_T", guarded(lines, &plainTextReply));
    service.setHandler("CT_D", guarded(lines, &gridReply));
    // A text page and a full-text page stand on the current line of the order, a
    // grid page on a page of it.
    for (const char *tag : {"CT_W", "CT_T", "CT_D"}) {
        const bool oneLine = QByteArray(tag) != "CT_D";
        service.setCostEstimate(tag, [lines, oneLine](const wirerequest::Request &request) {
            if (!request.conc)
                return Cost::Short;
            const OptionList options = optionsOf(request);
            if (!options.value("PrintText").isEmpty())
                return Cost::Long;
            return oneLine ? lineCost(*lines, *request.conc, options) : pageCost(*lines, *request.conc, options);
        });
    }
    service.setEntryTie([lines](int dictNo, int place) { return lines->entryTie(dictNo, place); });
}

} // namespace corvus::conc
