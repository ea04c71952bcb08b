// The decoder processes: what a misbehaving decoder comes to (the tests'
// decoder misbehaves on files that ask it to, tests/support/DecoderMisbehaviours.cpp),
// the pixels that cross, and the end with a decoder stuck.
#include "ExifWriter.h"
#include "runtime/decoding/Decode.h"
#ifdef Q_OS_WIN
#include "runtime/decoding/SharedPixelsWindows.h"
#include <windows.h>
#else
#include "runtime/decoding/SharedPixels.h"
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif
#include "runtime/decoding/WorkerPool.h"
#include "runtime/pictures/PictureLoader.h"
#include "runtime/services/Ending.h"
#include "runtime/services/Program.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QElapsedTimer>
#include <QTest>

#include <future>

using namespace test::hostile;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;  // its decoder runs without an address-space limit
#else
constexpr bool kAddressSanitizer = false;
#endif

namespace {

constexpr int kDeadlineMs = 1500;

// Wine records a job's memory limit but lets its process pass it.
#ifdef Q_OS_WIN
const bool kMemoryLimitHeld = !GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
#else
const bool kMemoryLimitHeld = true;
#endif

// Decodes on a thread of its own; a decode that outlives `limitMs` (the
// deadline not kept) is ended with the program's end, so that the test fails
// instead of hanging.
rt::Decoded decodeWithin(const QString &path, int limitMs, QSize fill = QSize())
{
    auto decoding = std::async(std::launch::async, [&] { return rt::decodePicture(path, fill); });
    if (decoding.wait_for(std::chrono::milliseconds(limitMs)) == std::future_status::timeout) {
        rt::endProgram();
        decoding.wait();
        rt::Decoded late;
        late.error = {rt::Reason::Other, QStringLiteral("still decoding after %1 ms").arg(limitMs)};
        return late;
    }
    return decoding.get();
}

QImage inProcess(const QByteArray &bytes, QSize fill)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return rt::decodePictureData(buffer, fill).image;
}

} // namespace

class DecoderTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    QString plain;  // a picture every decoder decodes
    // How a file of pixels is sealed: as sealedFile() does, not at all,
    // against a change of size alone, against writers but the one mapping it.
    enum Seals { Sealed, Unsealed, SizeOnly, NoNewWriter };

