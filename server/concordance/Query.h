#pragma once
// The concordance query engine shared by every concordance handler of Corvus: the
// characteristics of the corpus (what the value lists list and the filters test),
// their groups, and the selection of the occurrences that a concordance position
// (tCConcPos) describes. Built once from the corpus index; read-only afterwards,
// so every const call is safe from any number of request threads at once (the
// engine's own caches lock internally).
//
// Set-up (ServerSetup): build one engine per corpus and register the handlers:
//
//     auto engine = std::make_shared<const corvus::conc::ConcEngine>(corpus);
//     corvus::conc::registerListHandlers(*service, engine, clickHook);   // CN_C, CN_Cx, CN_W
//     ...the handlers of the lines, text pages and grid take the same engine.
//
// clickHook (optional) lets the lines' owner re-aim the position of a "CN_W" reply
// to a word clicked in the text view (option "TabType" with "4" as its fifth
// character, CurLine = the clicked token): it is called with the reply's position
// (ValueNo[Level] already on the clicked token's value, fixed levels adjusted so
// that the token satisfies them) and may set CurLine/FirstLine/Found[0]/Move[0].
//
// The semantics (documented for users in docs/concordance-lists.md):
//
// - Tokens. Only word tokens take part: punctuation has no value of any
//   characteristic, is never an occurrence and is not counted in distances.
//   Token numbers are the corpus's global numbers (Corpus::tokenCount()).
// - Values. Every characteristic numbers its distinct values 0..valueCount()-1 in
//   its alphabetical order: AlphaNo IS the value id. The word-form characteristic
//   uses the word-form lexicon's ids unchanged (value id == Corpus::formOf(token)).
//   Word-level characteristics take their value from the token's word type
//   (Corpus::typeOf: its form in a plain corpus, its annotated form in another).
//   A characteristic whose value can be missing for a token (the lemma of a word
//   hunspell does not know, the author or year of a text without one) has the
//   empty value: text "", id 0 (it sorts first).
// - Levels. Level `Level` (1..5) is the active level: its CharNo is the listed
//   characteristic and its ValueNo the selected value. Every other level 1..5 whose
//   Mark is 'Y' is a fixed condition: the token's value of CharNo[k] is ValueNo[k];
//   or, when Request[k] is "**" followed by value numbers joined by "," (or ".",
//   the record's written form of ","), any of those values. Marks 'N' and 'F' and
//   Mark[0] do not filter (the client sends 'F' on the active row and may send
//   Mark[0] 'N' while rows are fixed).
// - Co-occurrence. A level k with Distance d != 0 tests the words near the
//   occurrence instead of the occurrence itself: the condition holds when one of
//   the |d| nearest words of the same text on the right (d > 0) or on the left
//   (d < 0) has the value ("within d", punctuation skipped). On the active level
//   the value list lists the values found in those windows, and the selection of
//   value v is the occurrences (of the fixed levels) that have v within d.
// - Level 0. CharNo[0] is the base of lines and text (group 1: word form or lemma),
//   ValueNo[0] the size of the value list; neither selects anything.
#include "corpus/CacheTables.h"
#include "corpus/Corpus.h"
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class RequestHandlers;

namespace corvus::conc {

// Characteristic numbers (the order of the "CN_C" reply).
enum CharNo : int {
    kCharForm = 0,      // word form, case-folded ("ё" kept apart)
    kCharLemma = 1,     // lemma from hunspell; empty for words it does not know
    kCharAuthor = 2,    // author of the text; empty when unknown
    kCharTitle = 3,     // title of the text
    kCharKind = 4,      // "проза", "стихи" or "изречения" (units of a fortune collection)
    kCharYear = 5,      // year or range of years of the text ("1862-1864"); empty when unknown
    kCharDecade = 6,    // decade of the text's (first) year ("1830-е"); empty when unknown
    kCharEnding = 7,    // last two letters of the folded word form (the whole of a shorter one)
    kCharLength = 8,    // number of letters of the word form
    kCharCount = 9      // every corpus has these; an annotated one has more after them
                        // (part of speech, features, text attributes: see CharSpec)
};

// One characteristic: its values, their orders and counts, and the value of each
// token. Value ids are alphabetical ranks (see above).
class Characteristic {
public:
    virtual ~Characteristic() = default;

    // Russian name as the client shows it (1251).
    const QByteArray &name() const { return m_name; }
    // Number of distinct values (the empty value included when some token has it).
    uint32_t valueCount() const { return uint32_t(m_count.size()); }
    // True when the value depends only on the token's text (author, title, kind,
    // year, decade); false for the word-level ones (form, lemma, ending, length).
    bool perText() const { return m_perText; }
    // The empty value's id (0), or corvus::kNone when no token lacks a value.
    uint32_t emptyValue() const { return m_hasEmpty ? 0 : kNone; }
    // True for the numeric characteristics (year, decade, length), whose
    // alphabetical order is the order of the numbers.
    bool numeric() const { return !m_textSorted; }

