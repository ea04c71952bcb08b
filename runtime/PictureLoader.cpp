#include "runtime/PictureLoader.h"

#include "runtime/Failure.h"

#include <QFileInfo>
#include <QImageReader>

namespace rt {

namespace {

bool isKnownFormat(const QByteArray &format)
{
    return format == "bmp" || format == "jpeg" || format == "jpg" || format == "gif"
        || format == "ico";
}

QString readerReason(const QImageReader &reader)
{
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
        return QStringLiteral("ファイルが見つかりません。");
    case QImageReader::DeviceError:
        return QStringLiteral("ファイルを読み込めません。");
    case QImageReader::UnsupportedFormatError:
        return QStringLiteral("対応していない形式のファイルです（BMP、JPEG、GIF、ICO のみ）。");
    case QImageReader::InvalidDataError:
        return QStringLiteral("画像データが壊れています。");
    case QImageReader::UnknownError:
        break;
    }
    return QStringLiteral("画像を読み込めません（%1）。").arg(reader.errorString());
}

} // namespace

void configureImageLimits()
{
    // Qt's default of 128 MB refuses ordinary camera photos; our own cap is
    // checked from the header before any decoding.
    QImageReader::setAllocationLimit(int((kMaxPixels * 4) / (1024 * 1024)) + 64);
}

Decoded decodePicture(const QString &path, QSize fill)
{
    Decoded result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        result.error = QStringLiteral("ファイルが見つかりません。");
        return result;
    }
    // A named pipe or device would block or never end; a folder is no picture.
    if (!info.isFile()) {
        result.error = info.isDir() ? QStringLiteral("フォルダーです。画像ファイルではありません。")
                                    : QStringLiteral("通常のファイルではありません。");
        return result;
    }

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead() || !isKnownFormat(reader.format())) {
        result.error = reader.canRead()
                           ? QStringLiteral("対応していない形式のファイルです（BMP、JPEG、GIF、ICO のみ）。")
                           : readerReason(reader);
        return result;
    }

    const QSize size = reader.size();
    result.fileSize = size;
    if (size.isValid()) {
        if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxPixels) {
            result.error = QStringLiteral("画像が大きすぎるか、大きさが正しくありません（%1 × %2）。")
                               .arg(size.width())
                               .arg(size.height());
            return result;
        }
        if (fill.isValid() && size.width() > fill.width() && size.height() > fill.height())
            reader.setScaledSize(size.scaled(fill, Qt::KeepAspectRatioByExpanding));
    }

    result.image = reader.read();
    if (result.image.isNull()) {
        result.error = readerReason(reader);
        return result;
    }
    if (!result.fileSize.isValid())
        result.fileSize = result.image.size();
    if (fill.isValid() && (result.image.width() > 2 * fill.width() || result.image.height() > 2 * fill.height())) {
        // Formats that cannot decode scaled (GIF, ICO, or a missing header size).
        result.image = result.image.scaled(fill, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    }
    return result;
}

Picture loadPicture(const QString &path, QSize fill)
{
    if (path.isEmpty())
        return Picture();
    Decoded decoded = decodePicture(path, fill);
    if (decoded.image.isNull())
        throw RuntimeError(QStringLiteral("開けませんでした。"), path, decoded.error);
    return Picture(std::move(decoded.image), decoded.fileSize);
}

} // namespace rt
