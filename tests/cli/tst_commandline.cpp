#include <QTemporaryDir>
#include <QtTest>

#include "CommandLine.h"
#include "ConnectionParams.h"
#include "DeviceChoice.h"
#include "LaunchOptions.h"
#include "device/DeviceSerial.h"

// The command line as the program reads it: what each option sets, and the one line a bad value gets.
class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void acceptedValues_data();
    void acceptedValues();
    void refusedValuesNameTheOptionAndWhatItAccepts_data();
    void refusedValuesNameTheOptionAndWhatItAccepts();
    void actions();
    void recordFileIsAbsoluteWithItsContainer();
    void keymapByFileOrByName();
    void noOptionsLeaveTheConnectionAsConfigured();
    void optionsOverrideTheConnection();
    void viewWindowAndWirelessOptions();
    void severalSerials();
    void deviceChoice();

private:
    static CommandLine::Action parse(CommandLine& commandLine, const QStringList& args)
    {
        return commandLine.parse(QStringList{"vadizede"} + args);
    }
};

void TestCommandLine::acceptedValues_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("field");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("max-size 0") << QStringList{"--max-size", "0"} << "maxSize" << qint64(0);
    QTest::newRow("max-size 65535") << QStringList{"--max-size=65535"} << "maxSize" << qint64(65535);
    QTest::newRow("bit-rate plain") << QStringList{"--bit-rate", "2000000"} << "bitRate" << qint64(2000000);
    QTest::newRow("bit-rate M") << QStringList{"--bit-rate", "8M"} << "bitRate" << qint64(8000000);
    QTest::newRow("bit-rate m fraction") << QStringList{"--bit-rate", "1.5m"} << "bitRate" << qint64(1500000);
    QTest::newRow("bit-rate K") << QStringList{"--bit-rate", "500K"} << "bitRate" << qint64(500000);
    QTest::newRow("max-fps 0") << QStringList{"--max-fps", "0"} << "maxFps" << qint64(0);
    QTest::newRow("max-fps 60") << QStringList{"--max-fps", "60"} << "maxFps" << qint64(60);
    QTest::newRow("orientation -1") << QStringList{"--lock-orientation", "-1"} << "lockOrientation" << qint64(-1);
    QTest::newRow("orientation 3") << QStringList{"--lock-orientation", "3"} << "lockOrientation" << qint64(3);
    QTest::newRow("port") << QStringList{"--port", "27200"} << "port" << qint64(27200);
    QTest::newRow("display-id") << QStringList{"--display-id", "2"} << "displayId" << qint64(2);
    QTest::newRow("window-x negative") << QStringList{"--window-x", "-1920", "--window-y", "0"} << "windowX" << qint64(-1920);
    QTest::newRow("window-y") << QStringList{"--window-x", "0", "--window-y", "40"} << "windowY" << qint64(40);
    QTest::newRow("window-width") << QStringList{"--window-width", "640"} << "windowWidth" << qint64(640);
    QTest::newRow("window-height") << QStringList{"--window-height=1"} << "windowHeight" << qint64(1);
    QTest::newRow("time-limit") << QStringList{"--record", "r.mp4", "--time-limit", "90"} << "timeLimit" << qint64(90);
}

void TestCommandLine::acceptedValues()
{
    QFETCH(QStringList, args);
    QFETCH(QString, field);
    QFETCH(qint64, expected);
    CommandLine commandLine;
    QCOMPARE(parse(commandLine, args), CommandLine::Run);
    const LaunchOptions& o = commandLine.options();
    const QHash<QString, std::optional<qint64>> fields = {
        {"maxSize", o.maxSize ? std::optional<qint64>(*o.maxSize) : std::nullopt},
        {"bitRate", o.bitRate ? std::optional<qint64>(*o.bitRate) : std::nullopt},
        {"maxFps", o.maxFps ? std::optional<qint64>(*o.maxFps) : std::nullopt},
        {"lockOrientation", o.lockOrientation ? std::optional<qint64>(*o.lockOrientation) : std::nullopt},
        {"port", o.port ? std::optional<qint64>(*o.port) : std::nullopt},
        {"displayId", o.displayId ? std::optional<qint64>(*o.displayId) : std::nullopt},
        {"windowX", o.windowX ? std::optional<qint64>(*o.windowX) : std::nullopt},
        {"windowY", o.windowY ? std::optional<qint64>(*o.windowY) : std::nullopt},
        {"windowWidth", o.windowWidth ? std::optional<qint64>(*o.windowWidth) : std::nullopt},
        {"windowHeight", o.windowHeight ? std::optional<qint64>(*o.windowHeight) : std::nullopt},
        {"timeLimit", o.timeLimit ? std::optional<qint64>(*o.timeLimit) : std::nullopt},
    };
    QVERIFY2(fields.value(field).has_value(), qPrintable(field));
    QCOMPARE(*fields.value(field), expected);
}

