#include "thumbs/MDIForm1.h"

#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/Controls.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMetaMethod>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

using namespace rt;

MDIForm1::MDIForm1()
{
    setWindowTitle(QStringLiteral("画像の一覧表示"));
    setWindowIcon(programIcon());

    workspace = new QScrollArea(client());
    workspace->setFrameShape(QFrame::NoFrame);
    // The application workspace colour of the classic desktop scheme.
    rt::setBackColor(workspace->viewport(), QColor(128, 128, 128));
    // Keys sent to the main window's file list during a build must not find a
    // focused control here; the cells take the focus once the list is built.
    workspace->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(client());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(workspace);

    // Over the list, at the bottom of the view, while thumbnails are decoded.
    progress = new QProgressBar(workspace->viewport());
    place(progress, 120, 0, 3600, 300);
    progress->setFormat(QStringLiteral("%v / %m"));
    progress->hide();
    workspace->viewport()->installEventFilter(this);
    progressPacer_ = new QTimer(this);
    progressPacer_->setSingleShot(true);
    progressPacer_->setInterval(100);
    connect(progressPacer_, &QTimer::timeout, this, &MDIForm1::updateProgress);
    nameControls({{workspace, "workspace", QStringLiteral("画像の一覧表示")},
                  {progress, "progress", QStringLiteral("読み込み")}});

    // No placement of its own: the system places the frame.
    setClientSize(7890, 7365);
    client()->setMinimumSize(0, 0);  // the user may make it smaller; the list then scrolls
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    event->ignore();
    // The list window inside, when there is one, unloads the two together.
    if (isSignalConnected(QMetaMethod::fromSignal(&MDIForm1::closeAsked)))
        emit closeAsked();
    else
        unload();
}

void MDIForm1::showProgress(qint64 done, qint64 total)
{
    progressDone_ = done;
    progressTotal_ = total;
    if (done >= total) {
        progressPacer_->stop();
        progress->hide();
    } else if (!progress->isVisible()) {
        updateProgress();
        placeProgress();
        progress->raise();
        progress->show();
    } else if (!progressPacer_->isActive()) {
        progressPacer_->start();
    }
}

void MDIForm1::updateProgress()
{
    progress->setRange(0, int(progressTotal_));
    progress->setValue(int(progressDone_));
}

bool MDIForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && progress && watched == workspace->viewport())
        placeProgress();
    return Form::eventFilter(watched, event);
}

void MDIForm1::placeProgress()
{
    const int margin = rt::px(120);
    progress->move(margin, workspace->viewport()->height() - progress->height() - margin);
}
