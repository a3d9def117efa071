#include "H264TestEncoder.h"

#include "decoder/Decoder.h"
#include "decoder/VideoBuffer.h"

#include <QtTest>

#include <atomic>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace dvk;

namespace {

struct PacketHolder
{
    explicit PacketHolder(const QByteArray& bytes, int64_t pts = 0) : packet(makePacket(bytes, pts)) {}
    ~PacketHolder() { av_packet_free(&packet); }
    AVPacket* packet;
};

struct Shown
{
    int calls = 0;
    int width = 0;
    int height = 0;
    int luma = -1;
};

} // namespace

class TestVideoDecoder : public QObject
{
    Q_OBJECT

private slots:
    void newestPictureWinsAndDropsAreCounted();
    void packetWithoutPictureChangesNothing();
    void pushBeforeOpenOrAfterCloseFails();
    void rgbCopyOfFullSizePicture();
    void framesPerSecondFollowTheGuiThread();
    void blockingModeWaitsForTheGuiThread();
};

void TestVideoDecoder::newestPictureWinsAndDropsAreCounted()
{
    const EncodedStream enc = encodeFlatFrames({}, {40, 120, 200});
    QCOMPARE(enc.frames.size(), 3);

    Shown shown;
    Decoder decoder([&](int w, int h, uint8_t* y, uint8_t* u, uint8_t* v, int ly, int lu, int lv) {
        ++shown.calls;
        shown.width = w;
        shown.height = h;
        shown.luma = y[(h - 1) * ly + w - 1];
        QVERIFY(u && v && lu >= w / 2 && lv >= w / 2);
    });
    QSignalSpy newFrames(&decoder, &Decoder::newFrame);
    QVERIFY(decoder.open());

    // Three pictures before the GUI thread gets to run once.
    PacketHolder first(enc.config + enc.frames[0].data, 0);
    PacketHolder second(enc.frames[1].data, 1);
    PacketHolder third(enc.frames[2].data, 2);
    QVERIFY(decoder.push(first.packet));
    QVERIFY(decoder.push(second.packet));
    QVERIFY(decoder.push(third.packet));
    QCOMPARE(newFrames.count(), 1);
    QCOMPARE(shown.calls, 0);

    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(shown.calls, 1);
    QCOMPARE(shown.width, 64);
    QCOMPARE(shown.height, 64);
    QVERIFY2(qAbs(shown.luma - 200) <= 3, qPrintable(QString::number(shown.luma)));
    QCOMPARE(decoder.skippedFrames(), 2u);
    QCOMPARE(decoder.renderedFrames(), 1u);

    // Once taken, the next picture is announced again.
    const EncodedStream more = encodeFlatFrames({}, {90});
    decoder.close();
    QVERIFY(decoder.open());
    PacketHolder again(more.config + more.frames[0].data, 3);
    QVERIFY(decoder.push(again.packet));
    QCOMPARE(newFrames.count(), 2);
    QCoreApplication::processEvents();
    QCOMPARE(shown.calls, 2);
    QVERIFY(qAbs(shown.luma - 90) <= 3);
    QCOMPARE(decoder.skippedFrames(), 2u);
}

void TestVideoDecoder::packetWithoutPictureChangesNothing()
{
    // With reordering the decoder holds the first picture back until it has seen the next.
    EncodeOptions opt;
    opt.bFrames = 2;
    opt.gop = 12;
    QVector<int> lumas;
    for (int i = 0; i < 6; ++i) {
        lumas << 30 + i * 30;
    }
    const EncodedStream enc = encodeFlatFrames(opt, lumas);
    QVERIFY(enc.frames.size() >= 2);
    Shown shown;
    Decoder decoder([&](int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) { ++shown.calls; });
    QSignalSpy newFrames(&decoder, &Decoder::newFrame);
    QVERIFY(decoder.open());

    PacketHolder first(enc.config + enc.frames[0].data, 0);
    QVERIFY(decoder.push(first.packet));
    QCoreApplication::processEvents();
    QCOMPARE(newFrames.count(), 0);
    QCOMPARE(shown.calls, 0);
    QCOMPARE(decoder.skippedFrames(), 0u);
    bool peeked = false;
    decoder.peekFrame([&](int, int, uint8_t*) { peeked = true; });
    QVERIFY(!peeked);

    for (int i = 1; i < enc.frames.size() && shown.calls == 0; ++i) {
        PacketHolder next(enc.frames[i].data, i);
        QVERIFY(decoder.push(next.packet));
        QCoreApplication::processEvents();
    }
    QCOMPARE(shown.calls, 1);
}

