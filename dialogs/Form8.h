#pragma once

#include "runtime/forms/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The delete confirmation of the main window: "OK" deletes the file of the
// preview slot whose number is in the hidden Text1 and empties that slot.
class Form8 : public rt::Form
{
    Q_OBJECT
public:
    Form8();

    QLineEdit *Text1;  // hidden: the slot number, "1" to "4"
    QPushButton *Command1, *Command2;
    QLabel *Label1;

    void Command1_Click();
    void Command2_Click();
};
