#pragma once
// The sort sequence of the context lines: which of centre (C), left (L) and right
// (R) context the server compares first, second and third. The code travels as the
// option "SortSeq"; the dialog SortSeqDialog offers the six codes.
#include <QByteArray>
#include <QList>

namespace conccore {

// The six entries of CB_Seq (1251), "CLR" first; an entry's code is its last three
// characters.
const QList<QByteArray> &sortEntries();
QByteArray codeOfEntry(const QByteArray &entry);
// The first entry whose text contains `code`; -1 when none does.
int entryOfCode(const QByteArray &code);

// "центр. + " (C), "слева + " (L), "справа + " (R) for each letter in order, other
// letters nothing; the last "+" of a longer result becomes a blank.
QByteArray sortDescription(const QByteArray &code);
// B_SortS: "Сортировка : " + the description.
QByteArray sortButtonCaption(const QByteArray &code);

// The dialog's state between opening and closing.
struct SortDialogState {
    int selected = -1;       // entry of CB_Seq
    QByteArray chosen;       // the chosen code; empty before any
    QByteArray opening;      // the code the dialog was opened with
    bool okVisible = false;  // B_SSeq_OK shown

    // Opening: entry 0 when none is selected; the chosen code from the selected
    // entry when there is none yet; then the entry holding the chosen code.
    void open();
    // The user selected entry `index`.
    void select(int index);
};

} // namespace conccore
