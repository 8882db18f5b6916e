#pragma once
// The five filter rows of the value list: what each row shows, the co-occurrence
// option, the filtering indicator, and how the user's changes turn into the levels
// of the concordance position and into value-list requests.
//
// The rows are plain state here; the panel paints them. A change of a row's check
// box, radio button or of the other boxes goes through the same handling whether
// the user or the program made it, and the five locks keep a programmatic change
// from acting where it must not: each is set immediately around the change. So a
// user action asks for at most one value list.
#include "ComposedFilters.h"

#include "concordance/core/ConcExport.h"

#include "model/ConcPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace filtercore {

inline constexpr int RowCount = 5;
// The row that has a distance field of its own (E_Plus2).
inline constexpr int DistanceRow = 2;
// E_Plus2 .. E_Plus5: fields 2..5; only field 2 belongs to a row.
inline constexpr int FirstField = 2;
inline constexpr int LastField = 5;

struct FilterRowView {
    // CB_Qr, the condition.
    bool visible = false;
    bool enabled = true;
    bool checked = false;
    QByteArray caption;     // characteristic " = " value (1251)
    QByteArray hint;
    bool hintShown = false;
    int tag = 0;            // composed list n > 0 attached (index n - 1)
    // RB_Qr: never shown; the checked one marks the active row.
    bool radio = false;
    // LDr: "L" while the row is in use; dragged onto another label to swap rows.
    bool labelVisible = false;
    QByteArray labelCaption;
};

struct DistanceField {
    QByteArray text = "0";  // a signed number of at most 2 characters
    bool visible = false;
    bool enabled = true;
};

struct FilterPanelState {
    std::array<FilterRowView, RowCount> rows;
    std::array<DistanceField, LastField - FirstField + 1> fields;   // E_Plus2..E_Plus5
    bool context = false;       // CB_Context ("совм.встречаемость")
    bool perm = false;          // CB_Perm ("Фильтрация")
    bool permVisible = false;
    bool permEnabled = true;
    bool listPosX = false;      // CB_ListPosX ("В начало")
    bool coloured = false;      // P_CF and LBC_W_Q1 in the filter colour
    // PM_FIlter_F's tag: r when the row last hovered offers to attach a composed
    // list, -r when it offers to detach one; 0 none.
    int popupTag = 0;

    FilterRowView &row(int r) { return rows[size_t(r - 1)]; }
    const FilterRowView &row(int r) const { return rows[size_t(r - 1)]; }
    DistanceField &field(int f) { return fields[size_t(f - FirstField)]; }
    const DistanceField &field(int f) const { return fields[size_t(f - FirstField)]; }
};

// What the rows need of the page around them.
class FilterEnv {
public:
    virtual ~FilterEnv() = default;
    virtual tCConcPos *conc() = 0;
    virtual OptionList &options() = 0;
    // CBC_List's and LBC_W's selected texts (1251); nothing without a selection.
    virtual std::optional<QByteArray> listText() = 0;
    virtual std::optional<QByteArray> valueText() = 0;
    // CBC_List selects item `index`; false when there is no such item.
    virtual bool selectListIndex(int index) = 0;
    // The count carried by CBC_List's selected item (its characteristic's size).
    virtual qint32 listCount() = 0;
    virtual bool typedPrefixEmpty() = 0;                  // L_Req
    virtual bool alphabeticalOrder() = 0;                 // CB_SortD on its first order
    virtual void blockListTools(bool block) = 0;          // CBC_List, LBC_W, LBC_L, LBC_R
    virtual void refreshQuant() = 0;                      // L_Quant
    virtual void sendWordList() = 0;                      // "CN_W" with the dictionary position
    virtual void listKindChange() = 0;                    // CBC_ListChange (asks for the list)
    virtual void rollBack() = 0;                          // message, one step back
    virtual void message(const QString &text) = 0;
    virtual bool askOkCancel(const QString &text) = 0;
};

