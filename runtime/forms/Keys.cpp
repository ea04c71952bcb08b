#include "runtime/forms/Keys.h"

#include "runtime/services/Failure.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace rt {

namespace {

QPointer<QWidget> &requestedFocus()
{
    static QPointer<QWidget> control;
    return control;
}

QWidget *focusedControl()
{
    // Only a control of the active window has the focus for real: a pop-up
    // menu that has just closed, or a window that has just lost activation,
    // can keep the application's focus until another window is activated.
    QWidget *focused = QApplication::focusWidget();
    if (focused && focused->isVisible() && focused->isActiveWindow())
        return focused;
    // Without an active window (say, while the window manager has not yet
    // activated ours) Qt reports no focus widget; use the control that was
    // given the focus last.
    QWidget *requested = requestedFocus();
    return requested && requested->isVisible() ? requested : nullptr;
}

void pressDown()
{
    QWidget *target = focusedControl();
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
}

}  // namespace

void giveFocus(QWidget *control)
{
    requestedFocus() = control;
    control->setFocus(Qt::OtherFocusReason);
}

void sendKeys(const QString &keys, bool wait)
{
    if (keys != QLatin1String("{DOWN}"))
        throw RuntimeError(Action::SendKeys, QString(), {Reason::UnsupportedKeys, keys});
    if (wait)
        pressDown();
    else
        QTimer::singleShot(0, qApp, pressDown);
}

}  // namespace rt
