// Built into the tests' pixmoor-decoder only: a file that starts with
// "pixmoor-test:" makes the decoder do what a hostile picture might make a
// decoder bug do. When what it tries succeeds, it answers with a picture,
// which the tests take as the confinement failing.
#include <QIODevice>
#include <QImage>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <optional>

std::optional<QImage> misbehaveFor(QIODevice &file)
{
    const QByteArray head = file.peek(64);
    if (!head.startsWith("pixmoor-test:"))
        return std::nullopt;
    const QByteArray what = head.mid(13).trimmed();
    bool done = false;
    if (what == "crash") {
        *static_cast<volatile int *>(nullptr) = 1;
    } else if (what == "allocate") {
        static char *volatile taken;  // kept, so that the allocation is made
        taken = new char[size_t(3) << 30];  // never touched: no memory is used
        done = taken != nullptr;
        delete[] taken;
#ifdef Q_OS_WIN
    } else if (what == "open") {
        done = CreateFileW(L"C:\\windows\\win.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr) != INVALID_HANDLE_VALUE;
    } else if (what == "execute") {
        STARTUPINFOW start{};
        start.cb = sizeof start;
        PROCESS_INFORMATION started{};
        wchar_t command[] = L"C:\\windows\\system32\\cmd.exe /c exit";
        done = CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &start,
                              &started);
#else
    } else if (what == "open") {
        const int fd = ::open("/etc/hostname", O_RDONLY);
        done = fd >= 0;
    } else if (what == "socket") {
        done = ::socket(AF_INET, SOCK_STREAM, 0) >= 0;
    } else if (what == "execute") {
        char *arguments[] = {const_cast<char *>("/bin/true"), nullptr};
        ::execv("/bin/true", arguments);
#endif
    } else if (what == "hang") {
        volatile unsigned spin = 0;
        for (;;)
            spin = spin + 1;
    }
    if (!done)
        return std::nullopt;
    QImage made(1, 1, QImage::Format_RGB32);
    made.fill(Qt::red);
    return made;
}
