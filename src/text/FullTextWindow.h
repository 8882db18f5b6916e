#pragma once
// FullTextWindow: the full-text window of the fast listing. Shows the lines of a "CT_T"
// reply in its memo, pages with PgUp, PgDn, Home and End, copies a selection to
// the buffer, and closes with Esc or "Завершить просмотр". Shown modally; the text
// panel that owns the fast listing fills it and reacts to it through the hooks.
#include <QDialog>
#include <QFont>
#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class FullTextWindow : public QDialog {
    Q_OBJECT
public:
    explicit FullTextWindow(QWidget *parent = nullptr);

    struct Hooks {
        std::function<void(char letter)> page;         // "CT_T" with "TextPos" = letter
        std::function<void()> escape;                  // Esc, B_Close: both boxes unticked
        std::function<void()> fastListingUnticked;     // the user unticked CB_FastListing
        std::function<void(int rows)> rowsChanged;     // "LBC_X_Max" of the memo
        std::function<void()> buf2Click;
        std::function<void()> bufShowClick;
        std::function<void()> bufCClick;
    };
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    std::function<std::optional<QFont>(QWidget *parent, const QFont &initial)> chooseFont;

    // The lines of a full text: the memo filled, CB_FastListing ticked, the text
    // name and the window caption set, the caret at the start; the window shows
    // (modally) unless it already does. `top`: the window's top edge.
    void showText(const QStringList &lines, const QString &textName, const QString &caption, int top);
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool previewKey(QKeyEvent *event);
    void memoMouseUp();
    void keepOnScreen();

    Hooks m_hooks;
    int m_top = -1;
};