// Distance fields: only digits and signs are kept, at most two characters.
QByteArray distanceKept(const QByteArray &text);
// The integer of a field's text; nothing when it is not a number.
std::optional<qint32> distanceValue(const QByteArray &text);

class FilterRows {
public:
    FilterRows(FilterEnv &env, tComposed_Filters_Set &sets) : m_env(env), m_sets(sets) {}

    const FilterPanelState &state() const { return m_s; }

    // Set-up of the concordance page: empty captions, row 1 alone, the locks clear,
    // CB_Perm hidden and off, the co-occurrence handling run once.
    void reset();

    // Changes of the controls (by the user or the program); each runs its handling
    // when the state actually changes.
    void setChecked(int row, bool checked);
    void setRadio(int row);
    void setPerm(bool checked);
    void setContext(bool checked);
    void setListPosX(bool checked) { m_s.listPosX = checked; }
    void setDistanceText(int field, const QByteArray &text);
    // Enter and leaving a distance field.
    void distanceEnter();
    void distanceExit(int field);
    // Dragging row labels: a drop is accepted only without co-occurrence; a drop of
    // label s on label t swaps the two rows' levels, captions and composed filters.
    bool LD1DragOver() const { return !m_s.context; }
    void LD2EndDrag(int s, int t);

    // Handlers.
    // A row's check box (CB_Q1..CB_Q5) changed: the active row, the levels' marks
    // and which rows can be clicked.
    void rowClicked();
    void RB_Q1Click();
    // Without filtering the overall letter is "N" and the list tools are open.
    void RB_QFClick();
    void CB_PermClick();
    void CB_ContextClick();
    void E_Plus2Change(int field);
    bool SetRowCaption(int row);
    void SetFilter(int row);
    void ApplyFilterMarks();
    // Every reply: the rows from the server's marks, distances and level.
    void SyncFilterRows();
    // The value list asked from a word of the text view: the server's value names.
    void FillRowCaptions();
    // After a restore from the history: rows 1..Level shown (the last fixed and the
    // active row clickable), the rest hidden and unchecked; only the colour follows.
    void restoreRows();
    // The summary the export headers write.
    conccore::FilterRows exportRows() const;
    // P_CF and LBC_W_Q1 in the filter colour (CB_Q1 checked).
    bool coloured() const { return m_s.coloured; }

    // The row pop-up of CB_Q1..CB_Q4 under the mouse: its caption, or nothing when
    // the row gets none.
    std::optional<QString> hoverRow(int row);
    // "Включить/Отключить составной фильтр": `choose` asks which list to attach
    // among the lines of LB_Filter_Chars and answers its index (-1 none).
    void attachOrDetach(const std::function<int(const QList<QByteArray> &lines)> &choose);
    // The composed filter at `index` was deleted: rows attached to it keep the
    // condition last sent but no longer follow a list; later lists move up one.
    void composedFilterRemoved(int index);

    // One row as the panel shows it.
    const FilterRowView &row(int r) const { return m_s.row(r); }

private:
    tCConcPos &conc();
    void hideRow(int r);
    bool distanceRefused(int row) const;
    void showFieldOf(int row);
    // The steps of rowClicked. uncheckRefused: the user kept a composed filter (its
    // row checked again); hideUnchecked: false when a row at a distance was
    // unchecked instead, which ran the handling again.
    bool uncheckRefused();
    int activeRow() const;
    bool hideUnchecked();
    void markRows(tCConcPos &c, int n, int used, int fixed);
    void openActiveRow(tCConcPos &c, int n);

    FilterEnv &m_env;
    tComposed_Filters_Set &m_sets;
    FilterPanelState m_s;
    tCConcPos m_none;   // stands in while no concordance is set up
    // The locks.
    bool m_checkLock = false;
    bool m_radioLock = false;
    bool m_filterLock = false;
    bool m_requestLock = false;
    bool m_distanceLock = false;
};

} // namespace filtercore
