#include "recorder/Recorder.h"

#include "H264TestEncoder.h"
#include "MediaProbe.h"
#include "LogCapture.h"

#include <QFile>
#include <QJsonArray>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>

using dvk::Recorder;

namespace {

const QSize kFrameSize(160, 120);
const int kFrameCount = 30;
const int64_t kFrameStep = 33333;

// Pushes one packet and releases it at once, as the stream thread does after its signal returns.
bool pushOnce(Recorder& recorder, const QByteArray& data, int64_t pts)
{
    AVPacket* packet = makePacket(data, pts);
    const bool ok = recorder.push(packet);
    av_packet_free(&packet);
    return ok;
}

// The stream thread sends each configuration on its own and again in front of the next frame.
int feed(Recorder& recorder, const EncodedStream& stream, int from, int to, bool withConfig)
{
    int accepted = 0;
    if (withConfig && pushOnce(recorder, stream.config, AV_NOPTS_VALUE)) {
        ++accepted;
    }
    for (int i = from; i < to; ++i) {
        const QByteArray& frame = stream.frames[i].data;
        const QByteArray data = (withConfig && i == from) ? stream.config + frame : frame;
        if (pushOnce(recorder, data, i * kFrameStep)) {
            ++accepted;
        }
    }
    return accepted;
}

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void guessesFormatFromSuffix_data();
    void guessesFormatFromSuffix();
    void recordsStreamFromAnotherThread_data();
    void recordsStreamFromAnotherThread();
    void durationsFollowTimestamps();
    void framesCloserThanATickAreAllKept();
    void laterConfigPacketIsNotAFrame();
    void firstPacketWithTimestampFailsRecording();
    void failedOpenLeavesWorkerHarmless_data();
    void failedOpenLeavesWorkerHarmless();
    void closeWithoutConfigWritesNothing();
    void destroyingRunningRecorderFinishesFile();

private:
    // Records the first frames of the stream with these timestamps, configuration first.
    bool recordFrames(const QString& file, const QVector<int64_t>& pts);

    EncodedStream m_stream;
    std::unique_ptr<LogCapture> m_log;
};

void TestRecorder::initTestCase()
{
    m_log = std::make_unique<LogCapture>();
    EncodeOptions options;
    options.width = kFrameSize.width();
    options.height = kFrameSize.height();
    options.fps = 30;
    options.gop = 10;
    m_stream = encodePatternFrames(options, kFrameCount);
    QVERIFY2(!m_stream.config.isEmpty(), "libx264 encoder not available");
    QCOMPARE(m_stream.frames.size(), kFrameCount);
}

void TestRecorder::init()
{
    m_log->clear();
}

void TestRecorder::guessesFormatFromSuffix_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("format");
    QTest::newRow("mp4") << "/data/snap/dev_20260101.mp4" << int(Recorder::RECORDER_FORMAT_MP4);
    QTest::newRow("mkv") << "rec.mkv" << int(Recorder::RECORDER_FORMAT_MKV);
    QTest::newRow("capital MP4") << "rec.MP4" << int(Recorder::RECORDER_FORMAT_NULL);
    QTest::newRow("other suffix") << "rec.avi" << int(Recorder::RECORDER_FORMAT_NULL);
    QTest::newRow("too short") << "mp4" << int(Recorder::RECORDER_FORMAT_NULL);
    QTest::newRow("no suffix") << "recording" << int(Recorder::RECORDER_FORMAT_NULL);
    QTest::newRow("last dot wins") << "rec.mkv.mp4" << int(Recorder::RECORDER_FORMAT_MP4);
    QTest::newRow("dot only in folder") << "/tmp/x.mp4/recording" << int(Recorder::RECORDER_FORMAT_NULL);
}

void TestRecorder::guessesFormatFromSuffix()
{
    QFETCH(QString, fileName);
    QFETCH(int, format);
    QCOMPARE(int(Recorder::guessRecordFormat(fileName)), format);
    QCOMPARE(int(Recorder(fileName).format()), format);
}

void TestRecorder::recordsStreamFromAnotherThread_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("mp4") << "mp4";
    QTest::newRow("matroska") << "mkv";
}

