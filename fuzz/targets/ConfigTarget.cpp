// config.ini and userdata.ini with any contents, read through the store's getters; then a window
// rectangle and a frame rate written back must read back unchanged, whatever the files held.
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

#include "Config.h"

namespace fuzz {

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "config target: %s\n", what);
        abort();
    }
}

QString configDir()
{
    // Memory-backed where there is such a place: the files are rewritten for every input.
    static QTemporaryDir dir((QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath()) + "/vadizede-fuzz-XXXXXX");
    static const bool pointed = qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.path()));
    Q_UNUSED(pointed)
    return dir.path();
}

// Rewrites a file and moves its time stamp on, so the settings library reads it afresh.
void rewrite(const QString& path, const QByteArray& contents)
{
    static qint64 tick = 0;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return;
    }
    file.write(contents);
    file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++tick), QFileDevice::FileModificationTime);
}

// Settings objects on the same files share their contents with the store's own: syncing one
// makes the store see what was just written.
QSettings& mirror(const QString& name)
{
    static QSettings common(configDir() + "/config.ini", QSettings::IniFormat);
    static QSettings user(configDir() + "/userdata.ini", QSettings::IniFormat);
    return name == "config.ini" ? common : user;
}

void readEverything(Config* config)
{
    config->getServerVersion();
    config->getMaxFps();
    config->getDesktopOpenGL();
    config->getRenderExpiredFrames();
    config->getPushFilePath();
    config->getServerPath();
    config->getAdbPath();
    config->getLogLevel();
    config->getCodecOptions();
    config->getCodecName();
    config->getTitle();
    config->getMinWndWidth();
    config->getMinWndHeight();
}

} // namespace

int fuzzConfig(const uint8_t* data, size_t size)
{
    ensureApp();
    FuzzInput in(data, size);
    // The store takes its directory from the environment on first use.
    const QString dir = configDir();
    Config* config = Config::getInstance();
    const QByteArray common = in.takeSizedBytes(4096);
    const QByteArray user = in.takeSizedBytes(4096);
    rewrite(dir + "/config.ini", common);
    rewrite(dir + "/userdata.ini", user);
    mirror("config.ini").sync();
    mirror("userdata.ini").sync();
    readEverything(config);

    const int fps = in.take<int32_t>();
    config->setMaxFps(fps);
    check(config->getMaxFps() == fps, "the frame rate written does not read back");

    const QString serial = QString::fromUtf8(in.takeSizedBytes(64));
    const QRect rect(in.takeInRange(0, 20000) - 10000, in.takeInRange(0, 20000) - 10000, in.takeInRange(0, 10000),
                     in.takeInRange(0, 10000));
    config->setRect(serial, rect);
    QSettings& userData = mirror("userdata.ini");
    userData.sync();
    userData.beginGroup(serial);
    const QRect stored(userData.value("WindowRectX").toInt(), userData.value("WindowRectY").toInt(),
                       userData.value("WindowRectW").toInt(), userData.value("WindowRectH").toInt());
    userData.endGroup();
    check(stored == rect || serial.isEmpty(), "the window rectangle does not read back under its serial");
    return 0;
}

} // namespace fuzz
