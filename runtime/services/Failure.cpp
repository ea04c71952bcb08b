#include "runtime/services/Failure.h"

namespace rt {

RuntimeError::RuntimeError(Action action, QString path, Failure why)
    : path_(std::move(path))
    , why_(std::move(why))
    , message_(failureMessage(action, path_, why_))
    , utf8_(message_.toUtf8())
{}

RuntimeError::RuntimeError(const QString &action, QString path, const QString &reason)
    : path_(std::move(path))
    , why_(Reason::Other, reason)
    , message_(failureMessage(action, path_, reason))
    , utf8_(message_.toUtf8())
{}

const char *RuntimeError::what() const noexcept { return utf8_.constData(); }

std::optional<RuntimeError> trap(const std::function<void()> &body)
{
    try {
        body();
    } catch (const RuntimeError &failure) {
        return failure;
    }
    return std::nullopt;
}

}  // namespace rt
