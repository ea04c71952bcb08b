#pragma once

#include "runtime/pictures/Picture.h"
#include "runtime/forms/controls/Mouse.h"

#include <QPixmap>
#include <QWidget>

namespace rt {

// An image control. With Stretch it scales its picture to fill itself
// whatever the aspect ratio; without, it takes the picture's own size.
class ImageBox : public QWidget
{
    Q_OBJECT
public:
    explicit ImageBox(QWidget *parent = nullptr);

    const Picture &picture() const { return picture_; }
    void setPicture(const Picture &picture);
    bool stretch() const { return stretch_; }
    void setStretch(bool stretch);
    int borderStyle() const { return borderStyle_; }  // 0 none, 1 single line
    void setBorderStyle(int style);
    // Only drop targets take drops (and only the file list's); others let them fall through.
    void setDropTarget(bool accept) { setAcceptDrops(accept); }

    // The size a picture is shown at, in device pixels; loaders decode no larger.
    QSize shownSize() const;

signals:
    void Click();
    void DblClick();
    // button and shift as buttonCode and shiftCode give them
    void MouseDown(int button, int shift, QPoint position);
    void DragDrop(QObject *source, QPoint position);
    void pictureChanged();  // after setPicture, at the new picture's size

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QRect pictureRect() const;

    Picture picture_;
    QPixmap shown_;    // a stretched picture as painted, scaled once per size
    QImage unscaled_;  // an unstretched picture in a format painted without conversion
    bool stretch_ = false;
    int borderStyle_ = 0;
    bool leftPressed_ = false;
};

}  // namespace rt
