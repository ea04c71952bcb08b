#include "runtime/decoding/WorkerPool.h"

#include "runtime/decoding/DecoderPool.h"
#include "runtime/decoding/SharedMemory.h"
#include "runtime/decoding/WorkerOutcome.h"

#include <QBuffer>
#include <QFile>

namespace rt::decoding {

void startDecoders() { DecoderPool::instance().fill(); }

Decoded decodeInWorker(QFile &file, QSize fill) { return decodeOnWorker(file, fill, fileHandle(file.handle()), -1); }

Decoded decodeInWorker(const QByteArray &bytes, QSize fill)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const Passed memory = sharedBytes(bytes);
    if (memory == kNone)
        return failed({bytes.isEmpty() ? Reason::EmptyFile : Reason::ReadFailed});
    Decoded decoded = decodeOnWorker(buffer, fill, memory, bytes.size());
    closeShared(memory);
    return decoded;
}

int setDeadline(int milliseconds) { return replaceDeadline(milliseconds); }

void setDecoderProgram(const QString &path, const QStringList &arguments)
{
    DecoderPool::instance().setProgram(path, arguments);
}

}  // namespace rt::decoding
