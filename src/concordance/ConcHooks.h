#pragma once
// What the concordance page asks of its neighbours: the text view, the full-text
// window and the buffer (sub-pages "Текст" and "Словарь"), the dictionary links, the
// filter rows and the history. The frame wires them when it builds the pages; an
// unset hook does nothing or answers the neutral value named with it, so the page
// works on its own.
#include "concordance/core/ConcExport.h"
#include "concordance/core/ConcReplies.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

struct ConcHooks {
    // ---- Text view, full-text window, buffer ----
    // The context request while "Текст" is the sub-page ("CT_W" / "CT_T").
    std::function<void()> requestTextPage;
    // The context request while "Словарь" is the sub-page ("CT_D").
    std::function<void()> requestUsageGrid;
    // Enter in the lists and "Просмотр текста": the text of the selected line.
    std::function<void()> openTextOfLine;
    // CB_Txt ("контекст") checked; false when unset.
    std::function<bool()> textContextChecked;
    // Unchecks CB_FastListing.
    std::function<void()> uncheckFastListing;
    // PanelT highlighted as the active zone, or not.
    std::function<void(bool)> highlightTextZone;
    // The text view (MemoX) takes the keyboard.
    std::function<void()> focusTextView;
    // The text view holds words (the font command with no target goes to it then).
    std::function<bool()> textViewHasWords;
    // Height of the memo of the full-text window; 0 (unset) gives 10 rows.
    std::function<int()> fullTextMemoHeight;
    // The buffer window's list takes the word list's font.
    std::function<void(const QFont &)> setBufferFont;
    // "Строка конк.=>Буфер" and "Просмотр буфера" of the lists' popup menu.
    std::function<void()> copyLineToBuffer;
    std::function<void()> showBuffer;
    // The buffer's export header (the filter summary), written before a concordance
    // export's lines; unset, the page writes it from `filterRows`.
    std::function<void()> exportHeader;
    // Concordance lines were marked or unmarked with Shift+click: B_Buf2's caption.
    std::function<void(bool anyMarked)> markedLinesChanged;

    // ---- Dictionary ----
    // The dictionary links of the selected line ("$$+..."; empty clears them).
    std::function<void(const QByteArray &)> dictLinks;

    // ---- Filter rows ----
    std::function<bool()> filterOn;              // CB_Q1 checked; false when unset
    std::function<bool()> filterRowOneEnabled;   // CB_Q1 enabled; true when unset
    std::function<bool()> listPosX;              // CB_ListPosX ("В начало"); false
    std::function<conccore::FilterRows()> filterRows;   // for the export headers
    std::function<void()> applyFilterMarks;      // ApplyFilterMarks and SetFilter
    std::function<void()> fillRowCaptions;       // after a list clicked from the text view
    std::function<void()> syncFilterRows;        // every reply, before its tag's handler
    std::function<void(int charNo)> selectRowFilter;   // the current characteristic
    std::function<QColor()> filterColor;         // the configured colour when unset
    std::function<bool()> distanceEditFocused;   // E_Plus2 has the keyboard
    std::function<bool()> filterSetTabActive;    // "Набор фильтров" is the page shown
    std::function<void()> filterSetWideFull;     // M_Wide_Full while it is
    // The groups arrived ("CN_Cx"): CB_Groups, the group lines; and its group 0.
    std::function<void(const QList<conccore::Group> &)> groupsChanged;
    std::function<void()> selectGroupZero;
    // Refreshes the filter rows' display of the current level after every reply.
    std::function<void(int level)> levelDisplay;

    // ---- History ----
    // One step back; `skip` is the skip flag set around it (an empty value list).
    std::function<void(bool skip)> historyBack;
    // After a step restored the query state from the history: the filter rows
    // follow the restored level (rows up to it shown, the rest hidden and unchecked).
    std::function<void()> restoreFilterRows;

    // ---- Window services ----
    // The progress window is showing; false when unset.
    std::function<bool()> progressShowing;
    // The font dialog; nothing when cancelled. QFontDialog when unset.
    std::function<std::optional<QFont>(QWidget *parent, const QFont &initial)> chooseFont;
    // The status bar's two panels (switch and movement hints; selection hint).
    std::function<void(const QString &panel0, const QString &panel1)> statusHints;
};