void TestCommandLine::refusedValuesNameTheOptionAndWhatItAccepts_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unknown option") << QStringList{"--colour"} << "unknown option --colour";
    QTest::newRow("positional") << QStringList{"phone"} << "unexpected argument \"phone\"";
    QTest::newRow("missing value") << QStringList{"--max-fps"} << "--max-fps needs a value: a whole number from 0 to 1000";
    QTest::newRow("not a number") << QStringList{"--max-size", "big"} << "--max-size: expected a whole number from 0 to 65535, got \"big\"";
    QTest::newRow("max-size too big") << QStringList{"--max-size", "65536"} << "--max-size: expected";
    QTest::newRow("negative size") << QStringList{"--max-size", "-8"} << "--max-size: expected";
    QTest::newRow("bit-rate zero") << QStringList{"--bit-rate", "0"} << "--bit-rate: expected a number of bits per second";
    QTest::newRow("bit-rate G") << QStringList{"--bit-rate", "1G"} << "--bit-rate: expected";
    QTest::newRow("bit-rate too fine") << QStringList{"--bit-rate", "1.5"} << "--bit-rate: expected";
    QTest::newRow("bit-rate over int") << QStringList{"--bit-rate", "3000M"} << "--bit-rate: expected";
    QTest::newRow("max-fps over") << QStringList{"--max-fps", "1001"} << "--max-fps: expected";
    QTest::newRow("orientation -2") << QStringList{"--lock-orientation", "-2"} << "--lock-orientation: expected -1 or";
    QTest::newRow("orientation 4") << QStringList{"--lock-orientation", "4"} << "--lock-orientation: expected";
    QTest::newRow("port 0") << QStringList{"--port", "0"} << "--port: expected a port number from 1 to 65535";
    QTest::newRow("port 65536") << QStringList{"--port", "65536"} << "--port: expected";
    QTest::newRow("port hex") << QStringList{"--port", "0x50"} << "--port: expected";
    QTest::newRow("empty serial") << QStringList{"--serial", " "} << "--serial: expected";
    QTest::newRow("record avi") << QStringList{"--record", "a.avi"} << "--record: expected a file name ending in .mp4 or .mkv";
    QTest::newRow("record no suffix") << QStringList{"--record", "clip"} << "--record: expected";
    QTest::newRow("record only suffix") << QStringList{"--record", ".mp4"} << "--record: expected";
    QTest::newRow("no-display alone") << QStringList{"--no-display"} << "--no-display needs --record";
    QTest::newRow("keymap missing") << QStringList{"--keymap", "/nonexistent/k.json"} << "--keymap: expected a readable keymap file";
    QTest::newRow("keymap path as name") << QStringList{"--keymap", "a/b"} << "--keymap: expected";
    QTest::newRow("crop three parts") << QStringList{"--crop", "100:100:0"} << "--crop: expected W:H:X:Y with width and height from 1";
    QTest::newRow("crop zero width") << QStringList{"--crop", "0:100:0:0"} << "--crop: expected";
    QTest::newRow("crop negative offset") << QStringList{"--crop", "100:100:-1:0"} << "--crop: expected";
    QTest::newRow("crop over 65535") << QStringList{"--crop", "70000:100:0:0"} << "--crop: expected";
    QTest::newRow("crop missing value") << QStringList{"--crop"} << "--crop needs a value: W:H:X:Y";
    QTest::newRow("display-id negative") << QStringList{"--display-id", "-1"} << "--display-id: expected a display number";
    QTest::newRow("window-x alone") << QStringList{"--window-x", "10"} << "--window-x and --window-y go together";
    QTest::newRow("window-y alone") << QStringList{"--window-y", "10"} << "--window-x and --window-y go together";
    QTest::newRow("window-x too far") << QStringList{"--window-x", "70000", "--window-y", "0"} << "--window-x: expected";
    QTest::newRow("window-width zero") << QStringList{"--window-width", "0"} << "--window-width: expected a whole number of pixels";
    QTest::newRow("time-limit zero") << QStringList{"--record", "r.mp4", "--time-limit", "0"} << "--time-limit: expected a whole number of seconds";
    QTest::newRow("time-limit too long") << QStringList{"--record", "r.mp4", "--time-limit", "2147484"} << "--time-limit: expected";
    QTest::newRow("time-limit without record") << QStringList{"--time-limit", "5"} << "--time-limit needs --record FILE";
    QTest::newRow("tcpip host name") << QStringList{"--tcpip=phone.local"} << "--tcpip: expected an IPv4 address with an optional :PORT";
    QTest::newRow("tcpip port 0") << QStringList{"--tcpip=192.168.1.5:0"} << "--tcpip: expected";
    QTest::newRow("tcpip empty") << QStringList{"--tcpip="} << "--tcpip: expected";
    QTest::newRow("tcpip address with serial") << QStringList{"--tcpip=192.168.1.5", "-s", "ABC"} << "--serial cannot go with --tcpip=ADDRESS";
    QTest::newRow("view only turning the screen off") << QStringList{"--no-control", "--turn-screen-off"} << "--turn-screen-off cannot go with --no-control";
    QTest::newRow("push-target relative") << QStringList{"--push-target", "Download"} << "--push-target: expected an absolute folder on the device";
    QTest::newRow("push-target empty") << QStringList{"--push-target", ""} << "--push-target: expected";
    QTest::newRow("push-target control character") << QStringList{"--push-target", "/sdcard/\tx"} << "--push-target: expected";
    QTest::newRow("two devices without a window") << QStringList{"--no-display", "--record", "r.mp4", "-s", "A", "-s", "B"} << "--no-display records one device";
    QTest::newRow("empty second serial") << QStringList{"-s", "A", "--serial", ""} << "--serial: expected";
    QTest::newRow("view only powering off") << QStringList{"--power-off-on-close", "--no-control"} << "--power-off-on-close cannot go with --no-control";
}

