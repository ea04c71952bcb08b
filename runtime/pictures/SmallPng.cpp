#include "runtime/pictures/SmallPng.h"

#include "runtime/services/Platform.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QtEndian>

namespace rt {

namespace {

const QByteArray kSignature("\x89PNG\r\n\x1A\n", 8);

// Text is read by the PNG decoder, which inflates compressed text: bounded
// here so that a small file cannot make it hold much memory.
constexpr int kMaxTextChunks = 16;
constexpr quint32 kMaxCompressedText = 2048;

}  // namespace

std::optional<QSize> smallPngSize(const QByteArray &bytes, int maxSide)
{
    if (!bytes.startsWith(kSignature))
        return std::nullopt;
    QSize size;
    int texts = 0;
    bool ended = false;
    qsizetype at = kSignature.size();
    while (!ended) {
        if (bytes.size() - at < 12)
            return std::nullopt;  // truncated before its end chunk
        const auto *head = reinterpret_cast<const uchar *>(bytes.constData() + at);
        const quint32 length = qFromBigEndian<quint32>(head);
        const QByteArray type = bytes.mid(at + 4, 4);
        if (length > quint32(bytes.size() - at - 12))
            return std::nullopt;
        if (!size.isValid()) {
            // The header comes first and says what decoding will cost.
            if (type != "IHDR" || length != 13)
                return std::nullopt;
            const uchar *d = head + 8;
            const quint32 width = qFromBigEndian<quint32>(d), height = qFromBigEndian<quint32>(d + 4);
            if (width == 0 || height == 0 || width > quint32(maxSide) || height > quint32(maxSide))
                return std::nullopt;
            size = QSize(int(width), int(height));
        } else if (type == "tEXt" || type == "zTXt" || type == "iTXt") {
            if (++texts > kMaxTextChunks || (type != "tEXt" && length > kMaxCompressedText))
                return std::nullopt;
        }
        ended = type == "IEND";
        at += 12 + length;
    }
    return size;
}

std::optional<SmallPng> decodeSmallPng(const QByteArray &bytes, int maxSide)
{
    const auto size = smallPngSize(bytes, maxSide);
    if (!size)
        return std::nullopt;
    SmallPng png;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);  // a PNG, or nothing
    png.image = reader.read();
    if (png.image.isNull() || png.image.size() != *size)
        return std::nullopt;
    for (const QString &key : png.image.textKeys())
        png.text.insert(key, png.image.text(key));
    return png;
}

std::optional<QByteArray> readSmallFile(const platform::Folder &folder, const QString &name, qint64 maxBytes)
{
    QFile file;
    if (const Failure unreadable = folder.openFile(file, name))
        return std::nullopt;
    // Asked for its size alone: asked for maxBytes, QIODevice allocates them all first.
    return file.read(qMin(file.size(), maxBytes));
}

}  // namespace rt
