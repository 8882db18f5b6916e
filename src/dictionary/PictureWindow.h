#pragma once
// PictureWindow: a reference picture of a dictionary entry, shown modally. The picture
// fills the window's client area, centred, keeping its proportions (shrunk to fit,
// never enlarged). Esc (the dialog's own key) or a click closes the window.
#include <QDialog>
#include <QImage>

namespace dictcore {
struct JpegImage;
}

// Im: the image area of the window.
class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget *parent = nullptr);
    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }
    // Where the picture is drawn inside the widget.
    QRect pictureRect() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_image;
};

class PictureWindow : public QDialog {
    Q_OBJECT
public:
    explicit PictureWindow(QWidget *parent = nullptr);

    // Puts a decoded picture into Im (the caller then shows the window modally).
    void setPicture(const dictcore::JpegImage &picture);

    PictureView *Im;
};
