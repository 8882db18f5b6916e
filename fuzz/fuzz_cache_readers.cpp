// The readers of the cache file behind every kind of query, on a file that passed
// only the quick check (header, section table, sizes), as the server maps it at a
// warm start. The service of a small corpus is loaded once from scratch, which
// writes its cache file with the tables of the concordance and the dictionaries.
// Each input patches that file (a section, an offset in it, bytes), puts back the
// digest of the header and section table when the table was patched (so that more
// patched tables pass the quick check), and, when the quick check passes, loads
// the service from the file without its full check and asks it value lists in
// their orders and with prefixes, lines pages in several sort sequences, text
// pages, dictionary lists and entries, then requests built from the rest of the
// input. (The inputs are patches of one build's file: kept ones do not carry over
// to another build; tst_corpus_cache_readers keeps the classes of faults found.)
// Invariants: nothing crashes, reads outside the mapping, hangs or allocates
// without bound; every reply has a correct length header.
#include "corpus/CorpusData.h"
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "service/CorvusService.h"
#include "service/ServerSetup.h"
#include "wire/RequestReader.h"
#include "wire/RequestWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

QTemporaryDir *folder = nullptr;   // removed at exit
ServerOptions *options = nullptr;
QString cachePath;
QByteArray pristine, fingerprint;

void write(const QString &path, const char *utf8)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    check(f.open(QIODevice::WriteOnly));
    f.write(utf8);
}

void makeCache()
{
    folder = new QTemporaryDir;
    check(folder->isValid());
    std::atexit([] { delete folder; });
    const QString root = folder->path() + QStringLiteral("/corpus");
    write(root + QStringLiteral("/prose/Пушкин/Метель.txt"),
          "В конце 1811 года, в эпоху нам достопамятную, жил в своём поместье Ненарадове добрый "
          "Гаврила Гаврилович Р**. Он славился во всей округе гостеприимством и радушием.\n\n"
          "Марья Гавриловна была воспитана на французских романах и, следственно, была влюблена.\n");
    write(root + QStringLiteral("/стихи/Лермонтов/Парус.txt"),
          "Белеет парус одинокой\nВ тумане моря голубом!..\nЧто ищет он в стране далёкой?\n");
    write(root + QStringLiteral("/fortunes/ru"), "Лес рубят — щепки летят.\n%\nТише едешь — дальше будешь.\n%\n");
    write(root + QStringLiteral("/Гоголь/Сталь.conllu"),
          "# newdoc id = d1\n# newdoc genre = повесть\n"
          "1\tСтали\tсталь\tNOUN\t_\tCase=Nom\t_\t_\t_\t_\n"
          "2\tстали\tстать\tVERB\t_\tTense=Past\t_\t_\t_\tSpaceAfter=No\n"
          "3\t.\t.\tPUNCT\t_\t_\t_\t_\t_\t_\n\n");
    const QString thesaurus = folder->path() + QStringLiteral("/th.dat");
    write(thesaurus, "UTF-8\nлес|1\n(синоним)|бор|роща\nпарус|1\n(синоним)|ветрило\n");
    options = new ServerOptions;
    options->corpusPaths = {root};
    options->cacheDir = folder->path() + QStringLiteral("/cache");
    options->thesaurusPath = thesaurus;
    options->thesaurusGiven = true;
    const LoadedService cold = loadService(*options);
    check(cold.service && !cold.cacheFile.isEmpty());
    cachePath = cold.cacheFile;
    QFile f(cachePath);
    check(f.open(QIODevice::ReadOnly));
    pristine = f.readAll();
    check(pristine.size() > 64);
    fingerprint = pristine.mid(16, 32);
}

// The digest of the header (but its checksum) and the section table, where the
// digest section says it is.
void putDigest(QByteArray &file)
{
    uint32_t sections = 0;
    std::memcpy(&sections, file.constData() + 12, 4);
    const qsizetype tableEnd = 64 + qsizetype(sections) * 24;
    if (sections == 0 || sections > 10000 || tableEnd > file.size())
        return;
    const QByteArray covered = file.left(48) + file.mid(56, tableEnd - 56);
    const uint64_t digest = corvus::CacheFile::checksum(covered.constData(), size_t(covered.size()));
    for (qsizetype s = 64; s < tableEnd; s += 24) {
        uint32_t id = 0;
        uint64_t offset = 0;
        std::memcpy(&id, file.constData() + s, 4);
        std::memcpy(&offset, file.constData() + s + 8, 8);
        if (id == 103 && offset <= uint64_t(file.size() - 8))
            std::memcpy(file.data() + offset, &digest, 8);
    }
}

void answer(const CorvusService &service, const QByteArray &wire)
{
    const wirerequest::Result r = wirerequest::parse(wire, true);
    check(r.status == wirerequest::Status::Complete);
    const QByteArray reply = service.handle(r.request, SessionInfo{}).reply;
    check(reply.startsWith("##"));
    const qsizetype hashes = reply.indexOf("###", 2);
    check(hashes > 2 && reply.mid(2, hashes - 2).toLongLong() == reply.size() - hashes - 3);
}

