#include "thumbs/Form10.h"

#include "runtime/forms/Events.h"
#include "runtime/services/Platform.h"
#include "runtime/forms/controls/Controls.h"
#include "thumbs/CellGrid.h"
#include "thumbs/CellGridAccessible.h"
#include "thumbs/ListGeometry.h"
#include "thumbs/MDIForm1.h"
#include "thumbnailing/ThumbnailCache.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QAccessible>
#include <QApplication>
#include <QIcon>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

using namespace rt;

Form10::Form10() : Form(nullptr, Qt::Widget)
{
    setWindowTitle(QStringLiteral("画像の一覧表示"));
    setWindowIcon(programIcon());
    // The form colour of its own, not the frame's workspace colour around it.
    setBackColor(QApplication::palette().color(QPalette::Window));

    // Element 0 of the cells' control arrays; the build loads elements 1 and
    // up from it.
    [[maybe_unused]] static const bool readable = [] {
        QAccessible::installFactory(CellGridAccessible::factory);
        return true;
    }();
    cells = new CellGrid(client(), listgeometry::kLabel0, listgeometry::kImage0, listgeometry::kText0);
    nameControls({{cells, "cells", QStringLiteral("画像の一覧")}});
    auto *layout = new QVBoxLayout(client());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(cells);

    addCellMenu();

    // A child of its frame, without border or caption bar.
    setClientSize(listgeometry::kWidth, listgeometry::kHeight);
    MDIForm1 &frame = Form::instance<MDIForm1>();
    frame.workspace->setWidget(this);
    hide();  // until shown: the build runs first
    connect(&frame, &Form::hidden, this, [this] {
        if (building_)
            closeRequested_ = true;  // the program is ending
    });
    connect(&frame, &MDIForm1::closeAsked, this, &Form10::unloadWithFrame);

    on(cells, &CellGrid::MouseDown, this, &Form10::Image1_MouseDown);
    on(cells, &CellGrid::DblClick, this, &Form10::Image1_DblClick);
    on(cells, &CellGrid::KeyDown, this, &Form10::cells_KeyDown);
}

void Form10::showModeless()
{
    if (isUnloaded())
        return;  // the frame was closed while the list was being built
    show();
    MDIForm1 &frame = Form::instance<MDIForm1>();
    frame.setWindowState(frame.windowState() & ~Qt::WindowMinimized);
    frame.showModeless();
}

void Form10::unloadWithFrame()
{
    // Unloading now would destroy the window under its own running build.
    if (building_) {
        closeRequested_ = true;
        return;
    }
    if (thumbnails_)
        thumbnails_->cancel();  // without waiting for the decodes running now
    ThumbnailCache::shared().clear();
    if (MDIForm1 *frame = Form::ifLoaded<MDIForm1>())
        frame->unload();
    unload();
    // Once the windows are deleted and the decodes running now are done, the
    // heap gives back what the cells held.
    QTimer::singleShot(500, QCoreApplication::instance(), [] { rt::platform::releaseFreeMemory(); });
}
