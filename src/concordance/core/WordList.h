#pragma once
// Decisions of the concordance value list (LBC_W): typing a prefix, the width keys,
// paging by keys and by the scroll bar, the numbering line of the selected value,
// the counts caption and the frequency suffix. The page widgets carry them out.
#include "ConcReplies.h"

#include "model/ConcPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <optional>

namespace conccore {

// ---- Orders ----

// The order letter of CB_SortD's item: "A", "B", "Q"; "A" for anything else.
QByteArray sortLetter(int index);
// The item of CB_SortD for an order letter: its position in "ABQ"; -1 when absent.
int sortIndex(const QByteArray &SortD);

// ---- Captions ----

// L_Quant: "Объём(словоупотр.)" above characteristic 1, else "Кол.словоупотр.";
// "Частота словоупотр." whenever the list is ordered by frequency.
QByteArray quantCaption(qint32 charNo, int sortIndex);
// " ,НА=" alpha [" ,НФЧ=" filtered] " ,НЧ=" frequency, numbers counted from 1.
QByteArray frequencySuffix(const ListRecord &r, bool filterOn);
// `text` with the suffix, unless it already carries one (",НЧ=").
QByteArray withFrequencySuffix(const QByteArray &text, const ListRecord &r, bool filterOn);

struct Numbering {
    QByteArray text;   // " Ном.в слов." ... (numbers from 1)
    qint64 first = 0;  // the first number of the text
};
// The numbering of the selected value by its order ("A"/"B" or "Q"; empty is "A")
// and whether the first filter row is on.
Numbering numbering(const ListRecord &r, const QByteArray &SortD, bool filterOn);
// L_WNC: "Показано " + items + " из " + total + ", " + numbering.
QByteArray wncCaption(int itemCount, qint32 total, const Numbering &n);
// The last value of the whole list is on the page.
bool atListEnd(const Numbering &n, int itemCount, int itemIndex, qint32 total);

// "ListPos" for ordinary requests: "TOP" when CB_ListPosX is checked and no prefix
// is typed; otherwise none (the option is removed).
QByteArray ordinaryListPos(bool listPosX, const QByteArray &L_Req);

// ---- Context width ----

inline constexpr int MinConcWidth = 2;
inline constexpr int MaxConcWidth = 25;
// The width the server uses while the option is absent.
inline constexpr int DefaultConcWidth = 5;
// "ConcWidth" one step wider (+1) or narrower (-1) within 2..25; an absent or
// non-numeric value is the server's default, so "+" always widens what is shown.
// Nothing when it stays as it is.
std::optional<QByteArray> stepConcWidth(const QByteArray &concWidth, int step);
// The width shown beside the lines: the option, or the default while it is absent.
QByteArray shownConcWidth(const QByteArray &concWidth);

// ---- Typing in the list ----

inline constexpr char KeyBackspace = 8;
inline constexpr char KeyEnter = 13;

enum class TypedThen {
    SendList,     // ListPos, counts caption, "CN_W" with the dictionary position
    Context,      // the width changed: rebuild the context lines
    OpenText,     // Enter: the text of the current context line
    Nothing,      // swallowed: typing in an order other than alphabetical
};

struct Typed {
    TypedThen then = TypedThen::SendList;
    bool consumed = false;   // the key went into the prefix or a command
};

// A character typed into the list (1251 byte; Backspace and Enter by their codes).
// Changes L_Req, the current level's Request and ValueNo, and "ConcWidth". A level of
// 0 becomes 1.
Typed typeKey(char key, QByteArray &L_Req, tCConcPos &conc, OptionList &options, bool alphabetical);

// ---- Paging ----

enum class ListKey { PageUp, PageDown, Up, Down, Home, End, Other };

struct Paging {
    enum class Kind { None, Prev, Next, ListPos };
    Kind kind = Kind::None;
    QByteArray listPos;     // "PREV", "NEXT", "END", "TOP" with Kind::ListPos
    bool consumed = false;
};
// A key pressed on row `row` of `count` rows.
Paging listKey(ListKey key, int row, int count, bool atListEnd);

// The scroll bars SB_W and SB_Wx. Line and page codes keep the thumb where it was
// and remember that position; a drag remembers where the thumb was pressed, so that
// a thumb released where it was asks for nothing.
enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, ThumbPress, ThumbTrack, EndScroll };

struct ScrollState {
    int remembered = -1;
    bool pageClick = false;
};

struct Scroll {
    enum class Act { Nothing, Progress, LineUp, LineDown, PagePrev, PageNext, Position };
    Act act = Act::Nothing;
    bool keepThumb = false;   // put the thumb back where it was
    int position = 0;         // with Act::Position
};
// `pending`: a request awaits its reply (only the progress window comes up).
// `lineCodes`: the line codes page (SB_W); without them they only keep the thumb.
Scroll scrollEvent(ScrollState &state, ScrollCode code, int position, bool pending, bool lineCodes);

} // namespace conccore
