#include "adb/AdbProcess.h"
#include "filehandler/FileHandler.h"

#include "SimDevice.h"

#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using dvk::FileHandler;

namespace {

// Stands in for adb: logs each command line, then behaves by the name of the file it is given.
const char* const kAdbStandIn = R"ADB(#!/bin/sh
dir=$(dirname "$0")
echo "$*" >> "$dir/calls.log"
[ "$1" = "-s" ] && shift 2
case "$1" in
push)
    case "$2" in *slow*) sleep 0.3 ;; esac
    [ -f "$2" ] || { echo "adb: error: cannot stat '$2'" >&2; exit 1; }
    exit 0 ;;
install)
    case "$3" in
    *crash*) kill -9 $$ ;;
    *bad*) echo "Failure [INSTALL_PARSE_FAILED_NOT_APK]"; exit 1 ;;
    *together*)
        # Succeeds only if a second install runs at the same time.
        touch "$dir/started.$$"
        i=0
        while [ "$(ls "$dir" | grep -c '^started\.')" -lt 2 ]; do
            i=$((i + 1)); [ $i -gt 100 ] && exit 1; sleep 0.05
        done
        echo Success; exit 0 ;;
    esac
    echo Success; exit 0 ;;
esac
exit 1
)ADB";

using Result = QPair<int, bool>;

QList<Result> results(const QSignalSpy& spy)
{
    QList<Result> out;
    for (const auto& args : spy) {
        out << Result(args.at(0).toInt(), args.at(1).toBool());
    }
    return out;
}

} // namespace

class TestFileHandler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void pushReportsOutcome_data();
    void pushReportsOutcome();
    void concurrentInstallsReportEachOnce();
    void failedInstallsReportOnce_data();
    void failedInstallsReportOnce();
    void missingAdbIsAnError();
    void handlerMayGoWhileRequestRuns();
    void transfersToSimulatedDevice();

private:
    QStringList calls() const;
    // Waits for the expected number of results and a little longer, so that a duplicate shows.
    void waitForResults(QSignalSpy& spy, int count);

    QTemporaryDir m_dir;
    QString m_adb;
};

void TestFileHandler::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_adb = m_dir.filePath("adb");
    QFile script(m_adb);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(kAdbStandIn);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestFileHandler::init()
{
    dvk::AdbProcess::setAdbPath(m_adb);
    QFile::remove(m_dir.filePath("calls.log"));
}

QStringList TestFileHandler::calls() const
{
    QFile log(m_dir.filePath("calls.log"));
    if (!log.open(QIODevice::ReadOnly)) {
        return QStringList();
    }
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

void TestFileHandler::waitForResults(QSignalSpy& spy, int count)
{
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), count, 10000);
    QTest::qWait(300);
    QCOMPARE(spy.count(), count);
}

void TestFileHandler::pushReportsOutcome_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<int>("result");
    QTest::newRow("pushed") << true << int(FileHandler::FAR_SUCCESS_EXEC);
    QTest::newRow("local file missing") << false << int(FileHandler::FAR_ERROR_EXEC);
}

void TestFileHandler::pushReportsOutcome()
{
    QFETCH(bool, fileExists);
    QFETCH(int, result);
    const QString file = m_dir.filePath(fileExists ? "photo.jpg" : "gone.jpg");
    if (fileExists) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    FileHandler handler;
    QSignalSpy spy(&handler, &FileHandler::fileHandlerResult);
    handler.onPushFileRequest("SER1", file, "/sdcard/");
    waitForResults(spy, 1);
    QCOMPARE(results(spy), QList<Result>{Result(result, false)});
    QCOMPARE(calls(), QStringList{"-s SER1 push " + file + " /sdcard/"});
}

void TestFileHandler::concurrentInstallsReportEachOnce()
{
    FileHandler handler;
    QSignalSpy spy(&handler, &FileHandler::fileHandlerResult);
    handler.onInstallApkRequest("SER1", "/apks/a-together.apk");
    handler.onInstallApkRequest("SER1", "/apks/b-together.apk");
    waitForResults(spy, 2);
    const Result installed(FileHandler::FAR_SUCCESS_EXEC, true);
    QCOMPARE(results(spy), (QList<Result>{installed, installed}));
    QStringList lines = calls();
    lines.sort();
    QCOMPARE(lines, (QStringList{"-s SER1 install -r /apks/a-together.apk", "-s SER1 install -r /apks/b-together.apk"}));
}

