#include "runtime/pictures/PictureLoader.h"

#include "runtime/pictures/Colours.h"
#include "runtime/pictures/DecodeBudget.h"
#include "runtime/pictures/DecodePlan.h"
#include "runtime/pictures/DefinedRead.h"
#include "runtime/pictures/PictureDescription.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace rt {

namespace {

Failure readerReason(const QImageReader &reader)
{
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
        return {Reason::NotFound};
    case QImageReader::DeviceError:
        return {Reason::ReadFailed};
    case QImageReader::UnsupportedFormatError:
        return {Reason::UnsupportedType};
    case QImageReader::InvalidDataError:
        return {Reason::DamagedData};
    case QImageReader::UnknownError:
        break;
    }
    return {Reason::DecodeFailed, reader.errorString()};
}

// What to decode and how, decided from the description before any decoding.
struct Plan
{
    PictureDescription picture;
    QList<int> icons;  // for icons: the images to try, best first
    Failure refusal;
};

Plan makePlan(QIODevice &device, QSize fill)
{
    Plan plan{describePicture(device, header::ScanCount::Every), {}, {}};
    const PictureDescription &picture = plan.picture;
    if (picture.format == "ico")
        plan.icons = iconAttempts(picture, fill);
    if (picture.scans > kMaxJpegScans)
        plan.refusal = {Reason::TooManyScans, QString::number(picture.scans)};
    else
        plan.refusal = refusalFor(picture, fill);
    return plan;
}

// The smooth shrink works on premultiplied 32-bit pixels, and would make a
// converted copy of the whole picture for any other format: converted in
// place first where Qt can, so that a decode holds one picture at a time.
void shrink(QImage &image, QSize target)
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

void configureImageLimits()
{
    // Qt reads this variable once, on first use, and lets it override the
    // limit set below: what the program decodes must not depend on it.
    qunsetenv("QT_IMAGEIO_MAXALLOC");
    // Qt's default of 128 MB refuses ordinary camera photos. This limit only
    // backs up the caps, which are checked from the header before decoding.
    QImageReader::setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)) + 64);
    // libjpeg fails cleanly instead of holding more than the coefficients
    // allowed and its working rows. It reads the variable in thousands of
    // bytes ("M": millions, not 2^20), and counts all it holds against it.
    constexpr qint64 kJpegWorkBytes = qint64(64) << 20;
    qputenv("JPEGMEM", QByteArray::number((kMaxDecoderBytes + kJpegWorkBytes + 999) / 1000));
}

Decoded decodePictureData(QIODevice &device, QSize fill)
{
    Decoded result;
    if (device.size() == 0) {
        result.error = {Reason::EmptyFile};
        return result;
    }
    const Plan plan = makePlan(device, fill);
    const PictureDescription &picture = plan.picture;
    const QByteArray &format = picture.format;
    if (format.isEmpty()) {
        result.error = {Reason::UnsupportedType};
        return result;
    }
    result.fileSize = picture.shown;
    if (plan.refusal) {
        result.error = plan.refusal;
        return result;
    }
    const DecodeClaim claim(decodeBytes(picture, fill));  // every decode within one memory budget
    if (!claim.granted()) {
        result.error = {Reason::DecodeFailed, QStringLiteral("the program is ending")};
        return result;
    }

    const QList<int> attempts = plan.icons.isEmpty() ? QList<int>{0} : plan.icons;
    for (const int index : attempts) {
        device.seek(0);
        // Told the format, the reader uses that decoder and never tries another.
        QImageReader reader(&device, format);
        reader.setAutoDetectImageFormat(false);
        reader.setAutoTransform(true);
        if (!plan.icons.isEmpty())
            reader.jumpToImage(index);
        const QSize target = picture.scalable ? coverSize(picture.shown, fill) : QSize();
        if (target.isValid())  // asked for before the EXIF rotation is applied
            reader.setScaledSize(picture.rotated ? target.transposed() : target);
        result.image = readDefined(reader);
        if (!result.image.isNull()) {
            if (!plan.icons.isEmpty() && !fill.isValid())
                result.fileSize = result.image.size();  // the best image may have been damaged
            break;
        }
        result.error = readerReason(reader);
    }
    if (result.image.isNull() && format == "gif" && header::gifIsBlank(device)) {
        // Images without pixels leave the logical screen empty: that is the picture.
        result.image = QImage(picture.shown, QImage::Format_ARGB32);
        result.image.fill(Qt::transparent);
    }
    if (result.image.isNull())
        return result;
    result.error = {};

    // Decoders that cannot decode smaller decode at full size; shrink here.
    if (const QSize target = shrinkSize(result.image.size(), fill); target.isValid())
        shrink(result.image, target);
    convertToSrgb(result.image);  // once, at the size kept
    return result;
}

Decoded decodePictureFile(QFile &file, QSize fill)
{
    // From memory the header is read without a second pass over the file, and
    // Qt's JPEG reader hands libjpeg the whole file instead of 4 KB at a time,
    // which keeps it on its fast path. Mapped, not read: a decoder lives for
    // one picture, and every page it reads into fresh memory costs it a fault
    // where a mapping of the cached file takes one for many. Larger files
    // stream, so memory stays bounded.
    const qint64 size = file.size();
    if (size > kInMemoryBytes)
        return decodePictureData(file, fill);
    QByteArray bytes;
    uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
    if (mapped)
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), size);
    else
        bytes = file.readAll();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Decoded decoded = decodePictureData(buffer, fill);
    if (mapped)
        file.unmap(mapped);
    return decoded;
}

}  // namespace rt
