#include "runtime/forms/controls/ImageBox.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace rt {

ImageBox::ImageBox(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent, false); }

void ImageBox::setPicture(const Picture &picture)
{
    picture_ = picture;
    shown_ = QPixmap();
    unscaled_ = QImage();
    if (!stretch_ && !picture_.isEmpty()) {
        // Painting converts anything but the screen's own formats on every
        // paint; a large picture is converted once here instead.
        const QImage &image = picture_.image();
        const bool screenFormat =
            image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
        unscaled_ = screenFormat ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const int frame = borderStyle_ ? 2 : 0;
        resize(image.size() + QSize(frame, frame));
    }
    update();
    emit pictureChanged();
}

void ImageBox::setStretch(bool stretch)
{
    stretch_ = stretch;
    shown_ = QPixmap();
    update();
}

void ImageBox::setBorderStyle(int style)
{
    borderStyle_ = style;
    shown_ = QPixmap();
    update();
}

QSize ImageBox::shownSize() const { return pictureRect().size() * devicePixelRatioF(); }

QRect ImageBox::pictureRect() const { return borderStyle_ ? rect().adjusted(1, 1, -1, -1) : rect(); }

void ImageBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = pictureRect();
    if (!picture_.isEmpty()) {
        if (!stretch_) {
            const QRect dirty = event->rect().intersected(area);
            painter.drawImage(dirty, unscaled_, dirty.translated(-area.topLeft()));
        } else {
            const QSize device = area.size() * devicePixelRatioF();
            if (shown_.isNull() || shown_.size() != device) {
                shown_ = QPixmap::fromImage(
                    picture_.image().scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
                shown_.setDevicePixelRatio(devicePixelRatioF());
            }
            painter.drawPixmap(area.topLeft(), shown_);
        }
    }
    if (borderStyle_) {
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void ImageBox::resizeEvent(QResizeEvent *event)
{
    shown_ = QPixmap();
    QWidget::resizeEvent(event);
}

void ImageBox::mousePressEvent(QMouseEvent *event)
{
    leftPressed_ = event->button() == Qt::LeftButton;
    emit MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), event->position().toPoint());
}

void ImageBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && leftPressed_ && rect().contains(event->position().toPoint())) {
        leftPressed_ = false;
        emit Click();
    }
}

void ImageBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a left double click raises DblClick, not MouseDown;
    // a quick second press of another button is a press like any other.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    leftPressed_ = false;
    emit DblClick();
}

void ImageBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(kFileListDrag)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImageBox::dragMoveEvent(QDragMoveEvent *event) { event->acceptProposedAction(); }

void ImageBox::dropEvent(QDropEvent *event)
{
    event->acceptProposedAction();
    emit DragDrop(event->source(), event->position().toPoint());
}

}  // namespace rt
