#include "TextPanel.h"

#include "BufferActions.h"
#include "BufferWindow.h"
#include "FullTextWindow.h"
#include "TextCanvas.h"
#include "concordance/api/ConcordanceView.h"
#include "dictionary/api/DictionaryLinks.h"
#include "filters/api/FilterRowsView.h"
#include "session/Neighbour.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QColor ZoneColour(192, 220, 192);   // 12639424

textcore::TextKey textKey(int key)
{
    switch (key) {
    case Qt::Key_Home: return textcore::TextKey::Home;
    case Qt::Key_PageUp: return textcore::TextKey::PageUp;
    case Qt::Key_PageDown: return textcore::TextKey::PageDown;
    case Qt::Key_End: return textcore::TextKey::End;
    case Qt::Key_Left: return textcore::TextKey::Left;
    case Qt::Key_Right: return textcore::TextKey::Right;
    default: return textcore::TextKey::Other;
    }
}

char pagingLetter(int key)
{
    switch (key) {
    case Qt::Key_PageUp: return '-';
    case Qt::Key_PageDown: return '+';
    case Qt::Key_Home: return 'B';
    case Qt::Key_End: return 'E';
    default: return 0;
    }
}

} // namespace

TextPanel::TextPanel(PageHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("TextPanel"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    PanelT = new QWidget(this);
    PanelT->setObjectName(QStringLiteral("PanelT"));
    PanelT->setAutoFillBackground(true);
    outer->addWidget(PanelT);
    auto *lay = new QVBoxLayout(PanelT);

    auto *top = new QHBoxLayout;
    L_TextName = new QLabel(PanelT);
    L_TextName->setObjectName(QStringLiteral("L_TextName"));
    L_TextName->setTextFormat(Qt::PlainText);
    CB_FastListing = new QCheckBox(QStringLiteral("Просмотр без смены текущего слова"), PanelT);
    CB_FastListing->setObjectName(QStringLiteral("CB_FastListing"));
    B_Buf2_Text = new QPushButton(PanelT);
    B_Buf2_Text->setObjectName(QStringLiteral("B_Buf2_Text"));
    B_BufShow_Text = new QPushButton(PanelT);
    B_BufShow_Text->setObjectName(QStringLiteral("B_BufShow_Text"));
    B_BufC_Text = new QPushButton(PanelT);
    B_BufC_Text->setObjectName(QStringLiteral("B_BufC_Text"));
    top->addWidget(L_TextName, 1);
    top->addWidget(CB_FastListing);
    top->addWidget(B_Buf2_Text);
    top->addWidget(B_BufShow_Text);
    top->addWidget(B_BufC_Text);
    lay->addLayout(top);

    L_FullTextFict = new QLabel(PanelT);
    L_FullTextFict->setObjectName(QStringLiteral("L_FullTextFict"));
    L_FullTextFict->hide();

    P_Text = new QScrollArea(PanelT);
    P_Text->setObjectName(QStringLiteral("P_Text"));
    P_Text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    P_Text->setFocusPolicy(Qt::NoFocus);
    m_canvas = new TextCanvas(m_view);
    P_Text->setWidget(m_canvas);
    m_canvas->pressed = [this](int label, Qt::MouseButton b, Qt::KeyboardModifiers m, const QPoint &g) {
        pressLabel(label, b, m, g);
    };
    // MemoX keeps the keyboard for the text zone: a memo of one pixel in P_Text.
    MemoX = new QPlainTextEdit(P_Text);
    MemoX->setObjectName(QStringLiteral("MemoX"));
    MemoX->setReadOnly(true);
    MemoX->setFrameShape(QFrame::NoFrame);
    MemoX->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoX->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoX->setGeometry(0, 0, 1, 1);
    lay->addWidget(P_Text, 1);

    Memo_Text = new QPlainTextEdit(PanelT);
    Memo_Text->setObjectName(QStringLiteral("Memo_Text"));
    Memo_Text->setReadOnly(true);
    Memo_Text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo_Text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo_Text->hide();
    lay->addWidget(Memo_Text, 1);

    m_buffer = new BufferActions(host, *this, this);
    connect(CB_FastListing, &QCheckBox::toggled, this, &TextPanel::CB_FastListingClick);
    connect(B_Buf2_Text, &QPushButton::clicked, this, [this] { m_buffer->B_Buf2Click(); });
    connect(B_BufShow_Text, &QPushButton::clicked, this, [this] { m_buffer->B_BufShowClick(); });
    connect(B_BufC_Text, &QPushButton::clicked, this, [this] { m_buffer->B_BufCClick(); });
    for (QWidget *w : {static_cast<QWidget *>(MemoX), static_cast<QWidget *>(CB_FastListing),
                       static_cast<QWidget *>(B_Buf2_Text), static_cast<QWidget *>(B_BufShow_Text),
                       static_cast<QWidget *>(B_BufC_Text), PanelT, P_Text->viewport(), Memo_Text->viewport()})
        w->installEventFilter(this);

    setTextFont(font());
    setZoneHighlight(false);
    reset();
}

TextPanel::~TextPanel() = default;

SessionState &TextPanel::state()
{
    return m_host.state();
}

void TextPanel::setWindows(FullTextWindow *fullText, BufferWindow *buffer)
{
    m_fullText = fullText;
    m_buffer->setWindows(fullText, buffer);
    if (buffer) {
        buffer->attach(m_host);
        connect(buffer, &BufferWindow::clearClicked, this, [this] { highlightShowButton(false); });
    }
    m_bufferWindow = buffer;
    if (!fullText)
        return;
    connect(fullText, &FullTextWindow::pageRequested, this, &TextPanel::pageFullText);
    connect(fullText, &FullTextWindow::escapePressed, this, &TextPanel::uncheckFastListing);
    connect(fullText, &FullTextWindow::fastListingUnticked, this, [this] { conc().showContextPage(); });
    connect(fullText, &FullTextWindow::rowsChanged, this,
            [this](int rows) { state().Options.set("LBC_X_Max", QByteArray::number(rows)); });
    connect(fullText, &FullTextWindow::copyClicked, m_buffer, &BufferActions::fullText_B_Buf2_TextClick);
    connect(fullText, &FullTextWindow::showBufferClicked, m_buffer, &BufferActions::B_BufShowClick);
    connect(fullText, &FullTextWindow::emptyBufferClicked, m_buffer, &BufferActions::fullText_B_BufC_TextClick);
}

namespace {

template <class T>
T &need(T *p, const char *what)
{
    return neighbour(p, "The text view", what);
}

} // namespace

void TextPanel::connectNeighbours(const TextNeighbours &n)
{
    need(n.conc, "concordance page");
    need(n.filters, "filter rows");
    need(n.dictionary, "dictionary");
    need(n.usage, "usage table");
    m_n = n;
    m_buffer->connectNeighbours(n);
}

ConcordanceView &TextPanel::conc() const
{
    return need(m_n.conc, "concordance page");
}

int TextPanel::fullTextMemoHeight() const
{
    return m_fullText ? m_fullText->Memo_Text->height() : 0;
}

QFont TextPanel::fullTextFont() const
{
    return m_fullText ? m_fullText->Memo_Text->font() : textFont();
}

void TextPanel::setBufferFont(const QFont &font)
{
    if (m_bufferWindow)
        m_bufferWindow->LB->setFont(font);
}

void TextPanel::setBackground(const QColor &colour)
{
    QWidget *w = P_Text->viewport();
    QPalette p = w->palette();
    p.setColor(w->backgroundRole(), colour.isValid() ? colour : QPalette().color(w->backgroundRole()));
    w->setPalette(p);
    w->setAutoFillBackground(colour.isValid());
}

void TextPanel::copyToBuffer() { m_buffer->B_Buf2Click(); }
void TextPanel::copyLineToBuffer() { m_buffer->PM_LCB_W_BufClick(); }
void TextPanel::showBuffer() { m_buffer->B_BufShowClick(); }
bool TextPanel::emptyBuffer() { return m_buffer->B_BufCClick(); }
void TextPanel::writeExportHeader() { m_buffer->B_BufClick(); }

// ---------------------------------------------------------------- operations

void TextPanel::reset()
{
    B_Buf2_Text->setText(QStringLiteral("Текст -> буфер"));
    B_Buf2_Text->setToolTip(QStringLiteral("Копировать текст во временный файл"));
    B_BufShow_Text->setText(QStringLiteral("Просмотреть буф."));
    B_BufShow_Text->setToolTip(QStringLiteral("Показать временный файл"));
    B_BufC_Text->setText(QStringLiteral("Очистить буфер"));
    B_BufC_Text->setToolTip(QStringLiteral("Очистить временный файл"));
    highlightShowButton(false);
    {
        const QSignalBlocker block(CB_FastListing);
        CB_FastListing->setChecked(false);
    }
    P_Text->show();
    Memo_Text->hide();
    Memo_Text->clear();
    L_TextName->clear();
    TS_Conc_THide();
    m_view.fragmentCaption = false;
    state().PendingFragment.clear();
    // The collected lines are the user's work: they outlive the session unless the
    // user empties them.
    m_buffer->offerToEmptyAfterReset();
}

void TextPanel::requestText()
{
    SessionState &s = state();
    if (!s.CurrentConcPos)
        return;
    Memo_Text->clear();
    TS_Conc_THide();
    if (need(m_n.filters, "filter rows").listPosX())
        s.CurrentConcPos->Move[0] = 'B';
    sendText(isFastListing() ? "CT_T" : "CT_W", true);
}

void TextPanel::openTextOfLine(qint32 occurrence)
{
    if (tCConcPos *c = state().CurrentConcPos.get()) {
        c->CurLine = occurrence;
        c->FirstLine = occurrence;
    }
    CB_FastListing->setChecked(false);
    CB_FastListing->setChecked(true);
}

void TextPanel::uncheckFastListing()
{
    CB_FastListing->setChecked(false);
}

bool TextPanel::isFastListing() const
{
    return CB_FastListing->isChecked();
}

void TextPanel::TS_Conc_THide()
{
    m_view.freePage();
    m_words.clear();
    showPage();
}

void TextPanel::CB_FastListingClick(bool checked)
{
    SessionState &s = state();
    P_Text->setVisible(!checked);
    Memo_Text->setVisible(checked);
    s.Options.set("LBC_T_End", "-1");
    s.Options.remove("Text_CrntCW");
    tCConcPos *c = s.CurrentConcPos.get();
    if (!checked) {
        if (m_highlighted)
            focusText();
        if (c)
            c->FirstLine = c->CurLine;
        return;
    }
    if (!c)
        return;
    c->CurLine = c->FirstLine;
    sendText("CT_T", false);
}

void TextPanel::sendText(const QByteArray &tag, bool firstDictionary)
{
    SessionState &s = state();
    if (!s.CurrentConcPos)
        return;
    tCDictPos dict(-1);
    if (firstDictionary && !s.DictPosList.isEmpty())
        dict = s.DictPosList.first().pos;
    else if (!firstDictionary && s.currentDictPos())
        dict = *s.currentDictPos();
    m_host.SendToServer(tag, requests::concDictParams(*s.CurrentConcPos, dict, s.Options));
}

void TextPanel::pageFullText(char letter)
{
    state().Options.set("TextPos", QByteArray(1, letter));
    sendText("CT_T", false);
}

bool TextPanel::textViewKey(QKeyEvent *event)
{
    if (!isVisible() || !m_highlighted)
        return false;
    if (isFastListing()) {
        const char letter = pagingLetter(event->key());
        if (!letter)
            return false;
        pageFullText(letter);
        return true;
    }
    SessionState &s = state();
    const textcore::TextKeyOutcome out = textcore::pageKey(m_view, textKey(event->key()));
    s.Options.set("TextPos", QByteArray(1, out.letter));
    if (s.CurrentConcPos)
        s.CurrentConcPos->Move[0] = out.letter;
    if (out.click >= 0)
        clickLabel(out.click);
    if (out.toWordList)
        conc().activateWordList();
    return out.consumed;
}

void TextPanel::setZoneHighlight(bool on)
{
    m_highlighted = on;
    QPalette pal = PanelT->palette();
    pal.setColor(QPalette::Window, on ? ZoneColour : palette().color(QPalette::Button));
    PanelT->setPalette(pal);
}

void TextPanel::focusText()
{
    MemoX->setFocus(Qt::OtherFocusReason);
}

void TextPanel::clearWordMarking()
{
    textcore::clearMarking(m_view, state().PendingFragment);
    m_canvas->update();
    showCopyCaption();
}

QFont TextPanel::textFont() const
{
    return L_FullTextFict->font();
}

void TextPanel::setTextFont(const QFont &f)
{
    L_FullTextFict->setFont(f);
    P_Text->setFont(f);
    L_FullTextFict->setFixedHeight(QFontMetrics(f).height() + 4);
    m_canvas->setLabelStyle(f, L_FullTextFict->palette().color(QPalette::WindowText), wordLabelHeight());
    relayout();
}

void TextPanel::relayout()
{
    if (m_words.isEmpty())
        return;
    // The same page in another font or width; the marks stay on their words.
    const QList<textcore::WordLabel> before = m_view.labels;
    const textcore::TextSel sel = m_view.sel;
    layout();
    for (int i = 0; i < qMin(before.size(), m_view.labels.size()); ++i)
        m_view.labels[i].marked = before[i].marked;
    m_view.sel = sel;
    showPage();
}

int TextPanel::wordLabelHeight() const
{
    return L_FullTextFict->height();
}

// ---------------------------------------------------------------- replies

void TextPanel::onCT_W(const QByteArray &body)
{
    SessionState &s = state();
    need(m_n.dictionary, "dictionary").clearDictLinks();
    const bool forBuffer = s.Options.value("PrintText") == "1F";
    if (!forBuffer)
        TS_Conc_THide();
    L_TextName->clear();
    const textcore::TextPageReply page = textcore::parseTextPage(body);
    if (page.hasTitle)
        setText(L_TextName, textcore::textNameCaption(page.title));
    if (forBuffer) {
        // The page goes into the buffer; the page shown stays.
        m_buffer->append(textcore::textPageExport(page, textName()));
        if (!s.Buffer.isEmpty()) {
            highlightShowButton(true);
            B_BufShow_Text->setEnabled(true);
        }
    } else {
        m_words = page.words;
        layout();
        s.PendingFragment.clear();
        m_view.fragmentCaption = false;
        showCopyCaption();
    }
    s.Options.set("PrintText", "False");
    need(m_n.dictionary, "dictionary").loadDictLinks(page.links);
    Memo_Text->hide();
    Memo_Text->clear();
}

void TextPanel::onCT_T(const QByteArray &body)
{
    Memo_Text->clear();
    const textcore::FullTextReply text = textcore::parseFullText(body);
    if (text.hasTitle)
        setText(L_TextName, textcore::textNameCaption(text.title));
    else
        L_TextName->clear();
    QStringList lines;
    lines.reserve(text.lines.size());
    for (const QByteArray &l : text.lines)
        lines.append(cp1251::decode(l));
    Memo_Text->setPlainText(lines.join(QLatin1Char('\n')));
    // Where the current occurrence is on this page: read once, not sent back.
    SessionState &s = state();
    const std::optional<textcore::TextMark> mark = textcore::parseTextMark(s.Options.value("TextMark"), text.lines);
    s.Options.remove("TextMark");
    markOccurrence(Memo_Text, mark);
    if (!m_fullText)
        return;
    const QWidget *main = window();
    const int top = main->geometry().top() + P_Text->mapTo(main, QPoint(0, 0)).y() + 30;
    // No line chosen: no name, as LC_TextName shows none.
    const QByteArray name = conc().selectedTextName();
    const QByteArray caption = name.isEmpty() ? QByteArray() : textcore::textNameCaption(name);
    m_fullText->showText(lines, L_TextName->text(), cp1251::decode(caption), top);
    m_fullText->markOccurrence(mark);
}

// ---------------------------------------------------------------- the page

void TextPanel::layout()
{
    const QFontMetrics fm(textFont());
    textcore::LayoutMetrics m;
    m.lineHeight = wordLabelHeight();
    m.clientWidth = m_laidOutWidth = P_Text->viewport()->width();
    m.blankWidth = fm.horizontalAdvance(QLatin1Char(' '));
    m.width = [fm](const QByteArray &t) { return fm.horizontalAdvance(cp1251::decode(t)); };
    textcore::layoutPage(m_view, m_words, m);
    showPage();
}

void TextPanel::showPage()
{
    m_canvas->resize(P_Text->viewport()->width(), qMax(1, m_view.scrollRange));
    m_canvas->update();
    P_Text->verticalScrollBar()->setValue(m_view.scrollPos);
}

QRect TextPanel::labelRect(int label) const
{
    return m_canvas->labelRect(label);
}

void TextPanel::activateText()
{
    conc().activateText();
}

void TextPanel::pressLabel(int label, Qt::MouseButton button, Qt::KeyboardModifiers mods, const QPoint &global)
{
    activateText();
    if (label < 0)
        return;
    if (button == Qt::RightButton) {
        conc().textPopup(global);
        return;
    }
    if (button != Qt::LeftButton)
        return;
    if (mods & Qt::ControlModifier)
        textcore::ctrlClick(m_view, state().PendingFragment, label);
    else if (mods & Qt::ShiftModifier)
        textcore::shiftClick(m_view, state().PendingFragment, label);
    else
        return clickLabel(label);
    m_canvas->update();
    showCopyCaption();
}

void TextPanel::clickLabel(int label)
{
    SessionState &s = state();
    activateText();
    if (!s.CurrentConcPos || label < 0 || label >= m_view.labels.size())
        return;
    textcore::clickWord(m_view.labels[label].tag, *s.CurrentConcPos, s.Options);
    TS_Conc_THide();
    need(m_n.filters, "filter rows").uncheckListPosX();
    conc().requestList();
}

// ---------------------------------------------------------------- buffer side

QByteArray TextPanel::textName() const
{
    return cp1251::encode(L_TextName->text());
}

QByteArray TextPanel::memoSelection() const
{
    return cp1251::encode(
        Memo_Text->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
}

void TextPanel::clearMemoSelection()
{
    QTextCursor c = Memo_Text->textCursor();
    c.clearSelection();
    Memo_Text->setTextCursor(c);
    m_view.sel.count = 0;
}

void TextPanel::fragmentCopied()
{
    m_view.fragmentCaption = false;
    showCopyCaption();
    B_BufShow_Text->setEnabled(true);
}

void TextPanel::highlightShowButton(bool on)
{
    QPalette pal = B_BufShow_Text->palette();
    pal.setColor(QPalette::ButtonText, on ? TextCanvas::currentColour() : palette().color(QPalette::WindowText));
    B_BufShow_Text->setPalette(pal);
    QFont f = B_BufShow_Text->font();
    f.setBold(on);
    B_BufShow_Text->setFont(f);
}

void TextPanel::showCopyCaption()
{
    B_Buf2_Text->setText(m_view.fragmentCaption ? QStringLiteral("Сохранить фрагмент")
                                                : QStringLiteral("Текст -> буфер"));
}

void TextPanel::setText(QLabel *label, const QByteArray &text)
{
    label->setText(cp1251::decode(text));
}

// ---------------------------------------------------------------- events

bool TextPanel::focusMove(QWidget *control, QEvent *event)
{
    const auto reason = static_cast<QFocusEvent *>(event)->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
        return false;
    // Tabbing onto the box or a buffer button acts on it and leaves the keyboard
    // with the text; the direction picks the zone.
    focusText();
    if (reason == Qt::TabFocusReason)
        conc().activateLowerZone();
    else
        conc().activateWordList();
    QTimer::singleShot(0, control, [control] {
        if (auto *box = qobject_cast<QCheckBox *>(control))
            box->toggle();
        else if (auto *button = qobject_cast<QPushButton *>(control))
            button->click();
    });
    return true;
}

bool TextPanel::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (watched == Memo_Text->viewport() || watched == PanelT || watched == P_Text->viewport())
            break;
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            if (key == Qt::Key_Left)
                conc().activateWordList();
            else
                conc().activateLowerZone();
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
        if (watched != MemoX && (watched == CB_FastListing || watched == B_Buf2_Text
                                 || watched == B_BufShow_Text || watched == B_BufC_Text))
            return focusMove(static_cast<QWidget *>(watched), event);
        break;
    case QEvent::Resize:
        // P_Text's width decides the line breaks.
        if (watched == P_Text->viewport()) {
            if (P_Text->viewport()->width() != m_laidOutWidth)
                relayout();
            m_canvas->resize(P_Text->viewport()->width(), m_canvas->height());
        }
        break;
    case QEvent::MouseButtonPress:
        if (watched == PanelT || watched == P_Text->viewport())
            activateText();
        break;
    case QEvent::MouseButtonRelease:
        if (watched == Memo_Text->viewport()) {
            // Memo_TextMouseUp: a selection is the fragment to save.
            const QString sel = Memo_Text->textCursor().selectedText();
            if (sel.isEmpty()) {
                state().PendingFragment.clear();
                m_view.sel.count = 0;
                m_view.fragmentCaption = false;
            } else {
                m_view.sel.count = int(sel.size());
                m_view.fragmentCaption = true;
            }
            showCopyCaption();
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
