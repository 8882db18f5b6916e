#pragma once
// Reading of the progress window's text: "max,pos", optionally after ",END," and
// before ",MES". Callers pass "0,0," when a request starts.
#include <QByteArray>

struct ProgressValues {
    int max = 0;
    int pos = 0;
};

// Only the part before ",MES" counts (when ",MES" comes after the first byte); of
// that, only what follows ",END,". With a comma after the first byte, the number
// before it is the maximum and the number after it (up to the next comma) the
// position; either one not an integer, or no such comma: both 0.
ProgressValues parseProgressText(const QByteArray &text);
