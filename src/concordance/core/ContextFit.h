#pragma once
// Fitting the left context to its column, the columns' layout and the number of
// rows that fit into a list. Widths are pixels given as data: the widget side
// measures its font, these functions only count.
#include <QByteArray>
#include <QString>
#include <array>
#include <functional>

namespace conccore {

// Average pixel widths of the characters 32..255 in the left column's font.
class CharWidths {
public:
    static constexpr int First = 32;
    static constexpr int Count = 224;

    // From the advance of each character (`advance[i]` for code First + i) and the
    // column width: a character's width is the column width divided by how many of
    // it fit into the column width less 4 (kept with its fraction, so that a sum
    // never falls short of the real width and one measurement per line confirms the
    // fit). A column too narrow for a single copy takes the character's own
    // advance; a width is never below 1.
    static CharWidths measure(const std::array<double, Count> &advance, int columnWidth);
    // Every character `width` pixels wide.
    static CharWidths uniform(double width);

    // Codes below 32 count as a blank.
    double width(uchar c) const { return m_w[c < First ? 0 : c - First]; }

private:
    std::array<double, Count> m_w{};
};

// Fits a left context (1251 bytes) into `columnWidth` pixels by the table: walking
// from the last character backwards, a text that does not fit keeps what follows the
// leftmost blank passed (the blank included), so no word is cut; without such a
// blank the character that overflowed and the one after it are dropped too. A text
// that fits is padded on the left with as many blanks as keep it below the width
// less 6.
QByteArray fitLeft(const QByteArray &text, int columnWidth, const CharWidths &widths);

// The correction by real measurement of a fitted, rendered left context: while it is
// wider than the column, first a share proportional to the excess is dropped from
// its start, then one character at a time; when the last character dropped was not
// a blank, the leading characters up to the first blank become blanks, so that no
// partial word remains.
QString correctLeft(QString text, int columnWidth, const std::function<int(const QString &)> &measure);

// Geometry of the three context columns inside an area of `areaWidth` pixels: the
// left column takes a fixed share, the centre column the widest centre word + 8,
// and the right column starts 2 pixels after it and takes the rest.
struct ColumnGeometry {
    int leftX = 0, leftWidth = 0;
    int centreX = 0, centreWidth = 0;
    int rightX = 0, rightWidth = 0;
};
// The left column's width in an area (the part of the area it gets).
int leftColumnWidth(int areaWidth);
ColumnGeometry layoutColumns(int areaWidth, int widestCentre);

// Rows of `rowHeight` pixels (plus one between rows) that fit into `height` less
// `margin`; 10 when the height, the room or the row height is 0.
int rowsThatFit(int height, int margin, int rowHeight);

} // namespace conccore
