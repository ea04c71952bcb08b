#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// One memory budget shared by every thumbnail decoder. A GIF, BMP or icon
// cannot be scaled while it is read: it is decoded whole first, up to the
// loader's cap of 800 MB. A claim holds the bytes such a decode needs while
// it runs; one that would pass the budget waits until the others are done,
// and then runs alone. Pictures decoded at the size asked (JPEG) claim nothing.
// When the program ends, no claim is granted any more and waiting ones give up.
class DecodeClaim
{
public:
    // Blocks until a decode of `bytes` may run, or the program ends.
    explicit DecodeClaim(qint64 bytes);
    ~DecodeClaim();
    DecodeClaim(const DecodeClaim &) = delete;
    DecodeClaim &operator=(const DecodeClaim &) = delete;

    // What decoding `path` whole takes, from its header; 0 for a picture
    // decoded at the size asked, and for one the header does not tell.
    static qint64 wholeBytes(const QString &path);

    // False once the program is ending: the decode must not start.
    bool granted() const { return granted_; }
    // Wakes the claims waiting, which give up: called as the program ends.
    static void endWaits();

    static qint64 setBudget(qint64 bytes);  // the budget before; tests make it small
    // Called as each claiming decode starts, with how many run then, itself included.
    static void setWatcher(std::function<void(int running)> watcher);

private:
    qint64 bytes_;
    bool granted_ = false;
};
