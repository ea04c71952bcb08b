// pixmoor-decoder.exe: decodes the one picture the program hands it, in a job
// the program made for it (WorkerProcessWindows.cpp), and ends with its
// answer. Its standard input and output are the program's pipes.
#include "runtime/decoding/SharedMemory.h"
#include "runtime/decoding/WorkerDecode.h"
#include "runtime/pictures/PictureLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>

#include <windows.h>
#include <io.h>
#include <fcntl.h>

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
// hooks injected. Returns the Unconfined flags of what the system refused.
int lowerRights()
{
    int missing = 0;
    // What the program set up for it, as this process finds it.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
    const DWORD wanted = JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job, nullptr)
        || (job.BasicLimitInformation.LimitFlags & wanted) != wanted)
        missing |= NoJob;
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
        missing |= NoLowIntegrity;
    PROCESS_MITIGATION_IMAGE_LOAD_POLICY images{};
    images.NoRemoteImages = 1;
    images.NoLowMandatoryLabelImages = 1;
    if (!SetProcessMitigationPolicy(ProcessImageLoadPolicy, &images, sizeof images))
        missing |= NoImageLoadPolicy;
    PROCESS_MITIGATION_DYNAMIC_CODE_POLICY code{};
    code.ProhibitDynamicCode = 1;
    if (!SetProcessMitigationPolicy(ProcessDynamicCodePolicy, &code, sizeof code))
        missing |= NoDynamicCodePolicy;
    PROCESS_MITIGATION_EXTENSION_POINT_DISABLE_POLICY hooks{};
    hooks.DisableExtensionPoints = 1;
    if (!SetProcessMitigationPolicy(ProcessExtensionPointDisablePolicy, &hooks, sizeof hooks))
        missing |= NoExtensionPointPolicy;
    return missing;
}

Reply decodeRequest(const Request &request, Passed picture, Passed pixels)
{
    AnswerBuffer buffer(pixels, request.bufferLength);
    Reply refused;
    refused.reason = rt::Reason::ReadFailed;
    if (request.length >= 0) {  // a picture held in memory
        const void *view =
            request.length > 0 ? MapViewOfFile(HANDLE(picture), FILE_MAP_READ, 0, 0, SIZE_T(request.length)) : nullptr;
        CloseHandle(HANDLE(picture));
        if (!view)
            return refused;
        QBuffer device;
        device.setData(QByteArray::fromRawData(static_cast<const char *>(view), qsizetype(request.length)));
        device.open(QIODevice::ReadOnly);
        const Reply reply = decodeInto(device, request, buffer);
        UnmapViewOfFile(view);
        return reply;
    }
    QFile file;
    const int fd = _open_osfhandle(intptr_t(picture), _O_RDONLY);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) || !file.seek(0)) {
        if (fd < 0)
            CloseHandle(HANDLE(picture));
        return refused;
    }
    return decodeInto(file, request, buffer);
}

}  // namespace

int main(int argc, char *argv[])
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnCrash);
    const auto requests = Channel(GetStdHandle(STD_INPUT_HANDLE)), replies = Channel(GetStdHandle(STD_OUTPUT_HANDLE));
    QCoreApplication application(argc, argv);
    rt::configureImageLimits();
    loadDecoders();
    Reply ready;
    ready.kind = Reply::Ready;
    ready.missing = lowerRights();
    if (!sendReply(replies, ready))
        return 1;
    Request request;
    Passed picture = kNone, pixels = kNone;
    if (!receiveRequest(requests, request, picture, pixels) || picture == kNone || pixels == kNone)
        return 1;
    return sendReply(replies, decodeRequest(request, picture, pixels)) ? 0 : 1;
}
