#pragma once

#include "runtime/forms/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The list's delete confirmation, shown without waiting: "OK" deletes the file
// named in the hidden Text1, empties the list cell numbered in the hidden
// Text2 and refreshes the main window's file list.
class Form2 : public rt::Form
{
    Q_OBJECT
public:
    Form2();

    QLabel *Label1;
    QPushButton *Command1, *Command2;
    QLineEdit *Text1;  // hidden: the full path of the file to delete
    QLineEdit *Text2;  // hidden: the number of the cell to empty, as decimal text

    void Command1_Click();
    void Command2_Click();
};