void TestRecorder::recordsStreamFromAnotherThread()
{
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    // The recording folder below the data directory need not exist yet.
    const QString file = dir.filePath("data/snapshot/rec." + suffix);

    Recorder recorder(file);
    recorder.setFrameSize(kFrameSize);
    QVERIFY(recorder.open());
    QVERIFY(recorder.startRecorder());

    int accepted = 0;
    // A standard thread, so that sanitizer builds see the join.
    std::thread streamThread([&] { accepted = feed(recorder, m_stream, 0, kFrameCount, true); });
    streamThread.join();
    QCOMPARE(accepted, kFrameCount + 1);

    // The stop comes while packets may still be queued: all of them must reach the file.
    recorder.stopRecorder();
    QVERIFY(recorder.wait(30000));
    recorder.close();

    QCOMPARE(m_log->reported(), QStringList{"success record " + file});
    const QJsonObject stream = probeVideoStream(file);
    QCOMPARE(stream.value("codec_name").toString(), QString("h264"));
    QCOMPARE(stream.value("width").toInt(), kFrameSize.width());
    QCOMPARE(stream.value("height").toInt(), kFrameSize.height());
    QCOMPARE(stream.value("nb_read_packets").toString(), QString::number(kFrameCount));
    QCOMPARE(stream.value("nb_read_frames").toString(), QString::number(kFrameCount));
    QCOMPARE(stream.value("comment").toString(), QString("Recorded by VaDizede " VADIZEDE_VERSION));
}

bool TestRecorder::recordFrames(const QString& file, const QVector<int64_t>& pts)
{
    Recorder recorder(file);
    recorder.setFrameSize(kFrameSize);
    if (!recorder.open()) {
        return false;
    }
    recorder.startRecorder();
    bool ok = pushOnce(recorder, m_stream.config, AV_NOPTS_VALUE);
    for (int i = 0; ok && i < pts.size(); ++i) {
        const QByteArray& frame = m_stream.frames[i].data;
        ok = pushOnce(recorder, i == 0 ? m_stream.config + frame : frame, pts[i]);
    }
    recorder.stopRecorder();
    recorder.wait();
    recorder.close();
    return ok;
}

void TestRecorder::durationsFollowTimestamps()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("durations.mp4");
    // Device timestamps an hour into the device's uptime; the file still starts at zero.
    const int64_t origin = 3600LL * 1000000;
    const QVector<int64_t> pts{origin, origin + 500, origin + 40500, origin + 60500, origin + 100500};

    QVERIFY(recordFrames(file, pts));

    const QJsonObject info =
        probe(file, {"-select_streams", "v:0", "-show_entries", "packet=duration_time:format=start_time,duration"});
    const QJsonObject format = info.value("format").toObject();
    QCOMPARE(format.value("start_time").toString().toDouble(), 0.0);
    QVERIFY(qAbs(format.value("duration").toString().toDouble() - 0.2005) < 0.001);
    const QJsonArray packets = info.value("packets").toArray();
    QCOMPARE(packets.size(), pts.size());
    const QVector<double> expected{0.0005, 0.04, 0.02, 0.04, 0.1};
    for (int i = 0; i < packets.size(); ++i) {
        const double duration = packets[i].toObject().value("duration_time").toString().toDouble();
        QVERIFY2(qAbs(duration - expected[i]) < 0.0001,
                 qPrintable(QString("packet %1 lasts %2 s, expected %3 s").arg(i).arg(duration).arg(expected[i])));
    }
}

void TestRecorder::framesCloserThanATickAreAllKept()
{
    // A phone's recorder can hand over two frames in one read, stamped a microsecond apart;
    // Matroska counts in milliseconds, so both would land on one time.
    QTemporaryDir dir;
    const QString file = dir.filePath("close.mkv");
    const int64_t origin = 5000000;
    const QVector<int64_t> pts{origin, origin + 1, origin + 2, origin + 40000, origin + 40001};

    QVERIFY(recordFrames(file, pts));

    const QJsonObject info = probe(file, {"-select_streams", "v:0", "-count_packets", "-show_entries",
                                          "stream=nb_read_packets:packet=pts"});
    const QJsonArray packets = info.value("packets").toArray();
    QCOMPARE(packets.size(), pts.size());
    for (int i = 1; i < packets.size(); ++i) {
        QVERIFY2(packets[i].toObject().value("pts").toInt() > packets[i - 1].toObject().value("pts").toInt(),
                 qPrintable(QString("packet %1 does not come after the one before it").arg(i)));
    }
}

