#pragma once

#include "runtime/forms/Form.h"
#include "slots/Pan.h"

namespace rt {
class ImageBox;
}

// The large view: one picture at its own size from the top-left corner, cut
// off at the edges. A double click anywhere inside closes it. A picture
// larger than the window pans: dragged with the left button, scrolled with
// the wheel and the keys of a scrolled view.
class Form4 : public rt::Form
{
    Q_OBJECT
public:
    Form4();

    rt::ImageBox *Image1;

    void Form_DblClick();
    void Image1_DblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool panEvent(QObject *watched, QEvent *event);
    void showPan();

    Pan pan_;
};
