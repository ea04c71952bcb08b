#include "runtime/Failure.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

namespace rt {

namespace {
Reporter &installedReporter()
{
    static Reporter reporter;
    return reporter;
}
} // namespace

RuntimeError::RuntimeError(QString action, QString path, QString reason)
    : action_(std::move(action)), path_(std::move(path)), reason_(std::move(reason)),
      utf8_(message().toUtf8())
{
}

QString RuntimeError::message() const
{
    if (path_.isEmpty())
        return QStringLiteral("%1\n%2").arg(action_, reason_);
    return QStringLiteral("「%1」を%2\n%3").arg(QDir::toNativeSeparators(path_), action_, reason_);
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
