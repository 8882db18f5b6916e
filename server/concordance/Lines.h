#pragma once
// Concordance lines ("CT_N") and what the text pages and the usage grid share with
// them: the sorted order of the occurrences of a position, the page of lines that a
// request asks for, the words of a line and the dictionary links of a word.
//
// Order. The lines of a position are its occurrences (ConcEngine::select) sorted by
// the option "SortSeq": three parts, the centre word (C), the left context (L) and
// the right context (R), compared in the order the code names them. A context part
// compares word by word outward from the centre (the nearest word first, up to
// kSortDepth words, punctuation skipped, never beyond the occurrence's text; a
// missing word sorts first). Words compare by the alphabetical rank of their base
// value (CharNo[0]: the word form, or the lemma for the lemma base), which is the
// Russian alphabet with "ё" after "е", case folded. Equal lines keep corpus order.
//
// Line numbers are 1-based positions in that order. A reply puts a signature of
// the order (query, base, sequence) into Found[0]; a request whose Found[0] holds
// the same signature has FirstLine/CurLine that mean lines of this order, any other
// request starts at line 1 (a new value, new filters, another sequence).
//
// Speed. Each line gets a key packing its first three comparisons, and the lines
// are put in groups by the top bits of their keys (a radix sort); a page then
// orders only the groups it touches. The full order is finished by a background
// worker and cached per (query, base, sequence) in a small LRU cache, after which
// any page is a slice; no page waits for it. Every const call is safe from many
// request threads at once.
#include "concordance/Query.h"
#include "protocol/RequestHandlers.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

class RequestHandlers;
class CorpusDictionary;
class ServedDictionary;
namespace wirerequest {
struct Request;
}

namespace corvus::conc {

class LineSink;
class ShownForms;

constexpr int kSortDepth = 25;        // context words compared on each side
constexpr int kDefaultPageLines = 10; // LBC_L_Max when the option is missing
constexpr int kMaxPageLines = 500;
constexpr int kDefaultConcWidth = 5;  // ConcWidth when the option is missing
constexpr int kMaxConcWidth = 25;
// Selections of one value with at least this many lines are ordered lazily (see
// LineOrder); their first and last kEndLines lines come from the postings, and the
// first and last kCheapEndLines of them count as a short request.
constexpr uint32_t kLazyLines = 20000;
constexpr uint32_t kEndLines = 10000;
constexpr uint32_t kCheapEndLines = 1000;

enum class SortSeq : uint8_t { CLR, CRL, LCR, LRC, RCL, RLC };
// The option "SortSeq": one of the six codes (case-insensitive); anything else is CLR.
SortSeq sortSeqFrom(QByteArrayView code);
QByteArray sortSeqCode(SortSeq seq);

// The base of lines and text: the lemma characteristic shows and sorts lemmas,
// every other base word forms.
enum class Base : uint8_t { Form, Lemma };
Base baseOf(int charNo);

// The occurrences of one selection in one sort sequence.
class LineOrder {
public:
    // groupLimit: selections of at most that many lines are grouped at once, after
    // which a page orders only the groups it touches. Larger ones are grouped by
    // the background worker or by the first page asked for in the middle; until
    // then, pages ending within heapLimit lines of either end are selected in one
    // pass with a heap.
    LineOrder(std::shared_ptr<const Corpus> corpus, std::vector<uint32_t> tokens, Base base, SortSeq seq,
              uint32_t heapLimit = 4096, uint32_t groupLimit = uint32_t(1) << 20);
    // A lazy order (LineEnds.cpp): the occurrences of one value of the query's
    // listed characteristic, the query without fixed levels or co-occurrence. Its
    // first and last kEndLines lines are found from the postings of the words
    // that sort first (or last), without making the selection; the selection and
    // its keys are made for a page in the middle, for lineOf() and for complete().
    LineOrder(std::shared_ptr<const ConcEngine> engine, Query query, uint32_t value, Base base, SortSeq seq,
              uint32_t heapLimit = 4096, uint32_t groupLimit = uint32_t(1) << 20);
    ~LineOrder();
    LineOrder(const LineOrder &) = delete;
    LineOrder &operator=(const LineOrder &) = delete;

