#pragma once

#include "runtime/forms/Form.h"

class QLabel;

namespace rt {
class PictureBox;
}

// The About window: the program's name, version, date line and picture.
class Form7 : public rt::Form
{
    Q_OBJECT
public:
    Form7();

    rt::PictureBox *Picture1;
    QLabel *Label3, *Label2, *Label1;
};