private slots:
    void initTestCase()
    {
        test::prepareApplication();
        rt::decoding::setDeadline(kDeadlineMs);
    }
    void init()
    {
        folder = std::make_unique<test::Folder>();
        plain = write(folder->file(QStringLiteral("plain.bmp")), encoded(pattern(QSize(30, 20)), "bmp"));
    }
    void cleanup() { test::takeEndRequests(); }

    // Whatever the decoder does, its picture is refused with a reason, and
    // the next picture decodes in a decoder that works. What only a filter
    // of system calls forbids is tried where there is one, an allocation
    // past the grant where the system holds the decoder to its limit.
    void misbehaviourIsRefused_data()
    {
        QTest::addColumn<QByteArray>("what");
        QTest::addColumn<rt::Reason>("reason");
        QTest::addColumn<bool>("forbidden");
        const bool filter = test::kCallFilter;
        QTest::newRow("crash") << QByteArray("crash") << rt::Reason::DamagedData << true;
        QTest::newRow("allocation past the grant") << QByteArray("allocate") << rt::Reason::TooLarge << kMemoryLimitHeld;
        QTest::newRow("opens a file") << QByteArray("open") << rt::Reason::DamagedData << filter;
        QTest::newRow("opens a socket") << QByteArray("socket") << rt::Reason::DamagedData << filter;
        QTest::newRow("runs a program") << QByteArray("execute") << rt::Reason::DamagedData << filter;
        QTest::newRow("never ends") << QByteArray("hang") << rt::Reason::DecodeFailed << true;
    }

    void misbehaviourIsRefused()
    {
        QFETCH(QByteArray, what);
        QFETCH(rt::Reason, reason);
        QFETCH(bool, forbidden);
        if (!forbidden)
            QSKIP("not held on this system");
        if (kAddressSanitizer && what == "allocate")
            QSKIP("no address-space limit under AddressSanitizer");
        const QString path = write(folder->file(QStringLiteral("hostile.bmp")), "pixmoor-test:" + what);
        QElapsedTimer timer;
        timer.start();
        const rt::Decoded refused = decodeWithin(path, kDeadlineMs + 3000);
        QVERIFY2(refused.image.isNull(), "what the decoder did was allowed");
        QCOMPARE(refused.error.reason, reason);
        QVERIFY(timer.elapsed() < kDeadlineMs + 1000);
        for (int k = 0; k < 3; ++k) {  // more than the pool holds: none is left broken
            const rt::Decoded next = decodeWithin(plain, 5000);
            QCOMPARE(next.image.size(), QSize(30, 20));
        }
    }

    // The picture that crosses is the one decoded in process: converted,
    // turned, scaled, each line where it belongs.
    void picturesCrossWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("fill");
        QImage profiled = pattern(QSize(64, 48));
        profiled.setColorSpace(QColorSpace::AdobeRgb);
        QTest::newRow("bitmap, odd width") << encoded(pattern(QSize(33, 17)), "bmp") << QSize();
        QTest::newRow("photo scaled") << jpeg(QSize(640, 480)) << QSize(100, 75);
        QTest::newRow("photo turned") << testart::withCameraExif(jpeg(QSize(64, 48)), {.orientation = 6, .thumbnail = {}}) << QSize();
        QTest::newRow("colour profile") << encoded(profiled, "jpeg") << QSize();
        QTest::newRow("gif") << gif(QSize(21, 13)) << QSize();
        QTest::newRow("icon") << encoded(pattern(QSize(32, 32)), "ico") << QSize();
    }

    void picturesCrossWhole()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, fill);
        const QImage expected = inProcess(bytes, fill);
        QVERIFY(!expected.isNull());
        const rt::Decoded crossed = rt::decodePicture(write(folder->file(QStringLiteral("p")), bytes), fill);
        QCOMPARE(crossed.image.size(), expected.size());
        QCOMPARE(crossed.image.convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(rt::decodePictureBytes(bytes, fill).image.convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
    }

    // Pixels from a decoder are mapped only from a sealed file (on Windows a
    // mapping, which cannot shrink) that holds every line the image says it
    // has: one shrunk under the program would fault on the next read.
    void onlyWholeSealedPixelsAreMapped_data()
    {
        QTest::addColumn<int>("seals");  // Seals
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("bytesPerLine");
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<bool>("mapped");
        // Lines of a page each: a mapping's pages may be all that is known of it.
        const qint64 page = 4096;
        QTest::newRow("whole") << int(Sealed) << page * 40 << page << QImage::Format_RGB32 << true;
        QTest::newRow("sealed while its writer maps it") << int(NoNewWriter) << page * 40 << page << QImage::Format_RGB32 << true;
        QTest::newRow("not sealed") << int(Unsealed) << page * 40 << page << QImage::Format_RGB32 << false;
        QTest::newRow("writable") << int(SizeOnly) << page * 40 << page << QImage::Format_RGB32 << false;
        QTest::newRow("a line short") << int(Sealed) << page * 39 << page << QImage::Format_RGB32 << false;
        QTest::newRow("lines too short") << int(Sealed) << page * 40 << page - 4 << QImage::Format_RGB32 << false;
        QTest::newRow("colour table") << int(Sealed) << page * 40 << page << QImage::Format_Indexed8 << false;
    }

    void onlyWholeSealedPixelsAreMapped()
    {
        QFETCH(int, seals);
        QFETCH(qint64, bytes);
        QFETCH(qint64, bytesPerLine);
        QFETCH(QImage::Format, format);
        QFETCH(bool, mapped);
        const QByteArray pixels(bytes, '\x7f');
#ifdef Q_OS_WIN
        if (seals != Sealed)
            QSKIP("every mapping is whole on Windows");
        HANDLE mapping = rt::decoding::sharedBytes(pixels.constData(), pixels.size());
        const QImage image = rt::decoding::mappedPixels(mapping, QSize(1024, 40), bytesPerLine, format);
        CloseHandle(mapping);
#else
        int fd = rt::decoding::sealedFile(pixels.constData(), pixels.size());
        if (seals != Sealed) {
            ::close(fd);
            fd = ::memfd_create("pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING);
            QCOMPARE(::write(fd, pixels.constData(), size_t(pixels.size())), ssize_t(pixels.size()));
            const int flags = seals == Unsealed ? 0
                : F_SEAL_SHRINK | F_SEAL_GROW | (seals == NoNewWriter ? F_SEAL_FUTURE_WRITE : 0);
            QCOMPARE(::fcntl(fd, F_ADD_SEALS, flags), 0);
        }
        const QImage image = rt::decoding::mappedPixels(fd, QSize(1024, 40), bytesPerLine, format);
        ::close(fd);
#endif
        QCOMPARE(!image.isNull(), mapped);
        if (mapped)
            QCOMPARE(image.pixel(1023, 39), qRgb(0x7f, 0x7f, 0x7f));
    }

    // The end kills a decoder stuck in a decode: the program is gone within a second.
    void endKillsStuckDecoder()
    {
        rt::decoding::setDeadline(60'000);
        const QString path = write(folder->file(QStringLiteral("stuck.bmp")), "pixmoor-test:hang");
        auto stuck = std::async(std::launch::async, [&] { return rt::decodePicture(path); });
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        rt::endProgram();
        const bool ended = stuck.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        rt::decoding::setDeadline(kDeadlineMs);
        QVERIFY(ended);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(stuck.get().image.isNull());
        ending::takeBack();  // a test process goes on after the end: new decoders take the next file
        QCOMPARE(decodeWithin(plain, 5000).image.size(), QSize(30, 20));
    }
};

QTEST_MAIN(DecoderTest)
#include "tst_decoder.moc"
