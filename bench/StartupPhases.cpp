// Start-up: the program against a bare Qt window and one with text.
#include "Phases.h"

#include "Measure.h"
#include "PhaseSteps.h"

#include "app/Form1.h"
#include "runtime/forms/controls/FileListBox.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace bench {

// startProgram() step by step, with the time of each step since the runner
// started this process ("app_ms" covers loading, linking and QApplication).
int startupPhase(const PhaseOptions &o)
{
    const auto since = [&] { return double(monotonicNs() - o.startNs) / 1e6; };
    const double app = since();
    prepareLikeMain(o.corpus);
    const double fonts = since();
    Form1 &main = form1();
    const double made = since();
    main.show();
    const double shown = since();
    waitExposed(&main);
    const double total = since();
    report(QStringLiteral("ms"), total);
    report(QStringLiteral("app_ms"), app);
    report(QStringLiteral("fonts_ms"), fonts - app);
    report(QStringLiteral("form_ms"), made - fonts);
    report(QStringLiteral("show_ms"), shown - made);
    report(QStringLiteral("expose_ms"), total - shown);
    waitListed();
    report(QStringLiteral("listed_ms"), since());
    report(QStringLiteral("peak_mb"), peakMb());
    report(QStringLiteral("files_listed"), main.File1->listCount());
    return 0;
}

int bareStartupPhase(const PhaseOptions &o)
{
    report(QStringLiteral("app_ms"), double(monotonicNs() - o.startNs) / 1e6);
    QWidget window;
    window.resize(353, 270);
    window.show();
    waitExposed(&window);
    report(QStringLiteral("ms"), double(monotonicNs() - o.startNs) / 1e6);
    report(QStringLiteral("peak_mb"), peakMb());
    return 0;
}

// A bare window with a menu bar and one Japanese caption: what any window with
// text pays on top of a bare one (fontconfig, glyph fallback for kana).
int textStartupPhase(const PhaseOptions &o)
{
    report(QStringLiteral("app_ms"), double(monotonicNs() - o.startNs) / 1e6);
    QWidget window;
    window.resize(353, 270);
    auto *bar = new QMenuBar(&window);
    bar->addMenu(QStringLiteral("ﾌｧｲﾙ"))->addAction(QStringLiteral("終了"));
    auto *caption = new QLabel(QStringLiteral("場所 ："), &window);
    caption->move(128, 30);
    window.show();
    waitExposed(&window);
    report(QStringLiteral("ms"), double(monotonicNs() - o.startNs) / 1e6);
    report(QStringLiteral("peak_mb"), peakMb());
    return 0;
}

}  // namespace bench
