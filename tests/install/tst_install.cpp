#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "MediaProbe.h"
#include "SimDevice.h"

// The program as installed: into a prefix of its own, and as a Debian package.
class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void installedProgramFindsItsFilesBesideItself();
    void debianPackageHoldsTheProgramAndNamesDebianPackages();

private:
    struct Result
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    static Result run(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
                      int timeoutMs = 60000);
};

TestInstall::Result TestInstall::run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                                     int timeoutMs)
{
    QProcess process;
    if (!env.isEmpty()) {
        process.setProcessEnvironment(env);
    }
    process.start(program, args);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = "did not finish: " + program + " " + args.join(' ');
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err += QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

void TestInstall::installedProgramFindsItsFilesBesideItself()
{
    QTemporaryDir prefix;
    const Result install = run(CMAKE_COMMAND, {"--install", VADIZEDE_BINARY_DIR, "--prefix", prefix.path()});
    QVERIFY2(install.exitCode == 0, qPrintable(install.err));
    for (const char* file : {"bin/vadizede", "share/applications/vadizede.desktop",
                             "share/icons/hicolor/scalable/apps/vadizede.svg", "share/icons/hicolor/256x256/apps/vadizede.png",
                             "libexec/vadizede/adb", "libexec/vadizede/dravik-server", "libexec/vadizede/dravik-sim-server"}) {
        QVERIFY2(QFileInfo::exists(prefix.filePath(file)), file);
    }
    const QString program = prefix.filePath("bin/vadizede");
    const Result version = run(program, {"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QString("VaDizede " VADIZEDE_VERSION "\n"));

    // Every shipped keymap is found by its name; the refusal that follows is the missing --record.
    const QStringList keymaps = QDir(prefix.filePath("share/vadizede/keymap")).entryList({"*.json"}, QDir::Files);
    for (const QString& keymap : keymaps) {
        const Result byName = run(program, {"--keymap", QFileInfo(keymap).completeBaseName(), "--no-display"});
        QCOMPARE(byName.exitCode, 2);
        QVERIFY2(byName.err.contains("--no-display needs --record"), qPrintable(keymap + ": " + byName.err));
    }

    // The installed helpers stand in for adb and the phone; the program pushes the server file it ships.
    SimDevice::Options options;
    options.faults.insert("closeAfterFrames", 8);
    SimDevice sim(options);
    QProcessEnvironment env = sim.environment();
    env.insert("PATH", prefix.filePath("libexec/vadizede") + ":" + QProcessEnvironment::systemEnvironment().value("PATH"));
    env.insert("XDG_DATA_HOME", prefix.filePath("data"));
    const QString record = prefix.filePath("out/clip.mp4");
    const Result recording = run(program, {"--no-display", "--record", record}, env);
    QVERIFY2(recording.exitCode == 0, qPrintable(recording.err));
    QCOMPARE(probeVideoStream(record).value("nb_read_frames").toString().toInt(), 8);
    QVERIFY(sim.invocations().first().value("argv").toVariant().toStringList() == QStringList{"devices"});
}

void TestInstall::debianPackageHoldsTheProgramAndNamesDebianPackages()
{
    QTemporaryDir out;
    QProcess cpack;
    cpack.setWorkingDirectory(VADIZEDE_BINARY_DIR);
    cpack.start(CPACK_COMMAND, {"-G", "DEB", "-B", out.path()});
    QVERIFY(cpack.waitForFinished(120000));
    QVERIFY2(cpack.exitCode() == 0, cpack.readAllStandardError().constData());
    const QStringList debs = QDir(out.path()).entryList({"vadizede_*.deb"});
    QCOMPARE(debs.size(), 1);
    const QString deb = out.filePath(debs.first());

    const Result depends = run("dpkg-deb", {"--field", deb, "Depends"});
    QCOMPARE(depends.exitCode, 0);
    for (const char* package : {"libqt5widgets5", "libqt5network5", "libavcodec", "libavformat", "libswscale"}) {
        QVERIFY2(depends.out.contains(package), qPrintable(depends.out));
    }
    QVERIFY2(!depends.out.contains(".so"), qPrintable(depends.out));
    QCOMPARE(run("dpkg-deb", {"--field", deb, "Package"}).out.trimmed(), QString("vadizede"));

    const Result contents = run("dpkg-deb", {"--contents", deb});
    for (const char* file : {"./usr/bin/vadizede", "./usr/share/applications/vadizede.desktop",
                             "./usr/share/icons/hicolor/scalable/apps/vadizede.svg",
                             "./usr/share/icons/hicolor/48x48/apps/vadizede.png", "./usr/libexec/vadizede/adb",
                             "./usr/libexec/vadizede/dravik-server"}) {
        QVERIFY2(contents.out.contains(QString(file) + "\n"), file);
    }
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
