#pragma once
// What the dictionary browser does for the concordance, text and usage views: the
// dictionary links of a line or a page, and the entry of the current record. The
// dictionary page implements it.
#include <QByteArray>

class DictionaryLinks {
public:
    virtual ~DictionaryLinks() = default;
    // The links of a context line or text page ("$$+h,d"...; empty clears them).
    virtual void loadDictLinks(const QByteArray &links) = 0;
    virtual void clearDictLinks() = 0;
    // Asks for the entry of the current dictionary record ("DC_S").
    virtual void requestEntry() = 0;
};
