#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include "ConnectedForm.h"
#include "LaunchOptions.h"
#include "ProgressDialog.h"
#include "WindowShape.h"
#include "VideoForm.h"

namespace {

// A file the adb stand-in installs: a zip holding a manifest.
QString writeApk(const QDir& dir, const QString& name)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray("PK\x03\x04", 4) + "AndroidManifest.xml");
    return file.fileName();
}

QString writeText(const QDir& dir, const QString& name)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write("not an application\n");
    return file.fileName();
}

ProgressDialog* findDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<ProgressDialog*>(widget)) {
            return dialog;
        }
    }
    return nullptr;
}

// Saved when the run asks for screenshots, so that they can be looked at.
void saveShot(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("VADIZEDE_SCREENSHOTS");
    if (!folder.isEmpty()) {
        widget->grab().save(QDir(folder).filePath(name + ".png"));
    }
}

QList<QUrl> urlsOf(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    return urls;
}

// A drag that enters the widget and drops there, as the desktop delivers it: the drop goes to the
// widget that accepted the enter.
void dragAndDrop(QWidget* widget, const QStringList& paths)
{
    QMimeData mime;
    mime.setUrls(urlsOf(paths));
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
}

QStringList installedFiles(const SimDevice& sim)
{
    QStringList files;
    for (const QJsonObject& call : sim.invocations()) {
        const QStringList argv = call.value("argv").toVariant().toStringList();
        const int at = argv.indexOf("install");
        if (at >= 0 && at + 2 < argv.size()) {
            files << QFileInfo(argv.at(at + 2)).fileName();
        }
    }
    return files;
}

} // namespace

class TestApkDrop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void dragEnterNeedsALocalFile();
    void mixedDropInstallsApksAndPushesTheRest();
    void otherFilesArePushedToTheChosenFolder();
    void failingPushShowsAdbError();
    void secondApkFailingShowsBothResults();
    void eachDropInstallsItsOwnList();
    void dialogShowsProgressThenElidedResult();
    void catalogueHasChineseTexts();

private:
    // Drops the files on the form and waits for the result; Confirm closes the dialog.
    QString dropAndConfirm(const QStringList& paths, const QString& shot = QString());
    // The device paths the drops pushed to, in order.
    QStringList pushedPaths() const;

    std::unique_ptr<ConnectedForm> m_connected;
    QTemporaryDir m_files;
};

void TestApkDrop::initTestCase()
{
    prepareFormTests();
    QVERIFY(m_files.isValid());
    m_connected = std::make_unique<ConnectedForm>();
    QString why;
    QVERIFY2(m_connected->start(QSize(300, 500), why), qPrintable(why));
}

void TestApkDrop::cleanupTestCase()
{
    m_connected.reset();
}

QString TestApkDrop::dropAndConfirm(const QStringList& paths, const QString& shot)
{
    QString result;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&]() {
        ProgressDialog* dialog = findDialog();
        if (!dialog || !dialog->isVisible()) {
            return;
        }
        auto* confirm = dialog->findChild<QPushButton*>("buttonConfirm");
        if (!confirm->isVisible()) {
            return;
        }
        poll.stop();
        result = dialog->findChild<QLabel*>("labelPrompt")->text();
        if (!shot.isEmpty()) {
            saveShot(dialog, shot);
        }
        QTest::mouseClick(confirm, Qt::LeftButton);
    });
    poll.start();

    dragAndDrop(m_connected->form.get(), paths);
    if (!QTest::qWaitFor([&]() { return !result.isNull(); }, 20000)) {
        return "no result shown";
    }
    if (!QTest::qWaitFor([]() { return findDialog() && !findDialog()->isVisible(); }, 5000)) {
        return "the dialog stayed open";
    }
    return result;
}

QStringList TestApkDrop::pushedPaths() const
{
    QStringList paths;
    for (const QJsonObject& event : m_connected->sim.eventLog()) {
        if (event.value("event").toString() == "push" && event.value("local").toString().startsWith(m_files.path())) {
            paths << event.value("remote").toString();
        }
    }
    return paths;
}

