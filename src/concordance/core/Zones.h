#pragma once
// The three zones of the concordance page that take turns at the keyboard (the
// value list, the context columns, the text view), the status-bar hints that name
// the keys of the highlighted zone, and the page sizes the server is told.
#include "model/OptionList.h"

#include <QString>

namespace conccore {

enum class Zone { WordList, Context, Text };
enum class SubPage { None, Context, Text, Dictionary };
enum class MainTab { ServerLog, Dictionary, Concordance, Other };

// The highlight of the active zone: RGB C0 DC C0.
inline constexpr unsigned ZoneHighlightRgb = 0xC0DCC0;
// A context line marked for the buffer (Shift+click; its left column also starts
// with "*"): the background of its row in the three columns, RGB FF E0 8A, apart
// from both the plain list and the zone highlight.
inline constexpr unsigned MarkedLineRgb = 0xFFE08A;

// How a context line is marked for the buffer: the status bar's selection hint while
// "Контекст" shows, and the tooltip of the context lines.
QString markLineHint();

struct StatusHints {
    QString panel0;   // switch hint + movement hint
    QString panel1;   // selection hint
};

// `highlighted`: the zone that shows the highlight; `wordListVisible`: LBC_W is
// visible. panel1 names the mouse's selections of the sub-page shown: the text's
// fragments under "Текст", the marking of lines under "Контекст".
StatusHints statusHints(MainTab tab, SubPage sub, bool wordListVisible, Zone highlighted);

// The zone below the value list: the context columns while "Контекст" shows, the
// text view while "Текст" shows, else the zone that is active.
Zone lowerZone(SubPage sub, Zone active);

// Heights and row heights of the four views the server pages for.
struct PageGeometry {
    int wordListHeight = 0, wordListRow = 0;      // LBC_W
    int contextHeight = 0, contextRow = 0;        // LBC_L
    int textRow = 0;                              // text view labels' height + 2
    int fullTextHeight = 0, fullTextRow = 0;      // the full-text window's memo
};
// Sets "LBC_W_Max" (margin 16), "LBC_L_Max", "LBC_T_Max" (rows of text view labels
// in the height of LBC_L) and "LBC_X_Max"; true when any of them changed.
bool setPageSizes(OptionList &options, const PageGeometry &g);

} // namespace conccore
