#include "EntryTree.h"

#include "Pictures.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "model/StrictInt.h"
#include "model/DictPos.h"

namespace dictcore {

namespace {

// A hostile entry could nest lines arbitrarily deep; deeper lines are kept at this
// depth so that the widget's tree (whose teardown recurses) stays shallow.
constexpr int MaxEntryDepth = 256;

const QByteArray RefMarker = QByteArrayLiteral("$$+");
const QByteArray RefEnd = QByteArrayLiteral("$$-");

// The number before the first "," of `part` (or all of it): nothing when the comma
// is the last character or the number is not an integer.
std::optional<qint32> leadingNumber(QByteArrayView part)
{
    const qsizetype comma = part.indexOf(',');
    if (comma >= 0 && comma == part.size() - 1)
        return std::nullopt;
    return strictint::parse(comma >= 0 ? part.first(comma) : part);
}

} // namespace

QList<int> EntryTree::children(int parent) const
{
    QList<int> out;
    for (int i = 0; i < count(); ++i) {
        if (nodes[i].parent == parent)
            out.append(i);
    }
    return out;
}

bool EntryTree::operator==(const EntryTree &o) const
{
    if (nodes.size() != o.nodes.size())
        return false;
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const EntryNode &a = nodes[i];
        const EntryNode &b = o.nodes[i];
        if (a.text != b.text || a.link != b.link || a.depth != b.depth || a.parent != b.parent
            || a.filler != b.filler)
            return false;
    }
    return true;
}

EntryContext EntryContext::forDirectory(bool localMode, const QString &currentDir)
{
    EntryContext ctx;
    ctx.localMode = localMode;
    ctx.pictureExists = [currentDir](qint32 picture) {
        return !findReferencePicture(picture, currentDir).isEmpty();
    };
    return ctx;
}

qint32 readEntryReference(QByteArrayView afterMarker, const EntryContext &ctx)
{
    if (afterMarker.isEmpty())
        return 0;
    const char kind = afterMarker[0];
    std::optional<qint32> number;
    if (kind == 'A') {
        // number "," number, optionally "$$-"; only the first number is used.
        QByteArrayView part = afterMarker.sliced(1);
        const qsizetype end = part.indexOf(RefEnd);
        if (end >= 0)
            part = part.first(end);
        number = leadingNumber(part);
    } else if (kind == 'P') {
        // picture number, a four-character extension, then "," and further text.
        if (!ctx.localMode)
            return 0;
        QByteArrayView part = afterMarker.sliced(1);
        const qsizetype comma = part.indexOf(',');
        if (comma >= 0 && comma == part.size() - 1)
            return 0;
        if (comma >= 0)
            part = part.first(comma);
        if (part.size() < 5)
            return 0;
        const std::optional<qint32> picture = strictint::parse(part.chopped(4));
        if (!picture || *picture < 1 || !ctx.pictureExists || !ctx.pictureExists(*picture))
            return 0;
        return -*picture;
    } else {
        number = leadingNumber(afterMarker);
    }
    // Negative links open pictures; a headword reference must not turn into one.
    return number && *number > 0 ? *number : 0;
}

EntryLine readEntryLine(const QByteArray &lineIn, const EntryContext &ctx)
{
    QByteArray line = lineIn;
    if (line.startsWith('<'))
        line[0] = '\t';
    EntryLine out;
    qsizetype tabs = 0;
    while (tabs < line.size() && line[tabs] == '\t')
        ++tabs;
    out.depth = int(qMin<qsizetype>(tabs, MaxEntryDepth));
    QByteArray text = line.sliced(tabs);

    const qsizetype marker = text.indexOf(RefMarker);
    if (marker >= 0 && text.size() - (marker + RefMarker.size()) >= 2) {
        out.link = readEntryReference(QByteArrayView(text).sliced(marker + RefMarker.size()), ctx);
        text.truncate(marker);
        if (out.link != 0)
            text += QByteArrayLiteral(" -->");
    }
    text.replace('`', '"');
    out.text = text;
    return out;
}

EntryTree parseEntryBody(const QByteArray &body, const EntryContext &ctx)
{
    EntryTree tree;
    const QList<QByteArray> items = commalist::split(body);
    int current = -1;
    int previous = -1;
    const auto add = [&tree](int parent, QByteArray text, qint32 link, bool filler) {
        EntryNode node;
        node.text = std::move(text);
        node.link = link;
        node.parent = parent;
        node.depth = parent < 0 ? 0 : tree.nodes[parent].depth + 1;
        node.filler = filler;
        tree.nodes.append(std::move(node));
        return int(tree.nodes.size() - 1);
    };
    for (qsizetype i = 1; i < items.size(); ++i) {
        const EntryLine line = readEntryLine(items[i], ctx);
        const int d = line.depth;
        if (d <= previous) {
            for (int up = previous - d + 1; up > 0 && current >= 0; --up)
                current = tree.nodes[current].parent;
        } else {
            for (int k = d - previous - 1; k > 0; --k)
                current = add(current, QByteArrayLiteral("..."), 0, true);
        }
        current = add(current, line.text, line.link, false);
        previous = d;
    }
    return tree;
}

bool entryKeepsDictPos(const tCDictPos *current, const OptionList &options)
{
    if (!current)
        return false;
    if (options.value(QByteArrayLiteral("SWD")) == "NO")
        return current->DictNo == 0;
    return current->DictNo >= 0;
}

bool concRefAllowed(bool wordListHasItems, const OptionList &options, bool localMode)
{
    return wordListHasItems && !options.value(QByteArrayLiteral("DTCR")).isEmpty()
        && options.value(QByteArrayLiteral("SetFilter")) != "True" && !localMode;
}

ConcRefResult applyConcRef(tCConcPos &conc, const OptionList &options)
{
    ConcRefResult result;
    const std::optional<qint32> r = strictint::parse(options.value(QByteArrayLiteral("DTCR")));
    const std::optional<qint32> c = strictint::parse(options.value(QByteArrayLiteral("DTCC")));
    if (!r || !c)
        return result;
    if (conc.Level < 0 || conc.Level >= tCConcPos::Levels) {
        result.status = ConcRefResult::Failed;
        return result;
    }
    qint32 charNo = *c;
    // Char0 holds one byte per characteristic of group 0: its number + 200.
    const qint64 code = qint64(*c) + 200;
    if (code >= 1 && code <= 255) {
        const qsizetype place = options.value(QByteArrayLiteral("Char0")).indexOf(char(code));
        if (place >= 0)
            charNo = qint32(place);
    }
    conc.CharNo[conc.Level] = charNo;
    conc.ValueNo[conc.Level] = *r;
    conc.FirstLine = -1;
    conc.CurLine = -1;
    result.status = ConcRefResult::Applied;
    result.charNo = charNo;
    result.valueNo = *r;
    return result;
}

QByteArray rollbackMessage()
{
    return cp1251::ru("Проблемы с выполнением запроса. Выполняется откат к прежнему запросу.");
}

} // namespace dictcore
