#include "runtime/Program.h"

#include <QApplication>
#include <QMutex>
#include <QWidget>

namespace rt {

namespace {
std::function<void()> &endHook()
{
    static std::function<void()> hook;
    return hook;
}

// Registered from any thread, on first use of what needs stopping.
QMutex endMutex;
QList<std::function<void()>> endTasks;
} // namespace

void endProgram()
{
    QList<std::function<void()>> tasks;
    {
        const QMutexLocker lock(&endMutex);
        tasks = endTasks;
    }
    for (const auto &task : std::as_const(tasks))
        task();
    if (endHook()) {
        endHook()();
        return;
    }
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    // Leaves every event loop, nested ones included, so main() returns.
    QCoreApplication::exit(0);
}

void atEnd(std::function<void()> task)
{
    const QMutexLocker lock(&endMutex);
    endTasks.append(std::move(task));
}

void setEndHook(std::function<void()> hook)
{
    endHook() = std::move(hook);
}

} // namespace rt
