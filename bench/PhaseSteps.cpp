// Steps the phases share: starting the program, choosing in its file list.
#include "PhaseSteps.h"

#include "Measure.h"
#include "Phases.h"

#include "app/Form1.h"
#include "program/Startup.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/forms/controls/FileListBox.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <map>

namespace bench {

void prepareLikeMain(const QString &folder)
{
    QDir::setCurrent(folder);
    prepareProgram();
}

void startProgram(const QString &folder)
{
    prepareLikeMain(folder);
    rt::setReporter([](const rt::RuntimeError &failure) { note(QStringLiteral("failure: ") + failure.message()); });
    form1().show();
    waitExposed(&form1());
    waitListed();
}

void waitListed()
{
    const Form1 &main = form1();
    while (main.File1->isListing() || main.Dir1->isListing())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QString pathIn(const PhaseOptions &options) { return QDir(options.corpus).filePath(options.file); }

double fullDecodeMs(const QString &path)
{
    const qint64 start = monotonicNs();
    QImageReader reader(path);
    const QImage image = reader.read();
    const double ms = elapsedMs(start);
    if (image.isNull())
        note(QStringLiteral("full decode failed: ") + path);
    return ms;
}

bool selectInFileList(const QString &name)
{
    rt::FileListBox *list = form1().File1;
    if (const int row = list->indexOf(name); row >= 0) {
        list->setListIndex(row);
        return true;
    }
    note(QStringLiteral("not in the file list: ") + name);
    return false;
}

void chooseFilter(const QString &filter)
{
    Form1 &main = form1();
    std::map<QString, QAction *> items = {{QStringLiteral("all"), main.all}};
    for (QAction *item : main.typeItem)
        items[item->text()] = item;
    const auto found = items.find(filter.isEmpty() ? QStringLiteral("all") : filter);
    if (found != items.end())
        found->second->trigger();
    waitListed();
    settle();
}

}  // namespace bench
