#include "slots/Pan.h"

#include <Qt>

namespace {

// One arrow key, or one line of the wheel: as a scroll area's single step.
constexpr int kStep = 20;
// One notch of the wheel in angleDelta units.
constexpr int kNotch = 120;

}  // namespace

Pan::Pan(int dragDistance, int wheelLines) : dragDistance_(dragDistance), wheelLines_(wheelLines) {}

void Pan::setPicture(QSize picture)
{
    picture_ = picture;
    offset_ = QPoint();
    pressed_ = false;
}

void Pan::setView(QSize view)
{
    view_ = view;
    moveTo(offset_);
}

void Pan::moveTo(QPoint offset)
{
    const int right = qMax(0, picture_.width() - view_.width());
    const int bottom = qMax(0, picture_.height() - view_.height());
    offset_ = QPoint(qBound(0, offset.x(), right), qBound(0, offset.y(), bottom));
}

void Pan::press(QPoint at)
{
    pressed_ = true;
    moved_ = false;
    pressedAt_ = at;
    offsetAtPress_ = offset_;
}

void Pan::move(QPoint at)
{
    if (!pressed_)
        return;
    const QPoint travel = at - pressedAt_;
    moved_ = moved_ || travel.manhattanLength() > dragDistance_;
    moveTo(offsetAtPress_ - travel);
}

void Pan::wheel(QPoint angleDelta, bool shift)
{
    if (shift && angleDelta.x() == 0)
        angleDelta = angleDelta.transposed();
    moveTo(offset_ - angleDelta * wheelLines_ * kStep / kNotch);
}

bool Pan::key(int key)
{
    QPoint to = offset_;
    switch (key) {
    case Qt::Key_Left:
        to.rx() -= kStep;
        break;
    case Qt::Key_Right:
        to.rx() += kStep;
        break;
    case Qt::Key_Up:
        to.ry() -= kStep;
        break;
    case Qt::Key_Down:
        to.ry() += kStep;
        break;
    case Qt::Key_PageUp:
        to.ry() -= view_.height();
        break;
    case Qt::Key_PageDown:
        to.ry() += view_.height();
        break;
    case Qt::Key_Home:
        to.setY(0);
        break;
    case Qt::Key_End:
        to.setY(picture_.height());
        break;
    default:
        return false;
    }
    moveTo(to);
    return true;
}
