#pragma once

#include "runtime/forms/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The copy confirmation: "OK" copies the file named in the hidden Text1 to the
// same path with "コピー" appended.
class Form9 : public rt::Form
{
    Q_OBJECT
public:
    Form9();

    QLineEdit *Text1;  // hidden: the full path of the file to copy
    QPushButton *Command2, *Command1;
    QLabel *Label1;

    void Command1_Click();
    void Command2_Click();
};