    uint32_t size() const;
    Base base() const;
    SortSeq sequence() const;
    // The tokens of lines [from, to), 0-based, clipped to size(), in order.
    std::vector<uint32_t> lines(uint32_t from, uint32_t to) const;
    // The 0-based line of an occurrence; -1 when the token is not one.
    int64_t lineOf(uint32_t token) const;
    // Sorts everything once (later calls return at once); then lines() is a slice.
    // Stops with cancel::Cancelled when the request it runs for is cancelled.
    void complete() const;
    bool isComplete() const;
    // Grouped (or complete): a page costs the groups it touches.
    bool isGrouped() const;
    bool isLazy() const;
    // Bytes the order holds now (its lines, their keys, its known ends).
    size_t heldBytes() const;
    // Whether lines [from, to) come without a pass over the selection: the order
    // is grouped or complete, or the lines are at an end of a lazy order that is
    // known already or near enough (kCheapEndLines), or the selection is small.
    bool cheap(uint32_t from, uint32_t to) const;
    // The order itself: true when token a's line comes before token b's.
    bool before(uint32_t a, uint32_t b) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// One request's view of the lines: the order and the page.
struct LinePage {
    bool ok = false;
    QByteArray error;         // Russian, 1251, when !ok
    std::shared_ptr<const LineOrder> order;
    Query query;
    uint32_t signature = 0;   // into Found[0]
    uint32_t count = 0;       // lines found
    uint32_t first = 1;       // 1-based first line of the page
    uint32_t current = 1;     // 1-based current line (an occurrence: token())
    uint32_t pageSize = kDefaultPageLines;
    std::vector<uint32_t> tokens;   // of lines first .. first + tokens.size() - 1
    int scrollPercent = -1;   // "ConcSBar" of the reply, -1: none (everything fits)
    uint32_t currentToken = kNone;
};

// Headword links of a word: (dictionary index, 1-based headword number).
using DictLink = std::pair<int, int>;

class LineEngine {
public:
    // dictionaries: the server's dictionaries in their order (the links name them
    // by index); the corpus dictionary's headwords are the corpus lemmas.
    LineEngine(std::shared_ptr<const ConcEngine> engine,
               QList<std::shared_ptr<const ServedDictionary>> dictionaries, int cacheEntries = 48);
    ~LineEngine();
    LineEngine(const LineEngine &) = delete;
    LineEngine &operator=(const LineEngine &) = delete;

    const ConcEngine &engine() const { return *m_engine; }
    const Corpus &corpus() const { return m_engine->corpus(); }

    struct Ordered {
        bool ok = false;
        QByteArray error;   // Russian, 1251
        Query query;
        Base base = Base::Form;
        SortSeq seq = SortSeq::CLR;
        uint32_t signature = 0;
        std::shared_ptr<const LineOrder> order;
    };
    // The sorted occurrences of a position (cached), in the sequence of "SortSeq"
    // on the base CharNo[0].
    Ordered order(const tCConcPos &conc, const OptionList &options) const;
    // The order of a position when it is cached; nothing is made.
    std::shared_ptr<const LineOrder> cachedOrder(const tCConcPos &conc, const OptionList &options) const;
    // What a page (or, with oneLine, the current line) of a position will cost,
    // told from what is made already: see linesCost().
    Cost cost(const tCConcPos &conc, const OptionList &options, bool oneLine, uint32_t shortLines) const;

    // The page that a request asks for. Moves (Move[0]): 'B' first page, 'E' last
    // page, '+' / '-' the next / previous page, 'C' the page holding CurLine, ' '
    // the page at FirstLine; the option "ConcSBar" (0..100, a dragged thumb) places
    // the page in proportion; a request of another order starts at line 1.
    // pageSize 0 reads "LBC_L_Max".
    LinePage page(const tCConcPos &conc, const OptionList &options, uint32_t pageSize = 0) const;
    // The current occurrence of a request (its CurLine in its order), without
    // ordering more than that one line when the order is not complete.
    LinePage current(const tCConcPos &conc, const OptionList &options) const;

    // For the value list's reply to a word clicked in the text view (TabType with
    // "4" as its fifth character; CurLine is the clicked token): makes that token
    // the current line of the order the position now selects (CurLine, FirstLine,
    // the signature in Found[0], Move[0] 'C'). False, with nothing changed, when the
    // token is not an occurrence of the position.
    bool pointAtToken(tCConcPos &conc, const OptionList &options, uint32_t token) const;

    // The words of an occurrence's line: up to `width` words each side inside its
    // text, with punctuation; verse-line ends as "`"; corpus bytes that could be
    // taken for markers are cleaned.
    struct Context {
        QByteArray left, centre, right;
    };
    Context context(uint32_t token, int width, Base base) const;
    // The same written piece by piece where a line goes: the tokens of the context
    // ([start, end), the occurrence inside), then its left part, the occurrence
    // (writeShown) and its right part.
    struct ContextRange {
        uint32_t start = 0, end = 0;
        uint32_t text = 0;
        bool verse = false;
    };
    ContextRange contextRange(uint32_t token, int width) const;
    // With `forms` (the form base only) the tokens' texts are copied from them where
    // they hold them.
    void writeLeft(const ContextRange &r, uint32_t token, Base base, LineSink &out,
                   const ShownForms *forms = nullptr) const;
    void writeRight(const ContextRange &r, uint32_t token, Base base, LineSink &out,
                    const ShownForms *forms = nullptr) const;
    // A token as shown on the base (display form, or the lemma of a word), cleaned.
    void appendShown(uint32_t token, Base base, QByteArray &out) const;
    void writeShown(uint32_t token, Base base, LineSink &out, const ShownForms *forms = nullptr) const;
    // The display texts of the corpus's forms, made on the first call (for large
    // exports: some 9 bytes per form, kept as long as the engine).
    const ShownForms &shownForms() const;
    // "Author. Title" of a text, cleaned.
    QByteArray textName(uint32_t text) const;
    // Dictionary links of a word token (at most three, one per dictionary that has
    // its lemma, or failing that its form, as a headword).
    QList<DictLink> links(uint32_t token) const;