void TestVideoDecoder::pushBeforeOpenOrAfterCloseFails()
{
    const EncodedStream enc = encodeFlatFrames({}, {70});
    PacketHolder frame(enc.config + enc.frames[0].data);
    Decoder decoder(nullptr);
    QVERIFY(!decoder.push(frame.packet));
    QVERIFY(decoder.open());
    decoder.close();
    decoder.close();
    QVERIFY(!decoder.push(frame.packet));
}

void TestVideoDecoder::rgbCopyOfFullSizePicture()
{
    EncodeOptions opt;
    opt.width = 1080;
    opt.height = 2400;
    // Pure red in limited-range BT.601.
    const EncodedStream enc = encodeFlatFrames(opt, {81}, 90, 240);
    QCOMPARE(enc.frames.size(), 1);

    Decoder decoder([](int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) {});
    QVERIFY(decoder.open());
    PacketHolder frame(enc.config + enc.frames[0].data);
    QVERIFY(decoder.push(frame.packet));

    int calls = 0;
    decoder.peekFrame([&](int width, int height, uint8_t* rgb) {
        ++calls;
        QCOMPARE(width, 1080);
        QCOMPARE(height, 2400);
        // B G R A in memory, rows of width * 4 bytes; the last pixel is read too.
        for (const int pixel : {0, 1080 * 2400 - 1, 1080 * 1200 + 540}) {
            const uint8_t* p = rgb + pixel * 4;
            QVERIFY2(p[2] > 230 && p[1] < 25 && p[0] < 25 && p[3] == 255,
                     qPrintable(QString("%1: %2 %3 %4 %5").arg(pixel).arg(p[0]).arg(p[1]).arg(p[2]).arg(p[3])));
        }
    });
    QCOMPARE(calls, 1);
    decoder.peekFrame(nullptr);
}

void TestVideoDecoder::framesPerSecondFollowTheGuiThread()
{
    // A device at 60 pictures a second, a GUI thread that takes every second one.
    VideoBuffer buffer;
    QVERIFY(buffer.init());
    QSignalSpy fps(&buffer, &VideoBuffer::updateFPS);
    int announced = 0;
    for (int i = 0; i < 60; ++i) {
        bool previousSkipped = true;
        buffer.offerDecodedFrame(previousSkipped);
        announced += previousSkipped ? 0 : 1;
        if (i % 2) {
            buffer.lock();
            QVERIFY(buffer.consumeRenderedFrame());
            buffer.unLock();
        }
    }
    QCOMPARE(announced, 30);
    QCOMPARE(buffer.fpsCounter().totalRendered(), 30u);
    QCOMPARE(buffer.fpsCounter().totalSkipped(), 30u);
    QVERIFY(fps.wait(2000));
    QCOMPARE(fps.first().first().toUInt(), 30u);
    // Nothing happened in the next second.
    QVERIFY(fps.wait(2000));
    QCOMPARE(fps.last().first().toUInt(), 0u);
    buffer.deInit();
}

void TestVideoDecoder::blockingModeWaitsForTheGuiThread()
{
    VideoBuffer buffer;
    QVERIFY(buffer.init());
    buffer.setRenderExpiredFrames(true);
    bool skipped = true;
    buffer.offerDecodedFrame(skipped);
    QVERIFY(!skipped);

    std::atomic<int> offered{0};
    // A failed check returns early: the thread must still be released and joined, or the
    // whole program aborts instead of reporting the failure.
    struct Release
    {
        VideoBuffer& buffer;
        std::thread& thread;
        ~Release()
        {
            buffer.interrupt();
            if (thread.joinable()) {
                thread.join();
            }
        }
    };
    std::thread decoderThread([&] {
        bool previousSkipped = true;
        buffer.offerDecodedFrame(previousSkipped); // waits for the first picture to be taken
        offered = previousSkipped ? -1 : 1;
        buffer.offerDecodedFrame(previousSkipped); // waits until interrupted
        offered = 2;
    });
    Release release{buffer, decoderThread};
    QTest::qWait(50);
    QCOMPARE(offered.load(), 0);
    buffer.lock();
    buffer.consumeRenderedFrame();
    buffer.unLock();
    QTRY_COMPARE(offered.load(), 1);
    QTest::qWait(50);
    QCOMPARE(offered.load(), 1);
    buffer.interrupt();
    decoderThread.join();
    QCOMPARE(offered.load(), 2);
    QCOMPARE(buffer.fpsCounter().totalSkipped(), 0u);
}

QTEST_GUILESS_MAIN(TestVideoDecoder)
#include "tst_video_decoder.moc"
