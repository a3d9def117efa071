// The server stand-in's own protocol pieces: control parser, options, picture.
#include <QtTest>

extern "C" {
#include <libavutil/frame.h>
}

#include "ControlParser.h"
#include "ServerOptions.h"
#include "TestPattern.h"

using sim::ControlParser;

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void decodesEveryMessageType_data();
    void decodesEveryMessageType();
    void waitsForSplitMessages();
    void stopsAtAnUnknownType();
    void refusesImpossibleTextLengths();
    void parsesLaunchArguments();
    void acceptsValuesItCannotUse_data();
    void acceptsValuesItCannotUse();
    void scalesTheFrame_data();
    void scalesTheFrame();
    void pictureCarriesFrameNumberAndTouch();
};

void TestProtocol::decodesEveryMessageType_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("home key") << QByteArray::fromHex("0000000000030000000000000000") << "INJECT_KEYCODE"
                              << "keycode" << QVariant(3);
    QTest::newRow("key meta") << QByteArray::fromHex("00" "01" "0000001d" "00000002" "00010001")
                              << "INJECT_KEYCODE"
                              << "metastate" << QVariant(0x10001);
    QTest::newRow("touch negative x") << QByteArray::fromHex("0200ffffffffffffffff" "fffffffd0000000a04380924"
                                                             "ffff00000000")
                                      << "INJECT_TOUCH"
                                      << "x" << QVariant(-3);
    QTest::newRow("touch size") << QByteArray::fromHex("0200ffffffffffffffff" "fffffffd0000000a04380924" "800000000000")
                                << "INJECT_TOUCH"
                                << "screenHeight" << QVariant(2340);
    QTest::newRow("touch half pressure") << QByteArray::fromHex("0202000000000000000700000001000000020438092480000000"
                                                                "0002")
                                         << "INJECT_TOUCH"
                                         << "pressure" << QVariant(0.5);
    QTest::newRow("touch game pointer") << QByteArray::fromHex("020200000000000000070000000100000002043809248000"
                                                               "00000002")
                                        << "INJECT_TOUCH"
                                        << "pointerId" << QVariant(7);
    QTest::newRow("scroll") << QByteArray::fromHex("03" "0000000a00000014" "04380924" "00000000" "ffffffff")
                            << "INJECT_SCROLL"
                            << "vscroll" << QVariant(-1);
    QTest::newRow("empty text") << QByteArray::fromHex("0100000000") << "INJECT_TEXT"
                                << "text" << QVariant(QString());
    QTest::newRow("utf8 text") << QByteArray::fromHex("0100000006") + QString::fromUtf8("中文").toUtf8()
                               << "INJECT_TEXT"
                               << "text" << QVariant(QString::fromUtf8("中文"));
    QTest::newRow("back or screen on") << QByteArray::fromHex("0401") << "BACK_OR_SCREEN_ON"
                                       << "action" << QVariant(1);
    QTest::newRow("expand panel") << QByteArray::fromHex("05") << "EXPAND_NOTIFICATION_PANEL"
                                  << "size" << QVariant(1);
    QTest::newRow("reserved 6") << QByteArray::fromHex("06") << "RESERVED_6"
                                << "size" << QVariant(1);
    QTest::newRow("collapse") << QByteArray::fromHex("07") << "COLLAPSE_PANEL"
                              << "size" << QVariant(1);
    QTest::newRow("get clipboard cut") << QByteArray::fromHex("0802") << "GET_CLIPBOARD"
                                       << "copyKey" << QVariant(2);
    QTest::newRow("set clipboard") << QByteArray::fromHex("09000000000000000001" "00000003616263") << "SET_CLIPBOARD"
                                   << "text" << QVariant(QString("abc"));
    QTest::newRow("screen power") << QByteArray::fromHex("0a02") << "SET_SCREEN_POWER_MODE"
                                  << "mode" << QVariant(2);
    QTest::newRow("reserved 11") << QByteArray::fromHex("0b") << "RESERVED_11"
                                 << "size" << QVariant(1);
}

