#pragma once
// FullTextWindow: the full-text window of the fast listing. Shows the lines of a "CT_T"
// reply in its memo, pages with PgUp, PgDn, Home and End, copies a selection to
// the buffer, and closes with Esc or "Завершить просмотр". Shown modally; the text
// panel that owns the fast listing fills it and reacts to it through the hooks.
#include "text/core/TextReplies.h"

#include <QDialog>
#include <QFont>
#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

// Paints `mark` in `memo` (lime, like the current word of the text page) without
// touching the text or the selection; none clears the paint.
void markOccurrence(QPlainTextEdit *memo, const std::optional<textcore::TextMark> &mark);

class FullTextWindow : public QDialog {
    Q_OBJECT
public:
    explicit FullTextWindow(QWidget *parent = nullptr);

    std::function<std::optional<QFont>(QWidget *parent, const QFont &initial)> chooseFont;

    // The lines of a full text: the memo filled, CB_FastListing ticked, the text
    // name and the window caption set, the caret at the start; the window shows
    // (modally) unless it already does. `top`: the window's top edge.
    void showText(const QStringList &lines, const QString &textName, const QString &caption, int top);
    // The current occurrence on the page shown, or none.
    void markOccurrence(const std::optional<textcore::TextMark> &mark);
    // Unticks CB_FastListing; the hook of an unticked box runs (as for the user).
    void untickFastListing();
    // The rows that fit into the memo (the rows-that-fit rule).
    int rowsThatFit() const;
    // The memo's selection (empty none) and removing it.
    QString selectedText() const;
    void clearSelection();
    // After a copy or emptying: B_Buf2_Text reads "Текст -> буфер" and hides.
    void resetCopyButton();

    QWidget *P_Top;
    QCheckBox *CB_FastListing;
    QPushButton *B_Close;
    QPushButton *B_Buf2_Text;
    QPushButton *B_BufShow_Text;
    QPushButton *B_BufC_Text;
    QLabel *L_TextName;
    QPlainTextEdit *Memo_Text;
    QLabel *Info_SB1_Select;
    QLabel *Info_SB1_Exit;
    QAction *M_Font;

signals:
    void pageRequested(char letter);    // "CT_T" with "TextPos" = letter
    void escapePressed();               // Esc, B_Close: both boxes unticked
    void fastListingUnticked();         // the user unticked CB_FastListing
    void rowsChanged(int rows);         // "LBC_X_Max" of the memo
    void copyClicked();                 // B_Buf2_Text
    void showBufferClicked();           // B_BufShow_Text
    void emptyBufferClicked();          // B_BufC_Text

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The steps of the constructor, in the order the widgets are created.
    void buildTopPanel(QVBoxLayout *lay);
    void buildTextArea(QVBoxLayout *lay);
    void buildStatusBar(QVBoxLayout *lay);
    void connectSignals();

    bool previewKey(QKeyEvent *event);
    void memoMouseUp();
    void keepOnScreen();

    int m_top = -1;
};
