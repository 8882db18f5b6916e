#pragma once
// The concordance query: six levels (0 the base list, 1..5 refinements) plus the
// current level and the context-line page. Text form: six "$(...)$" groups joined
// by "," and ended by ";", framed by the byte 3 and a one-byte length.
#include <QByteArray>
#include <QtGlobal>
#include <array>

class tCConcPos {
public:
    static constexpr int Levels = 6;
    static constexpr int MaxTextLength = 255;

    tCConcPos();

    std::array<qint32, Levels> CharNo{};
    std::array<char, Levels> Mark{};
    std::array<qint32, Levels> ValueNo{};
    std::array<qint32, Levels> Distance{};
    std::array<QByteArray, Levels> Request{};
    std::array<qint32, Levels> Found{};
    qint32 Level = 0;
    qint32 FirstLine = 0;
    qint32 CurLine = 0;
    QByteArray CharFlags;
    std::array<char, Levels> Move{};   // code 0 until a parsed reply sets ' '
    qint32 SubstNo = -1;
    qint32 SubstBase = -1;
    qint32 Spare = 0;

    // Writes the text form (applying the substitution rule to CharNo first, in the
    // record too). If the form would exceed 255 bytes, the typed prefixes of levels
    // 1..5 are shortened, longest first, one byte at a time from their end, then
    // CharFlags, then the prefix of level 0 last, until it fits. Only the written
    // text is shortened; the record keeps what was typed.
    QByteArray text();
    // Byte 3, the length byte, the text form. The length byte never lies: in the
    // (numerically absurd) case that the form still exceeds 255 bytes with every
    // text emptied, the result is empty and the request goes without the record.
    QByteArray framed();
    void readText(const QByteArray &text);
    bool readFramed(QByteArray &text);
    // After a reply's records: levels 1..Level whose CharNo equals SubstNo get
    // SubstBase - 1, when SubstBase is positive.
    void applyReplySubstitution();

    bool operator==(const tCConcPos &o) const;
    bool operator!=(const tCConcPos &o) const { return !(*this == o); }
};
