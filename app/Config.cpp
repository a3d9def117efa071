#include "Config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>

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

QVariant Config::readCommon(const QString& key, const QVariant& defaultValue)
{
    m_settings->beginGroup(kCommonGroup);
    const QVariant value = m_settings->value(key, defaultValue);
    m_settings->endGroup();
    return value;
}

void Config::writeCommon(const QString& key, const QVariant& value)
{
    m_settings->beginGroup(kCommonGroup);
    m_settings->setValue(key, value);
    m_settings->endGroup();
    // A choice made in the settings dialog must survive however the program ends.
    m_settings->sync();
}

QString Config::getServerVersion()
{
    return readCommon("ServerVersion", "1.21").toString();
}

int Config::getMaxFps()
{
    return readCommon("MaxFps", 30).toInt();
}

int Config::getDesktopOpenGL()
{
    return readCommon("UseDesktopOpenGL", -1).toInt();
}

int Config::getRenderExpiredFrames()
{
    return readCommon("RenderExpiredFrames", 0).toInt();
}

QString Config::getPushFilePath()
{
    return readCommon("PushFilePath", "/sdcard/").toString();
}

QString Config::getServerPath()
{
    return readCommon("ServerPath", "/data/local/tmp/dravik-server.jar").toString();
}

QString Config::getAdbPath()
{
    return readCommon("AdbPath", "").toString();
}

QString Config::getLogLevel()
{
    return readCommon("LogLevel", "info").toString();
}

QString Config::getCodecOptions()
{
    return readCommon("CodecOptions", "").toString();
}

QString Config::getCodecName()
{
    return readCommon("CodecName", "").toString();
}

QString Config::getTitle()
{
    return readCommon("WindowTitle", QCoreApplication::applicationName()).toString();
}

int Config::getMinWndWidth()
{
    return readCommon("MinWndWidth", 965).toInt();
}

int Config::getMinWndHeight()
{
    return readCommon("MinWndHeight", 427).toInt();
}

void Config::setMaxFps(const int& maxFps)
{
    writeCommon("MaxFps", maxFps);
}

void Config::setAdbPath(const QString& adbPath)
{
    writeCommon("AdbPath", adbPath);
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
