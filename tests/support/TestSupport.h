#pragma once

#include "runtime/services/Reason.h"
#include "thumbnailing/ThumbnailMaker.h"

#include <QDir>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

class Form10;
class QMenu;
class QWidget;
class QAction;

namespace test {

// Starts every test program the way the viewer starts (its own start-up
// routine), with caches in a temporary folder of the process, a recorded (not
// shown) failure report and a hook in place of ending.
void prepareApplication();

// Decodes in the tests' own decoder (tests/support/DecoderMisbehaviours.cpp),
// started with `arguments`; decoders started before take no picture.
void useTestDecoder(const QStringList &arguments = {});

// What the program told the user since the last take: the messages as worded,
// or only why each failure happened.
QStringList takeMessages();
QList<rt::Reason> takeReasons();
// Tells failures in the program's own message boxes, as a user sees them,
// instead of recording them for the takes above; false records them again.
void tellInBoxes(bool boxes);
// How often the program asked to end since the last call.
int takeEndRequests();

// Makes `path` a file that no read may wait on or take: a named pipe with no
// writer on POSIX; on Windows, which keeps no pipes in folders, a file held
// open without sharing, as another program locking it holds it: nobody opens
// or deletes it until the Folder it is in goes. Opening it fails so:
bool makeBlockingFile(const QString &path);
// Qt's links on Windows are shortcuts, which the file system (and so the
// program) takes for plain files: a symbolic link there needs a privilege.
// Windows allows no line break in a name: "%0A" stands in for one there;
// nor "?", "*" or ":", which TEST_POSIX_NAME_CHARS holds elsewhere. Windows
// keeps no mode bits (Qt reports the owner's for everyone, and a folder's
// read-only attribute keeps no file out): its files are private by the
// access list of the user's profile.
// A decoder's system calls are filtered on Linux alone (Windows has its job's
// limits, and sealed memory files are Linux's).
#ifdef Q_OS_WIN
constexpr rt::Reason kBlockedReason = rt::Reason::CannotOpen;
constexpr bool kLinksAreFiles = true, kModeBits = false, kCallFilter = false;
constexpr int kManyNames = 10000;  // a big folder: Wine makes and lists files some ten times slower
#define TEST_LINE_BREAK "%0A"
#define TEST_POSIX_NAME_CHARS ""
#else
constexpr rt::Reason kBlockedReason = rt::Reason::IsPipe;
constexpr bool kLinksAreFiles = false, kModeBits = true, kCallFilter = true;
constexpr int kManyNames = 100000;
#define TEST_LINE_BREAK "\n"
#define TEST_POSIX_NAME_CHARS "?*:"
#endif

// A temporary folder to fill with pictures.
class Folder
{
public:
    Folder();
    ~Folder();
    QString path() const;  // native separators
    QString file(const QString &name) const;
    // Writes a picture of `size` in the format the name's suffix gives (jpg, bmp, ico).
    QString picture(const QString &name, QSize size = QSize(64, 48), QColor color = Qt::red) const;
    QString text(const QString &name, const QByteArray &content = "not a picture") const;

private:
    QTemporaryDir dir_;
};

// Starts the main window in `folder` as the program starts there, with no
// message told yet and its folder listed; false if it never showed.
bool startIn(const QString &folder);

// Runs `answer` on the next modal window once it shows (within 5 s).
void whenModal(std::function<void(QWidget *)> answer);
// Chooses `item` in the next pop-up menu once it shows; null closes it unchosen.
void whenPopup(std::function<QAction *()> item);
// Drops the answers armed so far that found no window or menu.
void cancelPending();
// Opens the thumbnail list from the file list's menu, as a user does, and
// waits until every cell's thumbnail is in; null if it never opened or
// finished.
Form10 *openThumbnailList();
// Chooses the thumbnail list in the file list's menu without waiting for its
// thumbnails; null if it did not open.
Form10 *chooseThumbnailList();
// Handles events until no cell of `list` waits for its thumbnail: false if
// the list closed, `limitMs` passed or, sooner, nothing more can come (no
// pool has run a task for two seconds).
bool thumbnailsIn(Form10 *list, int limitMs = 60000);
// Waits (10 s at most) until the folder and file lists have read their folders.
bool listed();
// Selects `name` in the main window's file list once it is listed; false if it is not listed once.
bool selectFile(const QString &name);
// Double-clicks `name` in the main window's file list, as a user opens it,
// and lets the picture land.
void openFile(const QString &name);
// Right-presses slot k's picture, chooses `item` in its menu and lets what
// it started land.
void chooseInSlotMenu(int k, QAction *item);
// Handles events until no file job is queued or running and every result has
// landed (a picture in a slot, a copy or deletion told).
void landJobs();
// Clicks a button as a user does, then lets what it started land.
void click(QWidget *widget, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint());
void doubleClick(QWidget *widget, QPoint at = QPoint());
// Answers the next modal window, which must be a `Dialog`, by clicking its `button`.
template <class Dialog, class Button>
void answer(Button *Dialog::*button)
{
    whenModal([button](QWidget *modal) {
        auto *dialog = qobject_cast<Dialog *>(modal);
        QVERIFY(dialog);
        click(dialog->*button);
    });
}
// Discards every unloaded window now, as the event loop would.
void flushDeletes();
// Ends a test: drops pending answers, unloads every window of the program.
void unloadAllWindows();

// Picture k of a numbered set, each of its own colour, as the list tests make them.
QColor colourOf(int k);
// The colour at (x, y) of `image` as fractions of its size, or invalid when it is null.
QColor colourAt(const QImage &image, double x = 0.5, double y = 0.5);
// Whether `seen` is less than `tolerance` away from `expected` in each of red, green and blue.
bool closeInColour(QColor seen, QColor expected, int tolerance = 40);
// The middle of cell k's thumbnail in the list's grid, in pixels.
QPoint cellCentre(Form10 *list, qint64 k);
// A cell's thumbnail read by Qt in this process, for ThumbnailQueue::setMaker:
// tests of what the list does with its thumbnails, not of how they are made,
// start no decoder for each (a Windows process, a fifth of a second, under
// Wine). Null when the file is no picture.
Thumbnail thumbnailReadHere(const QString &path, QSize shown);
// The whole content of `path`, empty when it cannot be read.
QByteArray contentOf(const QString &path);
// Writes `bytes` to `path` whole, modified at `modifiedMs` since the epoch
// unless negative; ends the test program when it cannot.
QString write(const QString &path, const QByteArray &bytes, qint64 modifiedMs = -1);
// The CRC-32 of `bytes`, as PNG chunks carry it.
quint32 crc32(const QByteArray &bytes);

}  // namespace test
