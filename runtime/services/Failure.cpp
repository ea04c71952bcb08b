#include "runtime/services/Failure.h"

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

RuntimeError::RuntimeError(Action action, QString path, Failure why)
    : path_(std::move(path)), why_(std::move(why)), message_(failureMessage(action, path_, why_)),
      utf8_(message_.toUtf8())
{
}

RuntimeError::RuntimeError(const QString &action, QString path, const QString &reason)
    : path_(std::move(path)), why_(Reason::Other, reason), message_(failureMessage(action, path_, reason)),
      utf8_(message_.toUtf8())
{
}

const char *RuntimeError::what() const noexcept
{
    return utf8_.constData();
}

std::optional<RuntimeError> trap(const std::function<void()> &body)
{
    try {
        body();
    } catch (const RuntimeError &failure) {
        return failure;
    }
    return std::nullopt;
}

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