    // The value of a token; kNone for punctuation (and tokens out of range, and
    // whatever a damaged cache file puts out of range: every accessor here checks
    // the ids and offsets it reads, see "Reading the cache file safely").
    uint32_t valueOf(uint32_t token) const
    {
        if (token >= m_corpus->tokenCount() || m_corpus->isPunct(token))
            return kNone;
        const Span<uint32_t> values = m_perText ? m_byText.span() : m_byType.span();
        const uint32_t at = m_perText ? m_corpus->textOf(token) : m_corpus->typeOf(token);
        const uint32_t v = at < values.size() ? values[at] : kNone;
        return v < valueCount() ? v : kNone;
    }
    // The value's text, 1251, as shown in the lists: folded for word forms, lemmas
    // and endings, as written for metadata; "" for the empty value.
    virtual std::string_view text(uint32_t value) const = 0;
    QByteArray textBytes(uint32_t value) const
    {
        const std::string_view t = text(value);
        return QByteArray(t.data(), qsizetype(t.size()));
    }
    // Exact lookup of a value by its text (case-insensitive); kNone when absent.
    uint32_t find(std::string_view cp1251) const;

    // Word tokens that carry the value in the whole corpus.
    uint32_t count(uint32_t value) const { return value < m_count.size() ? m_count[value] : 0; }
    // Orders: alphabetical rank == id; reverse ("обратная": rhyme order of the
    // texts, descending for the numeric characteristics year, decade and length);
    // frequency (count descending, ties alphabetical).
    uint32_t reverseRank(uint32_t value) const { return rankIn(m_revRank, value); }
    uint32_t frequencyRank(uint32_t value) const { return rankIn(m_freqRank, value); }
    Span<uint32_t> reverseOrder() const { return m_revOrder; }
    Span<uint32_t> frequencyOrder() const { return m_freqOrder; }

    // Tables behind valueOf(): the value of each word type (word-level
    // characteristics; see Corpus::typeOf) or of each text (per-text ones); the
    // other is empty.
    Span<uint32_t> byType() const { return m_byType; }
    Span<uint32_t> byText() const { return m_byText; }
    // The word types (word-level) or text ids (per-text) that have the value,
    // ascending.
    // (An empty range for a value out of range or offsets that are.)
    const uint32_t *membersBegin(uint32_t value) const { return m_members.data() + memberRange(value).first; }
    const uint32_t *membersEnd(uint32_t value) const { return m_members.data() + memberRange(value).second; }

protected:
    uint32_t rankIn(const Table<uint32_t> &ranks, uint32_t value) const
    {
        const uint32_t r = value < ranks.size() ? ranks[value] : kNone;
        return r < valueCount() ? r : kNone;
    }
    std::pair<uint32_t, uint32_t> memberRange(uint32_t value) const
    {
        if (size_t(value) + 1 >= m_memberOffsets.size())
            return {0, 0};
        const uint32_t from = m_memberOffsets[value], to = m_memberOffsets[value + 1];
        return from <= to && to <= m_members.size() ? std::make_pair(from, to) : std::make_pair(0u, 0u);
    }
    friend struct CharacteristicBuilder;
    friend struct EngineTables;
    const Corpus *m_corpus = nullptr;
    QByteArray m_name;
    bool m_perText = false;
    bool m_hasEmpty = false;
    bool m_textSorted = true;   // ids follow the folded texts' alphabetical order
    // Built, or mapped from the cache file (see ConcEngine).
    Table<uint32_t> m_count;
    Table<uint32_t> m_revOrder, m_revRank, m_freqOrder, m_freqRank;
    Table<uint32_t> m_byType, m_byText;
    Table<uint32_t> m_memberOffsets, m_members;
};

// A group of characteristics as the "CN_Cx" reply sends it: a name and a pattern
// with one character per characteristic ("X" the default member, "1".."9" members
// by rank, "0" not a member).
struct Group {
    QByteArray name;      // 1251
    QByteArray pattern;   // kCharCount characters
};

// One condition on an occurrence, read from a level of the position.
struct Condition {
    int level = 0;
    int charNo = 0;
    std::vector<uint32_t> values;   // ascending, distinct, each < valueCount()
    int distance = 0;               // 0: the occurrence itself; else the window
};

// What a position asks for, validated. Built by ConcEngine::parse().
struct Query {
    bool ok = false;
    QByteArray error;                  // Russian, 1251, for a "ZERO" reply when !ok
    int level = 1;                     // the active level, 1..5 (0 in the record reads as 1)
    int listChar = 0;                  // CharNo[level]
    int distance = 0;                  // Distance[level]
    int64_t selected = -1;             // ValueNo[level] when it names a value, else -1
    std::vector<Condition> fixed;      // the fixed levels, in level order
};

// The occurrences that a position selects.
struct Selection {
    bool ok = false;
    QByteArray error;                  // Russian, 1251, when !ok
    Query query;
    uint32_t value = kNone;            // the selected value of query.listChar
    std::vector<uint32_t> tokens;      // ascending word-token numbers; size() is Found
};

class ConcEngine {
public:
    // The characteristics and the texts' vocabularies are taken from the tables the
    // corpus's cache file holds (ConcEngine's own ids there), when they are there
    // and pass the checks (every id and offset when the reader asks for the full
    // check); otherwise they are built.
    explicit ConcEngine(std::shared_ptr<const Corpus> corpus);
    ~ConcEngine();
    // Whether the tables came from the cache file.
    bool fromTables() const { return m_fromTables; }
    // Hands the tables to the writer of the cache file (they stay in this engine).
    void saveTables(TableWriter &out) const;
    // 0, 1, 2 ... (typeCount() + 1 of them): the alphabetical order of any list.
    Span<uint32_t> identity() const { return m_identity; }
    ConcEngine(const ConcEngine &) = delete;
    ConcEngine &operator=(const ConcEngine &) = delete;

