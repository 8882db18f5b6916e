#include "WrapLabel.h"

#include <QPainter>

namespace {

constexpr int Flags = Qt::TextWrapAnywhere | Qt::AlignLeft | Qt::AlignTop;
// What the label asks for at most; the layout may give it more.
constexpr int PreferredWidth = 400;

} // namespace

QRect WrapLabel::textRect(int width) const
{
    return fontMetrics().boundingRect(QRect(0, 0, qMax(1, width), 1 << 20), Flags, text());
}

QSize WrapLabel::sizeHint() const
{
    const int width = qMin(PreferredWidth, fontMetrics().horizontalAdvance(text()) + 2);
    return {width, heightForWidth(width)};
}

QSize WrapLabel::minimumSizeHint() const
{
    return {0, text().isEmpty() ? 0 : fontMetrics().height()};
}

int WrapLabel::heightForWidth(int width) const
{
    return text().isEmpty() ? 0 : textRect(width).height();
}

void WrapLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.drawText(area, Flags, text());
    const bool fits = textRect(area.width()).height() <= area.height();
    setToolTip(fits ? QString() : text());
}
