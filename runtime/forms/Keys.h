#pragma once

#include <QString>

class QWidget;

namespace rt {

// Gives `control` the keyboard focus and remembers it as the target of sent
// keys, also while its window is not the active one.
void giveFocus(QWidget *control);

// Sends keystrokes to the control that has the focus. Only "{DOWN}" is known.
// Without `wait` the keystroke is queued and goes to whatever has the focus
// when it is processed; with `wait` it is processed before the call returns.
void sendKeys(const QString &keys, bool wait);

}  // namespace rt
