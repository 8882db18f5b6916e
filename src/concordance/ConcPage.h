#pragma once
// TS_Conc: the concordance page. The value list (Panel3 and the strip P_CS) on the
// left, the filter pages PC_Fltrs beside it, and below them PageCC with the
// sub-pages "Контекст" (the context columns), "Текст" and "Словарь" (filled by the
// text view and the usage grid). This class puts the parts together, keeps the
// zone that has the keyboard, the fonts and the page sizes, and handles the replies
// of its tags; the value list and the context columns are panels of their own. The
// pages beside it (the text view and buffer, the usage table, the dictionary, the
// filter rows, the history) are reached through their named operations, which the
// main window hands over once with connectNeighbours().
#include "concordance/api/ConcordanceView.h"
#include "concordance/core/Zones.h"

#include <QPointer>
#include <QWidget>

class ConcDictLinks;
class ContextPanel;
class PageHost;
class QAction;
class QFont;
class QCheckBox;
class QKeyEvent;
class QListWidget;
class QMenu;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class SortSeqDialog;
class WordListPanel;
struct SessionState;
struct Config;
class DictionaryLinks;
class FilterRowsView;
class HistorySteps;
class TextSubPage;
class UsageSubPage;

// The pages beside the concordance page. All are needed: connecting a set with one
// missing stops the program at start-up with a message naming it.
struct ConcNeighbours {
    TextSubPage *text = nullptr;
    UsageSubPage *usage = nullptr;
    DictionaryLinks *dictionary = nullptr;
    FilterRowsView *filters = nullptr;
    HistorySteps *history = nullptr;
};

class ConcPage : public QWidget, public ConcordanceView {
    Q_OBJECT
public:
    enum class FontTarget { None, WordList, ContextLeft, ContextCentre, ContextRight, Text, EntryTree };

    ConcPage(PageHost &host, QWidget *parent = nullptr);
    ~ConcPage() override;

    void connectNeighbours(const ConcNeighbours &neighbours);
    const ConcNeighbours &neighbours() const { return m_n; }
    TextSubPage &text() const;
    UsageSubPage &usage() const;
    DictionaryLinks &dictionary() const;
    FilterRowsView &filters() const;
    HistorySteps &history() const;
    // The contents of "Текст" and "Словарь", made by the main window.
    void placeTextSubPage(QWidget *panel);
    void placeUsageSubPage(QWidget *panel);
    // SortSeqDialog, created by the frame with the other secondary windows; without
    // one the page makes its own.
    void setSortSeqDialog(SortSeqDialog *dialog) { m_sortDialog = dialog; }

    // ---- Called by the frame ----
    // SetConc: the whole page in its initial state (first show, every connect).
    void SetConc();
    // Applies the option list and the concordance position of a reply to the
    // controls; false when they cannot be applied (the caller rolls back).
    bool applyReplyState();
    // Shows the two sub-pages whose visibility the session decides.
    void setSubPageVisibility(bool concDict, bool filterSet);
    // Adds the "loading" lines shown while the server prepares the session.
    void showLoadingLines(const QByteArray &suffix);
    // "DEFAULT"/"DEFAULTSIZE": the face of the page's lists, trees and text views.
    void applyDefaultFont(const QFont &face);
    // A key pressed while a reply is awaited (characters typed into the value list
    // are kept), and the kept characters typed once the reply has come.
    void keepTyped(const QKeyEvent *event);
    void typeKept();
    // The concordance page is the current tab.
    bool isShowing() const;
    // The hourglass over the page's lists while a reply is awaited.
    void setBusy(bool busy);
    // After a reply: the option "LBCWIndex", when it holds a row number, selects that
    // row of the word list and is removed.
    void applyListIndexOption();
    // The tab is shown: the first time after set-up it asks for the characteristics.
    void TS_ConcShow();
    // The main window changed size: page sizes, and the lines at the new size.
    void FormResize();
    // A key the window sees first while this tab is active: "+" and "-" change the
    // context width; true when the key was taken.
    bool FormKeyPress(QKeyEvent *event);
    // The font commands: "Шрифт..." (the value list) and "Шрифт конкорданса" /
    // "Шрифт текста" (`tag` 1: the context columns, 2: the text).
    void M_FontClick();
    void M_FontTClick(int tag);
    // The caption and tag of the second font command for the sub-page shown.
    QString fontTCaption() const;
    int fontTTag() const;

    // "CN_W": the value list (the characteristics and the lines go straight to the
    // value list and the context panel).
    void onCN_W(const QByteArray &body);

    // ---- Operations for the other pages ----
    void contextRequest();
    void selectAction();
    bool readSelection();
    void setPendingLineIndex(int row);
    void setListFromTextView(bool on);
    // CB_ConcRef tied the concordance to a dictionary entry.
    void tieToEntry(qint32 charIndex, qint32 valueNo);
    // Concordance lines were marked or unmarked with Shift+click: B_Buf2's caption.
    void markedLinesChanged(bool anyMarked);

