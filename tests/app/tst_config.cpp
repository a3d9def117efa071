#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "Config.h"

// The configuration directory is fixed once per process, so every case here shares one directory,
// and the cases that need another start value run this program again as a child.
class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void absentKeysYieldDefaults();
    void presentKeysAreRead();
    void setMaxFpsIsSeenAtOnceAndKept();
    void setAdbPathIsKept();
    void setRectIsOnDiskAtOnce();
    void pathFallsBackToRelativeConfig_data();
    void pathFallsBackToRelativeConfig();
    void templateHoldsEveryKeyAtItsDefault();

private:
    QString m_configDir;
};

static QTemporaryDir* s_dir = nullptr;

void TestConfig::initTestCase()
{
    QVERIFY(s_dir && s_dir->isValid());
    m_configDir = s_dir->filePath("config");
    QCOMPARE(Config::getConfigPath(), m_configDir);
}

void TestConfig::absentKeysYieldDefaults()
{
    Config* config = Config::getInstance();
    QCOMPARE(config->getMinWndWidth(), 965);
    QCOMPARE(config->getMinWndHeight(), 427);
    QCOMPARE(config->getServerPath(), QString("/data/local/tmp/dravik-server.jar"));
    QCOMPARE(config->getTitle(), QCoreApplication::applicationName());
    QCOMPARE(config->getRenderExpiredFrames(), 0);
    QCOMPARE(config->getPushFilePath(), QString("/sdcard/"));
    QCOMPARE(config->getAdbPath(), QString());
    QCOMPARE(config->getLogLevel(), QString("info"));
    QCOMPARE(config->getCodecOptions(), QString());
    QCOMPARE(config->getCodecName(), QString());
}

void TestConfig::presentKeysAreRead()
{
    Config* config = Config::getInstance();
    QCOMPARE(config->getServerVersion(), QString("1.30"));
    QCOMPARE(config->getDesktopOpenGL(), 2);
    // Present but not a number: the integer conversion gives 0, not the default.
    QCOMPARE(config->getMaxFps(), 0);
    QCOMPARE(config->getCodecOptions(), QString());
    // A connection the program does not know reads as the default one.
    QCOMPARE(config->getConnection(), QString("auto"));
    config->setConnection("shell");
    QCOMPARE(config->getConnection(), QString("shell"));
    // A folder adb could not take as a device path reads as the default one.
    QCOMPARE(config->getPushTarget(), QString("/sdcard/Download/"));
    QCOMPARE(Config::pushTargetFolder("/sdcard/Documents"), QString("/sdcard/Documents/"));
    QCOMPARE(Config::pushTargetFolder("/storage/emulated/0/"), QString("/storage/emulated/0/"));
    QVERIFY(Config::pushTargetFolder("").isEmpty());
    QVERIFY(Config::pushTargetFolder("sdcard/").isEmpty());
    QVERIFY(Config::pushTargetFolder("/sdcard/\tx").isEmpty());
}

void TestConfig::setMaxFpsIsSeenAtOnceAndKept()
{
    Config::getInstance()->setMaxFps(60);
    QCOMPARE(Config::getInstance()->getMaxFps(), 60);
    QSettings onDisk(m_configDir + "/config.ini", QSettings::IniFormat);
    QCOMPARE(onDisk.value("common/MaxFps").toInt(), 60);
    QCOMPARE(onDisk.value("common/ServerVersion").toString(), QString("1.30"));
}

void TestConfig::setAdbPathIsKept()
{
    Config::getInstance()->setAdbPath(QString::fromUtf8("/opt/andr\xc3\xb6id/adb"));
    QCOMPARE(Config::getInstance()->getAdbPath(), QString::fromUtf8("/opt/andr\xc3\xb6id/adb"));
    QSettings onDisk(m_configDir + "/config.ini", QSettings::IniFormat);
    onDisk.setIniCodec("UTF-8");
    QCOMPARE(onDisk.value("common/AdbPath").toString(), QString::fromUtf8("/opt/andr\xc3\xb6id/adb"));
}

