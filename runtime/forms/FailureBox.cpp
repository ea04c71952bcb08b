#include "runtime/forms/FailureBox.h"

#include <QApplication>
#include <QMessageBox>

namespace rt {

namespace {
Reporter &installedReporter()
{
    static Reporter reporter;
    return reporter;
}
} // namespace

void tell(const RuntimeError &failure)
{
    if (installedReporter()) {
        installedReporter()(failure);
        return;
    }
    QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Pixmoor"), failure.message());
}

void setReporter(Reporter reporter)
{
    installedReporter() = std::move(reporter);
}

void runHandler(const std::function<void()> &handler)
{
    if (auto failure = trap(handler))
        tell(*failure);
}

} // namespace rt
