#include "runtime/Program.h"

#include <QApplication>
#include <QWidget>

namespace rt {

namespace {
std::function<void()> &endHook()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

void endProgram()
{
    if (endHook()) {
        endHook()();
        return;
    }
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    // Leaves every event loop, nested ones included, so main() returns.
    QCoreApplication::exit(0);
}

void setEndHook(std::function<void()> hook)
{
    endHook() = std::move(hook);
}

} // namespace rt
