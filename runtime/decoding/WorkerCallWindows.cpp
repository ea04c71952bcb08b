#include "runtime/decoding/WorkerPool.h"

#include <QBuffer>
#include <QFile>

// Windows has no decoder process yet: pictures are decoded in the program, as
// before, under the loader's caps (README, "Decoding in a confined process").
namespace rt::decoding {

void startDecoders() {}

Decoded decodeInWorker(QFile &file, QSize fill)
{
    return decodePictureFile(file, fill);
}

Decoded decodeInWorker(const QByteArray &bytes, QSize fill)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decodePictureData(buffer, fill);
}

int setDeadline(int milliseconds)
{
    return milliseconds;
}

void setDecoderProgram(const QString &) {}

} // namespace rt::decoding
