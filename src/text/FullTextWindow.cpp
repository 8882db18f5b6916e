#include "FullTextWindow.h"

#include <QCheckBox>
#include <QTextBlock>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QColor PanelColour(192, 220, 192);   // 12639424

std::optional<QFont> chooseFontDialog(QWidget *parent, const QFont &initial)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent);
    return ok ? std::optional<QFont>(f) : std::nullopt;
}

} // namespace

FullTextWindow::FullTextWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    resize(760, 560);
    chooseFont = chooseFontDialog;

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    auto *menu = new QMenuBar(this);
    M_Font = menu->addAction(QStringLiteral("Шрифт"));
    M_Font->setObjectName(QStringLiteral("M_Font"));
    lay->setMenuBar(menu);

    buildTopPanel(lay);
    buildTextArea(lay);
    buildStatusBar(lay);

    for (QWidget *w : {static_cast<QWidget *>(Memo_Text), Memo_Text->viewport(),
                       static_cast<QWidget *>(CB_FastListing), static_cast<QWidget *>(B_Close),
                       static_cast<QWidget *>(B_Buf2_Text), static_cast<QWidget *>(B_BufShow_Text),
                       static_cast<QWidget *>(B_BufC_Text)})
        w->installEventFilter(this);

    // Lay the hidden window out at its size now: the first page of text is asked
    // for with the rows of this memo before the window has ever been shown.
    ensurePolished();
    lay->activate();

    connectSignals();
}

void FullTextWindow::buildTopPanel(QVBoxLayout *lay)
{
    P_Top = new QWidget(this);
    P_Top->setObjectName(QStringLiteral("P_Top"));
    P_Top->setAutoFillBackground(true);
    auto *top = new QHBoxLayout(P_Top);
    CB_FastListing = new QCheckBox(QStringLiteral("Просмотр без смены текущего слова"), P_Top);
    CB_FastListing->setObjectName(QStringLiteral("CB_FastListing"));
    B_Close = new QPushButton(QStringLiteral("Завершить просмотр"), P_Top);
    B_Close->setObjectName(QStringLiteral("B_Close"));
    B_Buf2_Text = new QPushButton(QStringLiteral("Текст -> буфер"), P_Top);
    B_Buf2_Text->setObjectName(QStringLiteral("B_Buf2_Text"));
    B_Buf2_Text->setToolTip(QStringLiteral("Копировать текст во временный файл"));
    B_Buf2_Text->hide();
    B_BufShow_Text = new QPushButton(QStringLiteral("Просмотреть буф."), P_Top);
    B_BufShow_Text->setObjectName(QStringLiteral("B_BufShow_Text"));
    B_BufShow_Text->setToolTip(QStringLiteral("Показать временный файл"));
    B_BufC_Text = new QPushButton(QStringLiteral("Очистить буфер"), P_Top);
    B_BufC_Text->setObjectName(QStringLiteral("B_BufC_Text"));
    B_BufC_Text->setToolTip(QStringLiteral("Очистить временный файл"));
    top->addWidget(CB_FastListing);
    top->addWidget(B_Close);
    top->addWidget(B_Buf2_Text);
    top->addWidget(B_BufShow_Text);
    top->addWidget(B_BufC_Text);
    top->addStretch(1);
    lay->addWidget(P_Top);
}

void FullTextWindow::buildTextArea(QVBoxLayout *lay)
{
    L_TextName = new QLabel(this);
    L_TextName->setObjectName(QStringLiteral("L_TextName"));
    L_TextName->setTextFormat(Qt::PlainText);
    lay->addWidget(L_TextName);
    Memo_Text = new QPlainTextEdit(this);
    Memo_Text->setObjectName(QStringLiteral("Memo_Text"));
    Memo_Text->setReadOnly(true);
    Memo_Text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo_Text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lay->addWidget(Memo_Text, 1);
}

void FullTextWindow::buildStatusBar(QVBoxLayout *lay)
{
    auto *status = new QWidget(this);
    status->setObjectName(QStringLiteral("Info_SB1"));
    auto *sl = new QHBoxLayout(status);
    sl->setContentsMargins(4, 0, 4, 0);
    Info_SB1_Select = new QLabel(QStringLiteral("Выделение фрагмента - левой кнопкой мыши, или Ctrl+A"), status);
    Info_SB1_Exit = new QLabel(QStringLiteral("Выход - Esc"), status);
    sl->addWidget(Info_SB1_Select, 1);
    sl->addWidget(Info_SB1_Exit);
    lay->addWidget(status);
}

void FullTextWindow::connectSignals()
{
    connect(B_Close, &QPushButton::clicked, this, [this] {
        emit escapePressed();
        untickFastListing();
        close();
    });
    connect(CB_FastListing, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            return;
        emit fastListingUnticked();
        close();
    });
    connect(B_Buf2_Text, &QPushButton::clicked, this, [this] {
        emit copyClicked();
    });
    connect(B_BufShow_Text, &QPushButton::clicked, this, [this] {
        emit showBufferClicked();
    });
    connect(B_BufC_Text, &QPushButton::clicked, this, [this] {
        emit emptyBufferClicked();
    });
    connect(M_Font, &QAction::triggered, this, [this] {
        if (!chooseFont)
            return;
        if (const auto f = chooseFont(this, Memo_Text->font()))
            Memo_Text->setFont(*f);
        emit rowsChanged(rowsThatFit());
    });
    // While the window shows, new text gives the memo the keyboard.
    connect(Memo_Text, &QPlainTextEdit::textChanged, this, [this] {
        if (isVisible())
            Memo_Text->setFocus(Qt::OtherFocusReason);
    });
}

