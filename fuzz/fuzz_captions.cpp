// Captions of text attributes on the wire: the input is the attribute lines of a
// vrt.conf ("attribute.<key>=<caption>") and, from its first line, a key of a
// document's own; a one-text corpus with those attributes is built and its
// characteristics reply ("CN_C") made. Invariants: nothing crashes; the client's
// reader finds exactly one reply, tagged "CN_C"; its body holds no "$" (no tag or
// link marker), no control byte and no backquote; every caption kept is so cleaned.
#include "concordance/Query.h"
#include "concordance/ValueList.h"
#include "concordance/core/ConcReplies.h"
#include "corpus/AnnotatedText.h"
#include "corpus/Charset.h"
#include "corpus/CorpusData.h"
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "service/CorvusService.h"
#include "wire/ReplyReader.h"
#include "wire/RequestReader.h"
#include "wire/RequestWriter.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

bool clean(const QByteArray &text)
{
    for (const char c : text)
        if (uint8_t(c) < 32 || c == '$' || c == '`')
            return false;
    return true;
}

std::shared_ptr<const corvus::Corpus> corpusWith(const QByteArray &input)
{
    using namespace corvus;
    const auto layout = annotated::parseVrtDeclaration("columns=word\n" + input, nullptr);
    CorpusOptions options;
    BuildStats stats;
    CorpusBuilder b(options, QString(), stats);
    TextInfo info;
    info.title = "t";
    const QByteArray ownKey = input.left(input.indexOf('\n') < 0 ? 40 : std::min<qsizetype>(input.indexOf('\n'), 40));
    if (!ownKey.isEmpty())
        info.attributes.push_back({b.attributeIndex(ownKey, QByteArray()), "v"});
    if (layout)
        for (size_t i = 0; i < layout->attributeNames.size() && i < 8; ++i) {
            const auto &[key, caption] = layout->attributeNames[i];
            const uint32_t k = b.attributeIndex(QByteArray::fromStdString(key), charset::toCp1251(caption));
            if (info.attributes.empty() || info.attributes.back().key < k)
                info.attributes.push_back({k, "w"});
        }
    annotated::Document doc;
    annotated::Token word;
    word.form = "x";
    doc.tokens = {word};
    b.addDocument(doc, info);
    return b.finish(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(std::min<size_t>(size, 4096)));
    const auto corpus = corpusWith(input);
    check(bool(corpus));
    for (uint32_t k = 0; k < corpus->attributeCount(); ++k)
        check(clean(corpus->attributeCaption(k)));

    auto service = std::make_shared<CorvusService>(CorpusFacts{"t", 1, 1},
                                                   QList<std::shared_ptr<const ServedDictionary>>{});
    corvus::conc::registerListHandlers(*service, std::make_shared<const corvus::conc::ConcEngine>(corpus));
    const QByteArray wire = requests::wire("CN_C", requests::dictParams(tCDictPos(0), OptionList::initial()));
    const wirerequest::Result parsed = wirerequest::parse(wire, true);
    check(parsed.status == wirerequest::Status::Complete);
    const QByteArray reply = service->handle(parsed.request, SessionInfo{}).reply;
    const qsizetype hashes = reply.indexOf("###", 2);
    check(reply.startsWith("##") && hashes > 2);
    const QByteArray text = reply.mid(hashes + 3);
    check(text.count("$CN_C=") == 1);
    tCConcPos conc;
    tCDictPos dict(-1);
    OptionList options;
    const auto read = replyreader::readReply(text, conc, dict, options);
    check(read.found && read.tag == "CN_C");
    check(clean(read.body) && !read.body.contains('$'));
    conccore::parseCharacteristics(read.body);
    return 0;
}
