#include "runtime/services/Reason.h"

#include <QDir>
#include <QStringList>

namespace rt {

namespace {

// The picture formats' names as users read them, in the order of
// runtime/pictures/PictureFormats.table, which CMake writes here.
constexpr const char *kPictureTypes[] = {
#include "runtime/services/PictureTypeNames.inc"
};

QString pictureTypes()
{
    QStringList names;
    for (const char *name : kPictureTypes)
        names.append(QString::fromUtf8(name));
    return names.join(QStringLiteral("、"));
}

QString actionText(Action action)
{
    switch (action) {
    case Action::Open:
        return QStringLiteral("開けませんでした。");
    case Action::Copy:
        return QStringLiteral("コピーできませんでした。");
    case Action::Delete:
        return QStringLiteral("削除できませんでした。");
    case Action::ReadProperty:
        return QStringLiteral("プロパティを読めませんでした。");
    case Action::ConvertToNumber:
        return QStringLiteral("数値に変換できませんでした。");
    case Action::SendKeys:
        return QStringLiteral("キーを送れませんでした。");
    }
    return QString();
}

}  // namespace

QString reasonText(Action action, const Failure &failure)
{
    const QString &detail = failure.detail;
    switch (failure.reason) {
    case Reason::None:
        return QString();
    case Reason::NoFileGiven:
        return action == Action::Delete ? QStringLiteral("削除するファイルがありません。")
                                        : QStringLiteral("コピーするファイルがありません。");
    case Reason::NotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case Reason::DanglingLink:
        return QStringLiteral("リンク先のファイルがありません。");
    case Reason::LinkLoop:
        return QStringLiteral("リンクが循環しています。");
    case Reason::NoReadPermission:
        return QStringLiteral("ファイルを読む権限がありません。");
    case Reason::PathTooLong:
        return QStringLiteral("ファイルのパスが長すぎます。");
    case Reason::UnfaithfulName:
        return QStringLiteral("ファイル名を正しく読み取れません。");
    case Reason::ReplacedWhileOpening:
        return QStringLiteral("開いている間にファイルが置き換えられました。");
    case Reason::CannotOpen:
        return QStringLiteral("ファイルを開けません（%1）。").arg(detail);
    case Reason::IsFolder:
        return action == Action::Delete ? QStringLiteral("フォルダーは削除できません。")
                                        : QStringLiteral("フォルダーです。画像ファイルではありません。");
    case Reason::IsPipe:
        return QStringLiteral("名前付きパイプです。画像ファイルではありません。");
    case Reason::IsDevice:
        return QStringLiteral("デバイスです。画像ファイルではありません。");
    case Reason::IsSocket:
        return QStringLiteral("ソケットです。画像ファイルではありません。");
    case Reason::NotRegularFile:
        return QStringLiteral("通常のファイルではありません。");
    case Reason::NoDestinationName:
        return QStringLiteral("コピー先の名前がありません。");
    case Reason::DestinationExists:
        return detail.isEmpty()
            ? QStringLiteral("コピー先に同じ名前のファイルがあります。")
            : QStringLiteral("コピー先に同じ名前のファイルがあります: %1").arg(QDir::toNativeSeparators(detail));
    case Reason::NoDestinationFolder:
        return QStringLiteral("コピー先のフォルダーがありません。");
    case Reason::NoWritePermission:
        return QStringLiteral("コピー先のフォルダーに書き込む権限がありません。");
    case Reason::DestinationReadOnly:
        return QStringLiteral("コピー先は読み取り専用です。");
    case Reason::DiskFull:
        return QStringLiteral("ディスクがいっぱいです。");
    case Reason::QuotaExceeded:
        return QStringLiteral("ディスクの使用量の上限を超えました。");
    case Reason::FileSizeLimit:
        return QStringLiteral("書き込めるファイルの大きさの上限を超えました。");
    case Reason::SourceUnreadable:
        return QStringLiteral("元のファイルを読めません（%1）。").arg(detail);
    case Reason::WriteFailed:
        return QStringLiteral("書き込みに失敗しました（%1）。").arg(detail);
    case Reason::CannotWriteDestination:
        return QStringLiteral("コピー先に書き込めません（%1）。").arg(detail);
    case Reason::CannotNameDestination:
        return QStringLiteral("コピー先を作れません（%1）。").arg(detail);
    case Reason::ReadOnly:
        return QStringLiteral("読み取り専用のファイルです。");
    case Reason::RemoveFailed:
    case Reason::Other:
        return detail;
    case Reason::EmptyFile:
        return QStringLiteral("ファイルが空です。");
    case Reason::UnsupportedType:
        return QStringLiteral("対応していない形式のファイルです（%1 のみ）。").arg(pictureTypes());
    case Reason::UnknownSize:
        return QStringLiteral("画像の大きさを読み取れません（対応していない種類か、壊れたファイルです）。");
    case Reason::TooLarge:
        if (!failure.size.isValid())
            return QStringLiteral("画像が大きすぎます。");  // it ran out of memory before its size was read
        return QStringLiteral("画像が大きすぎます（%1 × %2 ピクセル）。")
            .arg(failure.size.width())
            .arg(failure.size.height());
    case Reason::TooManyScans:
        return QStringLiteral("JPEG のスキャンが多すぎます（%1）。ファイルが壊れています。").arg(detail);
    case Reason::ReadFailed:
        return QStringLiteral("ファイルを読み込めません。");
    case Reason::DamagedData:
        return QStringLiteral("画像データが壊れています。");
    case Reason::DecodeFailed:
        if (detail.isEmpty())
            return QStringLiteral("画像を読み込めません。");
        return QStringLiteral("画像を読み込めません（%1）。").arg(detail);
    case Reason::CannotEnterFolder:
        return QStringLiteral("フォルダーに入れません。");
    case Reason::NoSuchProperty:
        return QStringLiteral("このコントロールには %1 がありません。").arg(detail);
    case Reason::NotANumber:
        return QStringLiteral("数値ではありません: \"%1\"").arg(detail);
    case Reason::UnsupportedKeys:
        return QStringLiteral("未対応のキーです: %1").arg(detail);
    }
    return detail;
}

QString failureMessage(Action action, const QString &path, const Failure &failure)
{
    return failureMessage(actionText(action), path, reasonText(action, failure));
}

QString failureMessage(const QString &action, const QString &path, const QString &reason)
{
    if (path.isEmpty())
        return QStringLiteral("%1\n%2").arg(action, reason);
    return QStringLiteral("「%1」を%2\n%3").arg(QDir::toNativeSeparators(path), action, reason);
}

}  // namespace rt
