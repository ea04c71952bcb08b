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

    // Sets Image1's picture, loaded from `path` at its own size, and with
    // `withCaption` the caption to `path`, once the picture is there; a busy
    // pointer over the view meanwhile. Openings land in the order they were
    // asked for. A file that cannot be shown is told, and the view keeps what
    // it had.
    void showPicture(const QString &path, bool withCaption);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool panEvent(QObject *watched, QEvent *event);
    void showPan();

    Pan pan_;
    quint64 asked_ = 0, shown_ = 0;  // openings asked for; the one shown
    int loading_ = 0;                // openings not landed yet
};
