// The local link's frame decoder on arbitrary bytes cut into arbitrary chunks.
// Invariants: no crash, no payload above the cap, every frame re-encodes to the
// exact bytes it came from, and once failed the decoder stays failed.
#include "wire/LocalLinkWire.h"

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
    if (size < 1)
        return 0;
    const qsizetype step = 1 + data[0] % 32;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    LocalLinkWire::Decoder decoder;
    QByteArray consumed;
    bool failed = false;
    for (qsizetype at = 0; at < input.size() && !failed; at += step) {
        decoder.feed(input.mid(at, step));
        LocalLinkWire::Frame frame;
        for (;;) {
            const auto status = decoder.next(&frame);
            if (status == LocalLinkWire::Decoder::Status::NeedMore)
                break;
            if (status == LocalLinkWire::Decoder::Status::Error) {
                check(decoder.failed() && !decoder.error().isEmpty());
                check(decoder.next(&frame) == LocalLinkWire::Decoder::Status::Error);
                failed = true;
                break;
            }
            check(LocalLinkWire::isKnownOp(frame.op));
            check(quint64(frame.payload.size()) <= LocalLinkWire::MaxPayload);
            consumed += LocalLinkWire::encodeFrame(frame.op, frame.payload);
        }
    }
    check(input.startsWith(consumed));
    if (!failed)
        check(consumed.size() + decoder.buffered() == input.size());
    return 0;
}
