// Replays saved inputs through a fuzz target as an ordinary test: every file
// in the folders named on the command line must pass, each within a bound.
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// A target may sum what it made of an input; printed, every byte of it is used.
extern "C" __attribute__((weak)) uint64_t FuzzReplayChecksum();

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    constexpr qint64 kBoundMs = 10000;  // a hang shows as a failure, not a stalled run
    int replayed = 0, slow = 0;
    for (int i = 1; i < argc; ++i) {
        QDirIterator inputs(QString::fromLocal8Bit(argv[i]), QDir::Files, QDirIterator::Subdirectories);
        while (inputs.hasNext()) {
            const QString path = inputs.next();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            QElapsedTimer timer;
            timer.start();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            if (timer.elapsed() > kBoundMs) {
                std::fprintf(stderr, "%s took %lld ms\n", qPrintable(path), timer.elapsed());
                ++slow;
            }
            if (FuzzReplayChecksum)
                std::printf("%s %016llx\n", qPrintable(path), static_cast<unsigned long long>(FuzzReplayChecksum()));
            ++replayed;
        }
    }
    std::printf("replayed %d inputs, %d too slow\n", replayed, slow);
    return slow == 0 ? 0 : 1;
}
