#include "TextView.h"

namespace textcore {

void TextViewState::freePage()
{
    labels.clear();
    scrollRange = 1;
    scrollPos = 0;
    sel = TextSel();
}

// ---------------------------------------------------------------- layout

void layoutPage(TextViewState &view, const QList<TextWord> &words, const LayoutMetrics &m)
{
    view.labels.clear();
    view.sel = TextSel();
    const int h = m.lineHeight;
    int left = LayoutMargin;
    int top = LayoutMargin;
    int target = -1;
    for (const TextWord &w : words) {
        QByteArray rest = w.text;
        qint32 number = w.number;
        bool first = true;
        while (first || !rest.isEmpty()) {
            QByteArray text = rest;
            rest.clear();
            for (;;) {
                qsizetype i = 0;
                while (i < text.size() && text[i] == ' ')
                    ++i;
                if (i >= text.size() || text[i] != '`')
                    break;
                text.remove(0, i + 1);
                left = LayoutMargin;
                top += h;
            }
            const qsizetype accent = text.indexOf('`');
            if (accent >= 0) {
                rest = text.mid(accent);
                text.truncate(accent);
            }
            WordLabel label;
            // A negative number names no word: it counts as a piece.
            label.tag = qint32(qMax<qint64>(qint64(number) - 1, -2));
            if (left + m.blankWidth > m.clientWidth) {
                left = LayoutMargin;
                top += h;
            }
            label.left = left;
            label.top = top;
            label.text = text;
            label.width = m.width ? m.width(text) : int(text.size()) * m.blankWidth;
            left += label.width;
            // The scroll target is the line the current occurrence ends up on.
            if (label.current() && target < 0)
                target = top;
            view.labels.append(std::move(label));
            number = -1;   // what follows is a piece of this word
            first = false;
        }
    }
    view.scrollRange = view.labels.isEmpty() ? 1 : view.labels.last().top + h;
    view.scrollPos = target >= 0 ? target : LayoutMargin;
}

// ---------------------------------------------------------------- keys

TextKeyOutcome pageKey(TextViewState &view, TextKey key)
{
    TextKeyOutcome out;
    const int n = int(view.labels.size());
    int target = -1;
    bool fromStart = false;
    switch (key) {
    case TextKey::Home:
        out.letter = 'B';
        target = n > 0 ? 0 : -1;
        fromStart = true;
        break;
    case TextKey::PageUp:
        out.letter = '-';
        target = n > 0 ? 0 : -1;
        fromStart = true;
        break;
    case TextKey::PageDown:
        out.letter = '+';
        target = n - 1;
        break;
    case TextKey::End:
        out.letter = 'E';
        target = n - 1;
        break;
    case TextKey::Left:
        out.toWordList = true;
        out.consumed = true;
        return out;
    case TextKey::Right:
        out.consumed = true;
        return out;
    case TextKey::Other:
        return out;
    }
    out.consumed = true;
    if (target < 0 || view.labels[target].tag < -1)
        return out;
    qint32 &tag = view.labels[target].tag;
    if (tag <= 0 && n > 1) {
        if (fromStart) {
            if (view.labels[1].tag > 0)
                tag = view.labels[1].tag - 1;
        } else {
            const qint32 before = view.labels[n - 2].tag;
            if (before > 0)
                tag = before + 1;
            if (tag <= 0 && before < 0)
                tag = before + 1;
        }
    }
    out.click = target;
    return out;
}

// ---------------------------------------------------------------- click

void clickWord(qint32 tag, tCConcPos &conc, OptionList &options)
{
    if (tag >= 0) {
        conc.CurLine = tag;
        conc.FirstLine = tag;
    }
    options.set("TabType", options.value("TabType").left(4) + '4');
}

// ---------------------------------------------------------------- marking

namespace {

int markedCount(const TextViewState &view)
{
    int n = 0;
    for (const WordLabel &l : view.labels)
        n += l.marked ? 1 : 0;
    return n;
}

// Marks labels a..b. A word already marked is not added to the fragment again, so
// a range that grows over earlier marks copies each word once.
void markRange(TextViewState &view, PendingFragment &fragment, int a, int b)
{
    for (int i = a; i <= b; ++i) {
        WordLabel &l = view.labels[i];
        if (l.marked)
            continue;
        l.marked = true;
        fragment.text += ' ' + l.text;
        fragment.entries.append(FragmentEntry{l.text, i, QByteArray()});
    }
    view.sel.count = markedCount(view);
    view.sel.first = a;
    view.sel.last = b;
    view.fragmentCaption = true;
}

bool validLabel(const TextViewState &view, int label)
{
    return label >= 0 && label < view.labels.size();
}

} // namespace

void ctrlClick(TextViewState &view, PendingFragment &fragment, int label)
{
    if (!validLabel(view, label))
        return;
    WordLabel &l = view.labels[label];
    if (!l.marked) {
        markRange(view, fragment, label, label);
        return;
    }
    l.marked = false;
    fragment.entries.removeIf([label](const FragmentEntry &e) { return e.object == label; });
    view.sel.count = markedCount(view);
    if (view.sel.count == 0 || fragment.entries.isEmpty())
        clearMarking(view, fragment);
}

void shiftClick(TextViewState &view, PendingFragment &fragment, int label)
{
    if (!validLabel(view, label))
        return;
    if (view.sel.count == 0 || view.sel.first < 0) {
        markRange(view, fragment, label, label);
    } else if (label >= view.sel.first) {
        markRange(view, fragment, view.sel.first, label);
    } else {
        clearMarking(view, fragment);
        markRange(view, fragment, label, label);
    }
}

void clearMarking(TextViewState &view, PendingFragment &fragment)
{
    for (WordLabel &l : view.labels)
        l.marked = false;
    fragment.clear();
    view.sel = TextSel();
    view.fragmentCaption = false;
}

} // namespace textcore
