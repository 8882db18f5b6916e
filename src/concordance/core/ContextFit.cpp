#include "ContextFit.h"

#include <algorithm>
#include <cmath>

namespace conccore {

namespace {
// The left column's share of the context area, in per cent.
constexpr int LeftShare = 42;
constexpr int ColumnGap = 2;
constexpr int CentrePadding = 8;
} // namespace

CharWidths CharWidths::measure(const std::array<double, Count> &advance, int columnWidth)
{
    CharWidths t;
    for (int i = 0; i < Count; ++i) {
        const double a = advance[size_t(i)];
        double w = 1;
        if (a > 0) {
            const int copies = columnWidth > 4 ? int(std::floor(double(columnWidth - 4) / a)) : 0;
            w = copies > 0 ? double(columnWidth) / copies : a;
        }
        t.m_w[size_t(i)] = std::max(1.0, w);
    }
    return t;
}

CharWidths CharWidths::uniform(double width)
{
    CharWidths t;
    t.m_w.fill(std::max(1.0, width));
    return t;
}

QByteArray fitLeft(const QByteArray &text, int columnWidth, const CharWidths &widths)
{
    const qsizetype n = text.size();
    double sum = 0;
    qsizetype leftmostBlank = -1;
    for (qsizetype i = n - 1; i >= 0; --i) {
        sum += widths.width(uchar(text[i]));
        if (i + 1 < n && text[i + 1] == ' ')
            leftmostBlank = i + 1;
        if (sum > columnWidth)
            return leftmostBlank >= 0 ? text.mid(leftmostBlank) : text.mid(i + 2);
    }
    // The most blanks that keep the sum below the width less 6.
    const double blank = widths.width(' ');
    const double room = columnWidth - 6 - sum;
    qsizetype pad = room > 0 ? qsizetype(std::ceil(room / blank)) - 1 : 0;
    if (pad < 0)
        pad = 0;
    return QByteArray(pad, ' ') + text;
}

QString correctLeft(QString text, int columnWidth, const std::function<int(const QString &)> &measure)
{
    const int measured = measure(text);
    if (measured <= columnWidth)
        return text;
    QChar lastDropped;
    bool dropped = false;
    const qint64 excess = measured - columnWidth;
    const qint64 k = qint64(text.size()) * (excess * 1000 / measured) / 1000;
    if (k > 1) {
        lastDropped = text.at(k - 2);
        dropped = true;
        text.remove(0, k - 1);
    }
    while (!text.isEmpty() && measure(text) > columnWidth) {
        lastDropped = text.at(0);
        dropped = true;
        text.remove(0, 1);
    }
    if (dropped && lastDropped != QLatin1Char(' ')) {
        qsizetype blank = text.indexOf(QLatin1Char(' '));
        if (blank < 0)
            blank = text.size();
        for (qsizetype i = 0; i < blank; ++i)
            text[i] = QLatin1Char(' ');
    }
    return text;
}

int leftColumnWidth(int areaWidth)
{
    return std::max(0, areaWidth * LeftShare / 100);
}

ColumnGeometry layoutColumns(int areaWidth, int widestCentre)
{
    ColumnGeometry g;
    g.leftWidth = leftColumnWidth(areaWidth);
    g.centreX = g.leftWidth + ColumnGap;
    g.centreWidth = std::max(0, widestCentre) + CentrePadding;
    g.rightX = g.centreX + g.centreWidth + ColumnGap;
    g.rightWidth = std::max(0, areaWidth - g.rightX);
    return g;
}

int rowsThatFit(int height, int margin, int rowHeight)
{
    if (height != 0 && height - margin > 0 && rowHeight != 0)
        return (height - margin) / (rowHeight + 1);
    return 10;
}

} // namespace conccore
