#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <vector>

#include "AppFiles.h"
#include "AppPath.h"
#include "LogHandler.h"
#include "StartUp.h"

// What applyOpenGLChoice left behind when it ran before the application object, as start-up does.
struct AttributesSeen
{
    bool software = false;
    bool gles = false;
    bool desktop = false;
    bool highDpi = false;
};
static AttributesSeen s_beforeApp;

class TestStartUp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dataPathIsPreparedAndConfigSeededOnce();
    void seededConfigIsWritableAndFallsBackToBuiltIn();
    void environmentKeepsInheritedValues();
    void logLineFormat_data();
    void logLineFormat();
    void logFileTruncatedAtEachStartAndDroppedAfterClose();
    void logLinesFromThreadsNeverInterleave();
    void versionString_data();
    void versionString();
    void openGLChoice();
    void translatorChoice_data();
    void translatorChoice();

private:
    static QStringList readLines(const QString& path);

    QTemporaryDir m_home;
    QString m_startDir;
};

QStringList TestStartUp::readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

void TestStartUp::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_startDir = QDir::currentPath();
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath("data")));
}

void TestStartUp::dataPathIsPreparedAndConfigSeededOnce()
{
    QTemporaryDir work;
    QVERIFY(QDir(work.path()).mkdir("config"));
    QFile tpl(work.filePath("config/config.ini"));
    QVERIFY(tpl.open(QIODevice::WriteOnly));
    tpl.write("[common]\nMaxFps=60\n");
    tpl.close();
    QDir::setCurrent(work.path());

    initDataPath();
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/VuvodiZidevi";
    QCOMPARE(getAppPath(), expected);
    QVERIFY(expected.startsWith(m_home.path()));
    QVERIFY(QFileInfo(expected + "/config").isDir());
    const QString seeded = expected + "/config/config.ini";
    QCOMPARE(readLines(seeded), (QStringList{"[common]", "MaxFps=60"}));

    // The user's file is never replaced, also when the template has changed since.
    QVERIFY(tpl.open(QIODevice::WriteOnly | QIODevice::Truncate));
    tpl.write("[common]\nMaxFps=30\n");
    tpl.close();
    initDataPath();
    QCOMPARE(readLines(seeded), (QStringList{"[common]", "MaxFps=60"}));

    QDir::setCurrent(m_startDir);
    QVERIFY(QFile::remove(seeded));
}

void TestStartUp::seededConfigIsWritableAndFallsBackToBuiltIn()
{
    // Started from a directory without the template: the built-in copy is used.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    initDataPath();
    const QString seeded = getAppPath() + "/config/config.ini";
    QVERIFY(readLines(seeded).contains("ServerVersion=1.21"));
    QVERIFY(QFileInfo(seeded).isWritable());
    QVERIFY(QFile::remove(seeded));

    // A read-only template gives a copy the settings can still be saved to.
    QVERIFY(QDir(work.path()).mkdir("config"));
    QFile tpl(work.filePath("config/config.ini"));
    QVERIFY(tpl.open(QIODevice::WriteOnly));
    tpl.write("[common]\n");
    tpl.close();
    QVERIFY(tpl.setPermissions(QFile::ReadOwner));
    initDataPath();
    QVERIFY(QFileInfo(seeded).isWritable());
    QDir::setCurrent(m_startDir);
}

void TestStartUp::environmentKeepsInheritedValues()
{
    QTemporaryDir keymaps;
    qputenv("VADIZEDE_ADB_PATH", "/inherited/adb");
    qputenv("VADIZEDE_KEYMAP_PATH", QFile::encodeName(keymaps.path()));
    qunsetenv("VADIZEDE_SERVER_PATH");
    setAppPath(QString::fromUtf8("/tmp/d\xc3\xa9j\xc3\xa0"));
    setStartupEnvironment();
    QCOMPARE(QString::fromLocal8Bit(qgetenv("VADIZEDE_CONFIG_PATH")), QString::fromUtf8("/tmp/d\xc3\xa9j\xc3\xa0/config"));
    QCOMPARE(qgetenv("VADIZEDE_ADB_PATH"), QByteArray("/inherited/adb"));
    QCOMPARE(qgetenv("VADIZEDE_SERVER_PATH"), QByteArray("../../../ZelDravik/VaDizedeCore/src/third_party/dravik-server"));
    // The keymap folder named by the user is the one keymaps are looked up in.
    QCOMPARE(AppFiles::keymapFolder(), QDir::cleanPath(keymaps.path()));

    // Unset, the defaults are filled in and a missing folder falls back to the shipped ones.
    qunsetenv("VADIZEDE_ADB_PATH");
    qunsetenv("VADIZEDE_KEYMAP_PATH");
    setStartupEnvironment();
    QCOMPARE(qgetenv("VADIZEDE_ADB_PATH"), QByteArray("../../../ZelDravik/VaDizedeCore/src/third_party/adb/win/adb.exe"));
    QCOMPARE(qgetenv("VADIZEDE_KEYMAP_PATH"), QByteArray("../../../keymap"));
    QVERIFY(AppFiles::keymapFolder() != QDir::cleanPath(keymaps.path()));
}

