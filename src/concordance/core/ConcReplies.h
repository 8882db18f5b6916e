#pragma once
// The word-list replies of the concordance page read into plain values: the
// characteristics ("CN_C"), their groups and group codes ("CN_Cx") and a page of
// values ("CN_W", shown or exported). 1251 bytes in and out; the server's tests
// read its replies with these same functions.
#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <optional>

namespace conccore {

// ---- "CN_C": the characteristics, in the server's order. ----

struct Characteristic {
    QByteArray name;
    qint32 count = 0;   // becomes ValueNo[0] when the characteristic is chosen
    bool operator==(const Characteristic &o) const { return name == o.name && count == o.count; }
};

// The body is a comma list alternating name and integer. Walking from the second
// element, an integer is attached to the element before it and removed; an element
// that is not an integer is removed without attaching anything.
QList<Characteristic> parseCharacteristics(const QByteArray &body);

// ---- "CN_Cx": groups and their codes. ----

// Byte value of characteristic n in a group code.
inline constexpr int CodeBase = 200;
// The highest characteristic number a code byte can carry.
inline constexpr int MaxCodedCharacteristic = 255 - CodeBase;

struct Group {
    QByteArray line;          // the comma-list item as it came ("name - pattern")
    QByteArray name;          // before " - "; empty for an unnamed item
    QByteArray pattern;       // after " - ": one character per characteristic
    bool named = false;       // the item holds " - " and has a code
    int defaultPos = 0;       // position within the code of the group's default
    QByteArray code;          // one byte per member: characteristic number + 200
};

// The group code of a pattern: for rank digit d from '1' to '9', the characteristics
// whose pattern character is d, left to right; an 'X' counts as '1' and makes its
// characteristic the default (its position in the code goes to *defaultPos).
// Characteristics beyond MaxCodedCharacteristic cannot be coded and are left out.
QByteArray buildGroupCode(const QByteArray &pattern, int *defaultPos = nullptr);
QList<Group> parseGroups(const QByteArray &body);
// The option holding the code of group g: "Char" + g.
QByteArray groupOptionName(int g);

// The characteristic numbers a combo box offers for a code: 200 is taken from every
// byte when the first byte is above 199; numbers beyond `charCount` are skipped.
// Nothing (the combo box stays as it is) when the code is empty or longer than
// the list of characteristics.
std::optional<QList<int>> comboCharacteristics(const QByteArray &code, int charCount);
// The position of characteristic `charNo` in a code; -1 when it is no member.
int codeIndexOf(const QByteArray &code, int charNo);

// ---- "CN_W": a page of values. ----

// The four numbers carried by a value, 0-based.
struct ListRecord {
    qint32 AlphaNo = 0;    // in the alphabetical list
    qint32 Count = 0;      // usages
    qint32 FilterNo = 0;   // in the filtered list as sent
    qint32 FreqNo = 0;     // in the frequency list
    bool operator==(const ListRecord &o) const
    {
        return AlphaNo == o.AlphaNo && Count == o.Count && FilterNo == o.FilterNo && FreqNo == o.FreqNo;
    }
};

struct WordEntry {
    QByteArray whole;     // the display text after the empty-value rule (an export writes it)
    QByteArray text;      // what LBC_W shows: the part before " /"
    QByteArray second;    // the part after " /" (LBC_W_Q1)
    bool hasSecond = false;
    ListRecord rec;
};

struct WordPage {
    QList<WordEntry> entries;
    int dropped = 0;      // empty values left out (ValueNo[0] goes down by as many)
};

// The mark of a value without text when empty values are shown.
QByteArray emptyValueMark();   // "  ** НЕТ значения **  "

// Entries up to the end or the first one without a well-formed record. A display
// text that is empty or starts with " /" is dropped, or, with `showEmpty`, prefixed
// with emptyValueMark().
WordPage parseWordPage(const QByteArray &body, bool showEmpty);
// That rule for one display text: false when it is dropped, else true with the mark
// prefixed where it applies.
bool applyEmptyValueRule(QByteArray &text, bool showEmpty);

} // namespace conccore
