// pixmoor-decoder.exe: decodes the pictures the program hands it, one at a
// time, in a job the program made for it (WorkerProcessWindows.cpp). Its
// standard input and output are the program's pipes; it ends when the
// program closes them.
#include "runtime/decoding/SharedPixelsWindows.h"
#include "runtime/decoding/WorkerDecode.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <windows.h>
#include <io.h>
#include <fcntl.h>

#include <new>

namespace {

using namespace rt::decoding;

// A crash ends the process at once, with no box and no debugger: the
// program reads the broken pipe as a damaged file.
LONG WINAPI endOnCrash(EXCEPTION_POINTERS *)
{
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// What the process forbids itself once its decoders are loaded: no further
// library from a share or at low integrity, no code made at run time, no
// hooks injected. Returns what the system refused.
QStringList lowerRights()
{
    QStringList missing;
    // What the program set up for it, as this process finds it.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
    const DWORD wanted = JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job, nullptr)
        || (job.BasicLimitInformation.LimitFlags & wanted) != wanted)
        missing << QStringLiteral("a job with a memory limit");
    HANDLE token = nullptr;
    char label[64] = {};
    DWORD size = 0;
    const bool low = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)
        && GetTokenInformation(token, TokenIntegrityLevel, label, sizeof label, &size)
        && *GetSidSubAuthority(reinterpret_cast<TOKEN_MANDATORY_LABEL *>(label)->Label.Sid, 0)
               <= SECURITY_MANDATORY_LOW_RID;
    if (token)
        CloseHandle(token);
    if (!low)
        missing << QStringLiteral("low integrity");
    PROCESS_MITIGATION_IMAGE_LOAD_POLICY images{};
    images.NoRemoteImages = 1;
    images.NoLowMandatoryLabelImages = 1;
    if (!SetProcessMitigationPolicy(ProcessImageLoadPolicy, &images, sizeof images))
        missing << QStringLiteral("the image load policy");
    PROCESS_MITIGATION_DYNAMIC_CODE_POLICY code{};
    code.ProhibitDynamicCode = 1;
    if (!SetProcessMitigationPolicy(ProcessDynamicCodePolicy, &code, sizeof code))
        missing << QStringLiteral("the dynamic code policy");
    PROCESS_MITIGATION_EXTENSION_POINT_DISABLE_POLICY hooks{};
    hooks.DisableExtensionPoints = 1;
    if (!SetProcessMitigationPolicy(ProcessExtensionPointDisablePolicy, &hooks, sizeof hooks))
        missing << QStringLiteral("the extension point policy");
    return missing;
}

Reply decode(HANDLE given, const Request &request, HANDLE &pixels)
{
    Reply reply;
    QImage image;
    if (request.length >= 0) {  // a picture held in memory
        const void *view = MapViewOfFile(given, FILE_MAP_READ, 0, 0, SIZE_T(request.length));
        CloseHandle(given);
        if (!view) {
            reply.failure = {rt::Reason::ReadFailed};
            return reply;
        }
        QBuffer buffer;
        buffer.setData(QByteArray::fromRawData(static_cast<const char *>(view), qsizetype(request.length)));
        buffer.open(QIODevice::ReadOnly);
        reply = decodeForReply(buffer, request, image);
        UnmapViewOfFile(view);
    } else {
        QFile file;
        const int fd = _open_osfhandle(intptr_t(given), _O_RDONLY);
        if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) || !file.seek(0)) {
            if (fd < 0)
                CloseHandle(given);
            reply.failure = {rt::Reason::ReadFailed};
            return reply;
        }
        reply = decodeForReply(file, request, image);
    }
    if (image.isNull())
        return reply;
    pixels = sharedPixels(image);
    if (!pixels) {
        reply.failure = {rt::Reason::TooLarge, reply.fileSize};
        return reply;
    }
    reply.kind = Reply::Pixels;
    return reply;
}

} // namespace

int main(int argc, char *argv[])
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnCrash);
    const HANDLE requests = GetStdHandle(STD_INPUT_HANDLE), replies = GetStdHandle(STD_OUTPUT_HANDLE);
    QCoreApplication application(argc, argv);
    rt::configureImageLimits();
    loadDecoders();
    Reply ready;
    ready.kind = Reply::Ready;
    ready.missing = lowerRights().join(QStringLiteral(", "));
    if (!sendReply(replies, ready))
        return 1;
    for (;;) {
        Request request;
        Passed given = -1;
        if (!receiveRequest(requests, request, given))
            return 0;  // the program is done with this decoder
        if (given == -1)
            return 1;
        HANDLE pixels = nullptr;
        Reply reply;
        bool exhausted = false;
        try {
            reply = decode(HANDLE(given), request, pixels);
        } catch (const std::bad_alloc &) {
            reply.failure = {rt::Reason::TooLarge};  // past the memory granted
            exhausted = true;
        }
        // The program takes the mapping out of this process: it is not closed here.
        const bool sent = sendReply(replies, reply, pixels ? Passed(pixels) : -1);
        if (!sent || exhausted)
            return sent ? 0 : 1;  // a heap that ran out is not trusted with the next picture
    }
}