void TestApkDrop::dragEnterNeedsALocalFile()
{
    const QDir dir(m_files.path());
    const QString text = writeText(dir, "notes.txt");
    const QString zip = writeText(dir, "bundle.apk.zip");
    const QString apk = writeApk(dir, "Shouting.APK");
    QCOMPARE(VideoForm::apkUrls(urlsOf({text, apk, zip})), urlsOf({apk}));
    QCOMPARE(VideoForm::otherFileUrls(urlsOf({text, apk, zip})), urlsOf({text, zip}));

    // A link from a browser names no file on this computer: nothing to install or push.
    QMimeData refused;
    refused.setUrls({QUrl("https://example.com/app.apk"), QUrl("https://example.com/notes.txt")});
    QDragEnterEvent refusedEnter(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, &refused, Qt::LeftButton,
                                 Qt::NoModifier);
    refusedEnter.setAccepted(false);
    QApplication::sendEvent(m_connected->form.get(), &refusedEnter);
    QVERIFY(!refusedEnter.isAccepted());

    for (const QStringList& paths : {QStringList{text, zip}, QStringList{text, apk}}) {
        QMimeData accepted;
        accepted.setUrls(urlsOf(paths));
        QDragEnterEvent acceptedEnter(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, &accepted, Qt::LeftButton,
                                      Qt::NoModifier);
        acceptedEnter.setAccepted(false);
        QApplication::sendEvent(m_connected->form.get(), &acceptedEnter);
        QVERIFY(acceptedEnter.isAccepted());
        QCOMPARE(acceptedEnter.dropAction(), Qt::CopyAction);
    }
}

void TestApkDrop::mixedDropInstallsApksAndPushesTheRest()
{
    const QDir dir(m_files.path());
    const int installedBefore = installedFiles(m_connected->sim).size();
    const int pushedBefore = pushedPaths().size();
    const QString result = dropAndConfirm({writeText(dir, "readme.txt"), writeApk(dir, "com.example.notes.apk")},
                                          "apk-drop-success");
    QCOMPARE(result, QString("Install Success:\r\ncom.example.notes.apk\r\n\r\nPushed: readme.txt"));
    QCOMPARE(installedFiles(m_connected->sim).mid(installedBefore), QStringList({"com.example.notes.apk"}));
    QCOMPARE(pushedPaths().mid(pushedBefore), QStringList({"/sdcard/Download/readme.txt"}));
    QFile pushed(m_connected->sim.devicePath("/sdcard/Download/readme.txt"));
    QVERIFY(pushed.open(QIODevice::ReadOnly));
    QCOMPARE(pushed.readAll(), QByteArray("not an application\n"));
}

void TestApkDrop::otherFilesArePushedToTheChosenFolder()
{
    const QDir dir(m_files.path());
    const int pushedBefore = pushedPaths().size();
    LaunchOptions options;
    options.pushTarget = "/sdcard/Documents/";
    LaunchOptions::setCurrent(options);
    const QString result = dropAndConfirm({writeText(dir, "report one.pdf"), writeText(dir, "photo.jpg")});
    LaunchOptions::setCurrent(LaunchOptions());
    QCOMPARE(result, QString("Pushed: report one.pdf\r\n\r\nPushed: photo.jpg"));
    QCOMPARE(pushedPaths().mid(pushedBefore),
             QStringList({"/sdcard/Documents/report one.pdf", "/sdcard/Documents/photo.jpg"}));
    QVERIFY(QFileInfo::exists(m_connected->sim.devicePath("/sdcard/Documents/report one.pdf")));
    QVERIFY(!QFileInfo::exists(m_connected->sim.devicePath("/sdcard/Download/photo.jpg")));
}

void TestApkDrop::failingPushShowsAdbError()
{
    const QDir dir(m_files.path());
    LaunchOptions options;
    options.pushTarget = "/system/";
    LaunchOptions::setCurrent(options);
    QString full;
    QMetaObject::Connection watch = connect(m_connected->form.get(), &DropAreaBase::installResult, this,
                                            [&full](const QString& result) { full = result; });
    const QString shown = dropAndConfirm({writeText(dir, "settings.txt")}, "push-drop-failure");
    disconnect(watch);
    LaunchOptions::setCurrent(LaunchOptions());
    QVERIFY2(full.startsWith("adb: error: failed to copy") && full.endsWith("Read-only file system"), qPrintable(full));
    QVERIFY2(!full.contains("Pushed"), qPrintable(full));
    // The dialog shortens the long line in its middle; the reason stays readable.
    QVERIFY2(shown.endsWith("Read-only file system"), qPrintable(shown));
}

