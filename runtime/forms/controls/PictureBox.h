#pragma once

#include "runtime/pictures/Picture.h"

#include <QFrame>

namespace rt {

// A picture box: a bordered child window showing its picture unscaled from the
// top-left corner, cut off at its edges. It can hold the focus.
class PictureBox : public QFrame
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    const Picture &picture() const { return picture_; }
    void setPicture(const Picture &picture);

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Picture picture_;
    bool leftPressed_ = false;
};

}  // namespace rt
