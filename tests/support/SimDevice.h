#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A simulated Android device for tests: its own state directory, the adb
// stand-in and the server file to use with it, and readers for what the device
// saw. Every process it (or the adb stand-in) started ends with it.
class SimDevice
{
public:
    struct Options
    {
        QString serial = "SIM0001";
        QString name = "Sim Device";
        QString model = "SimPhone";
        QSize screen{1080, 2340};
        // Caps the encoded picture's longer side whatever max_size says, so that
        // encoding stays cheap on a shared machine; 0 leaves only max_size.
        int sizeLimit = 320;
        QString state = "device";
        QString ip = "192.168.1.5";
        // Fault name to value, e.g. {"noHandshake", true}, {"closeAfterFrames", 5}.
        QJsonObject faults;
        // Any further device property, e.g. {"wmSize", "720x1560"}.
        QJsonObject properties;
    };

    struct AdbResult
    {
        int exitCode = -1;
        bool finished = false;
        QString out;
        QString err;
    };

    // Creates the home and, unless addDefault is false, one device with default options.
    explicit SimDevice(bool addDefault = true);
    explicit SimDevice(const Options& options);
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    bool isValid() const;
    QString home() const;
    QString serial() const { return m_serial; }

    static QString adbPath();
    static QString serverFilePath();
    static QString serverVersion();
    // A TCP port that was free a moment ago, outside the range outgoing connections take theirs from.
    static quint16 freePort();

    // The variables a child process needs to reach this device; the
    // constructor also sets them in this process, so runners started here
    // inherit them, and the destructor restores what was there.
    QProcessEnvironment environment() const;

    bool addDevice(const Options& options);
    bool setProperty(const QString& serial, const QString& key, const QJsonValue& value);
    bool setFault(const QString& serial, const QString& fault, const QJsonValue& value);
    QJsonObject deviceState(const QString& serial = QString()) const;

    AdbResult runAdb(const QStringList& args, int timeoutMs = 15000) const;

    // JSON lines: every adb invocation; the control messages the server
    // decoded; the server's own events (start, connected, exit ...); the
    // shell's side effects (am, settings, push ...).
    QList<QJsonObject> invocations() const;
    QList<QJsonObject> controlLog(const QString& serial = QString()) const;
    QList<QJsonObject> serverLog(const QString& serial = QString()) const;
    QList<QJsonObject> eventLog(const QString& serial = QString()) const;
    // Waits, processing events, until the control log holds at least count lines.
    bool waitForControlLog(int count, int timeoutMs = 5000, const QString& serial = QString()) const;
    bool waitForServerEvent(const QString& event, int timeoutMs = 5000, const QString& serial = QString()) const;

    // A file pushed to the device, by its device path.
    QString devicePath(const QString& path, const QString& serial = QString()) const;

    // Stops the daemon and every simulator process this home recorded.
    void stop();

private:
    void init();
    QString deviceDir(const QString& serial) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_serial;
    QByteArray m_savedHome;
    bool m_hadHome = false;
    bool m_stopped = false;
};
