#include "slots/Form4.h"

#include "runtime/forms/Events.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/forms/PlainText.h"
#include "runtime/decoding/PictureJobs.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/ImageBox.h"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>

using namespace rt;

Form4::Form4() : pan_(QApplication::startDragDistance(), QApplication::wheelScrollLines())
{
    setWindowTitle(QStringLiteral("Image"));
    setWindowIcon(programIcon());
    // The window frame colour of the classic desktop scheme.
    setBackColor(QColor(212, 208, 200));

    Image1 = new ImageBox(client());
    place(Image1, 0, 0, 7455, 5910);
    nameControls({{Image1, "Image1", QStringLiteral("画像")}});

    setClientSize(7455, 5925);
    placeClientAt(825, 990);

    on(this, &Form::DblClick, this, &Form4::Form_DblClick);
    on(Image1, &ImageBox::DblClick, this, &Form4::Image1_DblClick);
    // Panning moves Image1 inside the client area, which cuts it off.
    Image1->installEventFilter(this);
    connect(Image1, &ImageBox::pictureChanged, this, [this] {
        pan_.setPicture(Image1->size());
        showPan();
    });
}

void Form4::showPicture(const QString &path, bool withCaption)
{
    const quint64 order = ++asked_;
    if (loading_++ == 0)
        client()->setCursor(Qt::BusyCursor);
    rt::loadPictureLater(path, QSize(), this, [this, order, path, withCaption](rt::LoadedPicture loaded) {
        if (--loading_ == 0)
            client()->unsetCursor();
        if (loaded.failure) {
            rt::tell(*loaded.failure);
        } else if (order > shown_) {
            shown_ = order;
            Image1->setPicture(std::move(loaded.picture));
            if (withCaption)
                setWindowTitle(rt::plainTitle(path));
        }
    });
}

void Form4::Form_DblClick() { unload(); }

void Form4::Image1_DblClick() { unload(); }

bool Form4::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Image1 || watched == client()) && panEvent(watched, event))
        return true;
    return Form::eventFilter(watched, event);
}

// The gestures on the picture and on the background beside it; true for
// those that are the pan's alone. Positions are the screen's: the picture
// moves under the pointer.
bool Form4::panEvent(QObject *watched, QEvent *event)
{
    // Cast only once the type says it is a mouse event.
    const auto mouse = [event] { return static_cast<QMouseEvent *>(event); };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse()->button() == Qt::LeftButton)
            pan_.press(mouse()->globalPosition().toPoint());
        return false;
    case QEvent::MouseMove:
        if (pan_.dragging())
            setCursor(Qt::ClosedHandCursor);
        pan_.move(mouse()->globalPosition().toPoint());
        showPan();
        return true;
    case QEvent::MouseButtonRelease:
        if (mouse()->button() == Qt::LeftButton) {
            pan_.release();
            unsetCursor();
        }
        return false;
    case QEvent::MouseButtonDblClick:  // taken away after a drag
        return mouse()->button() == Qt::LeftButton && !pan_.doubleClickCounts();
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        pan_.wheel(wheel->angleDelta(), wheel->modifiers() & Qt::ShiftModifier);
        showPan();
        return true;
    }
    case QEvent::Resize:
        if (watched == client()) {
            pan_.setView(client()->size());
            showPan();
        }
        return false;
    default:
        return false;
    }
}

void Form4::keyPressEvent(QKeyEvent *event)
{
    if (pan_.key(event->key()))
        showPan();
    else
        Form::keyPressEvent(event);
}

void Form4::showPan() { Image1->move(-pan_.offset()); }
