#pragma once
// TS_Dict: the dictionary browser page (letters, pairs, headwords, entry tree).
// The decisions are dictcore's (DictBrowser.h): this page shows a DictPageState,
// shows the messages of an outcome and sends the requests it lists. The session's
// positions (DictPosList, CurDict, KeepDictPos, OptionList) stay in SessionState.
#include "dictionary/core/DictBrowser.h"

#include <QList>
#include <QWidget>

class PageHost;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class ConcordanceDictView;
class QFont;
class QSplitter;
class PictureWindow;
struct SessionState;

class DictPage : public QWidget {
    Q_OBJECT
public:
    DictPage(PageHost &host, QWidget *parent = nullptr);

    // A character typed while the page is shown but none of its controls has the
    // keyboard (the tab bar, say): it goes to the type-ahead search all the same.
    // True when the key was taken.
    bool typeAhead(QKeyEvent *event);
    // The concordance page's operations for the entry tree and the link choice.
    void setConcordanceView(ConcordanceDictView *view);
    // "DEFAULT"/"DEFAULTSIZE": the face of the page's lists and tree.
    void applyDefaultFont(const QFont &face);
    // PictureWindow, created by the frame with the other secondary windows.
    void setPictureWindow(PictureWindow *window) { m_pictureWindow = window; }

    // Initial state of the page (first show and every connect).
    void SetDict();
    // The page is shown: asks for the letters of the current dictionary.
    void TS_DictShow();
    // The dictionary names arrived with the registration.
    void setDictionaryNames(const QList<QByteArray> &names, int current);
    void selectDictionary(int index);

    // Reply handlers of the dictionary tags.
    void onDC_C(const QByteArray &body);
    void onDC_CC(const QByteArray &body);
    void onDC_W(const QByteArray &body);
    void onDC_S(const QByteArray &body);
    // True once after a reply whose list came back empty: the frame skips the
    // closing steps that belong to a handled reply.
    bool takeEndReplyHandling();

    // User actions (the lists' current rows are the clicked items).
    void LB_CClick();
    void LB_CCClick();
    void LB_WClick();
    void LB_CEnter();
    void LB_CCEnter();
    void CB_DictClick(int index);
    void TreeView1Click(QTreeWidgetItem *item);
    // A node of the concordance page's entry tree was clicked; `link` is its link.
    void TreeDOxClick(qint32 link);
    void CB_ConcRefClick();
    void CB_DSTClick();
    // RBD1Click for the radio button `which` (0..2) that became selected.
    void RBD1Click(int which);

    // Dictionary links of the selected concordance line or text page ("$$+n,d"...):
    // the first link is followed at once.
    void loadDictLinks(const QByteArray &text);
    // Clears the links, hides RBD1..RBD3 and clears and hides TreeDOx.
    void TreeDoX_Clear();
    // Asks for the entry of the record of CurDict ("DC_S"): the usage table's
    // headword and its entry box.
    void requestEntry();
    // The concordance set-up: links cleared, CB_DST from the configuration.
    void concordanceReset();

    // Shows reference picture `number` in PictureWindow (modal); a missing file does
    // nothing, a file that does not decode gives a message and no window.
    void showReferencePicture(qint32 number);

    const dictcore::DictPageState &pageState() const { return m_page; }

    QComboBox *CB_Dict;
    QPushButton *B_Refr;
    QListWidget *LB_C;
    QListWidget *LB_CC;
    QListWidget *LB_W;
    QTreeWidget *TreeView1;
    QLabel *L_CN;
    QLabel *L_CCN;
    QLabel *L_WN;
    QLabel *L_SN;
    QLabel *L_DD;
    QCheckBox *CB_ConcRef;   // "Связать с конкордансом"

signals:
    // CB_ConcRef tied the concordance to the entry: the concordance page selects
    // item charNo of CBC_List and gives its selected LBC_W item NestRef valueNo.
    void concordanceTied(qint32 charNo, qint32 valueNo);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    SessionState &state();
    tCDictPos *recordOfCurDict();
    dictcore::DictRecordLookup recordLookup();

    // Replies answer requests in order. A reply to a request that an earlier user
    // action started, while a later action's request is still on its way, is
    // superseded: it is not shown and starts no follow-up request.
    void userAction();
    bool beginReply();
    void endReply();
    void buildLayout();
    void saveLayout();
    void run(const dictcore::DictOutcome &outcome);
    void send(const dictcore::DictRequest &request);

    // Widgets from m_page.
    void showList(QListWidget *view, const dictcore::DictList &list);
    void showSelections();
    void showLabels();
    void showConcRef(bool newEntry = false);
    void showLinks();

    bool dictKey(QWidget *target, QKeyEvent *event);
    bool listNavigation(QListWidget *list, int key);
    void clickList(QListWidget *list);
    void followLink(qint32 link);

    PageHost &m_host;
    QSplitter *m_panes = nullptr;
    dictcore::DictPageState m_page;
    ConcordanceDictView *m_conc = nullptr;
    PictureWindow *m_pictureWindow = nullptr;

    bool m_syncing = false;          // widgets are being set from m_page
    bool m_endReplyHandling = false;

    // Generations: every user action starts one; requests sent while a reply is
    // handled belong to that reply's generation.
    int m_generation = 0;
    QList<int> m_sent;               // generations of this page's requests in flight
    int m_replyDepth = 0;
    int m_replyGeneration = 0;
    struct Snapshot {
        tCDictPos pos;
        int CurDict = -1;
        int CurDictPos = -1;
        bool valid = false;
    } m_lastSent;                    // the record of the newest request and the choice
};