void TestCommandLine::refusedValuesNameTheOptionAndWhatItAccepts()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    CommandLine commandLine;
    QCOMPARE(parse(commandLine, args), CommandLine::Fail);
    const QString text = commandLine.errorText();
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY2(!text.contains('\n'), qPrintable(text));
}

void TestCommandLine::actions()
{
    CommandLine commandLine;
    QCOMPARE(parse(commandLine, {}), CommandLine::Run);
    QCOMPARE(parse(commandLine, {"--help"}), CommandLine::ShowHelp);
    QCOMPARE(parse(commandLine, {"-h"}), CommandLine::ShowHelp);
    QCOMPARE(parse(commandLine, {"--version"}), CommandLine::ShowVersion);
    QCOMPARE(parse(commandLine, {"--list-devices"}), CommandLine::ListDevices);
    // A refused value wins over a later request for the device list.
    QCOMPARE(parse(commandLine, {"--port", "x", "--list-devices"}), CommandLine::Fail);
    const QString help = commandLine.helpText();
    for (const char* option : {"--serial", "--record", "--no-display", "--keymap", "--max-size", "--bit-rate", "--max-fps",
                               "--lock-orientation", "--forward", "--port", "--stay-awake", "--turn-screen-off",
                               "--show-touches", "--fullscreen", "--window-title", "--list-devices", "--version", "--help",
                               "--crop", "--display-id", "--no-control", "--always-on-top", "--window-borderless",
                               "--window-x", "--window-y", "--window-width", "--window-height", "--power-off-on-close",
                               "--tcpip", "--time-limit", "--connection", "--push-target"}) {
        QVERIFY2(help.contains(option), option);
    }
}

void TestCommandLine::recordFileIsAbsoluteWithItsContainer()
{
    CommandLine commandLine;
    QCOMPARE(parse(commandLine, {"--record", "sub/Clip.MKV", "--no-display"}), CommandLine::Run);
    QCOMPARE(commandLine.options().recordFile, QDir::current().absoluteFilePath("sub/Clip.MKV"));
    QCOMPARE(commandLine.options().recordFormat, QString("mkv"));
    QVERIFY(commandLine.options().noDisplay);
    // Nothing is created while the arguments are read.
    QVERIFY(!QFileInfo::exists("sub"));
}

