#include "runtime/decoding/WorkerOutcome.h"

#include "runtime/decoding/WorkerPool.h"
#include "runtime/pictures/DecodeBudget.h"

#include <QColorSpace>

#include <atomic>
#include <cstdio>

namespace rt::decoding {

namespace {
std::atomic<int> deadline{10'000};
}

int deadlineMs()
{
    return deadline.load();
}

int setDeadline(int milliseconds)
{
    return deadline.exchange(milliseconds);
}

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

Decoded decodeOnWorker(QSize fill, Grant grant, qint64 length, const Ask &ask)
{
    if (grant.bytes > maxGrant())
        return failed({Reason::TooLarge, grant.shown});  // no worker starts on it
    // The workers share one budget, as threads of one process would.
    const DecodeClaim claim(grant.bytes - kWorkingBytes);
    if (!claim.granted())
        return failed({Reason::DecodeFailed, QStringLiteral("the program is ending")});
    Pool &pool = Pool::instance();
    Worker worker = pool.take();
    if (worker.pid < 0)
        return failed({Reason::DecodeFailed, QStringLiteral("pixmoor-decoder を起動できません")});
    Reply reply;
    Decoded decoded;
    const Outcome outcome = ask(worker, {fill, grant.bytes, length}, reply, decoded.image);
    if (outcome == Outcome::Unsent || outcome == Outcome::TimedOut) {
        pool.discard(worker);
        return failed(outcome == Outcome::Unsent
                          ? Failure{Reason::ReadFailed}
                          : Failure{Reason::DecodeFailed,
                                    QStringLiteral("%1 秒以内に終わりませんでした").arg(deadlineMs() / 1000.0)});
    }
    decoded.fileSize = reply.fileSize.isValid() ? reply.fileSize : QSize();
    if (reply.srgb)
        decoded.image.setColorSpace(QColorSpace::SRgb);
    // Crashed, killed by its filter or its job, or an answer that breaks the protocol.
    const bool broken = outcome != Outcome::Answered || (reply.kind == Reply::Pixels) == decoded.image.isNull()
        || (reply.kind == Reply::Refused && !reply.failure);
    if (broken) {
        pool.discard(worker);
        return failed({Reason::DamagedData});
    }
    decoded.error = reply.kind == Reply::Refused ? reply.failure : Failure();
    if (passedItsLimit(worker)) {
        decoded.image = QImage();
        decoded.error = {Reason::TooLarge, decoded.fileSize};
    }
    if (decoded.error.reason == Reason::TooLarge) {
        if (!decoded.error.size.isValid())
            decoded.error.size = grant.shown;  // it ran out of memory before it could say
        pool.discard(worker);  // a fresh one takes the next picture
    } else {
        pool.giveBack(worker);
    }
    return decoded;
}

} // namespace rt::decoding
