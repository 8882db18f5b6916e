#include "WireRequest.h"

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

// The first client request starting after `from`, or -1.
qsizetype nextRequestStart(QByteArrayView b, qsizetype from)
{
    for (qsizetype p = from; p < b.size(); ++p) {
        if (b[p] == '$' && requestStartsAt(b, p))
            return p;
    }
    return -1;
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

// Bytes that are not a request: up to the next request, or everything (after a quiet
// period, so garbage arriving in pieces gets one answer).
Result garbage(QByteArrayView b, bool final, const char *reasonUtf8)
{
    const qsizetype next = nextRequestStart(b, 1);
    if (next > 0)
        return bad(next, reasonUtf8);
    if (!final && b.size() < MaxRequestSize)
        return needMore(true);
    return bad(b.size(), reasonUtf8);
}

Result parseRecords(QByteArrayView b, qsizetype p, bool final, Request req)
{
    static const QByteArray New = QByteArrayLiteral("New");
    const qsizetype avail = b.size() - p;
    if (avail < New.size()) {
        if (New.startsWith(b.sliced(p)))
            return final ? bad(b.size(), "Запрос получен не полностью.", req.tag) : needMore(false);
        return garbage(b, final, "Запрос должен начинаться словом «New».");
    }
    if (b.sliced(p, New.size()) != New)
        return garbage(b, final, "Запрос должен начинаться словом «New».");
    p += New.size();
    req.records = true;
    const auto cut = [&]() {
        return final ? bad(b.size(), "Запрос получен не полностью.", req.tag) : needMore(false);
    };

    while (true) {
        if (p >= b.size()) {
            // Ended after a position record: the option list may still be coming.
            if (!final)
                return needMore(true);
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
            if (p + 1 >= b.size())
                return cut();
            const int n = static_cast<unsigned char>(b[p + 1]);
            if (p + 2 + n > b.size())
                return cut();
            const QByteArray text = b.sliced(p + 2, n).toByteArray();
            if (c == 2) {
                tCDictPos d(-1);
                d.readText(text);
                req.dict = d;
            } else {
                tCConcPos k;
                k.readText(text);
                req.conc = k;
            }
            p += 2 + n;
            continue;
        }
        if (c == 5) {
            if (p + 1 >= b.size())
                return cut();
            if (b[p + 1] != '/')
                return garbage(b, final, "Список параметров запроса искажён.");
            qsizetype q = p + 2;
            qint64 length = 0;
            int digits = 0;
            while (q < b.size() && b[q] >= '0' && b[q] <= '9' && digits <= MaxLengthDigits) {
                length = length * 10 + (b[q] - '0');
                ++q;
                ++digits;
            }
            if (q >= b.size())
                return digits > MaxLengthDigits ? garbage(b, final, "Список параметров запроса искажён.")
                                                : cut();
            if (digits == 0 || digits > MaxLengthDigits || b[q] != '/')
                return garbage(b, final, "Список параметров запроса искажён.");
            if (q + 1 >= b.size())
                return cut();
            if (b[q + 1] != 5)
                return garbage(b, final, "Список параметров запроса искажён.");
            if (length > MaxRequestSize)
                return bad(b.size(), "Запрос слишком длинный.", req.tag);
            const qsizetype start = q + 2;
            if (b.size() - start < length)
                return b.size() > MaxRequestSize ? bad(b.size(), "Запрос слишком длинный.", req.tag)
                                                 : cut();
            req.options = OptionList::fromCommaText(b.sliced(start, length).toByteArray());
            p = start + length;
            break;   // the option list is the last record
        }
        return garbage(b, final, "После записей запроса лишний текст.");
    }
    return complete(p, std::move(req));
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

namespace {

Result parseFront(QByteArrayView b, bool final)
{
    if (b.isEmpty())
        return needMore(false);
    if (isFiller(b[0])) {
        qsizetype n = 0;
        while (n < b.size() && isFiller(b[n]))
            ++n;
        Result r;
        r.status = Status::Filler;
        r.size = n;
        return r;
    }
    if (b[0] != '$')
        return garbage(b, final, "Запрос не распознан: он должен начинаться с «$» и имени запроса.");

    qsizetype p = 1;
    while (p < b.size() && isTagChar(b[p]) && p - 1 < MaxTagLength)
        ++p;
    if (p >= b.size()) {
        if (p - 1 <= MaxTagLength)
            return final ? bad(b.size(), "Запрос получен не полностью.") : needMore(false);
        return garbage(b, final, "Запрос не распознан: слишком длинное имя запроса.");
    }
    if (b[p] != '=' || p == 1)
        return garbage(b, final, "Запрос не распознан: за именем запроса должен следовать «=».");

    Request req;
    req.tag = b.sliced(1, p - 1).toByteArray();
    req.known = isClientTag(req.tag);
    const qsizetype paramsAt = p + 1;

    if (isRecordTag(req.tag)) {
        Result r = parseRecords(b, paramsAt, final, std::move(req));
        if (r.status == Status::Complete)
            r.request.params = b.sliced(paramsAt, r.size - paramsAt).toByteArray();
        return r;
    }

    // Plain text: up to the next request, or to the end of what has arrived.
    const qsizetype next = nextRequestStart(b, paramsAt);
    if (next >= 0) {
        req.params = b.sliced(paramsAt, next - paramsAt).toByteArray();
        return complete(next, std::move(req));
    }
    req.params = b.sliced(paramsAt).toByteArray();
    // Texts with a fixed content prove their own end.
    const bool proven = (req.tag == "INFO" && req.params.isEmpty())
        || ((req.tag == "CL_E" || req.tag == "CL_B") && req.params == "New");
    if (!proven && !final) {
        if (b.size() > MaxRequestSize)
            return bad(b.size(), "Запрос слишком длинный.", req.tag);
        return needMore(true);
    }
    return complete(b.size(), std::move(req));
}

} // namespace

Result parse(QByteArrayView b, bool final)
{
    Result r = parseFront(b, final);
    // However it is read, a request never grows beyond the cap.
    if (r.status == Status::NeedMore && b.size() >= MaxRequestSize)
        return bad(b.size(), "Запрос слишком длинный.", r.request.tag);
    return r;
}

} // namespace wirerequest
