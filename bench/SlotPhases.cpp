// A picture opened into a preview slot, and into the large view.
#include "Phases.h"

#include "Measure.h"
#include "PhaseSteps.h"

#include "app/Form1.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "slots/Form4.h"

#include <QEventLoop>
#include <QTimer>

namespace bench {

namespace {

// A load lands when its job is done, in the event loop: made right after the
// load is asked for, wait() handles events until `image` has been given its
// picture. It gives up after 10 s (a load that failed sets none).
class PictureWait
{
public:
    explicit PictureWait(rt::ImageBox *image)
    {
        QObject::connect(image, &rt::ImageBox::pictureChanged, &loop_, [this] {
            landed_ = true;
            loop_.quit();
        });
    }

    void wait()
    {
        if (landed_)
            return;
        QTimer::singleShot(10000, &loop_, &QEventLoop::quit);
        loop_.exec();
    }

private:
    QEventLoop loop_;
    bool landed_ = false;
};

// A double click on the file list entry `name`: File1_DblClick fills the first
// free slot; the slot is painted before the clock stops.
double openIntoSlot(const QString &name)
{
    selectInFileList(name);
    const qint64 start = monotonicNs();
    emit form1().File1->DblClick();
    PictureWait(form1().Image1).wait();
    settle();
    return elapsedMs(start);
}

// Image1_DblClick with slot 1 filled: the large view opens, loads the picture
// at its own size and is painted.
double openLargeView()
{
    const qint64 start = monotonicNs();
    emit form1().Image1->DblClick();
    Form4 *view = rt::Form::ifLoaded<Form4>();
    if (!view) {
        note(QStringLiteral("the large view did not open"));
        return elapsedMs(start);
    }
    PictureWait loaded(view->Image1);
    waitExposed(view);
    loaded.wait();
    settle();
    const double ms = elapsedMs(start);
    if (view->Image1->picture().isEmpty())
        note(QStringLiteral("the large view shows no picture"));
    view->unload();
    settle();
    return ms;
}

}  // namespace

int slotPhase(const PhaseOptions &o)
{
    startProgram(o.corpus);
    const QString path = pathIn(o);
    Form1 &main = form1();
    if (!selectInFileList(o.file))
        return 1;
    resetPeak();
    report(QStringLiteral("first_ms"), openIntoSlot(o.file));
    report(QStringLiteral("peak_mb"), peakMb());
    if (main.previewSlots.isFree(1))
        note(QStringLiteral("slot 1 stayed free"));
    else
        report(QStringLiteral("shown_px"), main.previewSlots[1].image->picture().image().width());
    main.previewSlots.clear(1);
    settle();
    // Decode and open alternate, so both see the same load on a busy machine.
    for (int i = 0; i < o.repeat; ++i) {
        const double full = fullDecodeMs(path);
        const double open = openIntoSlot(o.file);
        main.previewSlots.clear(1);
        settle();
        report(QStringLiteral("full_ms"), full);
        report(QStringLiteral("ms"), open);
        report(QStringLiteral("ratio"), open / full);
    }
    return 0;
}

int largePhase(const PhaseOptions &o)
{
    startProgram(o.corpus);
    const QString path = pathIn(o);
    form1().previewSlots.fill(1, path);
    PictureWait(form1().Image1).wait();
    if (form1().previewSlots.isFree(1)) {
        note(QStringLiteral("cannot open ") + path);
        return 1;
    }
    settle();
    resetPeak();
    report(QStringLiteral("first_ms"), openLargeView());
    report(QStringLiteral("peak_mb"), peakMb());
    for (int i = 0; i < o.repeat; ++i) {
        const double full = fullDecodeMs(path);
        const double open = openLargeView();
        report(QStringLiteral("full_ms"), full);
        report(QStringLiteral("ms"), open);
        report(QStringLiteral("ratio"), open / full);
    }
    return 0;
}

}  // namespace bench
