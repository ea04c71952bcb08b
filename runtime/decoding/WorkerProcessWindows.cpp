#include "runtime/decoding/WorkerProcess.h"

#include "runtime/decoding/DecodeGrant.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>

#include <windows.h>
#include <io.h>
#include <psapi.h>

#include <memory>

namespace rt::decoding {

namespace {

// What a decoder holds before its first picture, with room: the memory
// limit's starting point until it is told a picture's grant.
constexpr qint64 kStartRoom = qint64(256) << 20;

// A job of its own for one decoder: killed with the job's last handle (the
// program's, so with the program too), no second process, no window of
// another program touched, no crash box, and no more memory than granted.
HANDLE makeJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_PROCESS_MEMORY
        | JOB_OBJECT_LIMIT_ACTIVE_PROCESS | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    limits.BasicLimitInformation.ActiveProcessLimit = 1;
    limits.ProcessMemoryLimit = SIZE_T(kStartRoom + maxGrant());
    JOBOBJECT_BASIC_UI_RESTRICTIONS windows{};
    windows.UIRestrictionsClass = JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_DISPLAYSETTINGS
        | JOB_OBJECT_UILIMIT_EXITWINDOWS | JOB_OBJECT_UILIMIT_GLOBALATOMS | JOB_OBJECT_UILIMIT_HANDLES
        | JOB_OBJECT_UILIMIT_READCLIPBOARD | JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS | JOB_OBJECT_UILIMIT_WRITECLIPBOARD;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)
        || !SetInformationJobObject(job, JobObjectBasicUIRestrictions, &windows, sizeof windows)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// The program's own rights without its privileges, at low integrity: what
// it could write to (the user's files) it may not.
HANDLE loweredToken()
{
    HANDLE own = nullptr, lowered = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, &own))
        return nullptr;
    const BOOL made = CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 0, nullptr, 0, nullptr, 0, nullptr, &lowered);
    CloseHandle(own);
    if (!made)
        return nullptr;
    SID_IDENTIFIER_AUTHORITY mandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
    PSID low = nullptr;
    if (AllocateAndInitializeSid(&mandatory, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0, 0, 0, 0, &low)) {
        TOKEN_MANDATORY_LABEL label{};
        label.Label.Attributes = SE_GROUP_INTEGRITY;
        label.Label.Sid = low;
        SetTokenInformation(lowered, TokenIntegrityLevel, &label, DWORD(sizeof label + GetLengthSid(low)));
        FreeSid(low);
    }
    return lowered;
}

// The decoder's environment: the system's folder, which Windows' own
// libraries look for, and nothing of the program's.
std::wstring decoderEnvironment()
{
    wchar_t root[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
    std::wstring block = L"SystemRoot=" + std::wstring(root, length < MAX_PATH ? length : 0);
    block.push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

void closeAll(std::initializer_list<HANDLE> handles)
{
    for (HANDLE handle : handles)
        if (handle)
            CloseHandle(handle);
}

}  // namespace

QString defaultDecoderProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/pixmoor-decoder.exe");
}

// A process takes long to start on Windows (a fifth of a second under Wine):
// several start at once, ahead of need.
int decodersAhead() { return 4; }

Worker startWorker(const QString &program, const QStringList &arguments)
{
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE requestsIn = nullptr, requestsOut = nullptr, repliesIn = nullptr, repliesOut = nullptr;
    HANDLE job = makeJob(), token = loweredToken();
    // Only the decoder's two ends are inherited, and only by the decoder.
    if (!job || !CreatePipe(&requestsIn, &requestsOut, &inherited, 0)
        || !CreatePipe(&repliesIn, &repliesOut, &inherited, 0)
        || !SetHandleInformation(requestsOut, HANDLE_FLAG_INHERIT, 0)
        || !SetHandleInformation(repliesIn, HANDLE_FLAG_INHERIT, 0)) {
        closeAll({job, token, requestsIn, requestsOut, repliesIn, repliesOut});
        return {};
    }
    HANDLE passed[] = {requestsIn, repliesOut};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    auto attributes = std::make_unique<char[]>(size);
    auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.get());
    STARTUPINFOEXW start{};
    start.StartupInfo.cb = sizeof start;
    start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    start.StartupInfo.hStdInput = requestsIn;
    start.StartupInfo.hStdOutput = repliesOut;
    start.StartupInfo.hStdError = nullptr;
    start.lpAttributeList = list;
    PROCESS_INFORMATION started{};
    std::wstring command = L"\"" + QDir::toNativeSeparators(program).toStdWString() + L"\"";
    for (const QString &argument : arguments)
        command += L" " + argument.toStdWString();
    std::wstring environment = decoderEnvironment();
    const DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT;
    bool made = InitializeProcThreadAttributeList(list, 1, 0, &size)
        && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, passed, sizeof passed, nullptr,
                                     nullptr);
    // Without the lowered token where the system refuses it: the decoder tells what it lacks.
    made = made
        && ((token
             && CreateProcessAsUserW(token, nullptr, command.data(), nullptr, nullptr, TRUE, flags, environment.data(),
                                     nullptr, &start.StartupInfo, &started))
            || CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, environment.data(), nullptr,
                              &start.StartupInfo, &started));
    DeleteProcThreadAttributeList(list);
    closeAll({token, requestsIn, repliesOut});
    // It runs no instruction before it is in its job.
    if (!made || !AssignProcessToJobObject(job, started.hProcess) || ResumeThread(started.hThread) == DWORD(-1)) {
        if (made)
            TerminateProcess(started.hProcess, 1);
        closeAll({job, requestsOut, repliesIn, started.hProcess, started.hThread});
        return {};
    }
    CloseHandle(started.hThread);
    Worker worker;
    worker.pid = started.dwProcessId;
    worker.process = qintptr(started.hProcess);
    worker.job = qintptr(job);
    worker.requests = Channel(requestsOut);
    worker.replies = Channel(repliesIn);
    return worker;
}

bool passedItsLimit(const Worker &worker)
{
    PROCESS_MEMORY_COUNTERS used{};
    return GetProcessMemoryInfo(HANDLE(worker.process), &used, sizeof used)
        && qint64(used.PeakPagefileUsage) > worker.mostAllowed;
}

bool workerGone(const Worker &worker) { return WaitForSingleObject(HANDLE(worker.process), 0) == WAIT_OBJECT_0; }

void killWorker(const Worker &worker) { TerminateJobObject(HANDLE(worker.job), 1); }

bool waitWorkerGone(const Worker &worker, QDeadlineTimer deadline)
{
    const qint64 left = qMax<qint64>(deadline.remainingTime(), 0);
    return WaitForSingleObject(HANDLE(worker.process), deadline.isForever() ? INFINITE : DWORD(left)) == WAIT_OBJECT_0;
}

void releaseWorker(const Worker &worker)
{
    CloseHandle(HANDLE(worker.requests));
    CloseHandle(HANDLE(worker.replies));
    WaitForSingleObject(HANDLE(worker.process), INFINITE);
    closeAll({HANDLE(worker.process), HANDLE(worker.job)});
}

// Each decoder is started on its own: nothing starts them but the pool.
void endStarting() {}

Passed fileHandle(int descriptor) { return Passed(_get_osfhandle(descriptor)); }

}  // namespace rt::decoding
