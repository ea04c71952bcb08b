#include "support/TestSupport.h"

#include "app/Form1.h"
#include "program/Startup.h"
#include "runtime/decoding/WorkerPool.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/forms/Form.h"
#include "runtime/services/FileJobs.h"
#include "runtime/services/Program.h"
#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "thumbs/CellGrid.h"
#include "thumbs/Form10.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QAction>
#include <QDateTime>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QDeadlineTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <zlib.h>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace test {

namespace {
QList<rt::RuntimeError> told;
int endRequests = 0;
int generation = 0;  // answers armed before cancelPending() are dropped

// Runs `then` once `ready` holds, checking every 10 ms; `otherwise` after
// `tries` checks that all failed. cancelPending() drops it unless `armed` is -1.
void poll(std::function<bool()> ready, std::function<void()> then, int tries = 500,
          std::function<void()> otherwise = {}, int armed = generation)
{
    QTimer::singleShot(10, qApp, [=] {
        if (armed != -1 && armed != generation)
            return;
        if (ready())
            then();
        else if (tries > 1)
            poll(ready, then, tries - 1, otherwise, armed);
        else if (otherwise)
            otherwise();
    });
}

bool stillOpen(const QPointer<QWidget> &window) { return window && window->isVisible(); }

void forceClose(QWidget *window)
{
    if (auto *form = qobject_cast<rt::Form *>(window))
        form->unload();
    else if (auto *dialog = qobject_cast<QDialog *>(window))
        dialog->reject();
    else
        window->close();
}

// A modal window or a menu still open after its answer would hold the case
// (and every case after it) until the test program's time-out. A failed check
// inside the answer leaves it open: close it at once, the failure is recorded.
// Otherwise the answer has a moment to take effect before the case fails.
void closeWhenAnswered(QPointer<QWidget> window, const char *what)
{
    if (!stillOpen(window))
        return;
    if (QTest::currentTestFailed()) {
        forceClose(window);
        return;
    }
    poll([window] { return !stillOpen(window); }, [] {}, 500,
         [window, what] {
             forceClose(window);
             QTest::qFail(what, __FILE__, __LINE__);
         },
         -1);
}
// Whether any pool (the thumbnails', the cache writer's, Qt's own) runs a task.
bool decoding()
{
    const auto pools = qApp->findChildren<QThreadPool *>() << QThreadPool::globalInstance();
    return std::any_of(pools.begin(), pools.end(),
                       [](const QThreadPool *pool) { return pool->activeThreadCount() > 0; });
}
}  // namespace

void prepareApplication()
{
    // The caches (the shared thumbnail cache among them) go to a folder of
    // this process's own, never the user's; set before anything reads it.
    // Forked children end with _exit() and leave the folder to the parent.
    static QTemporaryDir caches;
    if (!caches.isValid())
        qFatal("cannot make a cache folder: %s", qPrintable(caches.errorString()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(caches.path()));
    // Before the first decoders start; with its drive on Windows, as tests change the current folder.
    useTestDecoder();
    prepareProgram();
    tellInBoxes(false);
    rt::setEndHook([] { ++endRequests; });
}

void useTestDecoder(const QStringList &arguments)
{
    rt::decoding::setDecoderProgram(QFileInfo(QStringLiteral(PIXMOOR_TEST_DECODER)).absoluteFilePath(), arguments);
}

void tellInBoxes(bool boxes)
{
    rt::setReporter(boxes ? rt::Reporter() : [](const rt::RuntimeError &failure) { told.append(failure); });
}

QStringList takeMessages()
{
    QStringList messages;
    for (const rt::RuntimeError &failure : std::exchange(told, {}))
        messages.append(failure.message());
    return messages;
}

QList<rt::Reason> takeReasons()
{
    QList<rt::Reason> reasons;
    for (const rt::RuntimeError &failure : std::exchange(told, {}))
        reasons.append(failure.reason());
    return reasons;
}

int takeEndRequests() { return std::exchange(endRequests, 0); }

#ifdef Q_OS_WIN
namespace {
QList<HANDLE> held;
}

bool makeBlockingFile(const QString &path)
{
    const HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        held.append(handle);
    return handle != INVALID_HANDLE_VALUE;
}

Folder::~Folder()
{
    for (const HANDLE handle : std::exchange(held, {}))
        CloseHandle(handle);
}
#else
bool makeBlockingFile(const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0; }

Folder::~Folder() = default;
#endif

Folder::Folder() { dir_.setAutoRemove(true); }

QString Folder::path() const { return QDir::toNativeSeparators(dir_.path()); }

QString Folder::file(const QString &name) const { return QDir::toNativeSeparators(dir_.filePath(name)); }

QString Folder::picture(const QString &name, QSize size, QColor color) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    const QString path = file(name);
    const QString suffix = QFileInfo(name).suffix().toLower();
    const QByteArray format = suffix == QLatin1String("jpg") ? "jpeg" : suffix.toLatin1();
    if (!image.save(path, format.constData()))
        qFatal("cannot write test picture %s", qPrintable(path));
    return path;
}

QString Folder::text(const QString &name, const QByteArray &content) const { return write(file(name), content); }

QString write(const QString &path, const QByteArray &bytes, qint64 modifiedMs)
{
    QFile out(path);
    // Flushed first, or closing would write, and stamp, after the time is set.
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush()
        || (modifiedMs >= 0
            && !out.setFileTime(QDateTime::fromMSecsSinceEpoch(modifiedMs), QFileDevice::FileModificationTime)))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

