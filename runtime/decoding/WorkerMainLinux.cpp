// pixmoor-decoder on Linux: a fork server. Started by the program with its
// control socket as descriptor 3, it loads every decoder it may need, never
// reads a picture, and forks one decoder per picture on the program's word:
// each shuts itself in right after the fork, decodes the one picture it is
// handed over the socket the program sent along, answers and ends. The
// server ends when the program closes its socket; its decoders die with it.
#include "runtime/decoding/Confinement.h"
#include "runtime/decoding/HugePages.h"
#include "runtime/decoding/WorkerDecode.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/pictures/DecodeLimits.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>

#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace {

using namespace rt::decoding;

constexpr int kControl = 3;
// A decode still running this long ends the process itself, should its
// program be gone without ending it.
constexpr unsigned kOwnDeadlineSeconds = 60;

#ifdef PIXMOOR_DECODER_TEST
bool landlockWanted(const QStringList &arguments)
{
    return !arguments.contains(QStringLiteral("--without-landlock"));  // the filter must hold alone
}
#else
bool landlockWanted(const QStringList &) { return true; }
#endif

Reply decodeRequest(const Request &request, Passed picture, Passed pixels)
{
    AnswerBuffer buffer(pixels, request.bufferLength);
    Reply refused;
    refused.reason = rt::Reason::ReadFailed;
    if (request.length >= 0) {  // a picture held in memory: a sealed memory file
        void *bytes = request.length > 0
            ? ::mmap(nullptr, size_t(request.length), PROT_READ, MAP_PRIVATE, int(picture), 0)
            : MAP_FAILED;
        ::close(int(picture));
        if (bytes == MAP_FAILED)
            return refused;
        QBuffer device;
        device.setData(QByteArray::fromRawData(static_cast<const char *>(bytes), qsizetype(request.length)));
        device.open(QIODevice::ReadOnly);
        return decodeInto(device, request, buffer);
    }
    QFile file;
    if (!file.open(int(picture), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) || !file.seek(0)) {
        ::close(int(picture));
        return refused;
    }
    // Read whole into huge pages: libjpeg then gets the whole file at once,
    // and the pages it reads cost one first touch each 2 MB (HugePages.h).
    const qint64 size = file.size();
    void *bytes = size > 0 && size <= rt::kInMemoryBytes ? hugePages(size_t(size)) : nullptr;
    if (!bytes)
        return decodeInto(file, request, buffer);  // streamed: memory stays bounded
    qint64 read = 0;
    for (qint64 part; read < size && (part = file.read(static_cast<char *>(bytes) + read, size - read)) > 0;)
        read += part;
    QBuffer device;
    device.setData(QByteArray::fromRawData(static_cast<const char *>(bytes), qsizetype(read)));
    device.open(QIODevice::ReadOnly);
    const Reply reply = decodeInto(device, request, buffer);
    releaseHugePages(bytes, size_t(size));
    return reply;
}

// The forked decoder: shut in, then one picture, then gone.
[[noreturn]] void decodeOne(int channel, pid_t server)
{
    closeFilesBut(channel);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != server || !confineDecoder())
        ::_exit(1);
    Request request;
    Passed picture = kNone, pixels = kNone;
    if (!receiveRequest(channel, request, picture, pixels) || picture == kNone || pixels == kNone)
        ::_exit(1);
    heapOnHugePages();  // not while it waits: an idle decoder holds no huge page
    limitMemory(request.grant);
    ::alarm(kOwnDeadlineSeconds);
    const Reply reply = decodeRequest(request, picture, pixels);
    ::_exit(sendReply(channel, reply) ? 0 : 1);
}

// Forks a decoder for the socket end the program sent, and answers with a
// descriptor of the new process, by which the program ends it.
bool fork(int decoderEnd)
{
    const pid_t server = ::getpid();
    noteAddressSpace();
    const pid_t decoder = ::fork();
    if (decoder == 0) {
        ::close(kControl);
        decodeOne(decoderEnd, server);
    }
    ::close(decoderEnd);
    const int process = decoder > 0 ? int(::syscall(SYS_pidfd_open, decoder, 0)) : -1;
    Wire forked;
    forked.kind = WireKind::Forked;
    forked.number = process >= 0 ? decoder : -1;
    const bool sent = sendWire(kControl, forked, {process, kNone}, QDeadlineTimer(QDeadlineTimer::Forever));
    if (process >= 0)
        ::close(process);
    return sent;
}

}  // namespace

int main(int argc, char *argv[])
{
    closeFilesBut(kControl);
    // One heap: each further arena would reserve 64 MB of the address space granted.
    mallopt(M_ARENA_MAX, 1);
    QCoreApplication application(argc, argv);
    rt::configureImageLimits();
    loadDecoders();
    Reply ready;
    ready.kind = Reply::Ready;
    ready.missing = prepareConfinement(landlockWanted(application.arguments()));
    malloc_trim(0);  // what loading left free is not copied into every decoder
    if (!sendReply(kControl, ready))
        return 1;
    for (;;) {
        // Decoders that ended are reaped as the next is asked for: their
        // processor time counts as this server's children's.
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        Wire asked;
        Passed passed[kMaxPassed];
        if (!receiveWire(kControl, asked, passed))
            return 0;  // the program is done with decoding
        if (asked.magic != kMagic || asked.kind != WireKind::Fork || passed[0] == kNone || passed[1] != kNone) {
            dropPassed(passed);
            return 1;
        }
        if (!fork(int(passed[0])))
            return 1;
    }
}
