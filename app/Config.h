#ifndef CONFIG_H
#define CONFIG_H

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSettings>
#include <QString>

// The process-wide settings store: program settings in config.ini, per-device window data in userdata.ini.
class Config : public QObject
{
    Q_OBJECT
public:
    static Config* getInstance();
    static const QString& getConfigPath();

    QString getServerVersion();
    int getMaxFps();
    int getDesktopOpenGL();
    int getRenderExpiredFrames();
    QString getPushFilePath();
    QString getServerPath();
    QString getAdbPath();
    QString getLogLevel();
    QString getCodecOptions();
    QString getCodecName();
    QString getTitle();
    int getMinWndWidth();
    int getMinWndHeight();

    void setMaxFps(const int& maxFps);
    void setAdbPath(const QString& adbPath);
    void setRect(const QString& serial, const QRect& rect);

private:
    Config();
    ~Config() override;

    QVariant readCommon(const QString& key, const QVariant& defaultValue);
    void writeCommon(const QString& key, const QVariant& value);

    static QString s_configPath;
    QPointer<QSettings> m_settings;
    QPointer<QSettings> m_userData;
};

#endif // CONFIG_H
