#include "runtime/decoding/WorkerOutcome.h"

#include "runtime/decoding/DecodeGrant.h"
#include "runtime/decoding/DecoderPool.h"
#include "runtime/pictures/DecodeBudget.h"
#include "runtime/pictures/DecodeLimits.h"
#include "runtime/pictures/DecodePlan.h"
#include "runtime/pictures/PictureDescription.h"

#include <QColorSpace>
#include <QIODevice>

#include <atomic>
#include <cstdio>

namespace rt::decoding {

namespace {

std::atomic<int> deadline{10'000};

// What a decoder refused a picture for, in the program's own words: the
// sizes and counts told are those the program reads from the header.
Failure reasonTold(Reason reason, const PictureDescription &picture, QIODevice &device)
{
    switch (reason) {
    case Reason::TooLarge:
        return {Reason::TooLarge, picture.shown};  // invalid when it ran out before the header told
    case Reason::TooManyScans: {
        // Counted here only when the decoder says so: it walks the whole file.
        const int scans = header::jpegLayout(device, header::ScanCount::Every).scans;
        if (scans <= kMaxJpegScans)
            return {Reason::DamagedData};
        return {Reason::TooManyScans, QString::number(scans)};
    }
    default:
        return {reason};
    }
}

// The size told for an answer: the picture's own, but an icon's image that
// was decoded at its full size in place of a damaged larger one.
QSize sizeTold(const PictureDescription &picture, QSize fill, QSize answered)
{
    if (picture.format != "ico" || fill.isValid())
        return picture.shown;
    for (const int i : iconAttempts(picture, fill))
        if (picture.icons[i].size == answered)
            return answered;
    return QSize();
}

// The answer's pixels, once the decoder can no longer change them: its
// buffer sealed, or the decoder gone first.
QImage finalPixels(const Reply &reply, const AnswerLimit &limit, PixelBuffer &buffer, Worker &worker)
{
    if (reply.pixels.width() > limit.size.width() || reply.pixels.height() > limit.size.height())
        return QImage();
    if (!buffer.freeze(false) && !(waitWorkerGone(worker, QDeadlineTimer(deadlineMs())) && buffer.freeze(true)))
        return QImage();
    QImage image = buffer.image(reply.pixels, reply.bytesPerLine, reply.format);
    if (reply.srgb)
        image.setColorSpace(QColorSpace::SRgb);
    return image;
}

}  // namespace

int deadlineMs() { return deadline.load(); }

int replaceDeadline(int milliseconds) { return deadline.exchange(milliseconds); }

void reportMissing(const QString &missing)
{
    static std::atomic<bool> told{false};
    if (!missing.isEmpty() && !told.exchange(true))
        std::fprintf(stderr, "pixmoor: pictures are decoded without %s on this system\n", qPrintable(missing));
}

Decoded failed(Failure why)
{
    Decoded decoded;
    decoded.error = std::move(why);
    return decoded;
}

Decoded decodeOnWorker(QIODevice &device, QSize fill, Passed picture, qint64 length)
{
    if (device.size() == 0)
        return failed({Reason::EmptyFile});
    const PictureDescription description = describePicture(device);
    Decoded decoded = failed(refusalFor(description, fill));
    decoded.fileSize = description.shown;
    const qint64 grant = kWorkingBytes + decodeBytes(description, fill);
    if (!decoded.error && grant > maxGrant())
        decoded.error = {Reason::TooLarge, description.shown};  // no decoder starts on it
    if (decoded.error)
        return decoded;
    const AnswerLimit limit = answerLimit(description, fill);
    // The decoders share one budget, as threads of one process would.
    const DecodeClaim claim(grant - kWorkingBytes);
    if (!claim.granted())
        return failed({Reason::DecodeFailed, QStringLiteral("the program is ending")});
    PixelBuffer buffer(limit.bytes());
    if (buffer.isNull())
        return failed({Reason::TooLarge, description.shown});
    DecoderPool &pool = DecoderPool::instance();
    Worker worker = pool.take();
    if (worker.pid < 0)
        return failed({Reason::DecodeFailed, QStringLiteral("pixmoor-decoder を起動できません")});
    Reply reply;
    Call::Outcome outcome = Call::Stopped;
    {
        Call call(worker, QDeadlineTimer(deadlineMs()));
        if (call.send({fill, grant, length, buffer.length()}, picture, buffer)) {
            pool.prepare();  // the next picture's decoder starts while this one decodes
            outcome = call.await(reply);
        }
    }
    killWorker(worker);  // one picture each: whatever it did, it is done
    if (outcome == Call::TimedOut) {
        pool.finish(worker);
        return failed(
            {Reason::DecodeFailed, QStringLiteral("%1 秒以内に終わりませんでした").arg(deadlineMs() / 1000.0)});
    }
    if (outcome == Call::Answered && reply.kind == Reply::Pixels) {
        decoded.image = finalPixels(reply, limit, buffer, worker);
        decoded.fileSize = sizeTold(description, fill, reply.pixels);
        if (decoded.image.isNull() || !decoded.fileSize.isValid())
            decoded = failed({Reason::DamagedData});
    } else if (outcome == Call::Answered) {
        decoded.error = reasonTold(reply.reason, description, device);
    } else {
        decoded.error = {Reason::DamagedData};  // crashed, killed by its filter, or broke the protocol
    }
    if (passedItsLimit(worker)) {
        decoded.image = QImage();
        decoded.error = {Reason::TooLarge, description.shown};
    }
    pool.finish(worker);
    return decoded;
}

}  // namespace rt::decoding
