#pragma once

#include "runtime/services/Reason.h"

#include <QString>
#include <exception>
#include <functional>
#include <optional>

// Runtime operations report failure by throwing RuntimeError. Handlers meet it
// in one of two ways, and the code of each handler shows which:
//
//   rt::trap([&] { ... })   a failure trap: the first failing operation ends the
//                           block quietly and the handler goes on after it;
//   no trap                 the failure ends the handler; the event connection
//                           (rt::on, forms/FailureBox.h) tells the user what
//                           failed and for which file.
namespace rt {

class RuntimeError : public std::exception
{
public:
    // `action` could not be done on `path` (may be empty) because of `why`.
    RuntimeError(Action action, QString path, Failure why);
    // A failure the caller words itself: what could not be done, and why.
    RuntimeError(const QString &action, QString path, const QString &reason);

    const QString &path() const { return path_; }
    Reason reason() const { return why_.reason; }
    const Failure &failure() const { return why_; }
    const QString &message() const { return message_; }
    const char *what() const noexcept override;

private:
    QString path_;
    Failure why_;
    QString message_;
    QByteArray utf8_;
};

// Runs `body`; a RuntimeError thrown inside ends it and is returned.
std::optional<RuntimeError> trap(const std::function<void()> &body);

}  // namespace rt