    // The value-list tie of a dictionary headword (the options "DTCR"/"DTCC" of a
    // "DC_S" reply): the value number and characteristic number of the value list
    // that holds the headword as a lemma (or else as a word form) with at least one
    // occurrence; nothing when none does.
    std::optional<std::pair<qint32, qint32>> entryTie(int dictNo, int place) const;

    // The server's dictionaries.
    const QList<std::shared_ptr<const ServedDictionary>> &dictionaries() const { return m_dictionaries; }
    // Test hook: drop every cached order.
    void clearCache() const;

private:
    struct Cache;
    void writeSeparator(const ContextRange &r, uint32_t t, LineSink &out) const;
    void writeHeldTokens(const ContextRange &r, uint32_t from, uint32_t to, const ShownForms &forms,
                         LineSink &out) const;
    // Whether the order of a query is made lazily (one large value, no filters).
    bool lazyEligible(const Query &q) const;

    std::shared_ptr<const ConcEngine> m_engine;
    QList<std::shared_ptr<const ServedDictionary>> m_dictionaries;
    const CorpusDictionary *m_corpusDictionary = nullptr;
    int m_corpusDict = -1;                  // index of the corpus dictionary, -1 none
    std::unique_ptr<Cache> m_cache;
    mutable std::once_flag m_shownOnce;
    mutable std::unique_ptr<const ShownForms> m_shown;
};

// A page of an order before its lines are chosen: the order, its identity and its
// size; or the order's error.
LinePage pageOfOrder(const LineEngine::Ordered &o);

// Where a page of an order of n lines with that signature begins and which line is
// current, for the moves and options of a request (LineEngine::page()), or for the
// current line alone (LineEngine::current()); 0 and 0 for no lines.
struct LineSpot {
    uint32_t first = 1;
    uint32_t current = 1;
};
LineSpot lineSpot(const tCConcPos &conc, const OptionList &options, uint32_t n, uint32_t signature, uint32_t pageSize);
LineSpot currentSpot(const tCConcPos &conc, uint32_t n, uint32_t signature, uint32_t pageSize);

// Reads an integer option; `fallback` when absent or not a number.
int intOption(const OptionList &options, const char *name, int fallback);
// The characteristic numbers of a group option ("Char2", "Char3"): one byte per
// member, characteristic number + 200; invalid numbers are skipped. Absent option:
// the engine's group members.
QList<int> groupOption(const ConcEngine &engine, const OptionList &options, int group);

// What the views of lines ("CT_N", "CT_W", "CT_T", "CT_D") share in their replies.
// The request's options; the initial list when it carries none.
OptionList optionsOf(const wirerequest::Request &request);
// "ZERO" for a request without a concordance position.
QByteArray noPositionReply();
// "ZERO" for a page with nothing to show: the engine's error, or no lines for the value.
QByteArray emptyPageReply(const LinePage &pg);
// The reply's line record: the page's first and current line, the order's signature
// in Found[0], the count of lines at the query's level, no move pending.
void setLineRecord(tCConcPos &conc, const LinePage &pg);

// The "CT_N" reply: a page of lines, or with "PrintConc"="True" every line with
// the heading fields of group 3 ("PrintConcStr"="True": the current line alone).
// An export comes as its front with the lines made as they are sent.
StreamedReply linesStream(const std::shared_ptr<const LineEngine> &lines, const wirerequest::Request &request);
// The same reply whole.
QByteArray linesReply(const std::shared_ptr<const LineEngine> &lines, const wirerequest::Request &request);

// What a "CT_N" request will cost (LineCost.cpp): a page of an order that is cached
// and grouped, or of a selection of at most kShortLines lines, or at an end of a
// lazy order (kCheapEndLines), is short; an export of every line, and a page that
// must first select and order many lines, long.
constexpr uint32_t kShortLines = 10000;
Cost linesCost(const LineEngine &lines, const tCConcPos &conc, const OptionList &options,
               uint32_t shortLines = kShortLines);
// The same for a request that shows one page of the order ("CT_N" without an
// export, "CT_D"), and for one that stands on its current line ("CT_W", "CT_T").
Cost pageCost(const LineEngine &lines, const tCConcPos &conc, const OptionList &options,
              uint32_t shortLines = kShortLines);
Cost lineCost(const LineEngine &lines, const tCConcPos &conc, const OptionList &options,
              uint32_t shortLines = kShortLines);

// Registers "CT_N", "CT_W", "CT_T" and "CT_D" (the last one offers the usage
// sub-page at registration), and the entry tie of the "DC_S" replies.
void registerViewHandlers(RequestHandlers &service, std::shared_ptr<const LineEngine> lines);

} // namespace corvus::conc
