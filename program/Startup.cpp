#include "program/Startup.h"

#include "app/Form1.h"
#include "app/StartPlace.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/decoding/WorkerPool.h"
#include "runtime/pictures/PictureLoader.h"
#include "runtime/services/Platform.h"
#include "runtime/forms/controls/Controls.h"
#include "thumbnailing/ThumbnailQueue.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <memory>

namespace {

const QString kNotOpened = QStringLiteral("開けませんでした。");

// The pictures that found no free slot, by name: a few, then how many more.
rt::RuntimeError leftOver(const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths.first(qMin<qsizetype>(paths.size(), 3)))
        names.append(QFileInfo(path).fileName());
    QString list = names.join(QStringLiteral("、"));
    if (paths.size() > names.size())
        list += QStringLiteral(" ほか%1件").arg(paths.size() - names.size());
    return rt::RuntimeError(QStringLiteral("次の画像は開きませんでした：%1").arg(list), QString(),
                            QStringLiteral("スロットには1つずつ、4つまでの画像を開けます。"));
}

// Opens steps[i] and, once it has landed, the steps after it: a picture that
// fails to load leaves its slot to the next, as it did when loads waited.
void openSteps(const QList<StartStep> &steps, qsizetype i, std::shared_ptr<QList<rt::RuntimeError>> told,
               std::shared_ptr<QStringList> noSlot)
{
    Form1 &main = form1();
    for (; i < steps.size(); ++i) {
        const StartStep &step = steps[i];
        if (!step.refusal.isEmpty()) {
            told->append(rt::RuntimeError(kNotOpened, step.path, step.refusal));
        } else if (!main.previewSlots.firstFree()) {
            noSlot->append(step.path);
        } else {
            main.openInFirstFreeSlot(step.path, [steps, i, told, noSlot](const auto &failure) {
                if (failure)
                    told->append(*failure);
                openSteps(steps, i + 1, told, noSlot);
            });
            return;
        }
    }
    if (!noSlot->isEmpty())
        told->append(leftOver(*noSlot));
    for (const rt::RuntimeError &failure : std::as_const(*told))
        rt::tell(failure);
}

}  // namespace

void prepareProgram()
{
    QApplication::setApplicationName(QStringLiteral("Pixmoor"));
    QApplication::setApplicationVersion(QStringLiteral(PIXMOOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.pixmoor.Pixmoor"));
    rt::platform::prepareProcess();
    rt::configureImageLimits();
    rt::decoding::startDecoders();  // ready before the first picture is asked for
    ThumbnailQueue::endWithProgram();
    // Every feature connects its own handlers to the main window's controls.
    Form1::setWiring([](Form1 &main) {
        main.connectBrowserHandlers();
        main.connectSlotHandlers();
        main.connectListHandlers();
    });
    // Fonts resolved before this call would keep the fallback font.
    rt::installFontSubstitutes();
}

void startProgram(const QStringList &paths)
{
    const StartPlan plan = planStart(paths, QDir::currentPath());
    // The panes take the current folder when the main window is created.
    const bool entered = plan.folder.isEmpty() || QDir::setCurrent(plan.folder);
    Form1 &main = form1();
    main.show();

    // Everything opens first, one picture after the other as double clicks
    // would open them, each load off the interface thread; then the user is
    // told, in the order given, with the slots already showing what did open.
    auto told = std::make_shared<QList<rt::RuntimeError>>();
    if (!entered)
        told->append(rt::RuntimeError(kNotOpened, plan.folder, QStringLiteral("フォルダーに移動できません。")));
    openSteps(plan.steps, 0, told, std::make_shared<QStringList>());
}
