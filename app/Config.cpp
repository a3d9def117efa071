#include "Config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>

#include "ConnectionDefaults.h"

namespace {
const QString kCommonGroup = QStringLiteral("common");
} // namespace

QString Config::s_configPath;

Config::Config()
{
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
        {"ServerVersion", dvk::defaults::kServerVersion},
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
    m_settings->sync();
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

void Config::setMaxFps(const int& maxFps)
{
    writeCommon(MaxFps, maxFps);
}

void Config::setAdbPath(const QString& adbPath)
{
    writeCommon(AdbPath, adbPath);
}

void Config::setRect(const QString& serial, const QRect& rect)
{
    m_userData->beginGroup(serial);
    m_userData->setValue("WindowRectX", rect.left());
    m_userData->setValue("WindowRectY", rect.top());
    m_userData->setValue("WindowRectW", rect.right() - rect.left() + 1);
    m_userData->setValue("WindowRectH", rect.bottom() - rect.top() + 1);
    m_userData->endGroup();
    m_userData->sync();
}