void TestRecorder::laterConfigPacketIsNotAFrame()
{
    // An encoder restart on the device sends its parameter sets again in the middle of the stream.
    QTemporaryDir dir;
    const QString file = dir.filePath("restart.mkv");
    Recorder recorder(file);
    recorder.setFrameSize(kFrameSize);
    QVERIFY(recorder.open());
    recorder.startRecorder();
    QCOMPARE(feed(recorder, m_stream, 0, 20, true), 21);
    QCOMPARE(feed(recorder, m_stream, 20, kFrameCount, true), 11);
    recorder.stopRecorder();
    recorder.wait();
    recorder.close();

    const QJsonObject stream = probeVideoStream(file);
    QCOMPARE(stream.value("nb_read_packets").toString(), QString::number(kFrameCount));
    QCOMPARE(stream.value("nb_read_frames").toString(), QString::number(kFrameCount));
}

void TestRecorder::firstPacketWithTimestampFailsRecording()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("noconfig.mp4");
    Recorder recorder(file);
    recorder.setFrameSize(kFrameSize);
    QVERIFY(recorder.open());
    recorder.startRecorder();

    QVERIFY(pushOnce(recorder, m_stream.frames[0].data, 0));
    // The first packet is held back and only judged once its successor arrives.
    QVERIFY(pushOnce(recorder, m_stream.frames[1].data, kFrameStep));
    QVERIFY(recorder.wait(10000));
    QVERIFY(!pushOnce(recorder, m_stream.frames[2].data, 2 * kFrameStep));
    recorder.stopRecorder();
    recorder.close();

    // The refused third packet is counted when the recording ends, with the reason.
    QCOMPARE(m_log->reported(),
             (QStringList{"The first packet is not a config packet", "Could not record packet",
                          "Recording " + file
                              + " ended; packets not recorded: 1 (the first packet is not a config packet)"}));
    QCOMPARE(m_log->countStartingWith(QtDebugMsg, "Recorder thread ended"), 1);
}

void TestRecorder::failedOpenLeavesWorkerHarmless_data()
{
    QTest::addColumn<QString>("relativeName");
    QTest::addColumn<QString>("openError");
    QTest::newRow("capital suffix") << "rec.MP4" << "Could not find muxer";
    QTest::newRow("folder is a file") << "blocker/rec.mp4" << "Failed to open output file: ";
}

void TestRecorder::failedOpenLeavesWorkerHarmless()
{
    QFETCH(QString, relativeName);
    QFETCH(QString, openError);
    QTemporaryDir dir;
    const QString file = dir.filePath(relativeName);
    QFile blocker(dir.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    // The device connection starts and feeds the recorder even when open failed.
    {
        Recorder recorder(file);
        recorder.setFrameSize(kFrameSize);
        QVERIFY(!recorder.open());
        QCOMPARE(m_log->countStartingWith(QtCriticalMsg, openError), 1);
        recorder.startRecorder();
        feed(recorder, m_stream, 0, 5, true);
        QVERIFY(recorder.wait(10000));
        QVERIFY(!pushOnce(recorder, m_stream.frames[5].data, 5 * kFrameStep));
        recorder.stopRecorder();
        recorder.close();
        QCOMPARE(m_log->countStartingWith(QtCriticalMsg, "Could not record packet"), 1);
    }
    // A stop while only one packet is held goes through the last-packet path instead.
    {
        Recorder recorder(file);
        QVERIFY(!recorder.open());
        recorder.startRecorder();
        QVERIFY(pushOnce(recorder, m_stream.config, AV_NOPTS_VALUE));
        recorder.stopRecorder();
        QVERIFY(recorder.wait(10000));
        recorder.close();
        QCOMPARE(m_log->countStartingWith(QtWarningMsg, "Could not record last packet"), 1);
    }
    QVERIFY(!QFile::exists(file));
    QVERIFY(m_log->countStartingWith(QtInfoMsg, "success record") == 0);
}

void TestRecorder::closeWithoutConfigWritesNothing()
{
    QTemporaryDir dir;
    Recorder recorder(dir.filePath("empty.mkv"));
    recorder.setFrameSize(kFrameSize);
    QVERIFY(recorder.open());
    recorder.startRecorder();
    recorder.stopRecorder();
    QVERIFY(recorder.wait(10000));
    recorder.close();
    QCOMPARE(m_log->reported(), QStringList());
}

void TestRecorder::destroyingRunningRecorderFinishesFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("dropped.mkv");
    auto recorder = std::make_unique<Recorder>(file);
    recorder->setFrameSize(kFrameSize);
    QVERIFY(recorder->open());
    recorder->startRecorder();
    QCOMPARE(feed(*recorder, m_stream, 0, kFrameCount, true), kFrameCount + 1);
    recorder.reset();

    QCOMPARE(m_log->reported(), QStringList{"success record " + file});
    QCOMPARE(probeVideoStream(file).value("nb_read_frames").toString(), QString::number(kFrameCount));
}

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
