#include "Config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "ConnectionDefaults.h"

#include <algorithm>

namespace {
const QString kCommonGroup = QStringLiteral("common");

// The settings reader turns a value such as "@Variant(...)" into an object decoded from binary data,
// and a damaged one crashes inside the library. Our settings are plain text and numbers, so a line
// that could spell such a value ('@' itself, an escape that could yield it, or a continued line) is
// dropped before the reader sees the file.
bool isUnsafeIniLine(const QByteArray& line)
{
    if (line.contains('@') || line.trimmed().endsWith('\\')) {
        return true;
    }
    for (int i = line.indexOf('\\'); i >= 0 && i + 1 < line.size(); i = line.indexOf('\\', i + 2)) {
        const char next = line.at(i + 1);
        if (next == 'x' || next == 'X' || (next >= '0' && next <= '9')) {
            return true;
        }
    }
    return false;
}

void dropUnsafeIniLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray contents = file.readAll();
    file.close();
    QByteArray kept;
    bool dropped = false;
    for (const QByteArray& line : contents.split('\n')) {
        if (isUnsafeIniLine(line)) {
            qWarning("Ignoring a line of %s that the settings reader cannot take safely", qUtf8Printable(path));
            dropped = true;
            continue;
        }
        kept += line + '\n';
    }
    if (!dropped) {
        return;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(kept.left(kept.size() - 1)) < 0) {
        qWarning("Could not rewrite %s", qUtf8Printable(path));
    }
}

void syncSafely(QSettings* settings)
{
    dropUnsafeIniLines(settings->fileName());
    settings->sync();
}
} // namespace

QString Config::s_configPath;

Config::Config()
{
    dropUnsafeIniLines(getConfigPath() + "/config.ini");
    dropUnsafeIniLines(getConfigPath() + "/userdata.ini");
    m_settings = new QSettings(getConfigPath() + "/config.ini", QSettings::IniFormat);
    m_settings->setIniCodec("UTF-8");
    m_userData = new QSettings(getConfigPath() + "/userdata.ini", QSettings::IniFormat);
    m_userData->setIniCodec("UTF-8");
    qDebug("userdata groups: %s", qUtf8Printable(m_userData->childGroups().join(" ")));
}

// Deleting the settings objects writes back anything still pending, also when no event loop runs any more.
Config::~Config()
{
    delete m_settings;
    delete m_userData;
}

Config* Config::getInstance()
{
    static Config s_config;
    return &s_config;
}

const QString& Config::getConfigPath()
{
    if (s_configPath.isEmpty()) {
        s_configPath = QString::fromLocal8Bit(qgetenv("VADIZEDE_CONFIG_PATH"));
        if (s_configPath.isEmpty() || !QFileInfo(s_configPath).isDir()) {
            s_configPath = "config";
        }
    }
    return s_configPath;
}

QVector<Config::Setting> Config::commonSettings()
{
    // In the order of Key.
    return {
        {"ServerVersion", dvk::defaults::serverVersion()},
        {"MaxFps", dvk::defaults::kMaxFps},
        {"UseDesktopOpenGL", -1},
        {"RenderExpiredFrames", 0},
        {"PushFilePath", dvk::defaults::kPushFilePath},
        {"ServerPath", dvk::defaults::kServerRemotePath},
        {"AdbPath", ""},
        {"LogLevel", dvk::defaults::kLogLevel},
        {"CodecOptions", ""},
        {"CodecName", ""},
        {"WindowTitle", QCoreApplication::applicationName()},
        {"MinWndWidth", 965},
        {"MinWndHeight", 427},
        {"Connection", dvk::defaults::kConnectionAuto},
        {"PushTarget", dvk::defaults::kPushTarget},
    };
}

QVariant Config::readCommon(Key key)
{
    const Setting setting = commonSettings().at(key);
    m_settings->beginGroup(kCommonGroup);
    const QVariant value = m_settings->value(setting.key, setting.defaultValue);
    m_settings->endGroup();
    return value;
}

