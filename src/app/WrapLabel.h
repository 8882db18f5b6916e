#pragma once
// A label for texts that come from a server: it wraps anywhere (an unbroken word of
// thousands of characters included), never asks for more width than it is given, and
// shows the whole text as a tooltip when it does not fit.
#include <QLabel>

class WrapLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect(int width) const;
};