quint32 crc32(const QByteArray &bytes)
{
    return quint32(::crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

bool startIn(const QString &folder)
{
    QDir::setCurrent(folder);
    form1().show();
    const bool shown = QTest::qWaitForWindowExposed(&form1()) && listed();
    takeMessages();
    return shown;
}

void whenModal(std::function<void(QWidget *)> answer)
{
    poll([] { return QApplication::activeModalWidget() != nullptr; },
         [answer] {
             const QPointer<QWidget> modal = QApplication::activeModalWidget();
             answer(modal);
             closeWhenAnswered(modal, "the modal window stayed open after it was answered");
         });
}

void whenPopup(std::function<QAction *()> item)
{
    poll([] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()) != nullptr; },
         [item] {
             const QPointer<QMenu> menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
             QAction *chosen = item();
             if (chosen)
                 QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
             else
                 menu->close();
             closeWhenAnswered(menu.data(), "the menu stayed open after an item was chosen");
         });
}

Form10 *chooseThumbnailList()
{
    Form1 &main = form1();
    main.File1->Refresh();
    if (!listed())
        return nullptr;
    whenPopup([&main] { return main.itiran; });
    QTest::mousePress(main.File1->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseRelease(main.File1->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    return rt::Form::ifLoaded<Form10>();
}

bool thumbnailsIn(Form10 *list, int limitMs)
{
    // Each result is handled as it comes, as the program's own event loop
    // does: a wait that slept between looks would hold back the next decodes.
    // The list may be closed meanwhile.
    const QPointer<Form10> watched = list;
    QTimer wake;  // in case nothing comes
    wake.start(100);
    const QDeadlineTimer deadline(limitMs);
    QElapsedTimer quiet;
    quiet.start();
    while (watched && !watched->thumbnailsDone() && !deadline.hasExpired() && quiet.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (decoding())
            quiet.restart();
    }
    return watched && !!watched->thumbnailsDone();
}

Form10 *openThumbnailList()
{
    Form10 *list = chooseThumbnailList();
    return list && thumbnailsIn(list) ? list : nullptr;
}

bool listed()
{
    Form1 &main = form1();
    QElapsedTimer waited;
    waited.start();
    while ((main.File1->isListing() || main.Dir1->isListing()) && waited.elapsed() < 10000)
        QTest::qWait(5);
    return !main.File1->isListing() && !main.Dir1->isListing();
}

bool selectFile(const QString &name)
{
    if (!listed())
        return false;
    const int row = form1().File1->indexOf(name);
    if (row >= 0)
        form1().File1->setListIndex(row);
    return row >= 0;
}

void openFile(const QString &name)
{
    if (!selectFile(name))
        QTest::qFail(qPrintable(name + QStringLiteral(" is not listed once")), __FILE__, __LINE__);
    else
        doubleClick(form1().File1->viewport(), form1().File1->entryRect(form1().File1->listIndex()).center());
}

void landJobs()
{
    // A result lands as a call posted to the application. One posted while
    // posted events are being sent waits for the next sending: so until a
    // sending finds no job running and hands over no result.
    struct Landings : QObject
    {
        int count = 0;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            count += watched == qApp && event->type() == QEvent::MetaCall;
            return false;
        }
    } landings;
    qApp->installEventFilter(&landings);
    for (int before = -1; before != landings.count || rt::jobs::pending() > 0;) {
        QTRY_COMPARE_WITH_TIMEOUT(rt::jobs::pending(), 0, 10000);
        before = landings.count;
        QCoreApplication::sendPostedEvents();
    }
}

void chooseInSlotMenu(int k, QAction *item)
{
    whenPopup([item] { return item; });
    QTest::mousePress(form1().previewSlots[k].image, Qt::RightButton, {}, QPoint(40, 40));
    QTest::mouseRelease(form1().previewSlots[k].image, Qt::RightButton, {}, QPoint(40, 40));
    landJobs();
}

void click(QWidget *widget, Qt::MouseButton button, QPoint at)
{
    QTest::mouseClick(widget, button, {}, at.isNull() ? widget->rect().center() : at);
    landJobs();
}

void doubleClick(QWidget *widget, QPoint at)
{
    const QPoint where = at.isNull() ? widget->rect().center() : at;
    QTest::mouseClick(widget, Qt::LeftButton, {}, where);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, where);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, where);
    landJobs();
}

void cancelPending() { ++generation; }

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

void unloadAllWindows()
{
    cancelPending();
    landJobs();
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<rt::Form *>(window))
            form->unload();
    }
    flushDeletes();
}

QColor colourOf(int k) { return QColor(QColor::fromHsv((k * 47) % 360, 255, 220).rgb()); }

QColor colourAt(const QImage &image, double x, double y)
{
    if (image.isNull())
        return {};
    return QColor(image.pixel(qMin(int(image.width() * x), image.width() - 1),
                              qMin(int(image.height() * y), image.height() - 1)));
}

bool closeInColour(QColor seen, QColor expected, int tolerance)
{
    return seen.isValid() && qAbs(seen.red() - expected.red()) < tolerance
        && qAbs(seen.green() - expected.green()) < tolerance && qAbs(seen.blue() - expected.blue()) < tolerance;
}

QPoint cellCentre(Form10 *list, qint64 k)
{
    return QPoint(rt::px(list->Image1(k).left()) + 32, rt::px(list->Image1(k).top()) + 32);
}

Thumbnail thumbnailReadHere(const QString &path, QSize)
{
    const QImage image(path);
    return {image, image.size()};
}

QByteArray contentOf(const QString &path)
{
    // A path from "/" is on the program's drive on Windows: under Wine, Z: holds the system's files.
    QFile file(path.startsWith(QLatin1Char('/')) ? QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(path)
                                                 : path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace test
