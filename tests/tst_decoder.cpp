// The decoder processes: what a decoder bug set off by a hostile picture comes
// to (the tests' decoder misbehaves on pictures that ask it to,
// tests/support/DecoderMisbehaviours.cpp), the pixels that cross, and the end
// with a decoder stuck.
#include "ExifWriter.h"
#include "runtime/decoding/Decode.h"
#include "runtime/decoding/SharedMemory.h"
#include "runtime/decoding/WorkerPool.h"
#include "runtime/decoding/WorkerProtocol.h"
#include "runtime/pictures/PictureFormats.h"
#include "runtime/pictures/PictureLoader.h"
#include "runtime/services/Ending.h"
#include "runtime/services/Program.h"
#include "runtime/services/Sanitizer.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <future>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace test::hostile;

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

// A second handle of `memory`, as a decoder is given one.
rt::decoding::Passed duplicate(rt::decoding::Passed memory)
{
#ifdef Q_OS_WIN
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), HANDLE(memory), GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return rt::decoding::Passed(copy);
#else
    return ::dup(int(memory));
#endif
}

// What a decoder bug could reach of this process: one of its limits.
qint64 ownLimit()
{
#ifdef Q_OS_WIN
    return 0;
#else
    rlimit limit{};
    ::getrlimit(RLIMIT_MSGQUEUE, &limit);
    return qint64(limit.rlim_cur);
#endif
}

}  // namespace

class DecoderTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::Folder> folder;
    QByteArray picture;  // a bitmap every decoder decodes
    QString plain;

    // A picture that asks the tests' decoder to misbehave once it has decoded it.
    QString hostile(const QByteArray &what)
    {
        return write(folder->file(QStringLiteral("hostile.bmp")), picture + "pixmoor-test:" + what);
    }

