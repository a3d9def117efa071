#include "CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "AppFiles.h"
#include "Config.h"
#include "ConnectionDefaults.h"
#include "controller/KeyMap.h"
#include "device/DeviceSerial.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

struct ValueOption
{
    QStringList names;
    const char* valueName;
    const char* description;
    // What the option accepts, shown with every refused value.
    const char* accepts;
    // The default that the description names as %1; -1: it names none.
    qint64 shownDefault = -1;
};

const QList<ValueOption>& valueOptions()
{
    static const QList<ValueOption> s_options = {
        {{"s", "serial"}, "SERIAL", QT_TRANSLATE_NOOP("CommandLine", "Connect only this device; wait for it while it is not attached. Given several times, each device is mirrored in a window of its own."),
         QT_TRANSLATE_NOOP("CommandLine", "a device serial as adb devices lists it")},
        {{"record"}, "FILE", QT_TRANSLATE_NOOP("CommandLine", "Record the stream to FILE (.mp4 or .mkv); a missing folder is created."),
         QT_TRANSLATE_NOOP("CommandLine", "a file name ending in .mp4 or .mkv")},
        {{"keymap"}, "FILE|NAME", QT_TRANSLATE_NOOP("CommandLine", "Start with this keymap: a file, or the name of one in the keymap folder."),
         QT_TRANSLATE_NOOP("CommandLine", "a readable keymap file, or the name of one in the keymap folder")},
        {{"max-size"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Limit the longer side of the picture to N pixels (0: no limit)."),
         QT_TRANSLATE_NOOP("CommandLine", "a whole number from 0 to 65535")},
        {{"bit-rate"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Video bit rate in bits per second; K and M suffixes accepted (8M)."),
         QT_TRANSLATE_NOOP("CommandLine", "a number of bits per second from 1 to 2147483647, with an optional K or M suffix")},
        {{"max-fps"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Limit the frame rate to N frames a second (0: no limit)."),
         QT_TRANSLATE_NOOP("CommandLine", "a whole number from 0 to 1000")},
        {{"lock-orientation"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Lock the picture's orientation: 0 to 3 quarter turns, -1 unlocked."),
         QT_TRANSLATE_NOOP("CommandLine", "-1 or a whole number from 0 to 3")},
        {{"port"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Local TCP port of the connection (default %1)."),
         QT_TRANSLATE_NOOP("CommandLine", "a port number from 1 to 65535"), dvk::defaults::kLocalPort},
        {{"connection"}, "auto|server|shell", QT_TRANSLATE_NOOP("CommandLine", "How to reach the device: our server, the phone's own screen recorder and input command, or auto (the server, else the phone's tools)."),
         QT_TRANSLATE_NOOP("CommandLine", "auto, server or shell")},
        {{"window-title"}, "TEXT", QT_TRANSLATE_NOOP("CommandLine", "Show TEXT in the window title in place of the program's name."),
         QT_TRANSLATE_NOOP("CommandLine", "a text")},
        {{"crop"}, "W:H:X:Y", QT_TRANSLATE_NOOP("CommandLine", "Mirror only this part of the device's screen: W x H pixels from X, Y."),
         QT_TRANSLATE_NOOP("CommandLine", "W:H:X:Y with width and height from 1 to 65535 and X and Y from 0 to 65535 (1080:1080:0:600)")},
        {{"display-id"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Mirror the device's display N (default 0, its own screen)."),
         QT_TRANSLATE_NOOP("CommandLine", "a display number from 0 to 2147483647")},
        {{"window-x"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Left edge of the window on the desktop; needs --window-y."),
         QT_TRANSLATE_NOOP("CommandLine", "a whole number from -65535 to 65535")},
        {{"window-y"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Top edge of the window on the desktop; needs --window-x."),
         QT_TRANSLATE_NOOP("CommandLine", "a whole number from -65535 to 65535")},
        {{"window-width"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Width of the window in pixels."),
         QT_TRANSLATE_NOOP("CommandLine", "a whole number of pixels from 1 to 65535")},
        {{"window-height"}, "N", QT_TRANSLATE_NOOP("CommandLine", "Height of the window in pixels."),
         QT_TRANSLATE_NOOP("CommandLine", "a whole number of pixels from 1 to 65535")},
        {{"time-limit"}, "SECONDS", QT_TRANSLATE_NOOP("CommandLine", "End the recording after SECONDS (with --no-display, the program too); needs --record."),
         QT_TRANSLATE_NOOP("CommandLine", "a whole number of seconds from 1 to 2147483")},
        {{"push-target"}, "DIR", QT_TRANSLATE_NOOP("CommandLine", "Device folder for dropped files other than APKs (default /sdcard/Download/)."),
         QT_TRANSLATE_NOOP("CommandLine", "an absolute folder on the device (/sdcard/Documents/)")},
    };
    return s_options;
}

struct FlagOption
{
    QStringList names;
    const char* description;
    // For a flag that may carry a value after "=": what that value may be.
    const char* accepts = nullptr;
};

const QList<FlagOption>& flagOptions()
{
    static const QList<FlagOption> s_options = {
        {{"no-display"}, QT_TRANSLATE_NOOP("CommandLine", "No window and no decoding; needs --record. Ends when the device disconnects or on Ctrl+C.")},
        {{"forward"}, QT_TRANSLATE_NOOP("CommandLine", "Use a forward tunnel only (the computer connects to the device).")},
        {{"stay-awake"}, QT_TRANSLATE_NOOP("CommandLine", "Keep the device awake while it is connected.")},
        {{"turn-screen-off"}, QT_TRANSLATE_NOOP("CommandLine", "Turn the device's screen off once connected; mirroring goes on.")},
        {{"show-touches"}, QT_TRANSLATE_NOOP("CommandLine", "Show touches on the device while connected; restored afterwards.")},
        {{"fullscreen"}, QT_TRANSLATE_NOOP("CommandLine", "Start in full screen.")},
        {{"no-control"}, QT_TRANSLATE_NOOP("CommandLine", "View only: nothing typed or clicked reaches the device.")},
        {{"always-on-top"}, QT_TRANSLATE_NOOP("CommandLine", "Keep the window above other windows.")},
        {{"window-borderless"}, QT_TRANSLATE_NOOP("CommandLine", "Show the window without frame and title bar.")},
        {{"power-off-on-close"}, QT_TRANSLATE_NOOP("CommandLine", "Turn the device's screen off when its window closes.")},
        {{"tcpip"}, QT_TRANSLATE_NOOP("CommandLine", "Mirror over Wi-Fi: switch the attached USB device to wireless first, or with --tcpip=IP[:PORT] connect to that address."),
         QT_TRANSLATE_NOOP("CommandLine", "an IPv4 address with an optional :PORT from 1 to 65535 (192.168.1.5:5555)")},
        {{"group-control"}, QT_TRANSLATE_NOOP("CommandLine", "Start with group control on: what is done on one mirrored device is repeated on every other.")},
        {{"list-devices"}, QT_TRANSLATE_NOOP("CommandLine", "Print the serial and state of every device adb lists, then exit.")},
        {{"v", "version"}, QT_TRANSLATE_NOOP("CommandLine", "Print the version, then exit.")},
        {{"h", "help"}, QT_TRANSLATE_NOOP("CommandLine", "Print this help, then exit.")},
    };
    return s_options;
}

const ValueOption* findValueOption(const QString& name)
{
    for (const ValueOption& option : valueOptions()) {
        if (option.names.contains(name)) {
            return &option;
        }
    }
    return nullptr;
}

// What an option's value may be; null for a flag without a value.
const char* acceptedValues(const QString& name)
{
    if (const ValueOption* option = findValueOption(name)) {
        return option->accepts;
    }
    for (const FlagOption& option : flagOptions()) {
        if (option.names.contains(name)) {
            return option.accepts;
        }
    }
    return nullptr;
}

// "W:H:X:Y" with the sizes above 0, as the device's server takes it; empty when malformed.
QString cropRectangle(const QString& text)
{
    static const QRegularExpression s_pattern(QStringLiteral("^([0-9]{1,5}):([0-9]{1,5}):([0-9]{1,5}):([0-9]{1,5})$"));
    const QRegularExpressionMatch match = s_pattern.match(text);
    if (!match.hasMatch()) {
        return QString();
    }
    QList<int> values;
    for (int i = 1; i <= 4; ++i) {
        values << match.captured(i).toInt();
    }
    if (values.at(0) < 1 || values.at(1) < 1 || *std::max_element(values.begin(), values.end()) > 65535) {
        return QString();
    }
    return QStringLiteral("%1:%2:%3:%4").arg(values.at(0)).arg(values.at(1)).arg(values.at(2)).arg(values.at(3));
}

// "IP" or "IP:PORT" as adb connect takes it, always with its port; empty when malformed.
QString wirelessAddress(const QString& text)
{
    const QString address = text.contains(':') ? text : text + ':' + QString::number(dvk::defaults::kWirelessPort);
    if (!dvk::DeviceSerial::isWireless(address) || address.section(':', 1).toInt() == 0) {
        return QString();
    }
    return address;
}

QString dashed(const QString& name)
{
    return (name.size() == 1 ? "-" : "--") + name;
}

std::optional<qint64> wholeNumber(const QString& text, qint64 min, qint64 max)
{
    static const QRegularExpression s_pattern(QStringLiteral("^-?[0-9]{1,12}$"));
    if (!s_pattern.match(text).hasMatch()) {
        return std::nullopt;
    }
    const qint64 value = text.toLongLong();
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

// "8000000", "8M", "1.5m", "500K".
std::optional<qint64> bitRate(const QString& text)
{
    static const QRegularExpression s_pattern(QStringLiteral("^([0-9]{1,12})(?:\\.([0-9]{1,6}))?([kKmM]?)$"));
    const QRegularExpressionMatch match = s_pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QString suffix = match.captured(3).toLower();
    const int scaleDigits = suffix == "m" ? 6 : suffix == "k" ? 3 : 0;
    QString fraction = match.captured(2);
    if (fraction.size() > scaleDigits) {
        return std::nullopt;
    }
    fraction = fraction.leftJustified(scaleDigits, '0');
    return wholeNumber(match.captured(1) + fraction, 1, std::numeric_limits<qint32>::max());
}

// The keymap's fatal problem, empty when it loads. Reading it with the controller's own
// reader (the one place app/ reaches into the controller) means the command line refuses
// exactly what the controller would. Its log lines would land on standard error this early,
// so they are held back.
QString keymapProblem(const QString& text)
{
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const QString problem = dvk::KeyMap().loadKeyMap(text);
    qInstallMessageHandler(previous);
    return problem;
}

} // namespace

void CommandLine::addOptions(QCommandLineParser& parser) const
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const ValueOption& option : valueOptions()) {
        QString description = tr(option.description);
        if (option.shownDefault >= 0) {
            description = description.arg(option.shownDefault);
        }
        parser.addOption(QCommandLineOption(option.names, description, option.valueName));
    }
    for (const FlagOption& option : flagOptions()) {
        parser.addOption(QCommandLineOption(option.names, tr(option.description)));
    }
}

CommandLine::Action CommandLine::parse(const QStringList& arguments)
{
    m_options = LaunchOptions();
    m_errorSource = nullptr;
    m_parserError.clear();
    m_tcpipValue.reset();
    QCommandLineParser parser;
    addOptions(parser);
    const QStringList plain = takeTcpipValue(arguments);
    if (!parser.parse(plain)) {
        failParse(parser, plain);
        return Fail;
    }
    if (parser.isSet("help")) {
        return ShowHelp;
    }
    if (parser.isSet("version")) {
        return ShowVersion;
    }
    if (!parser.positionalArguments().isEmpty()) {
        fail(QT_TR_NOOP("unexpected argument \"%1\"; run with --help for the accepted options"),
             {parser.positionalArguments().first()});
        return Fail;
    }
    if (!readValues(parser)) {
        return Fail;
    }
    return parser.isSet("list-devices") ? ListDevices : Run;
}

// The parser knows no option whose value is optional: "--tcpip=ADDRESS" is read here and
// handed on as the bare flag.
QStringList CommandLine::takeTcpipValue(const QStringList& arguments)
{
    static const QRegularExpression s_withValue(QStringLiteral("^--?tcpip=(.*)$"));
    QStringList plain;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const QRegularExpressionMatch match = s_withValue.match(argument);
        if (i > 0 && match.hasMatch()) {
            m_tcpipValue = match.captured(1);
            plain << QStringLiteral("--tcpip");
            continue;
        }
        plain << argument;
        if (argument == QLatin1String("--")) {
            plain << arguments.mid(i + 1);
            break;
        }
        // The next word is this option's value, whatever it looks like.
        const QString name = argument.mid(argument.startsWith("--") ? 2 : 1);
        if (i > 0 && argument.startsWith('-') && !argument.contains('=') && findValueOption(name) && i + 1 < arguments.size()) {
            plain << arguments.at(++i);
        }
    }
    return plain;
}

bool CommandLine::failParse(const QCommandLineParser& parser, const QStringList& arguments)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        return fail(QT_TR_NOOP("unknown option %1; run with --help for the accepted options"),
                    {dashed(parser.unknownOptionNames().first())});
    }
    // The only other refusal of the parser: a value option at the very end, without its value.
    const QString last = arguments.value(arguments.size() - 1);
    const QString name = last.mid(last.startsWith("--") ? 2 : 1);
    if (!findValueOption(name)) {
        m_errorSource = nullptr;
        m_parserError = parser.errorText();
        return false;
    }
    return fail(QT_TR_NOOP("%1 needs a value: %2"), {dashed(name)}, name);
}

bool CommandLine::readValues(const QCommandLineParser& parser)
{
    if (!readSerials(parser)) {
        return false;
    }
    if (parser.isSet("window-title")) {
        m_options.windowTitle = parser.value("window-title");
    }
    if (parser.isSet("push-target")) {
        m_options.pushTarget = Config::pushTargetFolder(parser.value("push-target"));
        if (m_options.pushTarget.isEmpty()) {
            return failValue("push-target", parser.value("push-target"));
        }
    }
    readFlags(parser);
    if (parser.isSet("connection")) {
        if (!Config::isConnection(parser.value("connection"))) {
            return failValue("connection", parser.value("connection"));
        }
        m_options.connection = parser.value("connection");
    }
    if (!readNumbers(parser) || !readWindow(parser) || !readPicture(parser) || !readWireless(parser)
        || !readRecord(parser) || !readKeymap(parser)) {
        return false;
    }
    return checkCombinations();
}

// The first serial is the main window's; the others get windows of their own.
bool CommandLine::readSerials(const QCommandLineParser& parser)
{
    for (const QString& value : parser.values("serial")) {
        const QString serial = value.trimmed();
        if (serial.isEmpty()) {
            return failValue("serial", value);
        }
        if (m_options.serial.isEmpty()) {
            m_options.serial = serial;
        } else if (serial != m_options.serial && !m_options.otherSerials.contains(serial)) {
            m_options.otherSerials << serial;
        }
    }
    return true;
}

bool CommandLine::checkCombinations()
{
    if (m_options.noDisplay && !m_options.otherSerials.isEmpty()) {
        return fail(QT_TR_NOOP("--no-display records one device: give --serial once"), {});
    }
    if (m_options.noDisplay && m_options.recordFile.isEmpty()) {
        return fail(QT_TR_NOOP("--no-display needs --record FILE: without a window the only work is recording"), {});
    }
    if (m_options.timeLimit && m_options.recordFile.isEmpty()) {
        return fail(QT_TR_NOOP("--time-limit needs --record FILE: it ends the recording"), {});
    }
    if (m_options.windowX.has_value() != m_options.windowY.has_value()) {
        return fail(QT_TR_NOOP("--window-x and --window-y go together: a position needs both"), {});
    }
    if (m_options.tcpip && !m_options.tcpipAddress.isEmpty() && !m_options.serial.isEmpty()) {
        return fail(QT_TR_NOOP("--serial cannot go with --tcpip=ADDRESS: the address names the device"), {});
    }
    if (!m_options.noControl) {
        return true;
    }
    // These drive the device; a view-only run has no way to.
    const QList<QPair<bool, QString>> driving = {{m_options.turnScreenOff, "--turn-screen-off"},
                                                 {m_options.powerOffOnClose, "--power-off-on-close"},
                                                 {!m_options.keymapText.isEmpty(), "--keymap"}};
    for (const auto& option : driving) {
        if (option.first) {
            return fail(QT_TR_NOOP("%1 cannot go with --no-control: it drives the device"), {option.second});
        }
    }
    return true;
}

bool CommandLine::readWindow(const QCommandLineParser& parser)
{
    return readNumber(parser, "window-x", -65535, 65535, m_options.windowX)
        && readNumber(parser, "window-y", -65535, 65535, m_options.windowY)
        && readNumber(parser, "window-width", 1, 65535, m_options.windowWidth)
        && readNumber(parser, "window-height", 1, 65535, m_options.windowHeight);
}

bool CommandLine::readPicture(const QCommandLineParser& parser)
{
    if (parser.isSet("crop")) {
        m_options.crop = cropRectangle(parser.value("crop"));
        if (m_options.crop.isEmpty()) {
            return failValue("crop", parser.value("crop"));
        }
    }
    return readNumber(parser, "display-id", 0, std::numeric_limits<qint32>::max(), m_options.displayId)
        && readNumber(parser, "time-limit", 1, kMaxTimeLimitSeconds, m_options.timeLimit);
}

bool CommandLine::readWireless(const QCommandLineParser& parser)
{
    m_options.tcpip = parser.isSet("tcpip");
    if (!m_options.tcpip || !m_tcpipValue) {
        return true;
    }
    m_options.tcpipAddress = wirelessAddress(*m_tcpipValue);
    if (m_options.tcpipAddress.isEmpty()) {
        return failValue("tcpip", *m_tcpipValue);
    }
    return true;
}

void CommandLine::readFlags(const QCommandLineParser& parser)
{
    m_options.noDisplay = parser.isSet("no-display");
    m_options.forward = parser.isSet("forward");
    m_options.stayAwake = parser.isSet("stay-awake");
    m_options.turnScreenOff = parser.isSet("turn-screen-off");
    m_options.showTouches = parser.isSet("show-touches");
    m_options.fullscreen = parser.isSet("fullscreen");
    m_options.noControl = parser.isSet("no-control");
    m_options.alwaysOnTop = parser.isSet("always-on-top");
    m_options.windowBorderless = parser.isSet("window-borderless");
    m_options.powerOffOnClose = parser.isSet("power-off-on-close");
    m_options.groupControl = parser.isSet("group-control");
}

template <typename T>
bool CommandLine::readNumber(const QCommandLineParser& parser, const char* name, qint64 min, qint64 max,
                             std::optional<T>& field)
{
    if (!parser.isSet(name)) {
        return true;
    }
    const std::optional<qint64> value = wholeNumber(parser.value(name), min, max);
    if (!value) {
        return failValue(name, parser.value(name));
    }
    field = static_cast<T>(*value);
    return true;
}

bool CommandLine::readNumbers(const QCommandLineParser& parser)
{
    if (!readNumber(parser, "max-size", 0, 65535, m_options.maxSize)
        || !readNumber(parser, "max-fps", 0, 1000, m_options.maxFps)
        || !readNumber(parser, "lock-orientation", -1, 3, m_options.lockOrientation)
        || !readNumber(parser, "port", 1, 65535, m_options.port)) {
        return false;
    }
    if (parser.isSet("bit-rate")) {
        const std::optional<qint64> value = bitRate(parser.value("bit-rate"));
        if (!value) {
            return failValue("bit-rate", parser.value("bit-rate"));
        }
        m_options.bitRate = quint32(*value);
    }
    return true;
}

bool CommandLine::readRecord(const QCommandLineParser& parser)
{
    if (!parser.isSet("record")) {
        return true;
    }
    const QString value = parser.value("record");
    const QFileInfo info(value);
    const QString suffix = info.suffix().toLower();
    if (value.trimmed().isEmpty() || info.completeBaseName().isEmpty() || (suffix != "mp4" && suffix != "mkv")
        || info.isDir()) {
        return failValue("record", value);
    }
    m_options.recordFile = QDir::cleanPath(info.absoluteFilePath());
    m_options.recordFormat = suffix;
    return true;
}

bool CommandLine::readKeymap(const QCommandLineParser& parser)
{
    if (!parser.isSet("keymap")) {
        return true;
    }
    const QString value = parser.value("keymap");
    QString path = value;
    if (!QFileInfo(path).isFile()) {
        const QString folder = AppFiles::keymapFolder();
        const QString named = folder + "/" + value;
        path = QFileInfo(named).isFile() ? named : named + ".json";
        if (folder.isEmpty() || value.contains('/') || !QFileInfo(path).isFile()) {
            return failValue("keymap", value);
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failValue("keymap", value);
    }
    const QByteArray text = file.readAll();
    const QString problem = keymapProblem(QString::fromUtf8(text));
    if (!problem.isEmpty()) {
        return fail(QT_TR_NOOP("--keymap: \"%1\" is not a usable keymap (%2)"), {value, problem});
    }
    m_options.keymapFile = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    m_options.keymapText = QString::fromUtf8(text);
    return true;
}

bool CommandLine::fail(const char* sourceText, const QStringList& args, const QString& acceptsOf)
{
    m_errorSource = sourceText;
    m_errorArgs = args;
    m_acceptsOf = acceptsOf;
    return false;
}

bool CommandLine::failValue(const QString& option, const QString& value)
{
    return fail(QT_TR_NOOP("%1: expected %3, got \"%2\""), {dashed(option), value}, option);
}

QString CommandLine::errorText() const
{
    const QString prefix = QCoreApplication::applicationName().toLower() + ": ";
    if (!m_errorSource) {
        return m_parserError.isEmpty() ? QString() : prefix + m_parserError;
    }
    QStringList args = m_errorArgs;
    // What an option accepts is translated only now, with the translator in place.
    if (const char* accepts = acceptedValues(m_acceptsOf)) {
        args.append(tr(accepts));
    }
    QString text = tr(m_errorSource);
    for (const QString& arg : args) {
        text = text.arg(arg);
    }
    return prefix + text;
}

QString CommandLine::helpText() const
{
    QCommandLineParser parser;
    parser.setApplicationDescription(tr("Mirrors an Android device's screen and controls the device with mouse and keyboard."));
    addOptions(parser);
    return parser.helpText();
}
