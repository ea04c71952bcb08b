#include "runtime/decoding/Decode.h"

#include "runtime/decoding/WorkerPool.h"
#include "runtime/services/Failure.h"
#include "runtime/services/Platform.h"

#include <QFile>

namespace rt {

Decoded decodePicture(const QString &path, QSize fill)
{
    QFile file;
    if (path.startsWith(QLatin1String(":/"))) {  // the program's own, built in: small, shown whole
        Decoded builtIn;
        builtIn.image = builtInImage(path);
        builtIn.fileSize = builtIn.image.size();
        if (builtIn.image.isNull())
            builtIn.error = {Reason::NotFound};
        return builtIn;
    }
    if (const Failure unreadable = platform::openRegularFile(file, path)) {
        Decoded result;
        result.error = unreadable;
        return result;
    }
    return decoding::decodeInWorker(file, fill);
}

Decoded decodePictureBytes(const QByteArray &bytes, QSize fill) { return decoding::decodeInWorker(bytes, fill); }

Picture loadPicture(const QString &path, QSize fill)
{
    if (path.isEmpty())
        return Picture();
    Decoded decoded = decodePicture(path, fill);
    if (decoded.image.isNull())
        throw RuntimeError(Action::Open, path, decoded.error);
    return Picture(std::move(decoded.image), decoded.fileSize);
}

}  // namespace rt
