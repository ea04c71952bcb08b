#include "thumbs/MDIForm1.h"

#include "runtime/Twips.h"
#include "runtime/controls/Controls.h"
#include "thumbs/Form10.h"

#include <QCloseEvent>
#include <QIcon>
#include <QProgressBar>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace rt;

MDIForm1::MDIForm1()
{
    setWindowTitle(QStringLiteral("画像の一覧表示"));
    setWindowIcon(QIcon(QStringLiteral(":/art/pixmoor.ico")));

    workspace = new QScrollArea(client());
    workspace->setFrameShape(QFrame::NoFrame);
    // The application workspace colour of the classic desktop scheme.
    rt::setBackColor(workspace->viewport(), QColor(128, 128, 128));
    // Keys sent to the main window's file list during a build must not find a
    // focused control here; the frame may take the focus once the list is built.
    workspace->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(client());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(workspace);

    progress = new QProgressBar(workspace->viewport());
    place(progress, 120, 120, 3600, 300);
    progress->setFormat(QStringLiteral("%v / %m"));
    progress->hide();
    nameControls({{workspace, "workspace", QStringLiteral("画像の一覧表示")},
                  {progress, "progress", QStringLiteral("読み込み")}});

    // No placement of its own: the system places the frame.
    setClientSize(7890, 7365);
    client()->setMinimumSize(0, 0);  // the user may make it smaller; the list then scrolls
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (Form10 *list = Form::ifLoaded<Form10>())
        list->unloadWithFrame();
    else
        unload();
}
