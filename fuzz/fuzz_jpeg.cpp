// Reference pictures: arbitrary bytes through the libjpeg decoder. Invariants: it
// returns (libjpeg's fatal errors come back as an error text), a picture has the
// size it announces, and a failure always says why.
#include "dictionary/core/JpegDecoder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const dictcore::JpegResult r = dictcore::decodeJpeg(input);
    if (r.image) {
        if (r.image->width <= 0 || r.image->height <= 0
            || r.image->rgb.size() != qsizetype(r.image->width) * r.image->height * 3)
            abort();
    } else if (r.error.isEmpty()) {
        abort();
    }
    return 0;
}
