#pragma once

#include <QSize>
#include <QString>

// Why a runtime operation failed, as a value the code and the tests can
// compare, and the one place that words it for the user. The platform, file
// and picture functions return a Failure; RuntimeError carries one.
namespace rt {

enum class Reason {
    None,  // no failure
    // no such file, or not one that may be opened
    NoFileGiven,  // an empty path
    NotFound,
    DanglingLink,
    LinkLoop,
    NoReadPermission,
    PathTooLong,
    UnfaithfulName,  // a listed name that spells no file faithfully
    ReplacedWhileOpening,
    CannotOpen,  // detail: the system's words
    // not a regular file
    IsFolder,
    IsPipe,
    IsDevice,
    IsSocket,
    NotRegularFile,
    // copying
    NoDestinationName,
    DestinationExists,  // detail: the destination, when found before copying
    NoDestinationFolder,
    NoWritePermission,
    DestinationReadOnly,
    DiskFull,
    QuotaExceeded,
    FileSizeLimit,
    SourceUnreadable,        // detail: the system's words
    WriteFailed,             // detail: the system's words
    CannotWriteDestination,  // detail: the system's words
    CannotNameDestination,   // detail: the system's words
    // deleting
    ReadOnly,
    RemoveFailed,  // detail: the system's words
    // pictures
    EmptyFile,
    UnsupportedType,
    UnknownSize,
    TooLarge,      // size: the picture's
    TooManyScans,  // detail: how many
    ReadFailed,
    DamagedData,
    DecodeFailed,  // detail: the program's words for what went wrong, when it knows
    // folders, controls and text
    CannotEnterFolder,
    NoSuchProperty,   // detail: the property asked for
    NotANumber,       // detail: the text
    UnsupportedKeys,  // detail: the keys
    Other,            // detail: the whole reason, worded by the caller
};

// What could not be done; the first line of the message names it.
enum class Action {
    Open,
    Copy,
    Delete,
    ReadProperty,
    ConvertToNumber,
    SendKeys,
};

struct Failure
{
    Failure() = default;
    Failure(Reason why, QString quoted = QString()) : reason(why), detail(std::move(quoted)) {}
    Failure(Reason why, QSize pictureSize) : reason(why), size(pictureSize) {}

    Reason reason = Reason::None;
    QString detail;  // what the message quotes, see Reason
    QSize size;      // the picture's size, for TooLarge

    // True when something failed: `if (const Failure why = open(...))`.
    explicit operator bool() const { return reason != Reason::None; }
};

// The reason as the user reads it (the message's second line).
QString reasonText(Action action, const Failure &failure);

// The whole message: which file could not be acted on, and why.
QString failureMessage(Action action, const QString &path, const Failure &failure);

// The same from words of the caller's own.
QString failureMessage(const QString &action, const QString &path, const QString &reason);

}  // namespace rt
