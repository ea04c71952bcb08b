// The main window's side of the thumbnail list. (Being written: the list
// window itself comes next.)
#include "app/Form1.h"
#include "runtime/Events.h"

void Form1::connectListHandlers()
{
    rt::onClick(itiran, this, &Form1::itiran_Click);
}

void Form1::itiran_Click()
{
}

void Form1::Form_Resize()
{
}
