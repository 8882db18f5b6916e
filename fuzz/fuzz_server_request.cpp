// The server's request reading and answering, with the whole service of a small
// corpus (built once, in a temporary folder) so that concordance requests reach the
// query, the value lists, the lines, the text pages and the grid.
//
// Two modes, chosen by the first byte:
// - bytes: the input arrives in pieces (the first byte chooses the piece size);
//   each piece is cut into requests as a TCP connection does, keeping the read
//   progress between pieces, then whatever is left is cut with `final` as after
//   the quiet period;
// - built (high bit set): a concordance request ("CN_C" ... "CT_D") is built the
//   way the client builds one, its position and options taken from the input, and
//   sent through the same reading.
// Invariants: nothing crashes; every step takes between 1 byte and what is there;
// a final parse never waits; no byte is lost or counted twice; reading with the
// progress kept cuts exactly as reading from the start; every reply carries a
// length header equal to its size and a tag the client finds, the request's own or
// "ZERO".
#include "model/ConcPos.h"
#include "model/Cp1251.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/RequestWriter.h"
#include "wire/ReplyReader.h"
#include "service/CorvusService.h"
#include "service/ServerSetup.h"
#include "wire/RequestReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

// Made once and never destroyed: its sort worker must not be stopped at exit.
const CorvusService *theService = nullptr;
std::shared_ptr<CorvusService> *keptService = nullptr;
QTemporaryDir *folder = nullptr;   // removed at exit

void write(const QString &path, const char *utf8)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    check(f.open(QIODevice::WriteOnly));
    f.write(utf8);
}

void buildService()
{
    folder = new QTemporaryDir;
    check(folder->isValid());
    std::atexit([] { delete folder; });
    QTemporaryDir *dir = folder;
    const QString root = dir->path() + QStringLiteral("/corpus");
    write(root + QStringLiteral("/prose/Пушкин/Метель.txt"),
          "В конце 1811 года, в эпоху нам достопамятную, жил в своём поместье Ненарадове добрый "
          "Гаврила Гаврилович Р**. Он славился во всей округе гостеприимством и радушием; соседи "
          "поминутно ездили к нему поесть, попить, поиграть по пяти копеек в бостон с его женою.\n\n"
          "Марья Гавриловна была воспитана на французских романах и, следственно, была влюблена.\n");
    write(root + QStringLiteral("/prose/Пушкин/info.csv"), "name,year,title\nМетель,1830,\"Метель, повесть\"\n");
    write(root + QStringLiteral("/стихи/Лермонтов/Парус.txt"),
          "Белеет парус одинокой\nВ тумане моря голубом!..\nЧто ищет он в стране далёкой?\n"
          "Что кинул он в краю родном?..\n");
    write(root + QStringLiteral("/fortunes/ru"),
          "Лес рубят — щепки летят.\n%\nТише едешь — дальше будешь.\n\t\t-- Пословица, 1900\n%\n");
    const QString thesaurus = dir->path() + QStringLiteral("/th.dat");
    write(thesaurus, "UTF-8\nлес|1\n(синоним)|бор|роща\nпарус|1\n(синоним)|ветрило\n");

    ServerOptions options;
    options.corpusPaths = {root};
    options.cacheDir = dir->path() + QStringLiteral("/cache");
    options.thesaurusPath = thesaurus;
    options.thesaurusGiven = true;
    LoadedService loaded = loadService(options);
    check(bool(loaded.service));
    keptService = new std::shared_ptr<CorvusService>(loaded.service);
    theService = keptService->get();
}

void answer(const wirerequest::Request &request)
{
    const ServiceOutcome out = theService->handle(request, SessionInfo{});
    const QByteArray &reply = out.reply;
    check(reply.startsWith("##"));
    const qsizetype hashes = reply.indexOf("###", 2);
    check(hashes > 2);
    check(reply.mid(2, hashes - 2).toLongLong() == reply.size() - hashes - 3);
    tCConcPos conc;
    tCDictPos dict(-1);
    OptionList options;
    const auto read = replyreader::readReply(reply.mid(hashes + 3), conc, dict, options);
    check(read.found);
    if (request.known && request.records)
        check(read.tag == request.tag || read.tag == "ZERO");
}

