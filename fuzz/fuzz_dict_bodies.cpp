// Dictionary reply bodies: reference lists, dictionary link lists, entry bodies and
// the list-reply handlers with the type-ahead over what they listed. Invariants: a
// reference list written back reads to itself; the headword list is a prefix of the
// full list; selections stay inside their lists; entry trees are well formed.
#include "dictionary/core/DictBrowser.h"
#include "dictionary/core/EntryTree.h"
#include "dictionary/core/RefList.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

bool sameElements(const QList<reflist::RefElement> &a, const QList<reflist::RefElement> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].text != b[i].text || a[i].ref != b[i].ref)
            return false;
    }
    return true;
}

void checkSelection(const dictcore::DictList &l)
{
    check(l.selected >= -1 && l.selected < l.count());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    // Reference lists.
    const QList<reflist::RefElement> all = reflist::readAll(input);
    check(sameElements(reflist::readAll(reflist::writeList(all)), all));
    const QList<reflist::RefElement> referenced = reflist::readUntilUnreferenced(input);
    check(referenced.size() <= all.size());
    check(sameElements(referenced, all.first(referenced.size())));
    for (const reflist::RefElement &e : all) {
        check(!e.text.contains(reflist::OpenMarker));
        check(!e.ref || e.ref->NestRef != -1);
    }

    // Dictionary links.
    check(dictcore::readDictLinks(input).size() <= 3);

    // Entry bodies, with every picture present in the local mode.
    dictcore::EntryContext ctx;
    ctx.localMode = true;
    ctx.pictureExists = [](qint32 n) { return n % 2 == 1; };
    const dictcore::EntryTree tree = dictcore::parseEntryBody(input, ctx);
    for (int i = 0; i < tree.count(); ++i) {
        const dictcore::EntryNode &n = tree.nodes[i];
        check(n.parent < i);
        check(n.depth == (n.parent < 0 ? 0 : tree.nodes[n.parent].depth + 1));
        check(n.depth <= 256);
        check(!n.filler || (n.text == "..." && n.link == 0));
        check(n.link == 0 || n.text.endsWith(" -->"));
        check(n.link >= 0 || (-n.link) % 2 == 1);
        check(!n.text.contains('`'));
    }

    // The list replies and the type-ahead over their lists.
    dictcore::DictPageState page;
    tCDictPos cur(0);
    cur.LetterNo = input.size() % 5;
    cur.PairNo = input.size() % 3;
    cur.WordNo = input.size() % 4 - 1;
    dictcore::onDC_C(page, &cur, input);
    dictcore::onDC_CC(page, &cur, input);
    const dictcore::DictOutcome words = dictcore::onDC_W(page, &cur, input);
    check(page.LB_W.count() == referenced.size());
    for (const dictcore::DictRequest &r : words.requests)
        check(r.pos.WordNo >= 0 && r.pos.WordNo < page.LB_W.count());
    for (qsizetype i = 0; i < qMin<qsizetype>(input.size(), 64); ++i) {
        const qsizetype before = page.SearchText.size();
        dictcore::dictKeyPress(page, &cur, input[i], true);
        check(page.SearchText.size() <= before + 1);
        checkSelection(page.LB_C);
        checkSelection(page.LB_CC);
        checkSelection(page.LB_W);
    }
    return 0;
}
