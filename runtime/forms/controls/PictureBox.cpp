#include "runtime/forms/controls/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace rt {

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::setPicture(const Picture &picture)
{
    picture_ = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (picture_.isEmpty())
        return;
    QPainter painter(this);
    const QRect inside = contentsRect();
    painter.setClipRect(inside);
    painter.drawImage(inside.topLeft(), picture_.image());
}

void PictureBox::mousePressEvent(QMouseEvent *event) { leftPressed_ = event->button() == Qt::LeftButton; }

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && leftPressed_ && rect().contains(event->position().toPoint())) {
        leftPressed_ = false;
        emit Click();
    }
}

}  // namespace rt