void TestProtocol::decodesEveryMessageType()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QString, field);
    QFETCH(QVariant, value);

    QJsonObject message;
    int consumed = 0;
    // One trailing byte of the next message must be left alone.
    QCOMPARE(ControlParser::parseOne(bytes + QByteArray(1, '\x05'), message, consumed), ControlParser::Complete);
    QCOMPARE(consumed, bytes.size());
    QCOMPARE(message.value("name").toString(), name);
    QCOMPARE(message.value(field).toVariant(), value);
    // Every shorter prefix is incomplete, never misread.
    for (int n = 0; n < bytes.size(); ++n) {
        QCOMPARE(ControlParser::parseOne(bytes.left(n), message, consumed), ControlParser::NeedMore);
    }
}

void TestProtocol::waitsForSplitMessages()
{
    const QByteArray stream = QByteArray::fromHex("0000000000030000000000000000" "0100000003616263" "05"
                                                  "0a00");
    ControlParser parser;
    QList<QJsonObject> all;
    for (char byte : stream) {
        all += parser.feed(QByteArray(1, byte));
    }
    QCOMPARE(all.size(), 4);
    QCOMPARE(all.at(1).value("text").toString(), QString("abc"));
    QCOMPARE(all.at(3).value("mode").toInt(), 0);
    QVERIFY(!parser.failed());
}

void TestProtocol::stopsAtAnUnknownType()
{
    ControlParser parser;
    const QList<QJsonObject> messages = parser.feed(QByteArray::fromHex("05" "0c" "05"));
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(1).value("type").toInt(), 12);
    QVERIFY(messages.at(1).contains("error"));
    QVERIFY(parser.failed());
    // Framing is lost: nothing after it is read as messages.
    QVERIFY(parser.feed(QByteArray::fromHex("05")).isEmpty());
}

void TestProtocol::refusesImpossibleTextLengths()
{
    QJsonObject message;
    int consumed = 0;
    QCOMPARE(ControlParser::parseOne(QByteArray::fromHex("01ffffffff"), message, consumed), ControlParser::Malformed);
    QCOMPARE(ControlParser::parseOne(QByteArray::fromHex("090000000000000000" "00" "ffffffff"), message, consumed),
             ControlParser::Malformed);
}

void TestProtocol::parsesLaunchArguments()
{
    sim::ServerOptions options;
    QString error;
    const QStringList full{"1.21",         "log_level=info",    "max_size=720",       "bit_rate=8000000",
                           "max_fps=30",   "lock_video_orientation=-1", "tunnel_forward=true", "crop=100:200:10:20",
                           "control=true", "display_id=0",      "show_touches=false", "stay_awake=true",
                           "codec_options=profile=1", "encoder_name=libx264"};
    QVERIFY2(sim::ServerOptions::parse(full, options, &error), qPrintable(error));
    QCOMPARE(options.version, QString("1.21"));
    QCOMPARE(options.maxSize, 720);
    QVERIFY(options.tunnelForward);
    QCOMPARE(options.crop, QRect(10, 20, 100, 200));
    QVERIFY(options.stayAwake);
    QCOMPARE(options.codecOptions, QString("profile=1"));

    QVERIFY(options.unusable.isEmpty());

    // Only text that is not a value of the argument's type refuses the launch.
    for (const char* bad : {"max_size=big", "tunnel_forward=yes", "noequals", "color=red", "max_size=-1",
                            "max_size=65536", "bit_rate=4294967296", "max_fps=-1", "bit_rate=", "display_id=x"}) {
        sim::ServerOptions o;
        QVERIFY2(!sim::ServerOptions::parse({"1.21", bad}, o, &error), bad);
    }
    QVERIFY(!sim::ServerOptions::parse({}, options, &error));
}

void TestProtocol::acceptsValuesItCannotUse_data()
{
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("used");
    QTest::newRow("free-text log level") << "log_level=warning" << "logLevel" << QVariant("info");
    QTest::newRow("frame rate above the screen's") << "max_fps=2000" << "maxFps" << QVariant(120);
    QTest::newRow("widest frame rate") << "max_fps=4294967295" << "maxFps" << QVariant(120);
    QTest::newRow("bit rate above 2^31-1") << "bit_rate=4000000000" << "bitRate" << QVariant(200000000u);
    QTest::newRow("zero bit rate") << "bit_rate=0" << "bitRate" << QVariant(8000000u);
    QTest::newRow("unknown orientation") << "lock_video_orientation=7" << "lockVideoOrientation" << QVariant(-1);
    QTest::newRow("other display") << "display_id=3" << "displayId" << QVariant(0);
    QTest::newRow("malformed crop") << "crop=1:2:3" << "crop" << QVariant(QRect());
    QTest::newRow("empty crop") << "crop=0:0:0:0" << "crop" << QVariant(QRect());
}