void TestStartUp::logLineFormat_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<bool>("withContext");
    QTest::addColumn<QString>("line");

    QTest::newRow("info, no context") << int(QtInfoMsg) << "x" << false << "[I]: x (0:)";
    QTest::newRow("debug") << int(QtDebugMsg) << "adb path" << true << "[D]: adb path (42:void f())";
    QTest::newRow("warning") << int(QtWarningMsg) << "w" << true << "[W]: w (42:void f())";
    QTest::newRow("critical") << int(QtCriticalMsg) << "c" << true << "[C]: c (42:void f())";
    QTest::newRow("fatal") << int(QtFatalMsg) << "f" << true << "[F]: f (42:void f())";
    QTest::newRow("placeholders in text") << int(QtInfoMsg) << "push /sdcard/a%20b %1 %2" << false
                                          << "[I]: push /sdcard/a%20b %1 %2 (0:)";
}

void TestStartUp::logLineFormat()
{
    QFETCH(int, type);
    QFETCH(QString, msg);
    QFETCH(bool, withContext);
    QFETCH(QString, line);

    const QMessageLogContext none;
    const QMessageLogContext some("file.cpp", 42, "void f()", "default");
    QCOMPARE(formatLogLine(QtMsgType(type), withContext ? some : none, msg), line);
}

void TestStartUp::logFileTruncatedAtEachStartAndDroppedAfterClose()
{
    const QString path = m_home.filePath("appdebug.log");
    const QtMessageHandler previous = qInstallMessageHandler(myMessageOutput);

    openLogFile(path);
    qInfo("first run");
    closeLogFile();
    QVERIFY(readLines(path).size() == 1 && readLines(path).at(0).startsWith("[I]: first run ("));

    openLogFile(path);
    qWarning("second run");
    closeLogFile();
    qWarning("after close");
    qInstallMessageHandler(previous);

    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.at(0).startsWith("[W]: second run ("));
    QVERIFY(lines.at(0).endsWith("logFileTruncatedAtEachStartAndDroppedAfterClose())"));
    QVERIFY(!isLogFileOpen());
}

void TestStartUp::logLinesFromThreadsNeverInterleave()
{
    const QString path = m_home.filePath("threads.log");
    const QtMessageHandler previous = qInstallMessageHandler(myMessageOutput);
    openLogFile(path);

    constexpr int kThreads = 4;
    constexpr int kLines = 400;
    const QString payload(300, QChar('x'));
    std::vector<QThread*> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(QThread::create([t, &payload]() {
            for (int i = 0; i < kLines; ++i) {
                qDebug("thread %d line %d %s", t, i, qPrintable(payload));
            }
        }));
        threads.back()->start();
    }
    for (QThread* thread : threads) {
        QVERIFY(thread->wait(30000));
        delete thread;
    }
    closeLogFile();
    qInstallMessageHandler(previous);

    const QRegularExpression whole("^\\[D\\]: thread (\\d) line (\\d+) x{300} \\(\\d+:.*\\)$");
    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), kThreads * kLines);
    QVector<int> next(kThreads, 0);
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = whole.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line.left(80)));
        const int t = m.captured(1).toInt();
        QCOMPARE(m.captured(2).toInt(), next[t]++);
    }
}

void TestStartUp::versionString_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("shown");
    QTest::newRow("four parts") << "1.0.3.0" << "1.0.3";
    QTest::newRow("three parts") << "1.0.0" << "1.0.0";
    QTest::newRow("two parts") << "2.0" << "2.0";
    QTest::newRow("one part") << "7" << "7";
    QTest::newRow("empty parts are parts") << "1..3.4" << "1..3";
}

void TestStartUp::versionString()
{
    QFETCH(QString, version);
    QFETCH(QString, shown);
    QCOMPARE(displayVersion(version), shown);
}

void TestStartUp::openGLChoice()
{
    // The value 3 is no implementation: none is forced, high-DPI scaling is on regardless.
    QVERIFY(!s_beforeApp.software && !s_beforeApp.gles && !s_beforeApp.desktop);
    QVERIFY(s_beforeApp.highDpi);

    QCOMPARE(openGLAttribute(0), std::optional<Qt::ApplicationAttribute>(Qt::AA_UseSoftwareOpenGL));
    QCOMPARE(openGLAttribute(1), std::optional<Qt::ApplicationAttribute>(Qt::AA_UseOpenGLES));
    QCOMPARE(openGLAttribute(2), std::optional<Qt::ApplicationAttribute>(Qt::AA_UseDesktopOpenGL));
    QVERIFY(!openGLAttribute(-1).has_value());
    QVERIFY(!openGLAttribute(3).has_value());
}

void TestStartUp::translatorChoice_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("installed");
    QTest::newRow("English first") << QStringList{"en-US", "zh-CN"} << ":/i18n/en_US.qm";
    QTest::newRow("Chinese after a missing one") << QStringList{"de-DE", "zh-Hans-CN"} << ":/i18n/zh_CN.qm";
    QTest::newRow("none matches") << QStringList{"de-DE", "fr-FR"} << "";
    QTest::newRow("empty list") << QStringList{} << "";
}

void TestStartUp::translatorChoice()
{
    QFETCH(QStringList, languages);
    QFETCH(QString, installed);
    QCOMPARE(installTranslatorFor(languages), installed);
}

int main(int argc, char* argv[])
{
    applyOpenGLChoice(3);
    s_beforeApp.software = QCoreApplication::testAttribute(Qt::AA_UseSoftwareOpenGL);
    s_beforeApp.gles = QCoreApplication::testAttribute(Qt::AA_UseOpenGLES);
    s_beforeApp.desktop = QCoreApplication::testAttribute(Qt::AA_UseDesktopOpenGL);
    s_beforeApp.highDpi = QCoreApplication::testAttribute(Qt::AA_EnableHighDpiScaling);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestStartUp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
