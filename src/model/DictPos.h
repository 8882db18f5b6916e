#pragma once
// The position in one dictionary: dictionary, letter, letter pair, navigation
// kind, headword. Travels in requests and replies as "$(d,r,l,p,Mw)$", framed by
// the byte 2 and a one-byte length.
#include <QByteArray>
#include <QtGlobal>

class tCDictPos {
public:
    explicit tCDictPos(qint32 dictNo = -1) : DictNo(dictNo) {}

    qint32 DictNo;
    qint32 Reserved = 0;
    qint32 LetterNo = 1;   // 1-based; 0 none; -2 left by a parse that ran short
    qint32 PairNo = 1;
    char WordMode = 'R';   // 'R' within the pair, 'A' absolute headword number
    qint32 WordNo = -1;

    QByteArray text() const;
    QByteArray framed() const;
    // Parses the text form into this record; fields not reached keep their values.
    void readText(const QByteArray &text);
    // If `text` is longer than 2 bytes and starts with byte 2, parses the record and
    // removes it from the front of `text`; returns whether a record was consumed.
    // A length byte running past the end consumes and parses what is there.
    bool readFramed(QByteArray &text);

    bool operator==(const tCDictPos &o) const;
    bool operator!=(const tCDictPos &o) const { return !(*this == o); }
};