void Config::writeCommon(Key key, const QVariant& value)
{
    m_settings->beginGroup(kCommonGroup);
    m_settings->setValue(commonSettings().at(key).key, value);
    m_settings->endGroup();
    // A choice made in the settings dialog must survive however the program ends.
    syncSafely(m_settings);
}

QString Config::getServerVersion()
{
    return readCommon(ServerVersion).toString();
}

int Config::getMaxFps()
{
    return readCommon(MaxFps).toInt();
}

int Config::getDesktopOpenGL()
{
    return readCommon(UseDesktopOpenGL).toInt();
}

int Config::getRenderExpiredFrames()
{
    return readCommon(RenderExpiredFrames).toInt();
}

QString Config::getPushFilePath()
{
    return readCommon(PushFilePath).toString();
}

QString Config::getServerPath()
{
    return readCommon(ServerPath).toString();
}

QString Config::getAdbPath()
{
    return readCommon(AdbPath).toString();
}

QString Config::getLogLevel()
{
    return readCommon(LogLevel).toString();
}

QString Config::getCodecOptions()
{
    return readCommon(CodecOptions).toString();
}

QString Config::getCodecName()
{
    return readCommon(CodecName).toString();
}

QString Config::getTitle()
{
    return readCommon(WindowTitle).toString();
}

int Config::getMinWndWidth()
{
    return readCommon(MinWndWidth).toInt();
}

int Config::getMinWndHeight()
{
    return readCommon(MinWndHeight).toInt();
}

QString Config::getConnection()
{
    const QString value = readCommon(Connection).toString();
    if (isConnection(value)) {
        return value;
    }
    qWarning("%s", qUtf8Printable(QStringLiteral("config.ini: Connection=%1 is not auto, server or shell; using auto")
                                      .arg(value)));
    return dvk::defaults::kConnectionAuto;
}

bool Config::isConnection(const QString& value)
{
    return value == QLatin1String(dvk::defaults::kConnectionAuto)
        || value == QLatin1String(dvk::defaults::kConnectionServer)
        || value == QLatin1String(dvk::defaults::kConnectionShell);
}

QString Config::getPushTarget()
{
    const QString value = readCommon(PushTarget).toString();
    const QString folder = pushTargetFolder(value);
    if (!folder.isEmpty()) {
        return folder;
    }
    qWarning("%s", qUtf8Printable(QStringLiteral("config.ini: PushTarget=%1 is not an absolute device folder; using %2")
                                      .arg(value, dvk::defaults::kPushTarget)));
    return dvk::defaults::kPushTarget;
}

QString Config::pushTargetFolder(const QString& text)
{
    // The folder goes to adb as one argument; a line break or control character would only garble it.
    const bool hasControl = std::any_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
    if (!text.startsWith('/') || hasControl) {
        return QString();
    }
    return text.endsWith('/') ? text : text + '/';
}

void Config::setConnection(const QString& connection)
{
    writeCommon(Connection, connection);
}

void Config::setMaxFps(const int& maxFps)
{
    writeCommon(MaxFps, maxFps);
}

void Config::setAdbPath(const QString& adbPath)
{
    writeCommon(AdbPath, adbPath);
}

QRect Config::getRect(const QString& serial)
{
    m_userData->beginGroup(serial);
    const QVariant x = m_userData->value("WindowRectX");
    const QVariant y = m_userData->value("WindowRectY");
    const int width = m_userData->value("WindowRectW", -1).toInt();
    const int height = m_userData->value("WindowRectH", -1).toInt();
    m_userData->endGroup();
    if (!x.isValid() || !y.isValid() || width <= 0 || height <= 0) {
        return QRect();
    }
    return QRect(x.toInt(), y.toInt(), width, height);
}

void Config::setRect(const QString& serial, const QRect& rect)
{
    m_userData->beginGroup(serial);
    m_userData->setValue("WindowRectX", rect.left());
    m_userData->setValue("WindowRectY", rect.top());
    m_userData->setValue("WindowRectW", rect.right() - rect.left() + 1);
    m_userData->setValue("WindowRectH", rect.bottom() - rect.top() + 1);
    m_userData->endGroup();
    syncSafely(m_userData);
}
