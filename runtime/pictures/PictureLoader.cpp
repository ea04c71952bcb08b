#include "runtime/pictures/PictureLoader.h"

#include "runtime/pictures/Colours.h"
#include "runtime/pictures/DefinedRead.h"
#include "runtime/pictures/PictureHeader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>

namespace rt {

namespace {

constexpr int kMaxIconAttempts = 8;

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

Failure tooLarge(QSize size)
{
    return {Reason::TooLarge, size};
}

qint64 area(QSize size)
{
    return qint64(size.width()) * size.height();
}

bool fits(QSize size, qint64 limit)
{
    return size.width() > 0 && size.height() > 0 && area(size) <= limit;
}

// The size that covers `fill` with the picture's aspect ratio; invalid when
// the picture is not larger than that, so nothing is ever enlarged.
QSize coverSize(QSize picture, QSize fill)
{
    if (!fill.isValid() || fill.isEmpty() || picture.width() <= fill.width()
        || picture.height() <= fill.height())
        return QSize();
    return picture.scaled(fill, Qt::KeepAspectRatioByExpanding);
}

// What to decode and how, decided from the header before any decoding.
struct Plan
{
    QSize shown;            // the full size, as shown (orientation applied)
    bool rotated = false;   // the EXIF orientation swaps width and height
    bool scalable = false;  // the decoder itself decodes smaller, at less cost
    QList<int> icons;       // for icons: the images to try, best first
    Failure refusal;
};

// Icons hold several images: the largest (then deepest) at full size, for a
// thumbnail the smallest one that still covers it.
void planIcon(QIODevice &device, QSize fill, Plan &plan)
{
    const QList<header::IconImage> images = header::iconImages(device);
    QList<int> usable;
    QSize largest;
    for (int i = 0; i < images.size(); ++i) {
        if (fits(images[i].size, kMaxPixels))
            usable.append(i);
        else if (images[i].size.isValid() && area(images[i].size) > area(largest))
            largest = images[i].size;
    }
    if (usable.isEmpty()) {
        plan.refusal = largest.isValid() ? tooLarge(largest) : Failure{Reason::UnknownSize};
        return;
    }
    auto covers = [&](int i) {
        return fill.isValid() && images[i].size.width() >= fill.width() && images[i].size.height() >= fill.height();
    };
    std::stable_sort(usable.begin(), usable.end(), [&](int a, int b) {
        if (covers(a) != covers(b))
            return covers(a);
        const qint64 areaA = area(images[a].size), areaB = area(images[b].size);
        if (areaA != areaB)
            return covers(a) ? areaA < areaB : areaA > areaB;
        return images[a].bitCount > images[b].bitCount;
    });
    plan.icons = usable.mid(0, kMaxIconAttempts);
    const auto best = std::max_element(usable.begin(), usable.end(), [&](int a, int b) {
        return area(images[a].size) < area(images[b].size);
    });
    plan.shown = images[*best].size;  // the picture's size is that of its full-size image
}

Plan makePlan(QIODevice &device, const QByteArray &format, QSize fill)
{
    Plan plan;
    if (format == "ico") {
        planIcon(device, fill, plan);
        return plan;
    }
    header::JpegLayout layout;
    if (format == "jpeg") {
        layout = header::jpegLayout(device);
        if (layout.scans > kMaxJpegScans) {
            plan.refusal = {Reason::TooManyScans, QString::number(layout.scans)};
            return plan;
        }
        plan.scalable = !layout.progressive && layout.scans <= 1;
    }

    device.seek(0);
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    const QSize reported = reader.size();
    plan.rotated = reader.transformation() & QImageIOHandler::TransformationRotate90;
    QSize size;
    if (format == "gif") {
        // The decoder paints into the whole logical screen, however small its images.
        size = header::gifScreen(device, reported);
    } else {
        size = header::allocatedSize(reported);
    }
    plan.shown = plan.rotated ? size.transposed() : size;
    if (size.isEmpty()) {
        plan.refusal = {Reason::UnknownSize};
        return plan;
    }
    const bool smaller = plan.scalable && coverSize(plan.shown, fill).isValid();
    if (!fits(size, smaller ? kMaxScaledPixels : kMaxPixels) || layout.coefficientBytes > kMaxCoefficientBytes)
        plan.refusal = tooLarge(plan.shown);
    return plan;
}

} // namespace

void configureImageLimits()
{
    // Qt reads this variable once, on first use, and lets it override the
    // limit set below: what the program decodes must not depend on it.
    qunsetenv("QT_IMAGEIO_MAXALLOC");
    // Qt's default of 128 MB refuses ordinary camera photos. This limit only
    // backs up the caps, which are checked from the header before decoding.
    QImageReader::setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)) + 64);
    // libjpeg fails cleanly instead of keeping more coefficients than this.
    qputenv("JPEGMEM", QByteArray::number(kMaxCoefficientBytes / (1024 * 1024)) + 'M');
}

Decoded decodePictureData(QIODevice &device, QSize fill)
{
    Decoded result;
    if (device.size() == 0) {
        result.error = {Reason::EmptyFile};
        return result;
    }
    const QByteArray format = header::sniffFormat(device);
    if (format.isEmpty()) {
        result.error = {Reason::UnsupportedType};
        return result;
    }
    const Plan plan = makePlan(device, format, fill);
    result.fileSize = plan.shown;
    if (plan.refusal) {
        result.error = plan.refusal;
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
        const QSize target = plan.scalable ? coverSize(plan.shown, fill) : QSize();
        if (target.isValid())  // asked for before the EXIF rotation is applied
            reader.setScaledSize(plan.rotated ? target.transposed() : target);
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
        result.image = QImage(plan.shown, QImage::Format_ARGB32);
        result.image.fill(Qt::transparent);
    }
    if (result.image.isNull())
        return result;
    result.error = {};

    // Decoders that cannot decode smaller decode at full size; shrink here.
    const QSize target = coverSize(result.image.size(), fill);
    if (target.isValid() && area(result.image.size()) > 4 * area(target))
        result.image = result.image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    convertToSrgb(result.image);  // once, at the size kept
    return result;
}

Decoded decodePictureFile(QFile &file, QSize fill)
{
    // From memory the header is read without a second pass over the file, and
    // Qt's JPEG reader hands libjpeg the whole file instead of 4 KB at a time,
    // which keeps it on its fast path. Larger files stream, so memory stays bounded.
    constexpr qint64 kInMemoryBytes = qint64(64) << 20;
    if (file.size() <= kInMemoryBytes) {
        QByteArray bytes = file.readAll();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        return decodePictureData(buffer, fill);
    }
    return decodePictureData(file, fill);
}

} // namespace rt