QByteArray concRequest(const char *tag, int charNo, int valueNo, const QByteArray &prefix, const char *sortSeq,
                       int firstLine = 0)
{
    tCConcPos conc;
    conc.Level = 1;
    conc.CharNo[1] = charNo;
    conc.ValueNo[1] = valueNo;
    conc.Request[1] = prefix;
    conc.FirstLine = firstLine;
    OptionList o = OptionList::initial();
    o.set("SortSeq", sortSeq);
    o.set("ListPos", "TOP");
    return requests::wire(tag, requests::concDictParams(conc, tCDictPos(-1), o));
}

// Every kind of query, each a few ways.
void askEverything(const CorvusService &service)
{
    static const char *orders[] = {"A", "B", "Q"};
    static const char *sorts[] = {"CLR", "RLC", "LCR"};
    static const QByteArray prefixes[] = {QByteArray(), QByteArray("\xe2"), QByteArray("\xef\xe0")};
    for (int ch = 0; ch < 8; ++ch)
        for (int k = 0; k < 3; ++k) {
            answer(service, concRequest("CN_C", ch, 0, prefixes[k], orders[k]));
            answer(service, concRequest("CN_W", ch, 1, prefixes[k], orders[(k + 1) % 3], 3));
        }
    for (int ch = 0; ch < 4; ++ch)
        for (const char *sort : sorts) {
            answer(service, concRequest("CT_N", ch, 0, QByteArray(), sort));
            answer(service, concRequest("CT_W", ch, 1, QByteArray(), sort, 2));
        }
    answer(service, concRequest("CT_T", 1, 0, QByteArray(), "CLR"));
    answer(service, concRequest("CT_D", 1, 0, QByteArray(), "CLR"));
    for (int d = 0; d < 2; ++d)
        for (const char *tag : {"DC_C", "DC_CC", "DC_W", "DC_S"})
            for (int word : {-1, 0, 2}) {
                tCDictPos pos(d);
                pos.WordNo = word;
                answer(service, requests::wire(tag, requests::dictParams(pos, OptionList::initial())));
            }
}

// Requests built from the rest of the input: tag, characteristic, value, line.
void askBuilt(const CorvusService &service, const uint8_t *p, const uint8_t *end)
{
    static const char *tags[] = {"CN_C", "CN_W", "CT_N", "CT_W", "CT_T", "CT_D"};
    static const char *sorts[] = {"A", "B", "Q", "CLR", "RLC", "LCR"};
    for (int n = 0; n < 8 && end - p >= 4; ++n, p += 4)
        answer(service, concRequest(tags[p[0] % 6], p[1] % 12 - 1, p[2] % 64 - 1, QByteArray(), sorts[p[3] % 6],
                                    p[3] / 6));
}

// Where a patch goes: the section named by `which` (counting the header and the
// section table as one more), at `within` bytes into it.
size_t patchOffset(uint8_t which, uint32_t within)
{
    uint32_t sections = 0;
    std::memcpy(&sections, pristine.constData() + 12, 4);
    const size_t tableEnd = 64 + size_t(sections) * 24;
    size_t from = 0, bytes = tableEnd;
    if (which % (sections + 1) < sections) {
        const char *s = pristine.constData() + 64 + size_t(which % (sections + 1)) * 24;
        uint32_t elemSize = 0;
        uint64_t offset = 0, count = 0;
        std::memcpy(&elemSize, s + 4, 4);
        std::memcpy(&offset, s + 8, 8);
        std::memcpy(&count, s + 16, 8);
        from = size_t(offset);
        bytes = size_t(count * elemSize);
    }
    return (from + within % std::max<size_t>(bytes, 1)) % size_t(pristine.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    makeCache();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray file = pristine;
    size_t at = 0;
    bool tablePatched = false;
    for (int patches = 0; patches < 8 && at + 4 <= size; ++patches) {
        // A patch: section (1 byte), offset in it (2 bytes), length (1 byte), the
        // bytes (0xFF once the input runs out: a short input still patches).
        const size_t offset = patchOffset(data[at], uint32_t(data[at + 1] | data[at + 2] << 8));
        const size_t length = data[at + 3] % 16;
        at += 4;
        tablePatched |= offset < 64 + 24 * 200;
        for (size_t i = 0; i < length && offset + i < size_t(file.size()); ++i)
            file[qsizetype(offset + i)] = at < size ? char(data[at++]) : char(0xFF);
    }
    if (tablePatched)
        putDigest(file);
    {
        QFile out(cachePath);
        check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        check(out.write(file) == file.size());
    }
    // A file the quick check turns away makes the server build afresh: not the
    // readers' concern, and slow.
    QString why;
    if (!corvus::CacheFile::read(cachePath, fingerprint, &why, corvus::CacheCheck::Quick))
        return 0;
    const LoadedService warm = loadService(*options);
    if (!warm.service)
        return 0;
    askEverything(*warm.service);
    askBuilt(*warm.service, data + at, data + size);
    return 0;
}