void TestProtocol::acceptsValuesItCannotUse()
{
    QFETCH(QString, arg);
    QFETCH(QString, field);
    QFETCH(QVariant, used);
    sim::ServerOptions o;
    QString error;
    QVERIFY2(sim::ServerOptions::parse({"1.21", arg}, o, &error), qPrintable(error));
    const QHash<QString, QVariant> fields{{"logLevel", o.logLevel},   {"maxFps", o.maxFps},
                                          {"bitRate", o.bitRate},     {"displayId", o.displayId},
                                          {"crop", o.crop},           {"lockVideoOrientation", o.lockVideoOrientation}};
    QCOMPARE(fields.value(field), used);
    QCOMPARE(o.unusable.size(), 1);
    QVERIFY2(o.unusable.first().startsWith(arg + " "), qPrintable(o.unusable.first()));
}

void TestProtocol::scalesTheFrame_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("no limit") << QSize(1080, 2340) << QStringList{"max_size=0"} << 0 << QSize(1080, 2340);
    QTest::newRow("max size") << QSize(1080, 2340) << QStringList{"max_size=720"} << 0 << QSize(332, 720);
    QTest::newRow("device cap wins") << QSize(1080, 2340) << QStringList{"max_size=720"} << 320 << QSize(148, 320);
    QTest::newRow("max size wins") << QSize(1080, 2340) << QStringList{"max_size=200"} << 320 << QSize(92, 200);
    QTest::newRow("landscape") << QSize(2400, 1080) << QStringList{"max_size=1200"} << 0 << QSize(1200, 540);
    QTest::newRow("already small") << QSize(480, 800) << QStringList{"max_size=1024"} << 0 << QSize(480, 800);
    QTest::newRow("odd sides") << QSize(481, 801) << QStringList{} << 0 << QSize(480, 800);
    QTest::newRow("locked sideways") << QSize(1080, 2340) << QStringList{"lock_video_orientation=1", "max_size=720"}
                                     << 0 << QSize(720, 332);
    QTest::newRow("crop") << QSize(1080, 2340) << QStringList{"crop=1080:1080:0:600", "max_size=540"} << 0
                          << QSize(540, 540);
}

void TestProtocol::scalesTheFrame()
{
    QFETCH(QSize, screen);
    QFETCH(QStringList, args);
    QFETCH(int, limit);
    QFETCH(QSize, expected);
    sim::ServerOptions options;
    QString error;
    QVERIFY(sim::ServerOptions::parse(QStringList{"1.21"} + args, options, &error));
    QCOMPARE(sim::computeFrameSize(screen, options, limit), expected);
}

void TestProtocol::pictureCarriesFrameNumberAndTouch()
{
    AVFrame* frame = av_frame_alloc();
    frame->format = 0; // YUV 4:2:0 planar
    frame->width = 148;
    frame->height = 320;
    QCOMPARE(av_frame_get_buffer(frame, 0), 0);
    sim::TestPattern pattern;
    const QSize size(148, 320);
    for (quint32 n : {0u, 1u, 0xA5A5u, 0xFFFFu}) {
        pattern.draw(frame, n);
        QCOMPARE(sim::TestPattern::readCode(frame->data[0], frame->linesize[0], size), n);
    }
    const auto luma = [frame](int x, int y) { return frame->data[0][y * frame->linesize[0] + x]; };
    pattern.setTouch(QPoint(70, 150), true);
    pattern.draw(frame, 3);
    QCOMPARE(int(luma(70, 150)), sim::TestPattern::kWhite);
    pattern.setTouch(QPoint(70, 150), false);
    pattern.draw(frame, 4);
    // Released: the centre is hollow, the rim stays.
    QCOMPARE(int(luma(70, 150)), sim::TestPattern::kBlack);
    QCOMPARE(int(luma(70 - sim::TestPattern::markerSize(size) / 2, 150)), sim::TestPattern::kWhite);
    av_frame_free(&frame);
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
