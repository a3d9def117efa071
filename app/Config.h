#ifndef CONFIG_H
#define CONFIG_H

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVector>

// The process-wide settings store: program settings in config.ini, per-device window data in userdata.ini.
class Config : public QObject
{
    Q_OBJECT
public:
    // A key of config.ini's common section and its value when the key is absent.
    struct Setting
    {
        QString key;
        QVariant defaultValue;
    };

    static Config* getInstance();
    static const QString& getConfigPath();
    // Every key of config.ini, in the order of the shipped file, with its default; the
    // window title's default is the application's name, known only at run time.
    static QVector<Setting> commonSettings();

    QString getServerVersion();
    int getMaxFps();
    int getDesktopOpenGL();
    // Read for the settings' sake only: a connection never waits for the window to take each
    // picture, since that would let a slow window hold back the socket reads and the recording,
    // and block the stream thread at the very moment disconnection waits for it. A picture not
    // yet shown is replaced by the newer one instead.
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
    // "auto", "server" or "shell"; any other stored value reads as "auto".
    QString getConnection();
    static bool isConnection(const QString& value);
    // The device folder that dropped files other than APKs are pushed to, ending in "/".
    QString getPushTarget();
    // A device folder as an absolute path ending in "/"; empty when the text is not one.
    static QString pushTargetFolder(const QString& text);

    void setMaxFps(const int& maxFps);
    void setAdbPath(const QString& adbPath);
    void setConnection(const QString& connection);
    void setRect(const QString& serial, const QRect& rect);
    // The rectangle setRect stored for the serial; an invalid one when none was stored.
    QRect getRect(const QString& serial);

private:
    Config();
    ~Config() override;

    enum Key {
        ServerVersion,
        MaxFps,
        UseDesktopOpenGL,
        RenderExpiredFrames,
        PushFilePath,
        ServerPath,
        AdbPath,
        LogLevel,
        CodecOptions,
        CodecName,
        WindowTitle,
        MinWndWidth,
        MinWndHeight,
        Connection,
        PushTarget,
    };

    QVariant readCommon(Key key);
    void writeCommon(Key key, const QVariant& value);

    static QString s_configPath;
    QPointer<QSettings> m_settings;
    QPointer<QSettings> m_userData;
};

#endif // CONFIG_H
