#include "RequestReader.h"

#include "model/Cp1251.h"

#include <algorithm>
#include <iterator>

namespace wirerequest {

namespace {

constexpr const char *RecordTags[] = {"DC_C", "DC_CC", "DC_W", "DC_S", "CN_C",
                                      "CN_Cx", "CN_W", "CT_N",  "CT_W", "CT_T", "CT_D"};
constexpr const char *TextTags[] = {"NM", "NMD", "INFO", "CL_E", "CL_B"};

// The option list record: byte 5, "/", digits, "/", byte 5. More digits than this
// cannot be a length below MaxRequestSize.
constexpr int MaxLengthDigits = 9;

// The word that a records request's parameters begin with.
constexpr QByteArrayView NewWord("New");

bool isTagChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool isFiller(char c)
{
    return c == '\0' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whether a client request ("$" + client tag + "=") starts at `at`.
bool requestStartsAt(QByteArrayView b, qsizetype at)
{
    if (at >= b.size() || b[at] != '$')
        return false;
    qsizetype p = at + 1;
    while (p < b.size() && p - at - 1 <= MaxTagLength && isTagChar(b[p]))
        ++p;
    return p < b.size() && b[p] == '=' && p > at + 1 && isClientTag(b.sliced(at + 1, p - at - 1));
}

// The options of an option list text as commalist::split() would cut them, counted
// without making them; stops counting past `limit`.
qsizetype optionCount(QByteArrayView text, qsizetype limit)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    const qsizetype nul = text.indexOf('\0');
    const qsizetype n = nul >= 0 ? nul : text.size();
    qsizetype p = 0, count = 0;
    while (p < n && blank(text[p]))
        ++p;
    while (p < n && count <= limit) {
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                ++p;
            }
        } else {
            while (p < n && !blank(text[p]) && text[p] != ',')
                ++p;
        }
        ++count;
        while (p < n && blank(text[p]))
            ++p;
        if (p < n && text[p] == ',') {
            if (p + 1 == n)
                ++count;
            do {
                ++p;
            } while (p < n && blank(text[p]));
        }
    }
    return count;
}

Result bad(qsizetype size, const char *reasonUtf8, QByteArray tag = {})
{
    Result r;
    r.status = Status::Bad;
    r.size = size;
    r.reason = cp1251::ru(reasonUtf8);
    r.request.tag = std::move(tag);
    return r;
}

// A request longer than MaxRequestSize: everything so far goes, the rest is skipped.
Result tooLong(qsizetype size, QByteArray tag)
{
    Result r = bad(size, "Запрос слишком длинный.", std::move(tag));
    r.overlong = true;
    return r;
}

Result needMore(bool settles)
{
    Result r;
    r.status = Status::NeedMore;
    r.settles = settles;
    return r;
}

Result complete(qsizetype size, Request req)
{
    Result r;
    r.status = Status::Complete;
    r.size = size;
    r.request = std::move(req);
    return r;
}

// One call of parse(): the bytes, whether more may come, and where an earlier call
// on the same front got to.
class Parser {
public:
    Parser(QByteArrayView b, bool final, Progress *progress)
        : m_b(b), m_final(final), m_progress(progress ? progress : &m_own)
    {
    }

    Result front();

private:
    // The first client request starting at or after `from`, or -1. A search that
    // finds none remembers how far every start was ruled out.
    qsizetype nextRequestStart(qsizetype from)
    {
        const qsizetype begin = std::max(from, m_progress->clean);
        for (qsizetype p = begin; p < m_b.size(); ++p) {
            if (m_b[p] == '$' && requestStartsAt(m_b, p)) {
                m_progress->examined += p - begin + 1;
                return p;
            }
        }
        m_progress->examined += std::max<qsizetype>(0, m_b.size() - begin);
        // A start in the last MaxTagLength + 2 bytes may still be cut.
        m_progress->clean = std::max(begin, m_b.size() - (MaxTagLength + 2));
        return -1;
    }

    // Bytes that are not a request: up to the next request, or everything (after a
    // quiet period, so garbage arriving in pieces gets one answer).
    Result garbage(const char *reasonUtf8)
    {
        const qsizetype next = nextRequestStart(1);
        if (next > 0)
            return bad(next, reasonUtf8);
        if (!m_final && m_b.size() < MaxRequestSize)
            return needMore(true);
        Result r = bad(m_b.size(), reasonUtf8);
        r.overlong = m_b.size() >= MaxRequestSize;   // more garbage may follow
        return r;
    }

    Result cut(const Request &req)
    {
        return m_final ? bad(m_b.size(), "Запрос получен не полностью.", req.tag) : needMore(false);
    }

