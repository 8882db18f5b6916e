// The session's texts on arbitrary replies: the reply read, then the registration
// body of "NM"/"NMD", the caption of "INFO" and the progress window's text.
// Invariants: nothing crashes or loops; the registration's message and dictionary
// names come from the body; progress values are found only with a comma after the
// first byte; every text decodes from code page 1251 and back to the same bytes.
#include "model/Cp1251.h"
#include "net/Progress.h"
#include "net/Registration.h"
#include "wire/ReplyReader.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    tCConcPos conc;
    tCDictPos dict;
    OptionList options = OptionList::initial();
    const replyreader::ReplyRead r = replyreader::readReply(input, conc, dict, options);
    const QByteArray body = r.found ? r.body : input;

    const RegistrationReply reg = readRegistration(body);
    if (reg.hasMessage)
        check(body.endsWith(reg.message));
    check(reg.hasDictionaries || reg.dictionaries.isEmpty());
    qsizetype names = 0;
    for (const QByteArray &name : reg.dictionaries)
        names += name.size();
    check(names <= body.size());

    // "INFO": the caption is the base caption, "   +" and the body, shown as text.
    const QByteArray caption = "Base   +" + body;
    check(cp1251::encode(cp1251::decode(caption)).size() == caption.size());

    const ProgressValues p = parseProgressText(body);
    if (p.max != 0 || p.pos != 0)
        check(body.indexOf(',') > 0 || body.contains(",END,"));
    return 0;
}
