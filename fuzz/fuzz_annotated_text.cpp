// Readers of annotated corpora: a vertical text with a declaration, and a CoNLL-U
// file, from the same bytes. The first byte chooses where the declaration ends.
// Invariants: no crash, no read outside the input; every token has a form, every
// skipped line a number within the input's lines.
#include "corpus/AnnotatedText.h"
#include "corpus/TextCleaning.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkParsed(const corvus::annotated::Parsed &p, const std::string &text)
{
    const int lines = int(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const auto &d : p.documents) {
        for (const auto &t : d.tokens) {
            check(!t.form.empty());
            check(t.breakAfter >= 0 && t.breakAfter <= 2);
            std::string w = t.form;
            corvus::cleaning::fixLookAlikes(w);
            check(w.size() == t.form.size());
        }
    }
    for (const auto &s : p.skipped)
        check(s.line >= 1 && s.line <= lines && !s.reason.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t split = std::min(size - 1, size_t(data[0]));
    const QByteArray declaration(reinterpret_cast<const char *>(data + 1), qsizetype(split));
    const std::string text(reinterpret_cast<const char *>(data + 1 + split), size - 1 - split);
    QString error;
    const auto layout = corvus::annotated::parseVrtDeclaration(declaration, &error);
    check(layout || !error.isEmpty());
    if (layout)
        checkParsed(corvus::annotated::readVrt(text, *layout), text);
    checkParsed(corvus::annotated::readConllu(text), text);
    for (uint32_t cp = data[0] * 256u; cp < data[0] * 256u + 256u; ++cp)
        (void)corvus::cleaning::baseLatinLetter(cp);
    return 0;
}