    // A "New" + records request: the records up to the option list, which ends it.
    Result records(qsizetype paramsAt, Request req);
    Result text(qsizetype paramsAt, Request req);
    // The steps of records(). Whether "New" stands at `at`: nothing when it does,
    // otherwise the result (a cut word or garbage).
    std::optional<Result> expectNew(qsizetype at, const Request &req);
    // Stops before the record at `at`, which is not whole yet: only its header was
    // looked at, and the next call starts again there.
    Result wait(qsizetype at, qsizetype resumedAt, const Request &req, Result r);
    // The position record (2 dictionary, 3 concordance) at `at` read into `req`: the
    // offset after it, -1 when it is not whole yet.
    qsizetype positionRecord(qsizetype at, Request &req) const;
    // The option list record at `p` read into `req`, `p` moved past it: nothing;
    // otherwise the result (cut, garbled, too long, too many options).
    std::optional<Result> optionList(qsizetype &p, qsizetype resumedAt, Request &req);

    QByteArrayView m_b;
    bool m_final;
    Progress m_own;
    Progress *m_progress;
};

Result Parser::records(qsizetype paramsAt, Request req)
{
    const QByteArrayView b = m_b;
    qsizetype p = paramsAt;
    if (m_progress->recordsAt > 0) {
        // Records up to recordsAt were read by an earlier call.
        p = m_progress->recordsAt;
        req = m_progress->partial;
    } else {
        if (const std::optional<Result> refused = expectNew(p, req))
            return *refused;
        p += NewWord.size();
        req.records = true;
    }
    const qsizetype resumedAt = p;
    while (true) {
        if (p >= b.size()) {
            // Ended after a position record: the option list may still be coming.
            if (!m_final)
                return wait(p, resumedAt, req, needMore(true));
            break;
        }
        const char c = b[p];
        if (c == '$')
            break;   // the next request begins
        if (c == '\0') {
            ++p;
            continue;
        }
        if (c == 2 || c == 3) {
            const qsizetype next = positionRecord(p, req);
            if (next < 0)
                return wait(p, resumedAt, req, cut(req));
            p = next;
            continue;
        }
        if (c == 5) {
            if (const std::optional<Result> stop = optionList(p, resumedAt, req))
                return *stop;
            break;   // the option list is the last record
        }
        return garbage("После записей запроса лишний текст.");
    }
    m_progress->examined += p - resumedAt;
    return complete(p, std::move(req));
}

std::optional<Result> Parser::expectNew(qsizetype at, const Request &req)
{
    const qsizetype avail = m_b.size() - at;
    if (avail < NewWord.size()) {
        if (NewWord.startsWith(m_b.sliced(at)))
            return cut(req);
        return garbage("Запрос должен начинаться словом «New».");
    }
    if (m_b.sliced(at, NewWord.size()) != NewWord)
        return garbage("Запрос должен начинаться словом «New».");
    return std::nullopt;
}

Result Parser::wait(qsizetype at, qsizetype resumedAt, const Request &req, Result r)
{
    if (r.status == Status::NeedMore) {
        m_progress->recordsAt = at;
        m_progress->partial = req;
    }
    m_progress->examined += at - resumedAt + std::min<qsizetype>(m_b.size() - at, MaxLengthDigits + 4);
    return r;
}

qsizetype Parser::positionRecord(qsizetype at, Request &req) const
{
    const QByteArrayView b = m_b;
    if (at + 1 >= b.size())
        return -1;
    const int n = static_cast<unsigned char>(b[at + 1]);
    if (at + 2 + n > b.size())
        return -1;
    const QByteArray text = b.sliced(at + 2, n).toByteArray();
    if (b[at] == 2) {
        tCDictPos d(-1);
        d.readText(text);
        req.dict = d;
    } else {
        tCConcPos k;
        k.readText(text);
        req.conc = k;
    }
    return at + 2 + n;
}

std::optional<Result> Parser::optionList(qsizetype &p, qsizetype resumedAt, Request &req)
{
    const QByteArrayView b = m_b;
    if (p + 1 >= b.size())
        return wait(p, resumedAt, req, cut(req));
    if (b[p + 1] != '/')
        return garbage("Список параметров запроса искажён.");
    qsizetype q = p + 2;
    qint64 length = 0;
    int digits = 0;
    while (q < b.size() && b[q] >= '0' && b[q] <= '9' && digits <= MaxLengthDigits) {
        length = length * 10 + (b[q] - '0');
        ++q;
        ++digits;
    }
    if (q >= b.size())
        return digits > MaxLengthDigits ? garbage("Список параметров запроса искажён.")
                                        : wait(p, resumedAt, req, cut(req));
    if (digits == 0 || digits > MaxLengthDigits || b[q] != '/')
        return garbage("Список параметров запроса искажён.");
    if (q + 1 >= b.size())
        return wait(p, resumedAt, req, cut(req));
    if (b[q + 1] != 5)
        return garbage("Список параметров запроса искажён.");
    if (length > MaxRequestSize)
        return tooLong(b.size(), req.tag);
    const qsizetype start = q + 2;
    if (b.size() - start < length)
        return b.size() > MaxRequestSize ? tooLong(b.size(), req.tag) : wait(p, resumedAt, req, cut(req));
    const QByteArrayView list = b.sliced(start, length);
    if (optionCount(list, MaxOptions) > MaxOptions)
        return bad(start + length, "В запросе слишком много параметров (больше 1000).", req.tag);
    req.options = OptionList::fromCommaText(list.toByteArray());
    p = start + length;
    return std::nullopt;
}

