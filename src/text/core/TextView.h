#pragma once
// Decisions of the text view (the "Текст" sub-page in page mode): laying out the
// words of a "CT_W" page as labels, the paging keys with the numbers they borrow,
// a click that makes a word the current occurrence, and marking words for the
// buffer with Ctrl and Shift. The panel paints a TextViewState and carries out what
// these functions return; the session's records are passed in.
#include "PendingFragment.h"
#include "TextReplies.h"
#include "model/ConcPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace textcore {

// One word label "L" + index. Its tag is the word's number - 1: the word's token,
// -1 for the current occurrence, -2 for a piece split off a word.
struct WordLabel {
    QByteArray text;
    qint32 tag = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    bool marked = false;   // magenta, in the pending fragment
    bool current() const { return tag == -1; }
};

// The words marked for the buffer (TextSel): how many, the first and the last
// marked label (-1 none). While the full text's memo has a selection, count is
// the selection's length instead.
struct TextSel {
    int count = 0;
    int first = -1;
    int last = -1;
};

struct TextViewState {
    QList<WordLabel> labels;   // the page's word list, laid out; empty: no page
    int scrollRange = 1;       // vertical range of P_Text
    int scrollPos = 0;
    TextSel sel;
    // B_Buf2_Text reads "Сохранить фрагмент" (true) or "Текст -> буфер".
    bool fragmentCaption = false;

    // TS_Conc_THide: the labels and the page's word list go, the scroll range is 1
    // and the position 0. The marking goes with its page.
    void freePage();
};

// What the layout needs from the toolkit: the line height (L_FullTextFict's), the
// client width of P_Text, the width of one blank and of a label's text.
struct LayoutMetrics {
    int lineHeight = 16;
    int clientWidth = 600;
    int blankWidth = 4;
    std::function<int(const QByteArray &)> width;
};

constexpr int LayoutMargin = 5;

// Lays the words out as labels from (5, 5): leading grave accents start new lines,
// an accent further on splits the rest off as a piece (tag -2), the current
// occurrence (tag -1) is the scroll target, and a label whose left edge plus one
// blank passes the client width moves to a new line (the test is made before the
// label's own width is known, so a long word may run past the edge).
void layoutPage(TextViewState &view, const QList<TextWord> &words, const LayoutMetrics &m);

// ---- Keys in page mode.

enum class TextKey { Home, PageUp, PageDown, End, Left, Right, Other };

struct TextKeyOutcome {
    char letter = ' ';        // "TextPos" and Move[0]
    int click = -1;           // the label to click, -1 none
    bool consumed = false;
    bool toWordList = false;  // Left: the word list becomes the active zone
};

// Home and PgUp aim at L0, PgDn and End at the last label (PgUp and PgDn only on a
// non-empty page). A piece is never a target. A target without a token number of
// its own (the current occurrence, or token 0) borrows one from its neighbour: the
// second label's tag - 1, or the second-last label's tag + 1. The borrowed number
// is written into the target's tag.
TextKeyOutcome pageKey(TextViewState &view, TextKey key);

// ---- A click on a word label (left button, no Shift or Ctrl).

// A label with a token number makes it CurLine and FirstLine; "TabType" keeps its
// first four characters and gets "4" as its fifth (the list reply that follows
// makes the clicked word current). The caller frees the page, unticks "В начало"
// and asks for the word list anew.
void clickWord(qint32 tag, tCConcPos &conc, OptionList &options);

// ---- Marking words for the buffer.

// Ctrl+click: toggles one word. Unmarking keeps the word's text in the fragment's
// text; unmarking the last marked word clears the marking.
void ctrlClick(TextViewState &view, PendingFragment &fragment, int label);
// Shift+click: without a marking the word is marked alone as the first word; at or
// after the first marked word the range from it to this word is marked; before it
// the marking is cleared and this word marked alone.
void shiftClick(TextViewState &view, PendingFragment &fragment, int label);
// Clears every mark: colours back, the fragment emptied, the caption restored.
void clearMarking(TextViewState &view, PendingFragment &fragment);

} // namespace textcore