private slots:
    void initTestCase()
    {
        qputenv("PIXMOOR_TEST_SECRET", "seen");  // which no decoder may see
        test::prepareApplication();
        rt::decoding::setDeadline(kDeadlineMs);
    }
    void init()
    {
        folder = std::make_unique<test::Folder>();
        picture = encoded(pattern(QSize(30, 20)), "bmp");
        plain = write(folder->file(QStringLiteral("plain.bmp")), picture);
    }
    void cleanup()
    {
        test::useTestDecoder();
        test::takeEndRequests();
    }

    // Whatever a decoder bug makes the decoder do, the program lives, the
    // picture is refused with a reason, and the next pictures decode in
    // decoders that work. Linux's walls hold without Landlock too: its system
    // call filter alone stops what only a process could do.
    void misbehaviourIsRefused_data()
    {
        QTest::addColumn<QByteArray>("what");
        QTest::addColumn<rt::Reason>("reason");
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("landlock");
        const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
        const bool filter = test::kCallFilter;
        const struct
        {
            const char *name;
            QByteArray what;
            rt::Reason reason;
            bool held;
        } rows[] = {
            {"crash", "crash", rt::Reason::DamagedData, true},
            {"allocation past the grant", "allocate", rt::Reason::TooLarge, kMemoryLimitHeld && !rt::kAddressSanitizer},
            {"never ends", "hang", rt::Reason::DecodeFailed, true},
            {"answer larger than its buffer", "oversize", rt::Reason::DamagedData, true},
            {"answer wider than the picture", "wider", rt::Reason::DamagedData, true},
            {"reason made up", "reason", rt::Reason::DamagedData, true},
            {"opens a file", "open", rt::Reason::DamagedData, filter},
            {"opens a socket", "socket", rt::Reason::DamagedData, filter},
            {"runs a program", "execute", rt::Reason::DamagedData, filter},
            {"limits the program", "limit " + self, rt::Reason::DamagedData, filter},
            {"signals the program on input", "setown " + self, rt::Reason::DamagedData, filter},
            {"stats a path", "stat", rt::Reason::DamagedData, filter},
            {"makes memory executable", "execmem", rt::Reason::DamagedData, filter},
            {"holds other formats' plugins", "plugins", rt::Reason::DamagedData, filter},
            {"makes memory of its own", "memfd", rt::Reason::DamagedData, filter},
            {"raises its own limit", "raise", rt::Reason::DamagedData, filter},
            {"reads the program's environment", "environment", rt::Reason::DamagedData, filter},
            {"holds the program's output", "output", rt::Reason::DamagedData, filter && !rt::kAddressSanitizer},
        };
        for (const auto &row : rows) {
            QTest::addRow("%s", row.name) << row.what << row.reason << row.held << true;
            if (filter)
                QTest::addRow("%s, without Landlock", row.name) << row.what << row.reason << row.held << false;
        }
    }

    void misbehaviourIsRefused()
    {
        QFETCH(QByteArray, what);
        QFETCH(rt::Reason, reason);
        QFETCH(bool, held);
        QFETCH(bool, landlock);
        if (!held)
            QSKIP("not held on this system");
        if (!landlock)
            test::useTestDecoder({QStringLiteral("--without-landlock")});
        const qint64 limit = ownLimit();
        const QString path = hostile(what);
        QElapsedTimer timer;
        timer.start();
        const rt::Decoded refused = decodeWithin(path, kDeadlineMs + 3000);
        QVERIFY2(refused.image.isNull(), "what the decoder did was allowed");
        QCOMPARE(refused.error.reason, reason);
        QVERIFY(timer.elapsed() < kDeadlineMs + 1000);
        QCOMPARE(ownLimit(), limit);
        for (int k = 0; k < 3; ++k) {  // none is left broken
            const rt::Decoded next = decodeWithin(plain, 5000);
            QCOMPARE(next.image.size(), QSize(30, 20));
        }
    }

    // No decoder is handed a second picture, one after another or at once;
    // the size told is the header's, whatever a decoder answered.
    void everyPictureHasADecoderOfItsOwn()
    {
        const QString path = hostile("remember");
        std::vector<std::future<rt::Decoded>> decodes;
        for (int k = 0; k < 6; ++k)
            decodes.push_back(std::async(std::launch::async, [&] { return rt::decodePicture(path, QSize(8, 8)); }));
        const auto decodedWhole = [](const rt::Decoded &decoded) {
            return !decoded.image.isNull() && decoded.fileSize == QSize(30, 20);
        };
        for (int k = 0; k < 4; ++k)
            QVERIFY(decodedWhole(decodeWithin(path, 5000)));
        for (std::future<rt::Decoded> &decode : decodes)
            QVERIFY(decodedWhole(decode.get()));
    }

    // A decoder that goes on writing into its answer after it was sent: the
    // pixels the program shows are final, its own or none.
    void answersAreFinal()
    {
        if (!test::kCallFilter)
            QSKIP("a decoder's pixels are final once its process is gone, which the program waits for");
        const rt::Decoded decoded = decodeWithin(hostile("scribble"), 5000);
        QVERIFY2(decoded.image.size() == QSize(30, 20), qPrintable(rt::reasonText(rt::Action::Open, decoded.error)));
        const QRgb first = decoded.image.pixel(0, 0);
        QTest::qWait(100);
        QCOMPARE(decoded.image.pixel(0, 0), first);
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
        QTest::newRow("photo turned") << testart::withCameraExif(jpeg(QSize(64, 48)),
                                                                 {.orientation = 6, .thumbnail = {}})
                                      << QSize();
        QTest::newRow("photo turned, scaled")
            << testart::withCameraExif(jpeg(QSize(640, 480)), {.orientation = 8, .thumbnail = {}}) << QSize(60, 60);
        QTest::newRow("colour profile") << encoded(profiled, "jpeg") << QSize();
        QTest::newRow("icon by Qt's writer") << encoded(pattern(QSize(32, 32)), "ico") << QSize();
        QTest::newRow("bitmap shrunk") << encoded(pattern(QSize(400, 300)), "bmp") << QSize(50, 50);
        // Every format the table lists: a decoder that did not load its
        // plugin before shutting itself in refuses it.
        for (const rt::PictureFormat &format : rt::pictureFormats())
            QTest::newRow(format.format) << sample(format.format, QSize(21, 13)) << QSize();
    }

    void picturesCrossWhole()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, fill);
        const QImage expected = inProcess(bytes, fill);
        QVERIFY(!expected.isNull());
        const rt::Decoded crossed = rt::decodePicture(write(folder->file(QStringLiteral("p")), bytes), fill);
        QCOMPARE(crossed.image.size(), expected.size());
        QCOMPARE(crossed.image.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(rt::decodePictureBytes(bytes, fill).image.convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
    }

    // Pixels are mapped only from a buffer made final that holds every line
    // the answer says it has; on Linux, one still mapped writable cannot be
    // made final.
    void onlyFinalWholePixelsAreMapped_data()
    {
        QTest::addColumn<bool>("writerLeft");
        QTest::addColumn<qint64>("bytesPerLine");
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<bool>("mapped");
        // Lines of a page each: a mapping's pages may be all that is known of it.
        const qint64 page = 4096;
        QTest::newRow("whole") << false << page << QImage::Format_RGB32 << true;
        QTest::newRow("a writer maps it") << true << page << QImage::Format_RGB32 << false;
        QTest::newRow("a line short") << false << page + 4 << QImage::Format_RGB32 << false;
        QTest::newRow("lines too short") << false << page - 4 << QImage::Format_RGB32 << false;
        QTest::newRow("colour table") << false << page << QImage::Format_Indexed8 << false;
    }

    void onlyFinalWholePixelsAreMapped()
    {
        QFETCH(bool, writerLeft);
        QFETCH(qint64, bytesPerLine);
        QFETCH(QImage::Format, format);
        QFETCH(bool, mapped);
        if (writerLeft && !test::kCallFilter)
            QSKIP("a mapping is final once its writer's process is gone");
        rt::decoding::PixelBuffer buffer(4096 * 40);
        {
            rt::decoding::AnswerBuffer writer(duplicate(buffer.memory()), buffer.length());
            QImage written = writer.blank(QSize(1024, 40), QImage::Format_RGB32);
            written.fill(qRgb(0x7f, 0x7f, 0x7f));
            QVERIFY(writer.place(written));
        }
#ifndef Q_OS_WIN
        if (writerLeft)  // a decoder that kept its own writable mapping
            QVERIFY(::mmap(nullptr, 4096 * 40, PROT_READ | PROT_WRITE, MAP_SHARED, int(buffer.memory()), 0)
                    != MAP_FAILED);
#endif
        QCOMPARE(buffer.freeze(!writerLeft), !writerLeft);
        const QImage image = buffer.image(QSize(1024, 40), bytesPerLine, format);
        QCOMPARE(!image.isNull(), mapped);
        if (mapped)
            QCOMPARE(image.pixel(1023, 39), qRgb(0x7f, 0x7f, 0x7f));
    }

    // A decoder that stops reading is ended at the deadline as one that stops answering.
    void sendEndsAtTheDeadline()
    {
#ifdef Q_OS_WIN
        QSKIP("a pipe's write is ended by the timer that ends the decoder's job");
#else
        int ends[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        const char filler[64] = {};
        while (::send(ends[0], filler, sizeof filler, MSG_DONTWAIT) > 0) {
        }  // a peer that stopped reading
        const rt::decoding::Request request{QSize(), 1, -1, 0};
        QElapsedTimer timer;
        timer.start();
        auto sending = std::async(std::launch::async, [&] {
            return rt::decoding::sendRequest(ends[0], request, -1, -1, QDeadlineTimer(300));
        });
        const bool returned = sending.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
        ::close(ends[1]);  // lets a send without a deadline return
        QVERIFY2(returned, "the send waited past its deadline");
        QVERIFY(!sending.get());
        QVERIFY(timer.elapsed() >= 250);
        ::close(ends[0]);
#endif
    }

    // The end kills a decoder stuck in a decode: the program is gone within a second.
    void endKillsStuckDecoder()
    {
        rt::decoding::setDeadline(60'000);
        const QString path = hostile("hang");
        std::atomic<bool> endSeen{false};
        auto stuck = std::async(std::launch::async, [&] {
            rt::Decoded decoded = rt::decodePicture(path);
            endSeen = ending::now();  // what the thumbnails ask before marking a file undecodable
            return decoded;
        });
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        rt::endProgram();
        const bool ended = stuck.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        rt::decoding::setDeadline(kDeadlineMs);
        QVERIFY(ended);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(stuck.get().image.isNull());
        QVERIFY(endSeen);
        ending::takeBack();  // a test process goes on after the end: new decoders take the next file
        QCOMPARE(decodeWithin(plain, 5000).image.size(), QSize(30, 20));
    }
};

QTEST_MAIN(DecoderTest)
#include "tst_decoder.moc"