Result Parser::text(qsizetype paramsAt, Request req)
{
    // Plain text: up to the next request, or to the end of what has arrived.
    const qsizetype next = nextRequestStart(paramsAt);
    if (next >= 0) {
        req.params = m_b.sliced(paramsAt, next - paramsAt).toByteArray();
        return complete(next, std::move(req));
    }
    const QByteArrayView params = m_b.sliced(paramsAt);
    // Texts with a fixed content prove their own end.
    const bool proven = (req.tag == "INFO" && params.isEmpty())
        || ((req.tag == "CL_E" || req.tag == "CL_B") && params == QByteArrayView("New"));
    if (!proven && !m_final) {
        if (m_b.size() > MaxRequestSize)
            return tooLong(m_b.size(), req.tag);
        Result r = needMore(true);
        // A registration the client wrote at once: whole unless its peer split it.
        r.settlesSoon = (req.tag == "NM" || req.tag == "NMD") && m_b.size() <= OneSegment;
        return r;
    }
    req.params = params.toByteArray();
    return complete(m_b.size(), std::move(req));
}

Result Parser::front()
{
    const QByteArrayView b = m_b;
    if (b.isEmpty())
        return needMore(false);
    if (isFiller(b[0])) {
        qsizetype n = 0;
        while (n < b.size() && isFiller(b[n]))
            ++n;
        m_progress->examined += n;
        Result r;
        r.status = Status::Filler;
        r.size = n;
        return r;
    }
    if (b[0] != '$')
        return garbage("Запрос не распознан: он должен начинаться с «$» и имени запроса.");

    qsizetype p = 1;
    while (p < b.size() && isTagChar(b[p]) && p - 1 < MaxTagLength)
        ++p;
    if (p >= b.size()) {
        if (p - 1 <= MaxTagLength)
            return m_final ? bad(b.size(), "Запрос получен не полностью.") : needMore(false);
        return garbage("Запрос не распознан: слишком длинное имя запроса.");
    }
    if (b[p] != '=' || p == 1)
        return garbage("Запрос не распознан: за именем запроса должен следовать «=».");

    Request req;
    req.tag = b.sliced(1, p - 1).toByteArray();
    req.known = isClientTag(req.tag);
    const qsizetype paramsAt = p + 1;

    if (isRecordTag(req.tag)) {
        Result r = records(paramsAt, std::move(req));
        if (r.status == Status::Complete)
            r.request.params = b.sliced(paramsAt, r.size - paramsAt).toByteArray();
        return r;
    }
    return text(paramsAt, std::move(req));
}

} // namespace

bool isClientTag(QByteArrayView tag)
{
    return isRecordTag(tag)
        || std::any_of(std::begin(TextTags), std::end(TextTags),
                       [&](const char *t) { return tag == QByteArrayView(t); });
}

bool isRecordTag(QByteArrayView tag)
{
    return std::any_of(std::begin(RecordTags), std::end(RecordTags),
                       [&](const char *t) { return tag == QByteArrayView(t); });
}

Result parse(QByteArrayView b, bool final, Progress *progress)
{
    Result r = Parser(b, final, progress).front();
    // However it is read, a request never grows beyond the cap.
    if (r.status == Status::NeedMore && b.size() >= MaxRequestSize)
        return tooLong(b.size(), r.request.tag);
    return r;
}

Skip skipRest(QByteArrayView b)
{
    Skip s;
    const qsizetype at = b.indexOf('$');
    for (qsizetype p = at; p >= 0; p = b.indexOf('$', p + 1)) {
        if (requestStartsAt(b, p)) {
            s.size = p;
            s.found = true;
            return s;
        }
        // "$" and tag characters up to the end: a start that may be cut.
        qsizetype q = p + 1;
        while (q < b.size() && q - p - 1 < MaxTagLength && isTagChar(b[q]))
            ++q;
        if (q == b.size()) {
            s.size = p;
            return s;
        }
    }
    s.size = b.size();
    return s;
}

} // namespace wirerequest
