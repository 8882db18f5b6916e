#pragma once
// TS_Conc: the concordance page with its value list LBC_W and its sub-pages.
#include <QWidget>

class ConcDictLinks;
class PageHost;
class QFont;
class QCheckBox;
class QKeyEvent;
class QListWidget;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class TextPanel;
class UsagePanel;

class ConcPage : public QWidget {
    Q_OBJECT
public:
    ConcPage(PageHost &host, QWidget *parent = nullptr);

    // Initial state (first show and every connect): a new concordance position, an
    // empty request history and replay queue.
    void SetConc();
    // Applies the option list and the concordance position of a reply to the
    // concordance controls; false when they cannot be applied (the caller rolls back).
    bool applyReplyState();
    // Refreshes the display of the current level after every reply.
    void refreshLevelDisplay();
    // The text view's key handling while the text sub-page has the keyboard; true
    // when the key was taken.
    bool textViewKey(QKeyEvent *event);
    // Shows the two sub-pages whose visibility the session decides.
    void setSubPageVisibility(bool concDict, bool filterSet);
    // Adds the "loading" lines shown while the server prepares the session.
    void showLoadingLines(const QByteArray &suffix);
    // "DEFAULT"/"DEFAULTSIZE": the face of the page's lists, trees and text views.
    void applyDefaultFont(const QFont &face);
    // The concordance page is the current tab.
    bool isShowing() const;
    // The hourglass over the page's lists while a reply is awaited.
    void setBusy(bool busy);
    // After a reply: the option "LBCWIndex", when it holds a row number, selects that
    // row of the word list and is removed.
    void applyListIndexOption();
    // The text sub-page disappears with the session.
    void hideTextSubPage();

    // Reply handlers of the concordance and text tags.
    void onCN_C(const QByteArray &body);
    void onCN_Cx(const QByteArray &body);
    void onCN_W(const QByteArray &body);
    void onCT_N(const QByteArray &body);
    void onCT_W(const QByteArray &body);
    void onCT_T(const QByteArray &body);
    void onCT_D(const QByteArray &body);

    QListWidget *LBC_W;
    QTabWidget *PC_Conc;
    QWidget *TS_Context;
    QWidget *TS_Text;
    QWidget *TS_Conc_D;
    QWidget *TS_FGrp;

    // The dictionary widgets of the page (entry tree, link choice, "Иерархия
    // элементов"), driven by the dictionary browser through their operations.
    ConcDictLinks *dictView() const { return m_dictLinks; }
    QTreeWidget *TreeDOx;
    // The contents of "Текст" and "Словарь".
    TextPanel *textPanel() const { return m_text; }
    UsagePanel *usagePanel() const { return m_usage; }
    QRadioButton *RBD1;
    QRadioButton *RBD2;
    QRadioButton *RBD3;
    QCheckBox *CB_DST;

signals:
    // End of SetConc: the dictionary side resets its links and "DictSearcType".
    void concordanceReset();

private:
    PageHost &m_host;
    ConcDictLinks *m_dictLinks = nullptr;
    TextPanel *m_text = nullptr;
    UsagePanel *m_usage = nullptr;
};
