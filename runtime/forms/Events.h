#pragma once

#include "runtime/forms/FailureBox.h"

#include <QAction>
#include <QObject>

namespace rt {

// Connects a control's event to a window's handler. The handler runs without a
// failure trap: a failing operation ends it and the user is told (rt::tell).
// A handler may take the event's arguments or none.
template <class Sender, class SignalOwner, class... SignalArgs, class Receiver, class... HandlerArgs>
void on(Sender *sender, void (SignalOwner::*signal)(SignalArgs...), Receiver *receiver,
        void (Receiver::*handler)(HandlerArgs...))
{
    QObject::connect(sender, signal, receiver, [receiver, handler](SignalArgs... args) {
        ((void)args, ...);
        runHandler([&] {
            if constexpr (sizeof...(HandlerArgs) == 0)
                (receiver->*handler)();
            else
                (receiver->*handler)(args...);
        });
    });
}

namespace detail {

// Qt toggles a checkable item before it reports the choice; here the handlers
// own the check mark, so that toggle is undone first.
template <class Run>
void onTriggered(QAction *item, QObject *receiver, Run run)
{
    QObject::connect(item, &QAction::triggered, receiver, [item, run] {
        if (item->isCheckable()) {
            const QSignalBlocker quiet(item);
            item->setChecked(!item->isChecked());
        }
        runHandler(run);
    });
}

}  // namespace detail

// Connects a menu item's Click to a window's handler (no failure trap).
template <class Receiver>
void onClick(QAction *item, Receiver *receiver, void (Receiver::*handler)())
{
    detail::onTriggered(item, receiver, [receiver, handler] { (receiver->*handler)(); });
}

// The same for an item of a control array: its handler is told the item's index.
template <class Receiver>
void onClick(QAction *item, int index, Receiver *receiver, void (Receiver::*handler)(int))
{
    detail::onTriggered(item, receiver, [receiver, handler, index] { (receiver->*handler)(index); });
}

}  // namespace rt
