#include "thumbs/CellGrid.h"

#include "runtime/services/Failure.h"
#include "runtime/services/Paths.h"
#include "runtime/services/Text.h"
#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/ImageBox.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

CellGrid::CellGrid(QWidget *parent, QRect label0, QRect image0, QRect text0)
    : QWidget(parent), label0_(label0), image0_(image0), text0_(text0)
{
    Cell first;
    first.labelAt = label0.topLeft();
    first.labelVisible = true;
    first.imageAt = image0.topLeft();
    first.imageVisible = true;
    cells_.push_back(first);
    captions_.append({});
    paths_.append({});
}

void CellGrid::load(qint64 index)
{
    if (index != count())
        throw rt::RuntimeError(QStringLiteral("コントロール配列の要素を作れませんでした。"), QString(),
                               QStringLiteral("要素 %1 は作れません。").arg(rt::toDecimal(index)));
    Cell cell;
    cell.labelAt = cells_.front().labelAt;
    cell.imageAt = cells_.front().imageAt;
    cell.borderStyle = cells_.front().borderStyle;
    cells_.push_back(std::move(cell));
    captions_.append({});
    paths_.append({});
}

const Cell &CellGrid::at(qint64 index) const
{
    if (index < 0 || index >= count())
        throw rt::RuntimeError(QStringLiteral("コントロール配列の要素がありません。"), QString(),
                               QStringLiteral("要素 %1 は読み込まれていません。").arg(rt::toDecimal(index)));
    return cells_[size_t(index)];
}

QString CellGrid::caption(qint64 index) const
{
    at(index);
    return captions_.at(index);
}

void CellGrid::setCaption(qint64 index, const QString &caption)
{
    change(index, [&](Cell &) { captions_.set(index, caption); });
}

QString CellGrid::path(qint64 index) const
{
    return at(index).pathInFolder ? rt::fullPath(folder_, paths_.at(index)) : paths_.at(index);
}

void CellGrid::setPath(qint64 index, const QString &path)
{
    element(index).pathInFolder = false;
    paths_.set(index, path);
}

void CellGrid::setFile(qint64 index, const QString &folder, const QString &name)
{
    if (folder_.isNull())
        folder_ = folder;
    change(index, [&](Cell &cell) {
        captions_.set(index, name);
        cell.pathInFolder = folder == folder_;
        paths_.set(index, cell.pathInFolder ? name : rt::fullPath(folder, name));
    });
}

bool CellGrid::hasPath(qint64 index, const QString &path) const
{
    return at(index).pathInFolder ? path == rt::fullPath(folder_, paths_.at(index)) : paths_.equals(index, path);
}

Cell &CellGrid::element(qint64 index) { return const_cast<Cell &>(std::as_const(*this).at(index)); }

QSize CellGrid::shownSize() const { return rt::twipsSize(image0_.width(), image0_.height()) * devicePixelRatioF(); }

// Opaque pictures take three bytes a pixel: thumbnails are most of the list's memory.
QImage CellGrid::shownPicture(const QImage &picture, QSize shown)
{
    const QImage cell = picture.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return cell.convertToFormat(cell.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB888);
}

QRect CellGrid::labelRect(const Cell &cell) const
{
    return rt::twipsRect(cell.labelAt.x(), cell.labelAt.y(), label0_.width(), label0_.height());
}

QRect CellGrid::imageRect(const Cell &cell) const
{
    return rt::twipsRect(cell.imageAt.x(), cell.imageAt.y(), image0_.width(), image0_.height());
}

void CellGrid::updateCell(const Cell &cell)
{
    update(labelRect(cell));
    update(imageRect(cell));
}

void CellGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect dirty = event->rect();
    // A plain scan, as cells may stand anywhere; the cells above and below the
    // dirty band are passed over on their twips alone (a pixel's margin covers
    // the rounding), so a hundred thousand cells cost about a millisecond.
    const int top = rt::twips(dirty.top() - 1), bottom = rt::twips(dirty.bottom() + 2);
    const auto outside = [&](int y, int height) { return y > bottom || y + height < top; };
    for (qint64 k = 0; k < count(); ++k) {
        const Cell &cell = cells_[size_t(k)];
        if (outside(cell.imageAt.y(), image0_.height()) && outside(cell.labelAt.y(), label0_.height()))
            continue;
        const QRect image = imageRect(cell);
        if (cell.imageVisible && image.intersects(dirty)) {
            const QRect inside = cell.borderStyle ? image.adjusted(1, 1, -1, -1) : image;
            if (!cell.picture.isEmpty())
                painter.drawImage(inside, cell.picture.image());
            if (cell.borderStyle) {
                painter.setPen(Qt::black);
                painter.drawRect(image.adjusted(0, 0, -1, -1));
            }
        }
        const QRect label = labelRect(cell);
        if (cell.labelVisible && !captions_.isEmpty(k) && label.intersects(dirty)) {
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(label, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, captions_.at(k));
        }
    }
    // Two pixels inside the image, clear of its border: white under black
    // dots shows on any picture.
    const QRect focus = imageRect(current_).adjusted(2, 2, -3, -3);
    if (focusShown_ && cells_[size_t(current_)].imageVisible && focus.intersects(dirty)) {
        painter.setPen(Qt::white);
        painter.drawRect(focus);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(focus);
    }
}

void CellGrid::setCurrent(qint64 index)
{
    update(imageRect(index));
    update(imageRect(current_));
    current_ = index;
    // Only while a screen reader listens: the event makes the cell's interface.
    if (hasFocus() && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(int(current_));
        QAccessible::updateAccessibility(&event);
    }
}

void CellGrid::showFocus(bool shown)
{
    focusShown_ = shown;
    update(imageRect(current_));
}

// A menu opened over the grid takes the keyboard with a focus-out of its own,
// and gives it back with a focus-in.
void CellGrid::focusInEvent(QFocusEvent *)
{
    showFocus(true);
    setCurrent(current_);  // screen readers follow the cell, not the grid
}

void CellGrid::focusOutEvent(QFocusEvent *) { showFocus(false); }

void CellGrid::keyPressEvent(QKeyEvent *event) { emit KeyDown(event->key(), rt::shiftCode(event->modifiers())); }

int CellGrid::imageAt(QPoint position) const
{
    // Later elements lie above earlier ones.
    for (qint64 k = count() - 1; k >= 0; --k) {
        const Cell &cell = cells_[size_t(k)];
        if (cell.imageVisible && imageRect(cell).contains(position))
            return int(k);
    }
    return -1;
}

void CellGrid::mousePressEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    const int k = imageAt(position);
    if (k < 0)
        return;
    setCurrent(k);
    emit MouseDown(k, rt::buttonCode(event->button()), rt::shiftCode(event->modifiers()),
                   position - imageRect(cells_[size_t(k)]).topLeft());
}

void CellGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    // As on an image control, the second press of a double click raises
    // DblClick, not MouseDown.
    const int k = imageAt(event->position().toPoint());
    if (k >= 0 && event->button() == Qt::LeftButton)
        emit DblClick(k);
}