void FullTextWindow::showText(const QStringList &lines, const QString &textName, const QString &caption, int top)
{
    Memo_Text->setPlainText(lines.join(QLatin1Char('\n')));
    {
        const QSignalBlocker block(CB_FastListing);
        CB_FastListing->setChecked(true);
    }
    L_TextName->setText(textName);
    Memo_Text->moveCursor(QTextCursor::Start);
    setWindowTitle(caption);
    if (isVisible())
        return;
    m_top = top;
    setWindowModality(Qt::ApplicationModal);
    show();
}

void markOccurrence(QPlainTextEdit *memo, const std::optional<textcore::TextMark> &mark)
{
    QList<QTextEdit::ExtraSelection> marks;
    const QTextBlock block = mark ? memo->document()->findBlockByNumber(mark->row) : QTextBlock();
    if (block.isValid() && mark->column + mark->length <= block.length() - 1) {
        QTextEdit::ExtraSelection sel;
        sel.cursor = QTextCursor(block);
        sel.cursor.setPosition(block.position() + mark->column);
        sel.cursor.setPosition(block.position() + mark->column + mark->length, QTextCursor::KeepAnchor);
        sel.format.setBackground(QColor(0, 255, 0));
        sel.format.setForeground(QColor(Qt::black));
        marks.append(sel);
    }
    memo->setExtraSelections(marks);
}

void FullTextWindow::markOccurrence(const std::optional<textcore::TextMark> &mark)
{
    ::markOccurrence(Memo_Text, mark);
}

void FullTextWindow::untickFastListing()
{
    CB_FastListing->setChecked(false);
}

int FullTextWindow::rowsThatFit() const
{
    const int h = Memo_Text->height();
    const int row = Memo_Text->fontMetrics().height() + 2;
    return h > 0 && row != 0 ? h / (row + 1) : 10;
}

QString FullTextWindow::selectedText() const
{
    return Memo_Text->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

void FullTextWindow::clearSelection()
{
    QTextCursor c = Memo_Text->textCursor();
    c.clearSelection();
    Memo_Text->setTextCursor(c);
}

void FullTextWindow::resetCopyButton()
{
    B_Buf2_Text->setText(QStringLiteral("Текст -> буфер"));
    B_Buf2_Text->hide();
}

void FullTextWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_top >= 0)
        move(x(), m_top);
    keepOnScreen();
    QPalette pal = P_Top->palette();
    pal.setColor(QPalette::Window, PanelColour);
    P_Top->setPalette(pal);
    Memo_Text->setFocus(Qt::OtherFocusReason);
}

// The top below the concordance lines leaves most of a 560-pixel window under the
// bottom of an 800-pixel screen: the window moves up (and, on a smaller screen,
// shrinks) until the whole of it shows.
void FullTextWindow::keepOnScreen()
{
    const QScreen *s = screen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    const int frameExtra = frameGeometry().height() - height();
    if (frameGeometry().height() > avail.height())
        resize(width(), qMax(minimumHeight(), avail.height() - frameExtra));
    const QRect frame = frameGeometry();
    const int top = qMax(avail.top(), qMin(frame.top(), avail.bottom() + 1 - frame.height()));
    if (top != frame.top())
        move(x(), top);
}

void FullTextWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    emit rowsChanged(rowsThatFit());
}

void FullTextWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        QTimer::singleShot(0, this, &QWidget::close);
}

void FullTextWindow::keyPressEvent(QKeyEvent *event)
{
    if (!previewKey(event))
        QDialog::keyPressEvent(event);
}

bool FullTextWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && previewKey(static_cast<QKeyEvent *>(event)))
        return true;
    if (event->type() == QEvent::MouseButtonRelease && watched == Memo_Text->viewport())
        memoMouseUp();
    return QDialog::eventFilter(watched, event);
}

bool FullTextWindow::previewKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (event->key() == Qt::Key_Escape) {
        emit escapePressed();
        untickFastListing();
        close();
        return true;
    }
    if (event->key() == Qt::Key_A && mods == Qt::ControlModifier) {
        Memo_Text->selectAll();
        memoMouseUp();
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    char letter = 0;
    switch (event->key()) {
    case Qt::Key_PageUp: letter = '-'; break;
    case Qt::Key_PageDown: letter = '+'; break;
    case Qt::Key_Home: letter = 'B'; break;
    case Qt::Key_End: letter = 'E'; break;
    default: return false;
    }
    emit pageRequested(letter);
    return true;
}

void FullTextWindow::memoMouseUp()
{
    if (Memo_Text->textCursor().hasSelection()) {
        B_Buf2_Text->setText(QStringLiteral("Сохранить фрагмент"));
        B_Buf2_Text->show();
    } else {
        B_Buf2_Text->setText(QStringLiteral("Текст -> буфер"));
    }
}
