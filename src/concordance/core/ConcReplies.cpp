#include "ConcReplies.h"

#include "dictionary/core/RefList.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "model/StrictInt.h"

namespace conccore {

QList<Characteristic> parseCharacteristics(const QByteArray &body)
{
    QList<QByteArray> items = commalist::split(body);
    QList<qint32> counts(items.size(), 0);
    for (qsizetype i = 1; i < items.size(); ++i) {
        if (const std::optional<qint32> n = strictint::parse(items[i]))
            counts[i - 1] = *n;
        items.removeAt(i);
        counts.removeAt(i);
    }
    QList<Characteristic> out;
    out.reserve(items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        out.append(Characteristic{items[i], counts[i]});
    return out;
}

QByteArray buildGroupCode(const QByteArray &pattern, int *defaultPos)
{
    QByteArray code;
    const qsizetype n = qMin<qsizetype>(pattern.size(), MaxCodedCharacteristic + 1);
    for (char d = '1'; d <= '9'; ++d) {
        for (qsizetype i = 0; i < n; ++i) {
            const char c = pattern[i];
            if (d == '1' && c == 'X') {
                if (defaultPos)
                    *defaultPos = int(code.size());
                code += char(CodeBase + i);
            } else if (c == d) {
                code += char(CodeBase + i);
            }
        }
    }
    return code;
}

QList<Group> parseGroups(const QByteArray &body)
{
    QList<Group> out;
    for (const QByteArray &item : commalist::split(body)) {
        Group g;
        g.line = item;
        const qsizetype dash = item.indexOf(" - ");
        if (dash >= 0) {
            g.named = true;
            g.name = item.left(dash);
            g.pattern = item.mid(dash + 3);
            g.code = buildGroupCode(g.pattern, &g.defaultPos);
        }
        out.append(g);
    }
    return out;
}

QByteArray groupOptionName(int g)
{
    return "Char" + QByteArray::number(g);
}

std::optional<QList<int>> comboCharacteristics(const QByteArray &code, int charCount)
{
    if (code.isEmpty() || code.size() > charCount)
        return std::nullopt;
    const bool shifted = uchar(code[0]) > 199;
    QList<int> out;
    for (const char c : code) {
        const int n = shifted ? int(uchar(c)) - CodeBase : int(uchar(c));
        if (n >= 0 && n < charCount)
            out.append(n);
    }
    return out;
}

int codeIndexOf(const QByteArray &code, int charNo)
{
    if (charNo < 0 || charNo > MaxCodedCharacteristic)
        return -1;
    return int(code.indexOf(char(CodeBase + charNo)));
}

QByteArray emptyValueMark()
{
    return cp1251::ru("  ** НЕТ значения **  ");
}

bool applyEmptyValueRule(QByteArray &text, bool showEmpty)
{
    if (!text.isEmpty() && !text.startsWith(" /"))
        return true;
    if (!showEmpty)
        return false;
    text.prepend(emptyValueMark());
    return true;
}

WordPage parseWordPage(const QByteArray &body, bool showEmpty)
{
    WordPage page;
    reflist::RefListReader reader(body);
    while (std::optional<reflist::RefElement> e = reader.next()) {
        if (!e->ref)
            break;
        WordEntry w;
        w.whole = std::move(e->text);
        if (!applyEmptyValueRule(w.whole, showEmpty)) {
            ++page.dropped;
            continue;
        }
        const qsizetype slash = w.whole.indexOf(" /");
        w.hasSecond = slash >= 0;
        w.text = w.hasSecond ? w.whole.left(slash) : w.whole;
        if (w.hasSecond)
            w.second = w.whole.mid(slash + 2);
        w.rec = ListRecord{e->ref->NestRef, e->ref->NestSize, e->ref->Extra1, e->ref->Extra2};
        page.entries.append(std::move(w));
    }
    return page;
}

} // namespace conccore