    // ---- ConcordanceView
    void requestList() override;
    void clickSelectedValue() override;
    void activateWordList() override;
    void activateLowerZone() override;
    void activateText() override;
    void activateZone() override;
    textcore::SubPage subPage() const override;
    QByteArray selectedTextName() const override;
    void showContextPage() override;
    void unmarkLine(int row) override;
    void linesCopied() override;
    void bufferEmptinessChanged(bool empty) override;
    void pageSubPage(char move) override;
    void selectContextLine(int line) override;
    void allowContextFromDictionaryOnce() override;
    void textPopup(const QPoint &global) override;
    void entryTreePressed(bool popup, const QPoint &global) override;
    // The font target for a tree press: TreeDOx (or `tree`, the dictionary page's).
    void treeTarget(QTreeWidget *tree, bool popup, const QPoint &global);
    std::optional<QByteArray> listCaption() const override;
    int listCharacteristic() const override;
    bool selectListIndex(int index) override;
    void fillCharacteristicList(int which, const QList<int> &members) override;
    const conccore::WordEntry *selectedValue() const override;
    bool typedPrefixEmpty() const override;
    bool alphabeticalOrder() const override;
    void blockListTools(bool block) override;
    void refreshQuant() override;
    void sendWordList() override;
    void wideFull() override;
    void setFilterMarksColour(const QColor &colour) override;
    void addListMenuAction(QAction *action) override;
    void showFilterRowsPage() override;
    bool filterRowsPageShown() const override;
    bool filterSetPageShown() const override;

    // ---- Shared by the panels ----
    PageHost &host() { return m_host; }
    SessionState &state();
    const Config &config() const;
    WordListPanel *wordList() const { return Panel3; }
    ContextPanel *context() const { return m_context; }
    conccore::Zone zone() const { return m_zone; }
    void setZone(conccore::Zone zone, FontTarget target);
    FontTarget fontTarget() const { return m_fontTarget; }
    conccore::SubPage shownSubPage() const;
    bool textContextChecked() const;
    bool filterOn() const;
    bool proseMode() const;
    QColor filterColor() const;
    // Sends `tag` with the concordance position, the dictionary position (when
    // `withDictPos`) and the option list.
    void send(const QByteArray &tag, bool withDictPos);
    // The popup menu of the lists (PM_LBC_W), shown for `source`.
    void popupFor(QWidget *source, const QPoint &globalPos);
    void B_SortSClick();
    // The rows of the three views and the text view, by the rows-that-fit rule.
    bool recomputePageSizes();
    // The value list's page asked for anew at the current position (its rows
    // changed).
    void requestListPage();
    // The current sort code's caption on B_SortS.
    void showSortCaption(const QByteArray &code);

    // ---- Widgets ----
    WordListPanel *Panel3;
    QListWidget *LBC_W;          // Panel3's
    QTabWidget *PageCC;
    ContextPanel *TS_Conc_C;
    QWidget *TS_Conc_T;
    QWidget *TS_Conc_D;
    QTabWidget *PC_Fltrs;
    QWidget *TS_Fltr;
    QWidget *TS_FGrp;
    QWidget *TS_CharList;
    QMenu *PM_LBC_W;
    QAction *M_Wide_Full;
    QAction *PM_Q_Show;
    QAction *PM_LCB_W_Font;
    QAction *PM_LCB_W_Text;
    QAction *PM_LCB_W_Buf;
    QAction *PM_BuffShow;

    // The dictionary widgets of the page (entry tree, link choice, "Иерархия
    // элементов"), driven by the dictionary browser through their operations.
    ConcDictLinks *dictView() const { return m_dictLinks; }
    QTreeWidget *TreeDOx;
    QRadioButton *RBD1;
    QRadioButton *RBD2;
    QRadioButton *RBD3;
    QCheckBox *CB_DST;

signals:
    // End of SetConc: the dictionary side resets its links and "DictSearcType".
    void concordanceReset();
    // The sub-page changed: the second font command's caption and tag.
    void fontTChanged(const QString &caption, int tag);
    // A value list ("CN_W") is about to be handled.
    void valueListArrived();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildSubPages();
    void buildMenu();
    void PageCCChange();
    void applyStartupFonts();
    void fontCommand(FontTarget target);
    QFont targetFont(FontTarget target) const;
    void showHints(conccore::Zone highlighted);

    PageHost &m_host;
    ConcDictLinks *m_dictLinks = nullptr;
    ContextPanel *m_context;
    ConcNeighbours m_n;
    SortSeqDialog *m_sortDialog = nullptr;
    conccore::Zone m_zone = conccore::Zone::WordList;
    FontTarget m_fontTarget = FontTarget::None;
    QPointer<QTreeWidget> m_fontTree;   // the tree of FontTarget::EntryTree
    bool m_opened = false;          // the tab was opened since set-up
    bool m_settingUp = false;       // PageCC changed by the set-up
    conccore::SubPage m_shownSubPage = conccore::SubPage::Context;
    QWidget *m_usageArea = nullptr;   // TS_Conc_D's place for the usage table
};