void TestApkDrop::secondApkFailingShowsBothResults()
{
    const QDir dir(m_files.path());
    const QString result = dropAndConfirm({writeApk(dir, "com.example.first.apk"), writeText(dir, "broken.apk")},
                                          "apk-drop-mixed");
    QCOMPARE(result, QString("Install Success:\r\ncom.example.first.apk\r\n\r\nInstall Failure:\r\nbroken.apk"));
}

void TestApkDrop::eachDropInstallsItsOwnList()
{
    // The second drop replaces the form's list while the first drop's worker may still be reading it.
    const QDir dir(m_files.path());
    const QString a = writeApk(dir, "com.example.a.apk");
    const QString b = writeApk(dir, "com.example.b.apk");
    const QString c = writeApk(dir, "com.example.c.apk");
    const int before = installedFiles(m_connected->sim).size();
    dragAndDrop(m_connected->form.get(), {a});
    dragAndDrop(m_connected->form.get(), {b, c});

    QStringList results;
    connect(m_connected->form.get(), &DropAreaBase::installResult, this,
            [&results](const QString& result) { results << result; });
    QTimer confirm;
    connect(&confirm, &QTimer::timeout, this, [&]() {
        ProgressDialog* dialog = findDialog();
        auto* button = dialog ? dialog->findChild<QPushButton*>("buttonConfirm") : nullptr;
        if (results.size() == 2 && button && button->isVisible()) {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    });
    confirm.start(10);
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 20000);
    QTRY_VERIFY(!findDialog()->isVisible());
    results.sort();
    QCOMPARE(results, QStringList({"Install Success:\r\ncom.example.a.apk",
                                   "Install Success:\r\ncom.example.b.apk\r\n\r\nInstall Success:\r\ncom.example.c.apk"}));
    QStringList installed = installedFiles(m_connected->sim).mid(before);
    installed.sort();
    QCOMPARE(installed, QStringList({"com.example.a.apk", "com.example.b.apk", "com.example.c.apk"}));
}

void TestApkDrop::dialogShowsProgressThenElidedResult()
{
    ProgressDialog dialog;
    QCOMPARE(dialog.size(), QSize(493, 200));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    // See-through only where windows are composited; here, without, cut to its rounded panel.
    QCOMPARE(dialog.testAttribute(Qt::WA_TranslucentBackground), WindowShape::canBeSeeThrough());
    dialog.show();
    QVERIFY(WindowShape::canBeSeeThrough() || !dialog.mask().isEmpty());
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* label = dialog.findChild<QLabel*>("labelPrompt");
    auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    auto* confirm = dialog.findChild<QPushButton*>("buttonConfirm");
    QCOMPARE(label->text(), QString("Installing Apk"));
    QVERIFY(!confirm->isVisible());
    // The animation keeps the bar moving.
    const int start = bar->value();
    QTRY_VERIFY(bar->value() != start);
    saveShot(&dialog, "apk-drop-installing");

    const QString longName = "com.example." + QString("verylongname").repeated(12) + ".apk";
    dialog.showInstallResult("Install Success:\r\n" + longName);
    QVERIFY(confirm->isVisible());
    QVERIFY(!bar->isVisible());
    const QStringList lines = label->text().split("\r\n");
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[1].contains(QChar(0x2026)) && lines[1].startsWith("com.example.") && lines[1].endsWith(".apk"),
             qPrintable(lines[1]));
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(lines[1]) <= label->width());
    saveShot(&dialog, "apk-drop-elided");
    QTest::mouseClick(confirm, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TestApkDrop::catalogueHasChineseTexts()
{
    QTranslator chinese;
    QVERIFY(chinese.load(":/i18n/zh_CN.qm"));
    QCOMPARE(chinese.translate("DropAreaBase", "Install Success:"), QString("已成功安装："));
    QCOMPARE(chinese.translate("DropAreaBase", "Install Failure:"), QString("安装失败："));
    QCOMPARE(chinese.translate("DropAreaBase", "Pushed: %1"), QString("已推送：%1"));
    QCOMPARE(chinese.translate("ProgressDialog", "Installing Apk"), QString("正在安装APK"));
    QCOMPARE(chinese.translate("ProgressDialog", "Confirm"), QString("确认"));
    QTranslator english;
    QVERIFY(english.load(":/i18n/en_US.qm"));
    QCOMPARE(english.translate("ProgressDialog", "Installing Apk"), QString("Installing APK"));
    QCOMPARE(english.translate("VideoForm", "Wireless"), QString("Wireless"));
}

QTEST_MAIN(TestApkDrop)
#include "tst_apkdrop.moc"