void TestCommandLine::keymapByFileOrByName()
{
    QTemporaryDir dir;
    QFile good(dir.filePath("game.json"));
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write(R"({"switchKey": "Key_QuoteLeft", "keyMapNodes": []})");
    good.close();
    QFile broken(dir.filePath("broken.json"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("{ not json");
    broken.close();

    CommandLine commandLine;
    QCOMPARE(parse(commandLine, {"--keymap", good.fileName()}), CommandLine::Run);
    QVERIFY(commandLine.options().keymapText.contains("switchKey"));
    QCOMPARE(parse(commandLine, {"--keymap", broken.fileName()}), CommandLine::Fail);
    QVERIFY2(commandLine.errorText().contains("--keymap: \"" + broken.fileName() + "\" is not a usable keymap"),
             qPrintable(commandLine.errorText()));
    // Valid JSON is not enough: a keymap without its switch key cannot be used.
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write(R"({"keyMapNodes": []})");
    broken.close();
    QCOMPARE(parse(commandLine, {"--keymap", broken.fileName()}), CommandLine::Fail);
    QVERIFY2(commandLine.errorText().contains("switchKey"), qPrintable(commandLine.errorText()));

    // A bare name is looked up in the keymap folder, with or without its suffix.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir(dir.path()).mkdir("keymap"));
    QVERIFY(QFile::copy(good.fileName(), dir.filePath("keymap/shooter.json")));
    QDir::setCurrent(dir.path());
    const CommandLine::Action byName = parse(commandLine, {"--keymap", "shooter"});
    const QString file = commandLine.options().keymapFile;
    const CommandLine::Action byFullName = parse(commandLine, {"--keymap", "shooter.json"});
    QDir::setCurrent(previous);
    QCOMPARE(byName, CommandLine::Run);
    QCOMPARE(byFullName, CommandLine::Run);
    QCOMPARE(QFileInfo(file).fileName(), QString("shooter.json"));
}

void TestCommandLine::noOptionsLeaveTheConnectionAsConfigured()
{
    const dvk::DeviceParams params = connectionParams("SER", "/srv/file", LaunchOptions());
    QCOMPARE(params.serial, QString("SER"));
    QCOMPARE(params.serverLocalPath, QString("/srv/file"));
    QCOMPARE(params.localPort, quint16(27183));
    QCOMPARE(params.maxSize, quint16(0));
    QCOMPARE(params.bitRate, quint32(8000000));
    QVERIFY(params.useReverse);
    QCOMPARE(params.lockVideoOrientation, -1);
    QVERIFY(!params.stayAwake);
    QVERIFY(!params.recordFile);
    QCOMPARE(params.recordPath, QString("./snapshot/"));
    QCOMPARE(params.recordFileFormat, QString("mp4"));
    QVERIFY(params.recordFileName.isEmpty());
    QVERIFY(!params.closeScreen);
    QVERIFY(params.display);
    QVERIFY(params.gameScript.isEmpty());
}

void TestCommandLine::optionsOverrideTheConnection()
{
    CommandLine commandLine;
    QCOMPARE(parse(commandLine, {"--max-size", "720", "--bit-rate", "2M", "--max-fps", "15", "--lock-orientation", "1",
                                 "--forward", "--port", "28000", "--stay-awake", "--turn-screen-off", "--record", "r.mkv",
                                 "--no-display"}),
             CommandLine::Run);
    const dvk::DeviceParams params = connectionParams("SER", "", commandLine.options());
    QCOMPARE(params.maxSize, quint16(720));
    QCOMPARE(params.bitRate, quint32(2000000));
    QCOMPARE(params.maxFps, quint32(15));
    QCOMPARE(params.lockVideoOrientation, 1);
    QVERIFY(!params.useReverse);
    QCOMPARE(params.localPort, quint16(28000));
    QVERIFY(params.stayAwake);
    QVERIFY(params.closeScreen);
    QVERIFY(params.recordFile);
    QCOMPARE(params.recordFileName, QDir::current().absoluteFilePath("r.mkv"));
    QCOMPARE(params.recordFileFormat, QString("mkv"));
    QVERIFY(!params.display);
    QCOMPARE(commandLine.options().titleOr("Configured"), QString("Configured"));
    QCOMPARE(parse(commandLine, {"--window-title", "Phone A"}), CommandLine::Run);
    QCOMPARE(commandLine.options().titleOr("Configured"), QString("Phone A"));
}

void TestCommandLine::viewWindowAndWirelessOptions()
{
    CommandLine commandLine;
    QCOMPARE(parse(commandLine, {"--push-target", "/sdcard/Documents"}), CommandLine::Run);
    // The folder gets its slash so that the file's name can follow.
    QCOMPARE(commandLine.options().pushTarget, QString("/sdcard/Documents/"));
    QCOMPARE(parse(commandLine, {}), CommandLine::Run);
    QVERIFY(commandLine.options().pushTarget.isEmpty());
    QCOMPARE(parse(commandLine, {"--crop", "0720:1080:0:600", "--display-id", "1", "--no-control", "--always-on-top",
                                 "--window-borderless", "--tcpip", "--record", "r.mp4", "--time-limit", "30"}),
             CommandLine::Run);
    const LaunchOptions& o = commandLine.options();
    // Given to the server as the device reads it, without the leading zero.
    QCOMPARE(o.crop, QString("720:1080:0:600"));
    QVERIFY(o.noControl && o.alwaysOnTop && o.windowBorderless && o.tcpip && !o.powerOffOnClose);
    QVERIFY(o.tcpipAddress.isEmpty());
    const dvk::DeviceParams params = connectionParams("SER", "", o);
    QCOMPARE(params.crop, QString("720:1080:0:600"));
    QCOMPARE(params.displayId, quint32(1));
    QVERIFY(!params.control);
    QCOMPARE(params.recordTimeLimit, quint32(30));

    // An address given takes the wireless port when it names none.
    QCOMPARE(parse(commandLine, {"--tcpip=192.168.1.5"}), CommandLine::Run);
    QCOMPARE(commandLine.options().tcpipAddress, QString("192.168.1.5:5555"));
    QCOMPARE(parse(commandLine, {"-tcpip=10.0.0.2:5556", "--power-off-on-close"}), CommandLine::Run);
    QCOMPARE(commandLine.options().tcpipAddress, QString("10.0.0.2:5556"));
    QVERIFY(commandLine.options().powerOffOnClose);
    // The value of another option is that option's, whatever it looks like.
    QCOMPARE(parse(commandLine, {"--window-title", "--tcpip=1.2.3.4"}), CommandLine::Run);
    QCOMPARE(commandLine.options().windowTitle.value_or(QString()), QString("--tcpip=1.2.3.4"));
    QVERIFY(!commandLine.options().tcpip);
    // Without options nothing changes what the server is asked for.
    const dvk::DeviceParams plain = connectionParams("SER", "", LaunchOptions());
    QVERIFY(plain.crop.isEmpty() && plain.control && plain.displayId == 0 && plain.recordTimeLimit == 0);
}

// The first serial is the main window's; the others, each once, get windows of their own.
void TestCommandLine::severalSerials()
{
    CommandLine commandLine;
    QCOMPARE(parse(commandLine, {"-s", "A", "--serial", "B", "-s", " C ", "-s", "B", "-s", "A", "--group-control"}),
             CommandLine::Run);
    QCOMPARE(commandLine.options().serial, QString("A"));
    QCOMPARE(commandLine.options().otherSerials, QStringList({"B", "C"}));
    QVERIFY(commandLine.options().groupControl);
    QCOMPARE(parse(commandLine, {"-s", "A"}), CommandLine::Run);
    QVERIFY(commandLine.options().otherSerials.isEmpty());
    QVERIFY(!commandLine.options().groupControl);
    // One device recorded without a window is still allowed.
    QCOMPARE(parse(commandLine, {"--no-display", "--record", "r.mp4", "-s", "A", "-s", "A"}), CommandLine::Run);

    // The main window's place, size and full screen stay its own.
    QCOMPARE(parse(commandLine, {"-s", "A", "-s", "B", "--record", "r.mp4", "--fullscreen", "--window-x", "5",
                                 "--window-y", "6", "--always-on-top", "--window-title", "T"}),
             CommandLine::Run);
    const LaunchOptions other = commandLine.options().forOtherWindow();
    QVERIFY(!other.fullscreen && !other.windowX && !other.windowY);
    QVERIFY(other.alwaysOnTop);
    QCOMPARE(other.windowTitle.value_or(QString()), QString("T"));
}

void TestCommandLine::deviceChoice()
{
    const QStringList usbAndWireless = {"192.0.2.7:5555", "USB1", "USB2"};
    QCOMPARE(DeviceChoice::choose(usbAndWireless, QString()), QString("USB1"));
    QCOMPARE(DeviceChoice::choose(usbAndWireless, QString(), true), QString("192.0.2.7:5555"));
    QCOMPARE(DeviceChoice::choose(usbAndWireless, "USB2"), QString("USB2"));
    // The wanted device is waited for, never replaced by another one.
    QCOMPARE(DeviceChoice::choose(usbAndWireless, "USB3"), QString());
    QCOMPARE(DeviceChoice::choose({"10.0.0.1:5555", "10.0.0.2:5555"}, QString()), QString());
    QCOMPARE(DeviceChoice::choose({"10.0.0.1:5555"}, QString()), QString("10.0.0.1:5555"));
    QVERIFY(!dvk::DeviceSerial::isWireless("256.0.0.1:5555"));
    QVERIFY(!dvk::DeviceSerial::isWireless("10.0.0.1:05555"));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