void TestConfig::setRectIsOnDiskAtOnce()
{
    Config::getInstance()->setRect("192.168.1.5:5555", QRect(100, 50, 400, 800));
    Config::getInstance()->setRect("ABC", QRect(QPoint(-10, 0), QPoint(9, 19)));

    QSettings onDisk(m_configDir + "/userdata.ini", QSettings::IniFormat);
    QVERIFY(onDisk.childGroups().contains("192.168.1.5:5555"));
    onDisk.beginGroup("192.168.1.5:5555");
    QCOMPARE(onDisk.value("WindowRectX").toInt(), 100);
    QCOMPARE(onDisk.value("WindowRectY").toInt(), 50);
    QCOMPARE(onDisk.value("WindowRectW").toInt(), 400);
    QCOMPARE(onDisk.value("WindowRectH").toInt(), 800);
    onDisk.endGroup();
    QCOMPARE(onDisk.value("ABC/WindowRectX").toInt(), -10);
    QCOMPARE(onDisk.value("ABC/WindowRectW").toInt(), 20);
    QCOMPARE(onDisk.value("ABC/WindowRectH").toInt(), 20);

    // Read back as stored; a serial never stored, or a broken entry, gives no rectangle.
    QCOMPARE(Config::getInstance()->getRect("192.168.1.5:5555"), QRect(100, 50, 400, 800));
    QCOMPARE(Config::getInstance()->getRect("ABC"), QRect(-10, 0, 20, 20));
    QVERIFY(!Config::getInstance()->getRect("NEVER").isValid());
    onDisk.setValue("BROKEN/WindowRectX", 5);
    onDisk.setValue("BROKEN/WindowRectY", 5);
    onDisk.setValue("BROKEN/WindowRectW", 0);
    onDisk.setValue("BROKEN/WindowRectH", 300);
    onDisk.sync();
    QVERIFY(!Config::getInstance()->getRect("BROKEN").isValid());
}

void TestConfig::pathFallsBackToRelativeConfig_data()
{
    QTest::addColumn<QString>("variable");
    QTest::newRow("unset") << QString();
    QTest::newRow("no such directory") << s_dir->filePath("missing");
    QTest::newRow("a file") << s_dir->filePath("config/config.ini");
}

void TestConfig::pathFallsBackToRelativeConfig()
{
    QFETCH(QString, variable);

    // The child reads a MaxFps=45 from <its working directory>/config/config.ini.
    QTemporaryDir workDir;
    QVERIFY(QDir(workDir.path()).mkdir("config"));
    QSettings seeded(workDir.filePath("config/config.ini"), QSettings::IniFormat);
    seeded.setValue("common/MaxFps", 45);
    seeded.sync();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("VADIZEDE_CONFIG_PATH");
    if (!variable.isEmpty()) {
        env.insert("VADIZEDE_CONFIG_PATH", variable);
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(workDir.path());
    child.start(QCoreApplication::applicationFilePath(), {"--print-config"});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(), QString("config 45"));
}

void TestConfig::templateHoldsEveryKeyAtItsDefault()
{
    // The shipped file is what users read: every key the store knows, in its order, at its default.
    QFile shipped(VADIZEDE_SOURCE_DIR "/config/config.ini");
    QVERIFY(shipped.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList lines = QString::fromUtf8(shipped.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.takeFirst(), QString("[common]"));

    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("VaDizede");
    QStringList expected;
    for (const Config::Setting& setting : Config::commonSettings()) {
        expected << setting.key + "=" + setting.defaultValue.toString();
    }
    QCoreApplication::setApplicationName(name);
    QCOMPARE(lines, expected);
}

int main(int argc, char* argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--print-config") {
        QCoreApplication app(argc, argv);
        printf("%s %d\n", qPrintable(Config::getConfigPath()), Config::getInstance()->getMaxFps());
        return 0;
    }

    QTemporaryDir dir;
    s_dir = &dir;
    QDir(dir.path()).mkdir("config");
    {
        QSettings seeded(dir.filePath("config/config.ini"), QSettings::IniFormat);
        seeded.setValue("common/ServerVersion", "1.30");
        seeded.setValue("common/UseDesktopOpenGL", 2);
        seeded.setValue("common/MaxFps", "abc");
        seeded.setValue("common/Connection", "usb");
        seeded.setValue("common/PushTarget", "Download");
    }
    qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.filePath("config")));

    QCoreApplication app(argc, argv);
    TestConfig test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_config.moc"
