#pragma once
// What the "Текст" sub-page and the buffer do for the concordance page: the text
// around an occurrence, the full-text window, the buffer's copy, show and empty
// commands. The text panel implements it; the main window hands it to the
// concordance page at start-up.
#include <QByteArray>
#include <QColor>
#include <QFont>

class QKeyEvent;

class TextSubPage {
public:
    virtual ~TextSubPage() = default;

    // Set-up of the concordance page: buffer buttons, no marks, no page; a buffer
    // with lines is emptied only if the user says so, asked after the set-up.
    virtual void reset() = 0;
    // The context request while "Текст" is the sub-page ("CT_W" / "CT_T").
    virtual void requestText() = 0;
    // "Просмотр текста" and Enter: the full text around `occurrence`.
    virtual void openTextOfLine(qint32 occurrence) = 0;
    virtual void uncheckFastListing() = 0;
    // The sub-page was left: the page's word labels go.
    virtual void leaveSubPage() = 0;
    // Keys while the text view has the keyboard; true when taken.
    virtual bool textViewKey(QKeyEvent *event) = 0;

    // ---- The active zone.
    virtual void setZoneHighlight(bool on) = 0;
    virtual void focusText() = 0;
    // The text view holds words.
    virtual bool hasWords() const = 0;

    // ---- Sizes and fonts.
    virtual QFont textFont() const = 0;
    virtual void setTextFont(const QFont &font) = 0;
    // The height of a word label, for the rows of the text page.
    virtual int wordLabelHeight() const = 0;
    // The full-text window's memo: its height (0 before the window exists) and font.
    virtual int fullTextMemoHeight() const = 0;
    virtual QFont fullTextFont() const = 0;
    // The buffer window's list takes the value list's font.
    virtual void setBufferFont(const QFont &font) = 0;
    // The background of the text page (the filter panel's "text colour" command).
    virtual void setBackground(const QColor &colour) = 0;

    // ---- The buffer.
    // "Конк.-> Буфер": the copy step that fits the state.
    virtual void copyToBuffer() = 0;
    // "Строка конк.=>Буфер": the selected context line alone.
    virtual void copyLineToBuffer() = 0;
    virtual void showBuffer() = 0;
    // Empties the buffer after the question; true when emptied.
    virtual bool emptyBuffer() = 0;
    // The export header (the filter summary) before a concordance export's lines.
    virtual void writeExportHeader() = 0;
};
