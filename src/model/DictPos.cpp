#include "DictPos.h"

#include "StrictInt.h"

namespace {

QByteArray num(qint32 v)
{
    return QByteArray::number(v);
}

// The next comma of `rest` must exist and be neither its first nor its last byte.
qsizetype usableComma(const QByteArray &rest)
{
    const qsizetype c = rest.indexOf(',');
    if (c <= 0 || c == rest.size() - 1)
        return -1;
    return c;
}

} // namespace

QByteArray tCDictPos::text() const
{
    QByteArray t;
    t.reserve(64);
    t += "$(";
    t += num(DictNo);
    t += ',';
    t += num(Reserved);
    t += ',';
    t += num(LetterNo);
    t += ',';
    t += num(PairNo);
    t += ',';
    t += WordMode;
    t += num(WordNo);
    t += ")$";
    return t;
}

QByteArray tCDictPos::framed() const
{
    // Six 32-bit numbers and the separators stay far below 255 bytes.
    const QByteArray t = text();
    QByteArray f;
    f.reserve(t.size() + 2);
    f += char(2);
    f += char(static_cast<unsigned char>(t.size()));
    f += t;
    return f;
}

void tCDictPos::readText(const QByteArray &text)
{
    LetterNo = -2;
    const qsizetype open = text.indexOf("$(");
    const qsizetype close = text.indexOf(")$");
    if (open < 0 || close < 0 || close < open + 2)
        return;
    QByteArray rest = text.mid(open + 2, close - open - 2);

    // A number that does not parse leaves `rest` where it was, so the following
    // fields are read from the same place and take their fallbacks too.
    auto field = [&rest](qint32 &target, qint32 fallback) -> bool {
        const qsizetype c = usableComma(rest);
        if (c < 0)
            return false;
        if (const auto v = strictint::parse(QByteArrayView(rest).first(c))) {
            target = *v;
            rest.remove(0, c + 1);
        } else {
            target = fallback;
        }
        return true;
    };

    if (!field(DictNo, 0) || DictNo < -1)
        return;
    if (!field(Reserved, 0) || Reserved == -2)
        return;
    if (!field(LetterNo, -1) || LetterNo == -2)
        return;

    const qsizetype c = usableComma(rest);
    if (c < 0) {
        LetterNo = -2;
        return;
    }
    const auto pair = strictint::parse(QByteArrayView(rest).first(c));
    if (!pair) {
        LetterNo = -2;
        return;
    }
    PairNo = *pair;
    WordMode = rest[c + 1];
    const auto word = strictint::parse(QByteArrayView(rest).sliced(c + 2));
    if (!word) {
        LetterNo = -2;
        return;
    }
    WordNo = *word;
}

bool tCDictPos::readFramed(QByteArray &text)
{
    if (text.size() <= 2 || text[0] != char(2))
        return false;
    const int n = static_cast<unsigned char>(text[1]);
    readText(text.mid(2, n));
    text.remove(0, qMin<qsizetype>(text.size(), qsizetype(n) + 2));
    return true;
}

bool tCDictPos::operator==(const tCDictPos &o) const
{
    return DictNo == o.DictNo && Reserved == o.Reserved && LetterNo == o.LetterNo
        && PairNo == o.PairNo && WordMode == o.WordMode && WordNo == o.WordNo;
}
