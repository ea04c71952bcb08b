// Start-up and shutdown of the main window, and the About command.
#include "about/Form7.h"
#include "app/Form1.h"
#include "runtime/forms/Events.h"
#include "runtime/services/Program.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/pictures/PictureFormats.h"

#include <QAction>
#include <QCloseEvent>
#include <QShowEvent>

#include <algorithm>

void Form1::connectShellHandlers()
{
    rt::onClick(mnuExit, this, &Form1::mnuExit_Click);
    rt::onClick(var, this, &Form1::var_Click);
}

void Form1::Form_Load()
{
    all->setChecked(true);
    // Every format's patterns, the table's last first: it lists what "ALL" does.
    QStringList patterns = rt::filePatterns();
    std::reverse(patterns.begin(), patterns.end());
    File1->setPattern(patterns.join(QLatin1Char(';')));
}

void Form1::Form_Unload() { rt::endProgram(); }

void Form1::mnuExit_Click() { rt::endProgram(); }

void Form1::var_Click() { rt::Form::instance<Form7>().showModal(); }

void Form1::closeEvent(QCloseEvent *event)
{
    event->ignore();
    rt::runHandler([this] { Form_Unload(); });
}

// The window is resized only by its first showing, minimising and restoring:
// its border is fixed and it has no maximise button.
void Form1::showEvent(QShowEvent *event)
{
    Form::showEvent(event);
    if (!event->spontaneous())
        emit Resize();
}

void Form1::changeEvent(QEvent *event)
{
    Form::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        emit Resize();
}
