// The main window's side of the thumbnail list: opening it, and hiding the
// list's delete dialog while the main window is minimised.
#include "app/Form1.h"
#include "runtime/forms/Events.h"
#include "thumbs/Form10.h"
#include "thumbs/Form2.h"

#include <QAction>

namespace {

// The window's size state as the handlers read it; full screen counts as maximised.
enum class SizeState { Normal, Minimised, Maximised };

SizeState sizeState(const QWidget *window)
{
    const Qt::WindowStates state = window->windowState();
    if (state & Qt::WindowMinimized)
        return SizeState::Minimised;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return SizeState::Maximised;
    return SizeState::Normal;
}

}  // namespace

void Form1::connectListHandlers()
{
    rt::onClick(itiran, this, &Form1::itiran_Click);
    rt::on(this, &Form1::Resize, this, &Form1::Form_Resize);
}

void Form1::itiran_Click() { rt::Form::instance<Form10>().showModeless(); }

void Form1::Form_Resize()
{
    const SizeState state = sizeState(this);
    if (state == SizeState::Minimised) {
        // Asking whether the dialog is visible loads it, hidden, if it is not.
        Form2 &dialog = rt::Form::instance<Form2>();
        form2Hidden = dialog.isVisible();
        if (form2Hidden)
            dialog.hide();
    } else if (state == SizeState::Normal) {
        if (form2Hidden)
            rt::Form::instance<Form2>().showModeless();
    }
}
