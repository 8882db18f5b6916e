#pragma once
// What the concordance page does for the pages beside it: the text view, the buffer,
// the usage table, the filter rows and the history ask it by name. The concordance
// page implements it; the main window hands it to them once, at start-up.
#include "concordance/core/ConcReplies.h"
#include "text/core/BufferOps.h"

#include <QByteArray>
#include <QList>
#include <optional>

class QAction;
class QColor;
class QPoint;

class ConcordanceView {
public:
    virtual ~ConcordanceView() = default;

    // ---- The value list.
    // The list kind changed: the list is asked for anew (CBC_ListChange).
    virtual void requestList() = 0;
    // The click on the selected value, which asks for the sub-page's data again.
    virtual void clickSelectedValue() = 0;

    // ---- The zone that has the keyboard.
    virtual void activateWordList() = 0;
    virtual void activateLowerZone() = 0;
    // The text view becomes the active zone.
    virtual void activateText() = 0;
    // The activation checks run again for the zone that has the keyboard.
    virtual void activateZone() = 0;
    // The sub-page shown below the value list.
    virtual textcore::SubPage subPage() const = 0;

    // ---- The context lines.
    // The name of the selected context line's text (LC_TextName, 1251).
    virtual QByteArray selectedTextName() const = 0;
    // "Контекст" shown with fresh lines.
    virtual void showContextPage() = 0;
    // Context line `row` loses its buffer mark.
    virtual void unmarkLine(int row) = 0;
    // The marked lines went into the buffer: "Конк.-> Буфер" again.
    virtual void linesCopied() = 0;
    // The buffer became empty or not: the "empty the buffer" button follows.
    virtual void bufferEmptinessChanged(bool empty) = 0;
    // Pages the shown sub-page: the paging letter of level 0 becomes `move` ('-',
    // '+', 'B', 'E') and the selected value's data is asked for again with it.
    virtual void pageSubPage(char move) = 0;
    // Selects context line `line` (0-based) and runs its click.
    virtual void selectContextLine(int line) = 0;
    // Lets the "Словарь" sub-page's context request ask for lines once.
    virtual void allowContextFromDictionaryOnce() = 0;
    // The lists' popup menu at `global`, with the text view as its target.
    virtual void textPopup(const QPoint &global) = 0;
    // A press on the entry of the current word or on the area beside the usage
    // table: the lists' popup menu acts on the entry (its font command changes the
    // entry's font) and offers no copy of the value list; with `popup` the menu
    // opens at `global`.
    virtual void entryTreePressed(bool popup, const QPoint &global) = 0;

    // ---- The characteristic lists and the value list, for the filter pages.
    // The caption (1251) of the characteristic chosen in the list; nothing when none.
    virtual std::optional<QByteArray> listCaption() const = 0;
    // The characteristic number of the chosen entry; -1 when none.
    virtual int listCharacteristic() const = 0;
    // Chooses entry `index` of the list; false when there is no such entry.
    virtual bool selectListIndex(int index) = 0;
    // List 0 (the value list's characteristics) or 1 (the context's) refilled with
    // the characteristics `members`, the first one chosen, no change reported.
    virtual void fillCharacteristicList(int which, const QList<int> &members) = 0;
    // The selected value of the value list; null when none.
    virtual const conccore::WordEntry *selectedValue() const = 0;
    virtual bool typedPrefixEmpty() const = 0;
    virtual bool alphabeticalOrder() const = 0;
    // The lists and the context columns take no input while `block`.
    virtual void blockListTools(bool block) = 0;
    // The quantity caption anew.
    virtual void refreshQuant() = 0;
    // "CN_W" for the current position.
    virtual void sendWordList() = 0;
    // The value list's "full list" command (M_Wide_Full).
    virtual void wideFull() = 0;
    // The background of the value list's filter marks.
    virtual void setFilterMarksColour(const QColor &colour) = 0;
    // Adds `action` to the lists' popup menu, before its last item; the menu owns it.
    virtual void addListMenuAction(QAction *action) = 0;

    // ---- The filter pages' tabs.
    // "Фильтры" becomes the filter page shown (a history step begins).
    virtual void showFilterRowsPage() = 0;
    virtual bool filterRowsPageShown() const = 0;   // "Фильтры" is shown
    virtual bool filterSetPageShown() const = 0;    // "Набор фильтров" is shown
};
