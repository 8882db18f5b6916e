#pragma once
// Reading requests from a byte stream. A request is "$" + tag + "=" + parameter text
// with no terminator and no length, so its end is found from its content:
//
// - dictionary, concordance and text tags carry "New" + framed records (2 dictionary
//   position, 3 concordance position, 5 option list, 0 filler); the option list is
//   the last record, so it proves the end; a request that stops after a position
//   record may be complete or may be waiting for its option list;
// - "NM", "NMD" carry the version text and user name, "INFO" nothing, "CL_E" and
//   "CL_B" "New": their text runs to the next request or to the end of the bytes.
//
// Pure: the connection buffers what arrives, calls parse() and takes the bytes it
// reports. When the bytes so far may be a whole request (`settles`), the connection
// waits for a quiet period and then calls parse() with `final` set: a few
// milliseconds for a registration text short enough to travel in one TCP segment
// (`settlesSoon`), longer for anything else.
//
// A request that arrives in many small pieces is not read again from its start at
// every piece: parse() notes in a Progress how far it got, and the next call goes
// on from there, so the work per piece is proportional to the new bytes.
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace wirerequest {

constexpr qsizetype MaxRequestSize = qsizetype(1) << 20;
// A request of at most this many bytes, written at once, travels in one TCP segment
// (every TCP peer takes segments of 536 bytes), so it arrives whole or not at all.
constexpr qsizetype OneSegment = 512;
constexpr int MaxTagLength = 16;
// Options one request may carry (the client sends a few dozen); more is refused, so
// that a pending request holds memory in proportion to its bytes.
constexpr int MaxOptions = 1000;

struct Request {
    QByteArray tag;
    QByteArray params;   // the raw parameter text
    bool known = false;  // a tag that the client sends
    bool records = false;   // a "New" + records request
    // The records of a "New" + records request (a repeated record replaces the first).
    std::optional<tCDictPos> dict;
    std::optional<tCConcPos> conc;
    std::optional<OptionList> options;
};

enum class Status {
    Complete,   // `request` is whole; take `size` bytes
    NeedMore,   // keep the bytes and wait
    Bad,        // take `size` bytes and answer "ZERO" with `reason`
    Filler,     // blanks or NULs between requests; take `size` bytes silently
};

struct Result {
    Status status = Status::NeedMore;
    qsizetype size = 0;
    bool settles = false;   // NeedMore: what is there may already be the whole request
    bool settlesSoon = false;   // settles, and it is a registration text within OneSegment
    Request request;        // Complete (and the tag, when read, for Bad)
    QByteArray reason;      // Bad: Russian, 1251
    // Bad: a request too long to keep, answered now while its rest may still be
    // arriving; the caller drops what follows up to the next request (skipRest).
    bool overlong = false;
};

// How far parse() got with the request at the front of a buffer. It belongs to that
// buffer's front: the caller resets it (= Progress()) whenever it takes bytes from
// the front, and otherwise passes it unchanged with the grown buffer.
struct Progress {
    qsizetype recordsAt = 0;   // a records request: where the next record begins (0: not reached)
    Request partial;           // the records read up to recordsAt
    qsizetype clean = 0;       // no request begins before this offset (searches go on from here)
    qint64 examined = 0;       // bytes looked at since the last reset: the cost of the front request
};

// The tags that the client sends.
bool isClientTag(QByteArrayView tag);
// Whether a tag carries "New" + records.
bool isRecordTag(QByteArrayView tag);

// Parses the request at the front of `buffer`. With `final`, no more bytes are
// expected for now: a request that may be whole is taken as it is, one that is
// provably cut is Bad; NeedMore is then returned only for an empty buffer.
// With `progress`, goes on from where the previous call on the same front stopped.
Result parse(QByteArrayView buffer, bool final = false, Progress *progress = nullptr);

// After an overlong request: how many bytes at the front of `buffer` are still its
// rest. `found` when a client request starts right after them; otherwise they are
// all the bytes but a cut request start at the very end ("$CN_"), kept for more.
struct Skip {
    qsizetype size = 0;
    bool found = false;
};
Skip skipRest(QByteArrayView buffer);

} // namespace wirerequest
