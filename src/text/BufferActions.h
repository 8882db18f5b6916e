#pragma once
// The buffer's actions on the main window and the full-text window: copying to the
// buffer in its five ways, the single-line export, the export header of a
// concordance export, showing and emptying the buffer. The lines written are
// textcore's (BufferOps.h); the buffer itself is SessionState::Buffer.
#include "text/core/BufferOps.h"

#include <QObject>

class PageHost;
class TextPanel;
struct TextNeighbours;
class FullTextWindow;
class BufferWindow;

class BufferActions : public QObject {
    Q_OBJECT
public:
    BufferActions(PageHost &host, TextPanel &text, QObject *parent = nullptr);

    // The concordance page, the filter rows and the usage table (the text panel's
    // neighbours, connected with it).
    void connectNeighbours(const TextNeighbours &neighbours);
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
    // The concordance page is set up anew (a connect, a lost connection): the buffer
    // keeps its lines, and once the set-up is over the user is asked whether to empty
    // it, keeping them being the default answer. Nothing is asked for an empty
    // buffer, nor when the window is hidden (the program is closing): the lines stay.
    void offerToEmptyAfterReset();

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
    const TextNeighbours *m_n = nullptr;
    FullTextWindow *m_fullText = nullptr;
    BufferWindow *m_window = nullptr;
    bool m_offerQueued = false;
};
