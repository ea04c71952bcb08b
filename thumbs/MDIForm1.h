#pragma once

#include "runtime/Form.h"

class QProgressBar;
class QScrollArea;

// The list frame: it comes up with the list window Form10, carries the
// caption, and scrolls the list window when that is taller than the frame.
// Closing it unloads the list window with it.
class MDIForm1 : public rt::Form
{
    Q_OBJECT
public:
    MDIForm1();

    QScrollArea *workspace;  // holds the list window
    QProgressBar *progress;  // how far a long build has come; hidden otherwise

protected:
    void closeEvent(QCloseEvent *event) override;
};
