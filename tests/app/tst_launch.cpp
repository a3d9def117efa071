#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Starts the real program the way run.sh does and checks what a first start leaves in the data directory.
class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    void firstAndSecondStart();

private:
    static QString readAll(const QString& path);
    bool runOnce(const QString& home, const QString& stale, QString* log);
};

QString TestLaunch::readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

// Runs the program until its start-up has logged the version and name into a log without the stale text.
bool TestLaunch::runOnce(const QString& home, const QString& stale, QString* log)
{
    const QString logPath = home + "/VuvodiZidevi/appdebug.log";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home);
    if (env.value("DISPLAY").isEmpty()) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    QProcess app;
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(VADIZEDE_SOURCE_DIR);
    app.start(VADIZEDE_BINARY_DIR "/app/vadizede", QStringList());
    if (!app.waitForStarted(10000)) {
        return false;
    }
    bool ready = false;
    for (int i = 0; i < 600 && !ready; ++i) {
        QTest::qWait(50);
        const QString text = readAll(logPath);
        ready = text.contains("[D]: VaDizede (") && !text.contains(stale);
    }
    app.terminate();
    if (!app.waitForFinished(10000)) {
        app.kill();
        app.waitForFinished(5000);
    }
    *log = readAll(logPath);
    return ready;
}

void TestLaunch::firstAndSecondStart()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());

    QString log;
    QVERIFY(runOnce(home.path(), "no stale text", &log));
    const QString seeded = home.filePath("VuvodiZidevi/config/config.ini");
    QVERIFY(QFile::exists(seeded));
    QCOMPARE(readAll(seeded), readAll(VADIZEDE_SOURCE_DIR "/config/config.ini"));
    QVERIFY2(log.startsWith("[D]: "), qPrintable(log.left(200)));
    QVERIFY(log.contains("[D]: " VADIZEDE_VERSION " ("));

    // A second start begins a fresh log.
    QFile marker(home.filePath("VuvodiZidevi/appdebug.log"));
    QVERIFY(marker.open(QIODevice::Append));
    marker.write("[I]: from the first run (0:)\n");
    marker.close();
    QVERIFY(runOnce(home.path(), "from the first run", &log));
    QVERIFY(log.contains("[D]: VaDizede ("));
}

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
