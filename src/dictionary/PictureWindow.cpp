#include "PictureWindow.h"

#include "dictionary/core/JpegDecoder.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

PictureView::PictureView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Im"));
}

void PictureView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

QRect PictureView::pictureRect() const
{
    if (m_image.isNull())
        return QRect();
    QSize size = m_image.size();
    if (size.width() > width() || size.height() > height())
        size.scale(this->size(), Qt::KeepAspectRatio);
    QRect r(QPoint(0, 0), size);
    r.moveCenter(rect().center());
    return r;
}

void PictureView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(pictureRect(), m_image);
}

void PictureView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}

PictureWindow::PictureWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Справочное изображение"));
    // The frame's outer corner at (154, 0), so the title bar stays on the screen.
    resize(870, 600);
    move(154, 0);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    Im = new PictureView(this);
    lay->addWidget(Im);
    connect(Im, &PictureView::clicked, this, &QDialog::reject);
}

void PictureWindow::setPicture(const dictcore::JpegImage &picture)
{
    // The RGB bytes are copied: the image owns its pixels.
    const QImage view(reinterpret_cast<const uchar *>(picture.rgb.constData()), picture.width,
                      picture.height, qsizetype(picture.width) * 3, QImage::Format_RGB888);
    Im->setImage(view.copy());
}
