#include "runtime/forms/FailureBox.h"

#include "runtime/forms/PlainText.h"

#include <QApplication>
#include <QMessageBox>

namespace rt {

namespace {
Reporter &installedReporter()
{
    static Reporter reporter;
    return reporter;
}
}  // namespace

void tell(const RuntimeError &failure)
{
    if (installedReporter()) {
        installedReporter()(failure);
        return;
    }
    // Not QMessageBox::warning(): its text would be AutoText, and the message names a file.
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Pixmoor"), QString(), QMessageBox::Ok,
                    QApplication::activeWindow());
    setPlainText(&box, failure.message());
    box.exec();
}

void setReporter(Reporter reporter) { installedReporter() = std::move(reporter); }

void runHandler(const std::function<void()> &handler)
{
    if (auto failure = trap(handler))
        tell(*failure);
}

}  // namespace rt
