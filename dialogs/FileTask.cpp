#include "dialogs/FileTask.h"

#include "app/Form1.h"
#include "runtime/forms/PlainText.h"
#include "runtime/services/FileJobs.h"
#include "runtime/services/FileOps.h"

#include <QFileInfo>
#include <QLabel>
#include <QList>
#include <QLocale>
#include <QPointer>
#include <QProgressDialog>
#include <QSet>
#include <QTimer>

#include <atomic>
#include <memory>

namespace filetask {

namespace {

// What the job tells the progress dialog, read by its timer.
struct Progress
{
    std::atomic<qint64> copied = 0, total = -1;  // total -1: a deletion
};

struct Task
{
    QStringList files;  // the files it reads or writes
    std::function<void(const rt::CopyProgress &)> work;
    Done done;
};

QList<Task> &waiting()
{
    static QList<Task> tasks;
    return tasks;
}

QSet<QString> &busy()
{
    static QSet<QString> files;
    return files;
}

QString progressText(const QString &file, const Progress &progress)
{
    const QString name = QFileInfo(file).fileName();
    if (progress.total < 0)
        return QStringLiteral("「%1」を削除しています。").arg(name);
    const QLocale locale;
    return QStringLiteral("「%1」をコピーしています。\n%2 / %3 バイト")
        .arg(name, locale.toString(progress.copied.load()), locale.toString(progress.total.load()));
}

// Shown once the task has run for a while; updated until it ends.
QProgressDialog *showProgress(const QString &file, const std::shared_ptr<Progress> &progress)
{
    auto *dialog = new QProgressDialog(&form1());
    dialog->setWindowTitle(QStringLiteral("Pixmoor"));
    dialog->setLabel(rt::setPlainText(new QLabel, QString()));  // its own would take a name for markup (PlainText.h)
    dialog->setCancelButton(nullptr);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setWindowModality(Qt::NonModal);
    const auto update = [dialog, file, progress] {
        const qint64 total = progress->total;
        dialog->setRange(0, total < 0 ? 0 : 1000);  // no range: a busy bar
        if (total > 0)
            dialog->setValue(int(progress->copied * 1000 / total));
        dialog->setLabelText(progressText(file, *progress));
    };
    update();
    auto *timer = new QTimer(dialog);
    QObject::connect(timer, &QTimer::timeout, dialog, update);
    timer->start(100);
    dialog->show();
    return dialog;
}

void startWaiting();

void start(Task task)
{
    for (const QString &file : std::as_const(task.files))
        busy().insert(file);
    auto progress = std::make_shared<Progress>();
    auto dialog = std::make_shared<QPointer<QProgressDialog>>();
    auto *later = new QTimer(&form1());
    later->setSingleShot(true);
    QObject::connect(later, &QTimer::timeout, later, [later, file = task.files.first(), progress, dialog] {
        *dialog = showProgress(file, progress);
        later->deleteLater();
    });
    later->start(kShowProgressMs);

    const auto ended = [task, later = QPointer<QTimer>(later), dialog](std::optional<rt::RuntimeError> failure) {
        delete later.data();
        delete dialog->data();
        for (const QString &file : std::as_const(task.files))
            busy().remove(file);
        task.done(std::move(failure));
        startWaiting();
    };
    const auto run = [work = task.work, progress] {
        return rt::trap([&] {
            work([&](qint64 copied, qint64 total) {
                progress->total = total;
                progress->copied = copied;
            });
        });
    };
    // An empty name fails before asking the file system, and has no volume.
    if (task.files.contains(QString()))
        ended(run());
    else
        rt::jobs::run(task.files.first(), &form1(), run, ended);
}

// Starts, in the order asked, each waiting task whose files no running or
// earlier waiting task uses.
void startWaiting()
{
    QSet<QString> taken = busy();
    QList<Task> &tasks = waiting();
    for (qsizetype i = 0; i < tasks.size();) {
        const QSet<QString> files(tasks[i].files.cbegin(), tasks[i].files.cend());
        if (taken.intersects(files)) {
            taken.unite(files);
            ++i;
        } else {
            Task task = tasks.takeAt(i);
            taken.unite(files);
            start(std::move(task));
        }
    }
}

void ask(Task task)
{
    waiting().append(std::move(task));
    startWaiting();
}

}  // namespace

void copy(const QString &source, const QString &destination, Done done)
{
    ask({{source, destination},
         [source, destination](const rt::CopyProgress &copied) { rt::copyFile(source, destination, copied); },
         std::move(done)});
}

void remove(const QString &path, Done done)
{
    ask({{path}, [path](const rt::CopyProgress &) { rt::deleteFile(path); }, std::move(done)});
}

}  // namespace filetask
