#pragma once

#include "runtime/Form.h"

namespace rt {
class ImageBox;
}

// The large view: one picture at its own size from the top-left corner, cut
// off at the edges. A double click anywhere inside closes it.
class Form4 : public rt::Form
{
    Q_OBJECT
public:
    Form4();

    rt::ImageBox *Image1;

    void Form_DblClick();
    void Image1_DblClick();
};
