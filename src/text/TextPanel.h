#pragma once
// The contents of the "Текст" sub-page (TS_Conc_T): the text around the current
// occurrence, as word labels in page mode ("CT_W") or as plain lines in the fast
// listing ("CT_T", also shown in the full-text window FullTextWindow), with the buffer
// buttons. The decisions are textcore's (TextView.h, BufferOps.h); this panel
// paints them and sends the requests. It reaches the pages around it through their
// named operations (TextNeighbours), which the main window connects once.
#include "text/api/TextSubPage.h"
#include "text/core/TextView.h"

#include <QWidget>

class BufferActions;
class ConcordanceView;
class DictionaryLinks;
class FilterRowsView;
class UsageSubPage;
class PageHost;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class TextCanvas;
class FullTextWindow;
class BufferWindow;
struct SessionState;

// The pages the text view and the buffer work with. All are needed: connecting a set
// with one missing stops the program at start-up with a message naming it.
struct TextNeighbours {
    ConcordanceView *conc = nullptr;
    FilterRowsView *filters = nullptr;
    DictionaryLinks *dictionary = nullptr;
    UsageSubPage *usage = nullptr;
};

class TextPanel : public QWidget, public TextSubPage {
    Q_OBJECT
public:
    explicit TextPanel(PageHost &host, QWidget *parent = nullptr);
    ~TextPanel() override;

    void connectNeighbours(const TextNeighbours &neighbours);
    const TextNeighbours &neighbours() const { return m_n; }
    // The secondary windows, created by the frame after the main window.
    void setWindows(FullTextWindow *fullText, BufferWindow *buffer);
    FullTextWindow *fullTextWindow() const { return m_fullText; }
    BufferActions &buffer() { return *m_buffer; }

    // ---- TextSubPage: operations for the concordance page.

    // Set-up of the concordance page: captions and hints of the buffer buttons, the
    // buffer emptied, fast listing off, no page.
    void reset() override;
    // The context request of the "Текст" sub-page: "CT_W" (or "CT_T" in the fast
    // listing) around the current occurrence.
    void requestText() override;
    // "Просмотр текста" over a context line (and Enter): the full text around that
    // occurrence.
    void openTextOfLine(qint32 occurrence) override;
    void uncheckFastListing() override;
    void leaveSubPage() override { TS_Conc_THide(); }
    bool isFastListing() const;
    // TS_Conc_THide: the sub-page is left; its labels go.
    void TS_Conc_THide();
    // Keys while the sub-page shows and the text zone has the keyboard (the window
    // passes every key here first); true when taken.
    bool textViewKey(QKeyEvent *event) override;
    // The zone highlight of PanelT (12639424) or the button face.
    void setZoneHighlight(bool on) override;
    bool zoneHighlighted() const { return m_highlighted; }
    // MemoX takes the keyboard.
    void focusText() override;
    bool hasWords() const override { return !m_view.labels.isEmpty(); }
    // Any word marking cleared (emptying the buffer does this).
    void clearWordMarking();
    // The font of the word labels (P_Text's); L_FullTextFict's height follows it.
    QFont textFont() const override;
    void setTextFont(const QFont &font) override;
    // The height of a word label (L_FullTextFict), for "LBC_T_Max".
    int wordLabelHeight() const override;
    int fullTextMemoHeight() const override;
    QFont fullTextFont() const override;
    void setBufferFont(const QFont &font) override;
    void setBackground(const QColor &colour) override;

    // The buffer's commands (BufferActions).
    void copyToBuffer() override;
    void copyLineToBuffer() override;
    void showBuffer() override;
    bool emptyBuffer() override;
    void writeExportHeader() override;

    // ---- Replies.
    void onCT_W(const QByteArray &body);
    void onCT_T(const QByteArray &body);

    // ---- State shown (for the buffer actions and tests).
    const textcore::TextViewState &view() const { return m_view; }
    textcore::TextViewState &view() { return m_view; }
    QByteArray textName() const;   // L_TextName (1251)
    // The selected text of the main window's Memo_Text (1251), empty none.
    QByteArray memoSelection() const;
    void clearMemoSelection();
    // After a copy: B_Buf2_Text reads "Текст -> буфер", B_BufShow_Text enabled.
    void fragmentCopied();
    // B_BufShow_Text after a text page went into the buffer (lime, bold) and back.
    void highlightShowButton(bool on);
    // Shows the caption of B_Buf2_Text that the state asks for.
    void showCopyCaption();
    // The canvas rectangle of label i (in P_Text's contents), for clicks and tests.
    QRect labelRect(int label) const;

    QWidget *PanelT;
    QLabel *L_TextName;
    QLabel *L_FullTextFict;
    QScrollArea *P_Text;
    QPlainTextEdit *MemoX;
    QPlainTextEdit *Memo_Text;
    QCheckBox *CB_FastListing;
    QPushButton *B_BufC_Text;
    QPushButton *B_Buf2_Text;
    QPushButton *B_BufShow_Text;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    SessionState &state();
    void CB_FastListingClick(bool checked);
    void pressLabel(int label, Qt::MouseButton button, Qt::KeyboardModifiers mods, const QPoint &global);
    void clickLabel(int label);
    // "CT_T" for a paging letter of a Memo_Text.
    void pageFullText(char letter);
    void sendText(const QByteArray &tag, bool firstDictionary);
    void activateText();
    void layout();
    void relayout();
    void showPage();
    bool focusMove(QWidget *control, QEvent *event);
    void setText(QLabel *label, const QByteArray &text);

    ConcordanceView &conc() const;

    PageHost &m_host;
    TextNeighbours m_n;
    class BufferWindow *m_bufferWindow = nullptr;
    textcore::TextViewState m_view;
    QList<textcore::TextWord> m_words;   // the words of the page shown
    TextCanvas *m_canvas = nullptr;
    BufferActions *m_buffer = nullptr;
    FullTextWindow *m_fullText = nullptr;
    bool m_highlighted = false;
    int m_laidOutWidth = -1;
};

