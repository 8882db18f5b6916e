#pragma once
// TS_Conc_C ("Контекст"): one page of concordance lines in three columns (LBC_L
// right-aligned, LBC_Wx the centre word, LBC_R), the page labels, the scroll bar
// SB_Wx, the text names and the sort button B_SortS. Asks for the lines ("CT_N"),
// shows them or writes them into the buffer, selects, pages and marks them. The
// fitting and parsing are conccore's (ContextFit.h, ContextLines.h).
#include "concordance/core/ContextFit.h"
#include "concordance/core/WordList.h"

#include <QList>
#include <QWidget>

class ConcPage;
class QKeyEvent;
class QLabel;
class QListWidget;
class QMouseEvent;
class QPushButton;
class QScrollBar;
class QVBoxLayout;
namespace conccore {
struct ContextLine;
}

class ContextPanel : public QWidget {
    Q_OBJECT
public:
    explicit ContextPanel(ConcPage &page, QWidget *parent = nullptr);

    // Part of the concordance set-up: columns and labels emptied, the width table
    // built, the rebuild flag set.
    void reset();

    // The context request of the active sub-page.
    void contextRequest();
    // "CT_N": shown, or written into the buffer when "PrintConc" is "True".
    void onCT_N(const QByteArray &body);

    // The line selection (LBC_WxClick) of row `row`.
    void LBC_WxClick(int row);
    // Paging: Move[0] := `move` and the select action of the value list.
    void page(char move);
    void setRebuild() { m_rebuild = true; }
    bool rebuild() const { return m_rebuild; }
    // After a font change of the columns: item heights and the width table.
    void applyColumnFont(const QFont &font);
    void markWidthsForRebuild() { m_widthsDirty = true; }
    // The usage grid chose a line: it becomes the selection of the next page shown.
    void setPendingLineIndex(int row) { m_pendingLine = row; }
    // The next context request may come from the "Словарь" sub-page too.
    void allowFromDictionaryOnce() { m_fromDictionary = true; }
    // Removes the buffer mark "*" of a row, if it has one.
    void unmarkLine(int row);
    // The text name of the selected line.
    QByteArray selectedName() const;
    int rowHeight() const { return m_rowHeight; }
    // Highlights the three columns as the active zone, or not.
    void highlight(bool on);

    QLabel *L_LNC;
    QLabel *L_LNC_B;
    QLabel *L_LNC_E;
    QLabel *L_LNC_C;
    QPushButton *B_SortS;
    QWidget *P_Columns;
    QListWidget *LBC_L;
    QListWidget *LBC_Wx;
    QListWidget *LBC_R;
    QLabel *L_Wx;
    QScrollBar *SB_Wx;
    QPushButton *BC_Prev;
    QPushButton *BC_Next;
    QLabel *LC_TextName;
    QLabel *LC_TextNameHint;
    // The buffer buttons of this sub-page.
    QWidget *P_ConcBuf;
    QPushButton *B_Buf2;
    QPushButton *B_BufShow;
    QPushButton *B_BufC;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The steps of the constructor, in the order the widgets are created.
    void buildTopRow(QVBoxLayout *v);
    void buildColumns(QVBoxLayout *v);
    void buildBottomRow(QVBoxLayout *v);
    void connectSignals();

    void showLines(const QByteArray &body);
    // The steps of showLines: the columns emptied; the parsed lines fitted into
    // them (answers the row of the current line, -1 none); the labels of the page.
    void clearLines();
    int fillColumns(const QList<conccore::ContextLine> &lines, bool prose, qint32 curLine);
    void showPageLabels(const tCConcPos &conc, qsizetype shown);
    void exportLines(const QByteArray &body);
    void layoutColumns();
    void rebuildWidths();
    void alignRows(int row);
    bool columnKey(QKeyEvent *event);
    void columnPress(QListWidget *column, QMouseEvent *event);
    void columnRelease(QListWidget *column, QMouseEvent *event);
    void hover(QListWidget *column, int y);
    void toggleMark(int row);
    // The marked line's background on its row of the three columns, or none.
    void showMark(int row, bool marked);
    void onScroll(conccore::ScrollCode code);
    void setRows(int row);

    ConcPage &m_page;
    QList<int> m_numbers;            // line number of each row
    QList<QByteArray> m_names;       // LineNames
    QList<QByteArray> m_tags;        // LineTags
    conccore::CharWidths m_widths = conccore::CharWidths::uniform(6);
    bool m_widthsDirty = true;
    bool m_rebuild = true;
    bool m_fromDictionary = false;
    bool m_marking = false;
    bool m_syncing = false;
    bool m_exporting = false;
    QList<QByteArray> m_exportQueue;   // exports that arrived while one was being written
    int m_pendingLine = -1;
    int m_widestCentre = 0;
    int m_rowHeight = 14;
    int m_hoverRow = -1;
    conccore::ScrollState m_scroll;
};