void TestFileHandler::failedInstallsReportOnce_data()
{
    QTest::addColumn<QString>("apk");
    QTest::newRow("install refused") << "/apks/bad.apk";
    // A killed adb reports a run error and then an abnormal exit.
    QTest::newRow("adb crashed") << "/apks/crash.apk";
}

void TestFileHandler::failedInstallsReportOnce()
{
    QFETCH(QString, apk);
    FileHandler handler;
    QSignalSpy spy(&handler, &FileHandler::fileHandlerResult);
    handler.onInstallApkRequest("SER1", apk);
    waitForResults(spy, 1);
    QCOMPARE(results(spy), QList<Result>{Result(FileHandler::FAR_ERROR_EXEC, true)});
}

void TestFileHandler::missingAdbIsAnError()
{
    dvk::AdbProcess::setAdbPath(m_dir.filePath("no-such-adb"));
    FileHandler handler;
    QSignalSpy spy(&handler, &FileHandler::fileHandlerResult);
    handler.onPushFileRequest("SER1", m_adb, "/sdcard/");
    handler.onInstallApkRequest("SER1", "/apks/app.apk");
    waitForResults(spy, 2);
    // Each start fails on its own; the two reports may come in either order.
    QList<Result> reported = results(spy);
    std::sort(reported.begin(), reported.end());
    QCOMPARE(reported, (QList<Result>{Result(FileHandler::FAR_ERROR_EXEC, false),
                                      Result(FileHandler::FAR_ERROR_EXEC, true)}));
}

void TestFileHandler::handlerMayGoWhileRequestRuns()
{
    const QString file = m_dir.filePath("slow.bin");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    {
        FileHandler handler;
        handler.onPushFileRequest("SER1", file, "/sdcard/");
    }
    // The transfer still runs to its end and its runner reports into nothing.
    QTRY_COMPARE_WITH_TIMEOUT(calls().size(), 1, 5000);
    QTest::qWait(600);
}

void TestFileHandler::transfersToSimulatedDevice()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());

    const QByteArray photoBytes = QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(5000, '\x5a');
    const QByteArray apkBytes = QByteArray("PK\x03\x04", 4) + "AndroidManifest.xml";
    const QMap<QString, QByteArray> files{{"photo.jpg", photoBytes}, {"alpha.apk", apkBytes},
                                          {"beta.apk", apkBytes}, {"broken.apk", "not a package"}};
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile f(m_dir.filePath(it.key()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }

    FileHandler handler;
    QSignalSpy spy(&handler, &FileHandler::fileHandlerResult);
    handler.onPushFileRequest(sim.serial(), m_dir.filePath("photo.jpg"), "/sdcard/");
    handler.onInstallApkRequest(sim.serial(), m_dir.filePath("alpha.apk"));
    handler.onInstallApkRequest(sim.serial(), m_dir.filePath("beta.apk"));
    handler.onInstallApkRequest(sim.serial(), m_dir.filePath("broken.apk"));
    handler.onPushFileRequest("NOSUCHDEVICE", m_dir.filePath("photo.jpg"), "/sdcard/");
    waitForResults(spy, 5);

    // The requests overlap, so the reports come in the order the commands end.
    QList<Result> reported = results(spy);
    std::sort(reported.begin(), reported.end());
    QCOMPARE(reported, (QList<Result>{Result(FileHandler::FAR_SUCCESS_EXEC, false),
                                      Result(FileHandler::FAR_SUCCESS_EXEC, true),
                                      Result(FileHandler::FAR_SUCCESS_EXEC, true),
                                      Result(FileHandler::FAR_ERROR_EXEC, false),
                                      Result(FileHandler::FAR_ERROR_EXEC, true)}));

    QFile pushed(sim.devicePath("/sdcard/photo.jpg"));
    QVERIFY(pushed.open(QIODevice::ReadOnly));
    QCOMPARE(pushed.readAll(), photoBytes);
    const QJsonArray packages = sim.deviceState().value("packages").toArray();
    QVERIFY(packages.contains("alpha") && packages.contains("beta"));
}

QTEST_GUILESS_MAIN(TestFileHandler)
#include "tst_filehandler.moc"
