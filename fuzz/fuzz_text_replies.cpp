// Text replies: the page of words ("CT_W") and the full text ("CT_T"), with the
// layout, the paging keys and the marking over what a page brings. Invariants:
// every word's entry fits the reading window; rows and labels keep every byte of
// the words except the grave accents; labels lie inside their lines; the keys aim
// at labels that exist; marking never lists a word twice.
#include "text/core/BufferOps.h"
#include "text/core/TextReplies.h"
#include "text/core/TextView.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

qsizetype withoutAccents(const QByteArray &text)
{
    return text.size() - text.count('`');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    const textcore::TextPageReply page = textcore::parseTextPage(input);
    qsizetype wordBytes = 0;
    for (const textcore::TextWord &w : page.words) {
        check(w.text.size() + 6 < textcore::EntryWindow);
        check(!w.text.contains("$@$"));
        wordBytes += withoutAccents(w.text);
    }
    check(page.title.size() < textcore::EntryWindow);
    check(page.links.isEmpty() || page.links.startsWith("$$+"));

    qsizetype rowBytes = 0;
    for (const QByteArray &row : textcore::textRows(page.words)) {
        check(!row.contains('`'));
        rowBytes += row.size();
    }

    textcore::TextViewState view;
    textcore::LayoutMetrics m;
    m.lineHeight = 1 + int(size % 7);
    m.clientWidth = int(size % 300);
    m.width = [](const QByteArray &t) { return int(t.size()) * 3; };
    textcore::layoutPage(view, page.words, m);
    qsizetype labelBytes = 0;
    for (const textcore::WordLabel &l : view.labels) {
        check(l.top >= textcore::LayoutMargin && l.top < view.scrollRange);
        check((l.top - textcore::LayoutMargin) % m.lineHeight == 0);
        check(l.tag >= -2);
        labelBytes += l.text.size();
    }
    // Leading blanks before accents are dropped by both, so the rows and the
    // labels hold the same bytes.
    check(labelBytes == rowBytes && rowBytes <= wordBytes);

    textcore::PendingFragment fragment;
    const int n = int(view.labels.size());
    for (qsizetype i = 0; i < qMin<qsizetype>(input.size(), 32); ++i) {
        const uchar c = uchar(input[i]);
        const int label = n ? int(c) % n : -1;
        if (c % 3 == 0)
            textcore::ctrlClick(view, fragment, label);
        else if (c % 3 == 1)
            textcore::shiftClick(view, fragment, label);
        const textcore::TextKeyOutcome key = textcore::pageKey(view, textcore::TextKey(c % 7));
        check(key.click >= -1 && key.click < n);
        check(key.click < 0 || view.labels[key.click].tag >= -1);
        QList<int> objects;
        for (const textcore::FragmentEntry &e : fragment.entries) {
            check(!objects.contains(e.object));
            check(view.labels[e.object].marked);
            objects.append(e.object);
        }
        check(fragment.isEmpty() == (view.sel.count == 0));
    }
    textcore::markedWordsLines(fragment, view.labels, page.title);

    const textcore::FullTextReply text = textcore::parseFullText(input);
    qsizetype textBytes = text.title.size() + (text.hasTitle ? 3 : 0);
    for (const QByteArray &line : text.lines) {
        check(!line.contains("$$$"));
        textBytes += line.size() + 3;
    }
    check(textBytes <= input.size());
    return 0;
}
