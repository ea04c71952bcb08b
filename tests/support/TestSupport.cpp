#include "support/TestSupport.h"

#include "app/Form1.h"
#include "runtime/Failure.h"
#include "runtime/Form.h"
#include "runtime/PictureLoader.h"
#include "runtime/Platform.h"
#include "runtime/Program.h"
#include "runtime/controls/Controls.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace test {

namespace {
QStringList messages;
int endRequests = 0;
int generation = 0;  // answers armed before cancelPending() are dropped

void poll(std::function<bool()> ready, std::function<void()> then, int triesLeft = 500, int armed = generation)
{
    QTimer::singleShot(10, qApp, [=] {
        if (armed != generation)
            return;
        if (ready())
            then();
        else if (triesLeft > 0)
            poll(ready, then, triesLeft - 1, armed);
    });
}
} // namespace

void prepareApplication()
{
    rt::platform::prepareProcess();
    rt::configureImageLimits();
    rt::installFontSubstitutes();
    rt::setReporter([](const rt::RuntimeError &failure) { messages.append(failure.message()); });
    rt::setEndHook([] { ++endRequests; });
}

QStringList takeMessages()
{
    return std::exchange(messages, {});
}

int takeEndRequests()
{
    return std::exchange(endRequests, 0);
}

Folder::Folder()
{
    dir_.setAutoRemove(true);
}

QString Folder::path() const
{
    return QDir::toNativeSeparators(dir_.path());
}

QString Folder::file(const QString &name) const
{
    return QDir::toNativeSeparators(dir_.filePath(name));
}

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

QString Folder::text(const QString &name, const QByteArray &content) const
{
    QFile out(file(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(name));
    return out.fileName();
}

bool startIn(const QString &folder)
{
    QDir::setCurrent(folder);
    form1().show();
    const bool shown = QTest::qWaitForWindowExposed(&form1());
    takeMessages();
    return shown;
}

void whenModal(std::function<void(QWidget *)> answer)
{
    poll([] { return QApplication::activeModalWidget() != nullptr; },
         [answer] { answer(QApplication::activeModalWidget()); });
}

void whenPopup(std::function<QAction *()> item)
{
    poll([] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()) != nullptr; },
         [item] {
             auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
             QAction *chosen = item();
             if (chosen)
                 QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
             else
                 menu->close();
         });
}

void click(QWidget *widget, Qt::MouseButton button, QPoint at)
{
    QTest::mouseClick(widget, button, {}, at.isNull() ? widget->rect().center() : at);
}

void doubleClick(QWidget *widget, QPoint at)
{
    const QPoint where = at.isNull() ? widget->rect().center() : at;
    QTest::mouseClick(widget, Qt::LeftButton, {}, where);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, where);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, where);
}

void cancelPending()
{
    ++generation;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void unloadAllWindows()
{
    cancelPending();
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<rt::Form *>(window))
            form->unload();
    }
    flushDeletes();
}

} // namespace test
