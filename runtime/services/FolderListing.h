#pragma once

#include "runtime/services/Platform.h"

#include <QObject>
#include <QStringList>

#include <functional>

// A folder's listing for the panes, read in its volume's lane (FileJobs.h) a
// step at a time, each step's names handed to the interface thread as they
// come, so that a slow folder fills its pane bit by bit and a dead one holds
// no more than its lane.
namespace rt::listing {

struct Step
{
    QStringList names;     // newly found, in the order read
    QStringList gone;      // names handed before that proved to be of another kind
    bool refused = false;  // the folder cannot be entered (only when asked to check)
    bool entered = false;  // it can: the first step, before any name (only when asked)
    bool end = false;      // the last step of the listing
};

struct Request
{
    QString folder;
    platform::EntryKind kind = platform::EntryKind::File;  // File or Folder
    // Runs on the worker: whether a name of that kind belongs in the pane.
    std::function<bool(const QString &name)> accept;
    bool check = false;  // first make sure the folder can be entered
};

// Lists `request.folder`; `deliver` runs on the interface thread for every
// step, unless `receiver` has been destroyed by then. Files whose kind the
// listing does not tell are handed at once and taken back (gone) once they
// prove to be something else; folders are handed only once known.
void list(Request request, QObject *receiver, std::function<void(Step)> deliver);

// Asks `folder` about itself in its lane (a look at it, as a drive is asked
// whether it answers); `answered` runs on the interface thread once it did,
// unless `receiver` has been destroyed by then.
void probe(const QString &folder, QObject *receiver, std::function<void()> answered);

// Tests: `gate` runs on the worker before every call that may wait on the
// folder (opening, each step, each look at one entry), so that a test can
// hold a listing there; none by default.
void setGate(std::function<void(const QString &folder)> gate);

}  // namespace rt::listing
