#pragma once
// What is marked for the buffer but not yet copied: concordance lines marked with
// Shift+click on the context columns, or words marked in the text view. The text is
// not empty exactly while something is marked; each entry carries its buffer text
// and the index of what it marks (the line's row in the context columns, or the
// word's place in the text view).
#include <QByteArray>
#include <QList>

namespace textcore {

struct FragmentEntry {
    QByteArray text;
    int object = -1;
    QByteArray source;   // a marked line's text name (1251); empty for words
};

struct PendingFragment {
    QByteArray text;
    QList<FragmentEntry> entries;

    bool isEmpty() const { return text.isEmpty(); }
    void clear()
    {
        text.clear();
        entries.clear();
    }
};

} // namespace textcore
