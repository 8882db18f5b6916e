#pragma once
// One dictionary that the server offers: a name, headwords in Russian order and the
// entry of each headword. Implementations are immutable once built and are read by
// many request threads at once.
#include "dictionary/HeadwordIndex.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

class Dictionary {
public:
    virtual ~Dictionary() = default;

    // The name in the registration reply and in the summary element, 1251.
    virtual QByteArray name() const = 0;
    virtual const HeadwordIndex &index() const = 0;
    // The two numbers of the summary element (first element of the letter list),
    // shown by the client as name/first/second.
    virtual qint32 summaryFirst() const { return index().size(); }
    virtual qint32 summarySecond() const = 0;
    // The size number carried by a headword's list element (a frequency, a number
    // of synonyms).
    virtual qint32 headwordSize(int place) const = 0;
    // The lines of a headword's entry, 1251: depth by leading tabs, at most one
    // reference "$$+" + headword number counted from 1 at the end of a line.
    virtual QList<QByteArray> entryLines(int place) const = 0;
};
