#include "app/StartPlace.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString missingReason(const QFileInfo &info)
{
    if (info.isSymLink())
        return QStringLiteral("リンク先のファイルがありません。");
    return QStringLiteral("ファイルまたはフォルダーが見つかりません。");
}

}  // namespace

StartPlan planStart(const QStringList &paths, const QString &from)
{
    StartPlan plan;
    const QDir base(from);
    for (const QString &given : paths) {
        const QFileInfo info(QDir::cleanPath(base.absoluteFilePath(given)));
        StartStep step{QDir::toNativeSeparators(info.absoluteFilePath()), QString()};
        if (given.isEmpty() || !info.exists()) {
            step.refusal = given.isEmpty() ? QStringLiteral("名前が空です。") : missingReason(info);
        } else if (info.isDir()) {
            if (!info.isExecutable())
                step.refusal = QStringLiteral("フォルダーに入る権限がありません。");
            else if (!plan.folder.isEmpty())
                step.refusal = QStringLiteral("フォルダーは1つしか開けません。");
            else
                plan.folder = step.path;
            if (step.refusal.isEmpty())
                continue;  // the panes show it; nothing to open or tell
        } else if (plan.folder.isEmpty()) {
            plan.folder = QDir::toNativeSeparators(info.absolutePath());
        }
        plan.steps.append(step);
    }
    return plan;
}
