#pragma once
// The inside of P_Text: paints the word labels of a TextViewState (lime for the
// current occurrence, magenta for marked words) and reports presses on them. The
// labels are plain rectangles of the state, not widgets, so a page of any length
// costs one paint.
#include "text/core/TextView.h"

#include <QColor>
#include <QWidget>
#include <functional>

class TextCanvas : public QWidget {
    Q_OBJECT
public:
    TextCanvas(const textcore::TextViewState &view, QWidget *parent = nullptr);

    // The label font and text colour (L_FullTextFict's) and the line height.
    void setLabelStyle(const QFont &font, const QColor &text, int lineHeight);
    // The label at a point of the canvas, -1 none.
    int labelAt(const QPoint &pos) const;
    QRect labelRect(int label) const;

    // A press on a label (button and modifiers as pressed) or beside the labels
    // (label -1).
    std::function<void(int label, Qt::MouseButton, Qt::KeyboardModifiers, const QPoint &global)> pressed;

    static QColor currentColour() { return QColor(0, 255, 0); }     // 65280
    static QColor markedColour() { return QColor(255, 0, 255); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    const textcore::TextViewState &m_view;
    QColor m_text;
    int m_lineHeight = 16;
};
