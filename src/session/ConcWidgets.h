#pragma once
// Small widget helpers of the concordance page: list boxes with fixed-height rows
// (the rows of the three context columns and of the value list's columns must stay
// level), background colours for the zone highlight, and the list keys.
#include "concordance/core/WordList.h"

#include <QColor>
#include <QFont>

class QKeyEvent;
class QListWidget;
class QWidget;

namespace concwidgets {

// Every row of `list` `height` pixels high; no scroll bars of its own (the page's
// scroll bar pages the server's list), one row selected at a time.
void setupList(QListWidget *list, int height);
void setRowHeight(QListWidget *list, int height);
int rowHeight(const QListWidget *list);
// The row height that a list box gets for a font: the font's line height + 2.
int listRowHeight(const QFont &font);
// The row height of the context columns: the font size + 6 (never below the
// font's line height).
int columnRowHeight(const QFont &font);

// The background of `w` (its window or, for list boxes, its base); an invalid
// colour gives back the style's own.
void setBackground(QWidget *w, const QColor &colour);
QColor zoneHighlight();

// The list key of a key event (PageUp, PageDown, Up, Down, Home, End, or other).
conccore::ListKey listKeyOf(const QKeyEvent *event);
// The 1251 byte a key event types: printable text, Backspace (8) or Enter (13);
// 0 for keys that type nothing (arrows, function keys, Ctrl combinations).
char typedChar(const QKeyEvent *event);
// The row of a list under the y coordinate of its viewport; -1 off the rows.
int rowAt(const QListWidget *list, int y);

} // namespace concwidgets
