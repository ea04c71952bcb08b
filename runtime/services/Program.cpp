#include "runtime/services/Program.h"

#include "runtime/services/Ending.h"

#include <QApplication>
#include <QMutex>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

#include "runtime/services/Sanitizer.h"
#ifdef PIXMOOR_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>
#endif

namespace rt {

namespace {

// The whole end, every task included: the user sees the process gone within a second.
constexpr int kEndMs = 700;

std::function<void()> &endHook()
{
    static std::function<void()> hook;
    return hook;
}

QMutex endMutex;
QList<std::function<bool(QDeadlineTimer)>> endTasks;
bool ended = false;   // the tasks have run
bool settled = true;  // and nothing they stop was still running then

void runEndTasks()
{
    QList<std::function<bool(QDeadlineTimer)>> tasks;
    {
        const QMutexLocker lock(&endMutex);
        tasks = endTasks;
    }
    const QDeadlineTimer deadline(kEndMs);
    ended = true;
    settled = true;
    // Before any task stops work: a decode whose decoder the end kills then
    // fails as one sent away, not as a picture that cannot be read (which
    // would be marked so in the shared cache).
    ending::begin();
    for (const auto &task : std::as_const(tasks))
        settled = task(deadline) && settled;
}

}  // namespace

void endProgram()
{
    if (ended && !endHook())
        return;  // already ending: the window closing on the way out, say
    runEndTasks();
    if (endHook()) {
        endHook()();
        return;
    }
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    // Leaves every event loop, nested ones included, so main() returns.
    QCoreApplication::exit(0);
}

void atEnd(std::function<bool(QDeadlineTimer)> task)
{
    const QMutexLocker lock(&endMutex);
    if (endTasks.isEmpty()) {
        // A process that leaves main() some other way (a test program) still
        // stops the work before the application, and then statics, are gone.
        qAddPostRoutine([] {
            if (!ended)
                runEndTasks();
        });
    }
    endTasks.append(std::move(task));
}

int leaveProgram(int code)
{
    if (!ended)
        runEndTasks();  // the application was ended some other way
    if (settled)
        return code;  // nothing runs any more: the usual way out, destructors and all
    // A decode still inside an image plugin would run on while static
    // destructors and plugin unloading free what it uses: leave without
    // them. What it makes is stored nowhere any more. The leak check of a
    // sanitizer build runs at exit, which this skips: it runs here instead.
    std::fflush(nullptr);
#ifdef PIXMOOR_ADDRESS_SANITIZER
    __lsan_do_leak_check();
#endif
    std::_Exit(code);
}

void setEndHook(std::function<void()> hook) { endHook() = std::move(hook); }

}  // namespace rt