// Takes what can be taken from the front of `buffer`; returns the bytes taken.
// Cuts with the progress kept, and checks each cut against one from the start.
qsizetype drain(QByteArray &buffer, bool final, wirerequest::Progress &progress)
{
    qsizetype taken = 0;
    while (!buffer.isEmpty()) {
        const wirerequest::Result r = wirerequest::parse(buffer, final, &progress);
        const wirerequest::Result fresh = wirerequest::parse(buffer, final);
        check(r.status == fresh.status && r.size == fresh.size && r.settles == fresh.settles);
        if (r.status == wirerequest::Status::NeedMore) {
            check(!final);
            check(r.size == 0);
            break;
        }
        check(r.size > 0 && r.size <= buffer.size());
        if (r.status == wirerequest::Status::Complete) {
            check(r.request.tag.size() >= 1 && r.request.tag.size() <= wirerequest::MaxTagLength);
            check(r.request.params == fresh.request.params);
            answer(r.request);
        } else if (r.status == wirerequest::Status::Bad) {
            check(!r.reason.isEmpty());
            answer(wirerequest::Request{});   // an unknown, empty request: "ZERO"
        }
        progress = wirerequest::Progress();
        buffer.remove(0, r.size);
        taken += r.size;
    }
    return taken;
}

void readInPieces(const QByteArray &input, qsizetype piece)
{
    QByteArray buffer;
    wirerequest::Progress progress;
    qsizetype taken = 0;
    for (qsizetype at = 0; at < input.size(); at += piece) {
        buffer += input.mid(at, piece);
        taken += drain(buffer, false, progress);
    }
    taken += drain(buffer, true, progress);
    check(buffer.isEmpty());
    check(taken == input.size());
}

// The input as a source of small numbers and short texts.
class Source {
public:
    Source(const uint8_t *data, size_t size) : m_p(data), m_end(data + size) {}
    uint8_t byte() { return m_p < m_end ? *m_p++ : 0; }
    // -2 .. range - 3: mostly valid numbers, some just outside.
    qint32 number(int range) { return qint32(byte() % (range + 2)) - 2; }
    QByteArray text(int max)
    {
        const int n = byte() % (max + 1);
        QByteArray t;
        for (int i = 0; i < n && m_p < m_end; ++i)
            t += char(byte());
        return t;
    }

private:
    const uint8_t *m_p;
    const uint8_t *m_end;
};

QByteArray builtRequest(Source &in)
{
    static const char *tags[] = {"CN_C", "CN_Cx", "CN_W", "CT_N", "CT_W", "CT_T", "CT_D"};
    static const char moves[] = {' ', 'B', 'E', '+', '-', 'C', '\0', 'x'};
    static const char marks[] = {'N', 'Y', 'F', ' '};
    const QByteArray tag = tags[in.byte() % 7];
    tCConcPos conc;
    conc.Level = in.number(6);
    for (int k = 0; k < tCConcPos::Levels; ++k) {
        conc.CharNo[size_t(k)] = in.number(10);
        conc.Mark[size_t(k)] = marks[in.byte() % 4];
        conc.ValueNo[size_t(k)] = in.number(60);
        conc.Distance[size_t(k)] = in.number(12) - 5;
        conc.Move[size_t(k)] = moves[in.byte() % 8];
        if (in.byte() % 4 == 0)
            conc.Request[size_t(k)] = in.byte() % 2 ? "**" + QByteArray::number(in.byte() % 40) : in.text(4);
    }
    conc.FirstLine = in.number(40);
    conc.CurLine = in.number(40);
    conc.Found[0] = in.byte() % 2 ? qint32(uint32_t(in.byte()) * 16777259u) : 0;

    static const char *names[] = {"SortSeq",  "SortD",     "ListPos",   "LBC_L_Max", "LBC_W_Max", "ConcWidth",
                                  "PrintConc", "PrintConcStr", "TabType", "ConcSBar",  "ConcSBarW", "LBC_X_Max",
                                  "TextPos",  "LBC_T_Beg", "LBC_T_End", "Char2",     "Char3",     "LBCWIndex"};
    static const char *values[] = {"CLR", "RLC", "A", "B", "Q", "TOP", "END", "NEXT", "PREV", "FULL", "True",
                                   "False", "0", "1", "5", "30", "100", "-1", "CONC24", "\xc8\xc9"};
    OptionList options = OptionList::initial();
    for (int n = in.byte() % 8; n > 0; --n) {
        const char *name = names[in.byte() % 18];
        options.set(name, in.byte() % 4 == 0 ? in.text(6) : QByteArray(values[in.byte() % 20]));
    }
    tCDictPos dict(in.number(3));
    return requests::wire(tag, requests::concDictParams(conc, dict, options));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    buildService();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 0x80) {
        Source in(data + 1, size - 1);
        QByteArray requests;
        for (int n = 1 + data[0] % 3; n > 0; --n)
            requests += builtRequest(in);
        readInPieces(requests, 1 + in.byte() % 64);
        return 0;
    }
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    readInPieces(input, 1 + data[0] % 64);
    return 0;
}
