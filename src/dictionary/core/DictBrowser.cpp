#include "DictBrowser.h"

#include "model/Cp1251.h"
#include "model/StrictInt.h"

#include <algorithm>
#include <limits>

namespace dictcore {

namespace messages {
QByteArray letterIndex() { return cp1251::ru("Не определённый индекс буквы"); }
QByteArray noLetters() { return cp1251::ru("Не получена информация - список букв"); }
// The doubled "ё" is part of the message as users know it.
QByteArray pairIndex() { return cp1251::ru("Не определёённый индекс пары букв"); }
QByteArray noPairs() { return cp1251::ru("Не получена информация - список пар букв"); }
QByteArray wordIndex() { return cp1251::ru("Не определённая ссылка на заглавное слово"); }
QByteArray emptyWords() { return cp1251::ru("Получена пустая словарная статья"); }
} // namespace messages

namespace {

DictOutcome request(const char *tag, const tCDictPos &pos)
{
    DictOutcome out;
    out.requests.append(DictRequest{QByteArray(tag), pos});
    return out;
}

void append(DictOutcome &to, const DictOutcome &from)
{
    to.messages += from.messages;
    to.requests += from.requests;
    to.endReplyHandling = to.endReplyHandling || from.endReplyHandling;
    if (from.picture > 0)
        to.picture = from.picture;
}

// Byte order of code page 1251 (unsigned bytes).
bool lessInByteOrder(const QByteArray &a, const QByteArray &b)
{
    return std::lexicographical_compare(
        a.cbegin(), a.cend(), b.cbegin(), b.cend(),
        [](char x, char y) { return uchar(x) < uchar(y); });
}

} // namespace

// ---- Replies ----

DictOutcome onDC_C(DictPageState &page, tCDictPos *current, const QByteArray &body)
{
    DictOutcome out;
    page.LB_C.clear();
    page.L_CN.clear();
    page.L_CCN.clear();
    page.L_WN.clear();
    page.L_SN.clear();
    page.L_DD.clear();

    reflist::RefListReader reader(body);
    const std::optional<reflist::RefElement> summary = reader.next();
    if (!summary || !summary->ref)
        return out;
    page.L_DD = summary->text + '/' + QByteArray::number(summary->ref->NestRef) + '/'
        + QByteArray::number(summary->ref->NestSize);
    while (std::optional<reflist::RefElement> e = reader.next())
        page.LB_C.items.append(std::move(*e));
    const int count = page.LB_C.count();
    page.L_CN = QByteArray::number(count);

    if (current && (current->LetterNo < 0 || current->LetterNo > count)) {
        current->LetterNo = 0;
        current->WordMode = 'R';
        out.messages.append(messages::letterIndex());
    }
    if (count == 0) {
        out.messages.append(messages::noLetters());
        out.endReplyHandling = true;
        return out;
    }
    if (!current)
        return out;
    page.LB_C.selected = current->LetterNo - 1;
    append(out, LB_CClickX(current));
    return out;
}

DictOutcome onDC_CC(DictPageState &page, tCDictPos *current, const QByteArray &body)
{
    DictOutcome out;
    const DictList kept = page.LB_CC;
    const QByteArray keptLabel = page.L_CCN;
    page.LB_CC.clear();
    page.LB_CC.items = reflist::readAll(body);
    const int count = page.LB_CC.count();
    page.L_CCN = QByteArray::number(count);

    // A pair number equal to the count passes and selects nothing.
    if (current && (current->PairNo < 0 || current->PairNo > count)) {
        current->PairNo = 0;
        current->WordMode = 'R';
        out.messages.append(messages::pairIndex());
    }
    if (count == 0) {
        // The pairs of the previous reply stay, with their count.
        out.messages.append(messages::noPairs());
        page.LB_CC = kept;
        page.L_CCN = keptLabel;
        out.endReplyHandling = true;
        return out;
    }
    if (!current)
        return out;
    page.LB_CC.selected = current->PairNo < count ? current->PairNo : -1;
    append(out, LB_CCClickX(current));
    return out;
}

DictOutcome onDC_W(DictPageState &page, tCDictPos *current, const QByteArray &body)
{
    DictOutcome out;
    page.LB_W.clear();
    page.LB_W.items = reflist::readUntilUnreferenced(body);
    const int count = page.LB_W.count();
    page.L_WN = QByteArray::number(count);

    if (current && (current->WordNo < 0 || current->WordNo >= count)) {
        current->WordNo = 0;
        current->WordMode = 'R';
        out.messages.append(messages::wordIndex());
    }
    if (count == 0) {
        out.messages.append(messages::emptyWords());
        out.endReplyHandling = true;
        return out;
    }
    if (!current)
        return out;
    append(out, LB_WClick(page, current, current->WordNo));
    return out;
}

bool onDC_S(DictPageState &page, const tCDictPos *current, bool &KeepDictPos,
            const QByteArray &body, const OptionList &options, EntryPage activePage,
            const EntryContext &ctx, bool wordListHasItems)
{
    KeepDictPos = entryKeepsDictPos(current, options);
    if (activePage == EntryPage::Other)
        return false;
    EntryTree tree = parseEntryBody(body, ctx);
    if (activePage == EntryPage::Dictionary) {
        page.L_SN = QByteArray::number(tree.count());
        page.TreeView1 = std::move(tree);
        page.concRefShown = concRefAllowed(wordListHasItems, options, ctx.localMode);
    } else {
        page.TreeDOx = tree;
        page.TreeDOxVisible = true;
        page.TreeView1 = std::move(tree);
    }
    return true;
}

// ---- User actions ----

DictOutcome TS_DictShow(DictPageState &page, tCDictPos *record, int CurDict, bool &KeepDictPos,
                        bool dictionariesOffered, bool localMode)
{
    if (!dictionariesOffered || !record)
        return {};
    if (localMode)
        page.concRefShown = false;
    record->DictNo = CurDict;
    if (!KeepDictPos) {
        // A new position at the dictionary's start. A link followed from a line may
        // have left the record absolute; -1 is no absolute headword, so the start is
        // asked for relatively, whatever the link left.
        record->WordNo = -1;
        record->WordMode = 'R';
        KeepDictPos = true;
    }
    return request("DC_C", *record);
}

bool chooseDictionary(int selected, int &CurDict, bool &KeepDictPos)
{
    if (selected < 0 || selected == CurDict)
        return false;
    CurDict = selected;
    KeepDictPos = false;
    return true;
}

DictOutcome LB_CClick(DictPageState &page, tCDictPos *record, int row)
{
    if (row < -1 || row >= page.LB_C.count())
        return {};
    page.LB_C.selected = row;
    if (!record)
        return {};
    record->LetterNo = row + 1;
    record->PairNo = 0;
    record->WordNo = 0;
    record->WordMode = 'R';
    return LB_CClickX(record);
}

DictOutcome LB_CClickX(tCDictPos *record)
{
    return record ? request("DC_CC", *record) : DictOutcome{};
}

DictOutcome LB_CCClick(DictPageState &page, tCDictPos *record, int row)
{
    if (row < -1 || row >= page.LB_CC.count())
        return {};
    page.LB_CC.selected = row;
    if (!record)
        return {};
    record->PairNo = row;
    record->WordNo = 0;
    record->WordMode = 'R';
    return LB_CCClickX(record);
}

DictOutcome LB_CCClickX(tCDictPos *record)
{
    return record ? request("DC_W", *record) : DictOutcome{};
}

DictOutcome LB_WClick(DictPageState &page, tCDictPos *record, int row)
{
    if (row < -1 || row >= page.LB_W.count())
        return {};
    page.LB_W.selected = row;
    if (!record)
        return {};
    record->WordNo = row;
    record->WordMode = 'R';
    return request("DC_S", *record);
}

void LB_CEnter(tCDictPos *record)
{
    if (!record)
        return;
    record->PairNo = 0;
    record->WordNo = 0;
    record->WordMode = 'R';
}

void LB_CCEnter(tCDictPos *record)
{
    if (!record)
        return;
    record->WordNo = 0;
    record->WordMode = 'R';
}

void LB_WExit(DictPageState &page)
{
    page.SearchText.clear();
}

DictOutcome followEntryLink(tCDictPos *record, int CurDict, qint32 link)
{
    DictOutcome out;
    if (link < 0) {
        out.picture = link == std::numeric_limits<qint32>::min() ? 0 : -link;
        return out;
    }
    if (link == 0 || !record)
        return out;
    record->DictNo = CurDict;
    record->LetterNo = 0;
    record->PairNo = 0;
    record->WordMode = 'A';
    record->WordNo = link - 1;
    return request("DC_CC", *record);
}

void SetDict(DictPageState &page, OptionList &options)
{
    page.concRefShown = false;
    options.set(QByteArrayLiteral("SWD"), QByteArrayLiteral("NO"));
}

// ---- Dictionary links ----

QList<DictLink> readDictLinks(const QByteArray &textIn)
{
    static const QByteArray marker = QByteArrayLiteral("$$+");
    QList<DictLink> links;
    QByteArray text = textIn;
    while (links.size() < 3) {
        const qsizetype plus = text.indexOf(marker);
        const qsizetype comma = text.indexOf(',');
        if (plus < 0 || comma < 0)
            break;
        // Each read blanks out its marker and comma, so the next read finds the
        // next link's.
        text[plus] = text[plus + 1] = text[plus + 2] = ' ';
        text[comma] = ' ';
        if (comma < plus + marker.size())
            break;
        qsizetype end = text.indexOf(marker, comma + 1);
        if (end < 0)
            end = text.size();
        const std::optional<qint32> word =
            strictint::parse(QByteArrayView(text).sliced(plus + 3, comma - plus - 3));
        const std::optional<qint32> dict =
            strictint::parse(QByteArrayView(text).sliced(comma + 1, end - comma - 1));
        if (!word || !dict)
            break;
        links.append(DictLink{*word, *dict});
    }
    return links;
}

int visibleLinkButtons(int links)
{
    return links >= 2 ? qMin(links, 3) : 0;
}

DictOutcome loadDictLinks(DictPageState &page, const QByteArray &text,
                          const DictRecordLookup &records)
{
    page.TreeDOx = EntryTree();
    page.TreeDOxVisible = false;
    page.selectedLink = -1;
    page.DictLinks = readDictLinks(text);
    if (page.DictLinks.isEmpty())
        return {};
    return RBD1Click(page, 0, records);
}

DictOutcome RBD1Click(DictPageState &page, int which, const DictRecordLookup &records)
{
    if (which < 0 || which >= page.DictLinks.size())
        return {};
    page.selectedLink = which;
    const DictLink link = page.DictLinks.at(which);
    tCDictPos *record = records ? records(link.dictNo) : nullptr;
    if (!record)
        return {};
    record->WordNo = link.wordNo > std::numeric_limits<qint32>::min()
        ? link.wordNo - 1
        : std::numeric_limits<qint32>::min();
    record->LetterNo = 0;
    record->PairNo = 0;
    record->WordMode = 'A';
    page.TreeDOx = EntryTree();
    page.TreeDOxVisible = false;
    return request("DC_C", *record);
}

// ---- Type-ahead ----

namespace {

const QByteArray &punctuationKeys()
{
    static const QByteArray keys = QByteArrayLiteral("`[];',.");
    return keys;
}

const QByteArray &punctuationLetters()
{
    static const QByteArray letters = cp1251::ru("ЁХЪЖЭБЮ");
    return letters;
}

const QByteArray &latinKeyLetters()
{
    static const QByteArray letters = cp1251::ru("ФИСВУАПРШОЛДЬТЩЗЙКЫЕГМЦЧНЯ");
    return letters;
}

const QByteArray &extraSearchChars()
{
    static const QByteArray chars = cp1251::ru("ЁХЪЖЭБЮ: -");
    return chars;
}

constexpr uchar CyrA = 0xC0;       // "А"
constexpr uchar CyrYa = 0xDF;      // "Я"
constexpr uchar CyrSmallA = 0xE0;  // "а"; "а".."я" are 0xE0..0xFF
constexpr char Backspace = 8;

} // namespace

char mapSearchKey(char key)
{
    const qsizetype punct = punctuationKeys().indexOf(key);
    if (punct >= 0)
        return punctuationLetters().at(punct);
    char c = key;
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return latinKeyLetters().at(c - 'A');
    if (uchar(c) >= CyrSmallA)
        return char(uchar(c) - (CyrSmallA - CyrA));
    return c;
}

bool isSearchChar(char mapped)
{
    return (uchar(mapped) >= CyrA && uchar(mapped) <= CyrYa)
        || extraSearchChars().contains(mapped);
}

KeyOutcome dictKeyPress(DictPageState &page, tCDictPos *record, char key, bool wordListEnabled)
{
    KeyOutcome out;
    if (!wordListEnabled) {
        out.swallow = true;
        return out;
    }
    if (key == Backspace && !page.SearchText.isEmpty()) {
        page.SearchText.chop(1);
        out.passOn = '?';
    } else if (key == '*') {
        page.SearchText.clear();
        out.swallow = true;
        return out;
    } else {
        const char mapped = mapSearchKey(key);
        if (isSearchChar(mapped)) {
            page.SearchText += mapped;
            out.swallow = true;
        } else {
            out.passOn = key;
        }
    }
    out.actions = FindInDict(page, record, page.SearchText);
    out.focusWordList = true;
    return out;
}

DictOutcome FindInDict(DictPageState &page, tCDictPos *record, const QByteArray &text)
{
    DictOutcome out;
    if (text.isEmpty())
        return out;

    for (int i = 0; i < page.LB_C.count(); ++i) {
        const QByteArray item = page.LB_C.display(i);
        if (!item.isEmpty() && item.at(0) == text.at(0)) {
            if (page.LB_C.selected != i)
                append(out, LB_CClick(page, record, i));
            break;
        }
    }
    for (int i = 0; i < page.LB_CC.count(); ++i) {
        const QByteArray item = page.LB_CC.display(i);
        if (item.size() >= 2 && item.first(2) == text) {
            if (page.LB_CC.selected != i)
                append(out, LB_CCClick(page, record, i));
            break;
        }
    }
    if (text.size() != 2) {
        for (int i = 0; i < page.LB_W.count(); ++i) {
            const QByteArray item = page.LB_W.display(i);
            if (item.size() >= 3 && !lessInByteOrder(item, text)) {
                if (page.LB_W.selected != i)
                    append(out, LB_WClick(page, record, i));
                break;
            }
        }
    }
    return out;
}

} // namespace dictcore
