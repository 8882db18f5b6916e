// What the corpus import makes of a file's bytes: the text test, charset detection
// and conversion to 1251, the tokeniser, the fortune splitter, info.csv rows,
// years and folder kinds. The first byte chooses the piece of the input each part
// reads. Invariants: nothing crashes; the 1251 text has no CR; tokens are
// non-empty, in order, inside the text and never overlap; fortune bodies lie
// inside the text in order; years read are ranges that do not run backwards;
// info.csv rows that cannot be read are named by ascending line numbers.
#include "corpus/Charset.h"
#include "corpus/Import.h"
#include "corpus/Tokeniser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

bool inside(std::string_view part, std::string_view whole)
{
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    (void)corvus::import::looksLikeText(raw);

    std::string text;
    corvus::charset::toCp1251(raw, corvus::charset::detect(raw), text);
    check(text.find('\r') == std::string::npos);
    check(corvus::charset::detect(raw) == corvus::charset::detect(raw));

    const std::string_view t(text);
    corvus::Tokeniser tokens(t);
    corvus::RawToken token;
    const char *end = t.data();
    while (tokens.next(token)) {
        check(!token.text.empty() && inside(token.text, t));
        check(token.text.data() >= end);
        end = token.text.data() + token.text.size();
        check(tokens.lineBreaksAfter() >= 0);
    }

    if (corvus::import::looksLikeFortunes(t)) {
        const char *last = t.data();
        for (const auto &unit : corvus::import::splitFortunes(t)) {
            check(inside(unit.body, t) && unit.body.data() >= last);
            last = unit.body.data() + unit.body.size();
            check(unit.year.from <= unit.year.to);
        }
    }

    const QByteArray bytes(raw.data(), qsizetype(raw.size()));
    std::vector<corvus::import::BadRow> bad;
    for (const corvus::import::InfoRow &row : corvus::import::parseInfoCsv(bytes, &bad)) {
        check(!row.name.isEmpty());
        check(!row.hasYear || row.year.from <= row.year.to);
        (void)corvus::import::kindOfFolderName(row.kind);
    }
    // Rows that could not be read: named by their lines, in order, each once.
    int lastBad = 0;
    for (const corvus::import::BadRow &b : bad) {
        check(b.line > lastBad && !b.reason.isEmpty());
        lastBad = b.line;
    }
    corvus::import::YearRange year;
    if (corvus::import::parseYear(t.substr(0, 16), year))
        check(year.from <= year.to && year.from > 0);
    return 0;
}
