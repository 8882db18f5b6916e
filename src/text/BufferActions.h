#pragma once
// The buffer's actions on the main window and the full-text window: copying to the
// buffer in its five ways, the single-line export, the export header of a
// concordance export, showing and emptying the buffer. The lines written are
// textcore's (BufferOps.h); the buffer itself is SessionState::Buffer.
#include "text/core/BufferOps.h"

#include <QObject>
#include <functional>

class PageHost;
class TextPanel;
class FullTextWindow;
class BufferWindow;

class BufferActions : public QObject {
    Q_OBJECT
public:
    // What the actions need from the concordance page. Unset hooks do nothing (or
    // answer "nothing shown", "nothing checked").
    struct Hooks {
        std::function<textcore::SubPage()> subPage;   // the sub-page shown in PageCC
        // The click on the selected value of the word list, which asks for its
        // lines again; with "PrintConc" they go into the buffer.
        std::function<void()> wordListClick;
        // A marked concordance line (row of LBC_L) loses its "*".
        std::function<void(int row)> unmarkConcLine;
        // B_Buf2 reads "Конк.-> Буфер" again.
        std::function<void()> concLinesCopied;
        // The five filter rows and CB_Perm, for the export header.
        std::function<QList<textcore::FilterRow>()> filterRows;
        std::function<bool()> permChecked;
        // Lets the context request of the "Словарь" sub-page ask for lines once.
        std::function<void()> allowContextFromUsage;
        // CB_Txt ("контекст") of the usage sub-page.
        std::function<bool()> usageContextChecked;
        // The pane switch after the buffer window closes or the buffer is emptied.
        std::function<void()> paneSwitch;
        std::function<QByteArray()> concTextName;   // LC_TextName (1251)
    };

    BufferActions(PageHost &host, TextPanel &text, QObject *parent = nullptr);

    // Pages that set some hooks read the others first (hooks(), change, setHooks).
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    const Hooks &hooks() const { return m_hooks; }
    void setWindows(FullTextWindow *fullText, BufferWindow *buffer);

    // B_Buf2Click: the one copy step that fits the state.
    void B_Buf2Click();
    // PM_LCB_W_BufClick: the selected concordance line alone.
    void PM_LCB_W_BufClick();
    // B_BufClick: the export header, written by the concordance export first.
    void B_BufClick();
    // B_BufShowClick: the buffer window, modal; the pane switch when it closes.
    void B_BufShowClick();
    // B_BufCClick: empties the buffer after the question; an empty buffer is left
    // alone without a question. True when the buffer was emptied.
    bool B_BufCClick();

    // The full-text window's buttons.
    void fullText_B_Buf2_TextClick();
    void fullText_B_BufC_TextClick();

    // Appends lines (each split at line breaks) to the buffer.
    void append(const QList<QByteArray> &lines);

signals:
    // After every change of the buffer: whether it is empty now.
    void bufferEmptinessChanged(bool empty);

private:
    // Questions with OK and Cancel; true for OK.
    bool ask(const QByteArray &question);
    void exportConcordance(bool singleLine);
    void copyMarkedLines();

    PageHost &m_host;
    TextPanel &m_text;
    Hooks m_hooks;
    FullTextWindow *m_fullText = nullptr;
    BufferWindow *m_window = nullptr;
};
