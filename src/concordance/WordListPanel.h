#pragma once
// Panel3: the value list of the concordance page (LBC_W with its two side columns
// and the scroll bar SB_W), the kind of information (CBC_List), the order
// (CB_SortD), the typed prefix (L_Req), the counts caption (L_Quant) and the
// numbering line (L_WNC); and the strip P_CS with the base (CBC_CList). Handles the
// replies "CN_C", "CN_Cx" and "CN_W" (shown or exported). The decisions are
// conccore's (WordList.h, ConcReplies.h); this panel shows them and sends.
#include "concordance/core/ConcReplies.h"
#include "concordance/core/WordList.h"

#include <QList>
#include <QElapsedTimer>
#include <QWidget>

class ConcPage;
class QComboBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QVBoxLayout;
class tCConcPos;

class WordListPanel : public QWidget {
    Q_OBJECT
public:
    explicit WordListPanel(ConcPage &page, QWidget *parent = nullptr);

    // Part of the concordance set-up: empty lists and combo boxes, the orders,
    // KeepListPos cleared.
    void reset();

    // Replies.
    void onCN_C(const QByteArray &body);
    void onCN_Cx(const QByteArray &body);
    void onCN_W(const QByteArray &body);
    // Restores the order, the prefix, the two combo boxes and the counts caption
    // from a reply's options and position; false when a combo box cannot take the
    // position's characteristic (the caller rolls back).
    bool restoreFromReply();

    // Actions (also offered to the filter rows, the dictionary and the text view).
    void CBC_ListChange(bool keepStarPrefix = false);
    void CBC_CListChange();
    void CB_SortDChange();
    // Reads CBC_CList, CBC_List and the selected value into the position; false
    // when a list or combo box is empty or unselected, or the level is 0.
    bool readSelection();
    // Reads the selection and sends "CN_W" without the dictionary position.
    void pageAction();
    void B_PrevClick();
    void B_NextClick();
    // A click on row `row` of LBC_W (or of a side column).
    void LBC_WClick(int row);
    // The selection's numbering, "AtListEnd", "TabType" and the context request.
    void selectAction();
    // A character typed into the lists or relayed from the combo boxes (1251 byte;
    // Backspace 8, Enter 13).
    void typeChar(char key);
    // A key pressed while a reply is awaited: a character typed into the value
    // list is kept (every other key does nothing meanwhile).
    void keepTyped(const QKeyEvent *event);
    // The characters kept while the reply was awaited go into the prefix, with one
    // request for them all.
    void typeKept();
    // A prefix typed after this long a pause since the last character starts anew.
    void setPrefixPause(int ms) { m_prefixPause = ms; }
    // PM_Q_Show / Ctrl+Q / Ctrl+X.
    void toggleFrequency();
    void M_Wide_FullClick();
    // L_Quant from the current level and order.
    void updateQuant();
    // Selects a row without the click's requests (the reply's "LBCWIndex").
    void selectRow(int row);
    // CB_ConcRef tied the list to a dictionary entry: CBC_List item `charIndex`,
    // the selected value numbered `valueNo`.
    void tieToEntry(int charIndex, qint32 valueNo);
    // The "ListPos" of ordinary requests.
    void setOrdinaryListPos();
    void setListFromTextView(bool on) { m_fromTextView = on; }

    // The page as shown: one entry per row of LBC_W.
    const QList<conccore::WordEntry> &entries() const { return m_entries; }
    const conccore::WordEntry *selectedEntry() const;
    const QList<conccore::Group> &groups() const { return m_groups; }
    bool frequencyShown() const { return m_frequency; }
    bool atListEnd() const { return m_atListEnd; }
    bool keepListPos() const { return m_keepListPos; }
    QByteArray typedPrefix() const { return m_lreq; }
    bool alphabetical() const;
    // The characteristic of a combo box item; -1 when there is none.
    static int charOf(const QComboBox *box, int index);

    QLabel *L_List;
    QComboBox *CBC_List;
    QLabel *L_SortD;
    QComboBox *CB_SortD;
    QLabel *L_Req;
    QLabel *L_Quant;
    QListWidget *LBC_W;
    QListWidget *LBC_W_Q1;
    QListWidget *LBC_W_Q2;
    QScrollBar *SB_W;
    QPushButton *B_Prev;
    QPushButton *B_Next;
    QLabel *L_WNC;
    // P_CS: "Строить конкорданс / текст на основе" and the base.
    QWidget *P_CS;
    QLabel *Label8;
    QComboBox *CBC_CList;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void typeChar(char key, bool mayStartAnew);
    // The steps of the constructor, in the order the widgets are created.
    void buildHeaderRows(QVBoxLayout *v);
    void buildLists(QVBoxLayout *v);
    void buildButtons(QVBoxLayout *v);
    void buildBaseStrip();
    void connectSignals();

    tCConcPos *conc();
    void sendList(bool withDictPos);
    bool listKey(QKeyEvent *event);
    void onScroll(conccore::ScrollCode code);
    void writeListExport(const QByteArray &body);
    void fillCombo(QComboBox *box, const QByteArray &code);
    void showEntries();
    void showPrefix();
    void applySuffixes();
    void colourList();
    bool selectByCode(QComboBox *box, const QByteArray &code, qint32 charNo);

    ConcPage &m_page;
    QList<conccore::WordEntry> m_entries;
    QList<conccore::Group> m_groups;
    QByteArray m_lreq;             // L_Req as 1251 bytes
    bool m_typing = false;         // a prefix is being typed
    QByteArray m_kept;             // typed while a reply was awaited
    QElapsedTimer m_typedAt;       // the last character typed
    int m_prefixPause = 2000;
    bool m_keepListPos = false;
    bool m_atListEnd = false;
    bool m_frequency = false;
    bool m_fromTextView = false;   // the list was asked for by a word of the text view
    bool m_syncing = false;        // rows set by the program
    conccore::ScrollState m_scroll;
};