    const Corpus &corpus() const { return *m_corpus; }
    const std::shared_ptr<const Corpus> &corpusPtr() const { return m_corpus; }

    int characteristicCount() const { return int(m_chars.size()); }
    bool validChar(int charNo) const { return charNo >= 0 && charNo < characteristicCount(); }
    // Precondition: validChar(charNo).
    const Characteristic &characteristic(int charNo) const { return *m_chars[size_t(charNo)]; }

    // Groups 0..3: the value-list kinds, the bases of lines and text, the usage-grid
    // columns, the export heading.
    const QList<Group> &groups() const { return m_groups; }
    // The members of a group in the client's order (rank, then number).
    QList<int> groupMembers(int group) const;

    // Reads the levels of a position (see the header comment). Fails with a Russian
    // reason for a characteristic or value number out of range.
    Query parse(const tCConcPos &conc) const;

    // The occurrences of the selected value of the active level (ValueNo[Level] of
    // CharNo[Level]) that satisfy every fixed level, with the co-occurrence window of
    // the active level when its Distance is not 0. Fails (ok false, Russian error)
    // when the position is unreadable or no value is selected (ValueNo[Level] < 0).
    // `options` is accepted for future use (nothing in it changes the selection).
    Selection select(const tCConcPos &conc, const OptionList &options) const;
    // The same for a parsed query and a value of its listed characteristic.
    std::vector<uint32_t> occurrences(const Query &query, uint32_t value) const;

    // The word tokens of the co-occurrence window of `token`: up to |distance| words
    // of the same text to the right (distance > 0) or left (< 0), nearest first.
    void window(uint32_t token, int distance, std::vector<uint32_t> &out) const;

    // Word tokens satisfying every condition, ascending. With no condition: every
    // word token.
    std::vector<uint32_t> matching(const std::vector<Condition> &conditions) const;

    // The distinct word types of a text with their number of occurrences in it,
    // ascending type ids: counts under per-text filters cost the text's
    // vocabulary, not its length.
    struct TypeCount {
        uint32_t type;
        uint32_t count;
    };
    // (An empty range for a text out of range or offsets that are.)
    const TypeCount *textTypesBegin(uint32_t text) const { return m_textTypes.data() + textTypeRange(text).first; }
    const TypeCount *textTypesEnd(uint32_t text) const { return m_textTypes.data() + textTypeRange(text).second; }

    struct Private;

private:
    void buildTextTypes();
    std::pair<uint32_t, uint32_t> textTypeRange(uint32_t text) const
    {
        if (size_t(text) + 1 >= m_textTypeOffsets.size())
            return {0, 0};
        const uint32_t from = m_textTypeOffsets[text], to = m_textTypeOffsets[text + 1];
        return from <= to && to <= m_textTypes.size() ? std::make_pair(from, to) : std::make_pair(0u, 0u);
    }

    std::shared_ptr<const Corpus> m_corpus;
    std::vector<std::unique_ptr<Characteristic>> m_chars;
    QList<Group> m_groups;
    Table<uint32_t> m_identity;   // 0, 1, 2 ... (typeCount() + 1 of them)
    Table<uint32_t> m_textTypeOffsets;
    Table<TypeCount> m_textTypes;
    bool m_fromTables = false;
    std::unique_ptr<Private> d;
};

// A reply body with the concordance records in front: the concordance position,
// then the dictionary position (when given), then the option list (when given and
// not empty), then the text.
QByteArray replyBody(const tCConcPos *conc, const tCDictPos *dict, const OptionList *options,
                     const QByteArray &text);

// Called by "CN_W" for a word clicked in the text view (see the top of this file):
// the reply's position, the reply's options, the clicked token.
using ClickHook = std::function<void(tCConcPos &conc, const OptionList &options, uint32_t token)>;

// Registers "CN_C", "CN_Cx" and "CN_W" (ValueList.cpp).
void registerListHandlers(RequestHandlers &service, std::shared_ptr<const ConcEngine> engine,
                          ClickHook clickHook = {});

} // namespace corvus::conc
