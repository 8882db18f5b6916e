// The server's request reading and answering. Input bytes arrive in pieces (the
// first byte chooses the piece size); each piece is cut into requests as a TCP
// connection does, then whatever is left is cut with `final` as after the quiet
// period. Every request is answered by a service with a small dictionary.
// Invariants: nothing crashes; every step takes between 1 byte and what is there;
// a final parse never waits; no byte is lost or counted twice; every reply carries
// a length header equal to its size and a tag the client finds.
#include "model/ConcPos.h"
#include "model/Cp1251.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/ReplyReader.h"
#include "service/CorvusService.h"
#include "service/Thesaurus.h"
#include "service/WireRequest.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

const CorvusService &service()
{
    static const CorvusService s = [] {
        const QByteArray data = QByteArrayLiteral("UTF-8\n") + QStringLiteral(
            "лес|1\n(синоним)|бор|роща\nбор|1\n(синоним)|лес\nель|1\n(синоним)|ёлка\n"
            "ёлка|1\n(синоним)|ель\nа|1\n(синоним)|но\n").toUtf8();
        auto t = std::make_shared<const Thesaurus>(*Thesaurus::parse(data, nullptr));
        QList<std::shared_ptr<const ServedDictionary>> dicts;
        dicts.append(std::make_shared<const ServedDictionary>(
            std::make_unique<ThesaurusDictionary>(t, cp1251::ru("Тезаурус"))));
        CorpusFacts facts;
        facts.label = "fuzz";
        return CorvusService(facts, dicts);
    }();
    return s;
}

void answer(const wirerequest::Request &request)
{
    const ServiceOutcome out = service().handle(request, SessionInfo{});
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
}

// Takes what can be taken from the front of `buffer`; returns the bytes taken.
qsizetype drain(QByteArray &buffer, bool final)
{
    qsizetype taken = 0;
    while (!buffer.isEmpty()) {
        const wirerequest::Result r = wirerequest::parse(buffer, final);
        if (r.status == wirerequest::Status::NeedMore) {
            check(!final);
            check(r.size == 0);
            break;
        }
        check(r.size > 0 && r.size <= buffer.size());
        if (r.status == wirerequest::Status::Complete) {
            check(r.request.tag.size() >= 1 && r.request.tag.size() <= wirerequest::MaxTagLength);
            answer(r.request);
        } else if (r.status == wirerequest::Status::Bad) {
            check(!r.reason.isEmpty());
            answer(wirerequest::Request{});   // an unknown, empty request: "ZERO"
        }
        buffer.remove(0, r.size);
        taken += r.size;
    }
    return taken;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = 1 + data[0] % 64;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    QByteArray buffer;
    qsizetype taken = 0;
    for (qsizetype at = 0; at < input.size(); at += piece) {
        buffer += input.mid(at, piece);
        taken += drain(buffer, false);
    }
    taken += drain(buffer, true);
    check(buffer.isEmpty());
    check(taken == input.size());
    return 0;
}
