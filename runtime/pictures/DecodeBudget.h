#pragma once

#include <QtGlobal>
#include <functional>

// One memory budget shared by every decode of the process. Each decode claims
// what its picture's description says it will hold (decodeBytes) while it
// runs; one that would pass the budget waits until the others are done, and
// then runs alone. Claims are granted in the order they are made. A claim
// made on the interface thread is counted but never waits there: the others
// wait for it instead. When the program ends, no claim of a background thread
// is granted any more and waiting ones give up.
class DecodeClaim
{
public:
    // Blocks until a decode of `bytes` may run, or the program ends.
    explicit DecodeClaim(qint64 bytes);
    ~DecodeClaim();
    DecodeClaim(const DecodeClaim &) = delete;
    DecodeClaim &operator=(const DecodeClaim &) = delete;

    // False once the program is ending (never on the interface thread): the decode must not start.
    bool granted() const { return granted_; }
    // Wakes the claims waiting, which give up once ending::now() is true:
    // called as the program ends, after ending::begin().
    static void end();

    static qint64 setBudget(qint64 bytes);  // the budget before; tests make it small
    // How many claims wait now, for their turn or for room: tests wait for one to wait.
    static int waiting();
    // Called as each claiming decode starts, with how many run then, itself included.
    static void setWatcher(std::function<void(int running)> watcher);

private:
    qint64 bytes_;
    bool granted_ = false;
};
