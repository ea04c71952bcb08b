#include "RunSupport.h"

#include "Measure.h"
#include "runtime/pictures/PictureFormats.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <cstdio>

namespace bench {

namespace {

int countPictures(const QString &folder) { return int(QDir(folder).entryList(rt::filePatterns(), QDir::Files).size()); }

}  // namespace

QList<Row> smallRows(const RunOptions &o)
{
    constexpr int kCount = 10000;
    if (countPictures(o.smallFolder) < kCount) {
        progress(QStringLiteral("making %1 small pictures in %2").arg(kCount).arg(o.smallFolder));
        QProcess maker;
        maker.setProgram(QCoreApplication::applicationFilePath());
        maker.setArguments({QStringLiteral("--make-small"), o.smallFolder});
        maker.setProcessChannelMode(QProcess::ForwardedChannels);
        maker.start();
        maker.waitForFinished(-1);
    }
    Row listing = makeRow(QStringLiteral("file list: setPath on 10,000 files"), {}, QStringLiteral("< 1000 ms"),
                          [](const Row &r) -> std::optional<bool> {
                              if (r.ours.isEmpty())
                                  return std::nullopt;
                              return median(r.ours) < 1000;
                          });
    Row thumbnails =
        makeRow(QStringLiteral("list build: 10,000 small pictures"), QStringLiteral("Qt setScaledSize, 2 threads"),
                QStringLiteral("builds, < 400 MB"), [](const Row &r) -> std::optional<bool> {
                    if (r.peak.isEmpty())
                        return std::nullopt;
                    return !r.ours.isEmpty() && median(r.peak) < 400;
                });
    for (int round = 0; round < o.rounds; ++round) {
        progress(QStringLiteral("list of 10,000, round %1 of %2").arg(round + 1).arg(o.rounds));
        const QStringList where = {QStringLiteral("--phase"),  QString(),
                                   QStringLiteral("--corpus"), o.smallFolder,
                                   QStringLiteral("--filter"), QStringLiteral("all"),
                                   QStringLiteral("--repeat"), QStringLiteral("1")};
        QStringList floorArgs = where, listArgs = where;
        floorArgs[1] = QStringLiteral("qt-scaled-on-load");
        listArgs[1] = QStringLiteral("list");
        const ChildResult floor = runChild(floorArgs);
        const ChildResult ours = runChild(listArgs);
        if (ours.ok && floor.ok && ours.first(QStringLiteral("cells_with_picture")) >= kCount) {
            addPaired(thumbnails, ours, QStringLiteral("first_ms"), QStringLiteral("first_cpu_ms"), floor);
        } else if (ours.ok) {
            std::fprintf(stderr, "  the list of 10,000 has %d cells with a picture\n",
                         int(ours.first(QStringLiteral("cells_with_picture"))));
        }
    }
    for (int round = 0; round < o.rounds; ++round) {
        progress(QStringLiteral("file list of 10,000, round %1 of %2").arg(round + 1).arg(o.rounds));
        const ChildResult r = runChild(
            phaseArgs(QStringLiteral("filelist"), o.corpus,
                      {QStringLiteral("--dir"), o.smallFolder, QStringLiteral("--repeat"), QStringLiteral("3")}));
        listing.ours += r.values.value(QStringLiteral("ms"));
        listing.peak += r.values.value(QStringLiteral("peak_mb"));
    }
    return {listing, thumbnails};
}

}  // namespace bench
