#include "TextCanvas.h"

#include "model/Cp1251.h"

#include <QMouseEvent>
#include <QPainter>

TextCanvas::TextCanvas(const textcore::TextViewState &view, QWidget *parent)
    : QWidget(parent), m_view(view)
{
    setObjectName(QStringLiteral("P_TextLabels"));
    setAutoFillBackground(false);
}

void TextCanvas::setLabelStyle(const QFont &font, const QColor &text, int lineHeight)
{
    setFont(font);
    m_text = text;
    m_lineHeight = lineHeight;
    update();
}

QRect TextCanvas::labelRect(int label) const
{
    if (label < 0 || label >= m_view.labels.size())
        return QRect();
    const textcore::WordLabel &l = m_view.labels[label];
    return QRect(l.left, l.top, qMax(1, l.width), m_lineHeight);
}

int TextCanvas::labelAt(const QPoint &pos) const
{
    for (int i = 0; i < m_view.labels.size(); ++i) {
        if (labelRect(i).contains(pos))
            return i;
    }
    return -1;
}

void TextCanvas::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect dirty = event->rect();
    const QColor plain = palette().color(QPalette::Base);
    p.setFont(font());
    for (int i = 0; i < m_view.labels.size(); ++i) {
        const QRect r = labelRect(i);
        if (!r.intersects(dirty))
            continue;
        const textcore::WordLabel &l = m_view.labels[i];
        p.fillRect(r, l.marked ? markedColour() : l.current() ? currentColour() : plain);
        p.setPen(m_text);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, cp1251::decode(l.text));
    }
}

void TextCanvas::mousePressEvent(QMouseEvent *event)
{
    if (pressed)
        pressed(labelAt(event->position().toPoint()), event->button(), event->modifiers(),
                event->globalPosition().toPoint());
    event->accept();
}
