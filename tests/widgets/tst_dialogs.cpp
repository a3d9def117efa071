#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include "Config.h"
#include "DevicesDialog.h"
#include "DocPicture.h"
#include "NoticePopup.h"
#include "ProgressDialog.h"
#include "ScriptFile.h"
#include "SettingDialog.h"
#include "StatementDialog.h"
#include "VersionDialog.h"
#include "WindowShape.h"
#include "adb/AdbProcess.h"

// The dialogs on a real display, with the settings store in a directory of their own.
class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void settingDialogShowsAndStoresFrameRate();
    void settingDialogStoresTheConnectionApartFromTheFrameRate();
    void browsedAdbIsUsedByTheNextCommandAndKept();
    void cancelledBrowseChangesNothing();
    void releaseOutsideClosesSettingDialog();
    void closeButtonsClose();
    void panelsShowNoBlackWithoutCompositing();
    void statementSpeaksTheInterfaceLanguage();
    void versionFallsBackToZeros();
    void noticeClosesItself();
    void catalogueIsComplete_data();
    void catalogueIsComplete();
    void dialogsSpeakChinese();
    void apkDialogsPictured_data();
    void apkDialogsPictured();

private:
    static QString configFile() { return Config::getConfigPath() + "/config.ini"; }
    // Answers the file chooser that the next modal loop opens.
    static void answerFileDialog(const QString& file);
};

static QTemporaryDir* s_dir = nullptr;

void TestDialogs::settingDialogShowsAndStoresFrameRate()
{
    // The template holds 45, which the dialog does not offer.
    SettingDialog dialog;
    auto* radio30 = dialog.findChild<QRadioButton*>("radio30fps");
    auto* radio60 = dialog.findChild<QRadioButton*>("radio60fps");
    QVERIFY(!radio30->isChecked());
    QVERIFY(!radio60->isChecked());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* note = dialog.findChild<QLabel*>("labelFpsNote");
    QVERIFY(!note->isVisible());
    QTest::mouseClick(radio30, Qt::LeftButton, {}, QPoint(9, radio30->height() / 2));
    QCOMPARE(Config::getInstance()->getMaxFps(), 30);
    QVERIFY(radio30->isChecked());
    // A connection keeps the rate it started with, and the dialog says so.
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QString("Applies from the next connection"));
    QTest::mouseClick(radio60, Qt::LeftButton, {}, QPoint(9, radio60->height() / 2));
    QCOMPARE(Config::getInstance()->getMaxFps(), 60);
    QVERIFY(radio60->isChecked() && !radio30->isChecked());
    QCOMPARE(QSettings(configFile(), QSettings::IniFormat).value("common/MaxFps").toInt(), 60);

    SettingDialog reopened;
    QVERIFY(reopened.findChild<QRadioButton*>("radio60fps")->isChecked());
}

void TestDialogs::settingDialogStoresTheConnectionApartFromTheFrameRate()
{
    SettingDialog dialog;
    auto* automatic = dialog.findChild<QRadioButton*>("radioAuto");
    auto* shell = dialog.findChild<QRadioButton*>("radioShell");
    QVERIFY(automatic->isChecked());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const bool sixty = dialog.findChild<QRadioButton*>("radio60fps")->isChecked();
    QTest::mouseClick(shell, Qt::LeftButton, {}, QPoint(9, shell->height() / 2));
    QVERIFY(shell->isChecked() && !automatic->isChecked());
    // The two choices are groups of their own: picking one leaves the other as it was.
    QCOMPARE(dialog.findChild<QRadioButton*>("radio60fps")->isChecked(), sixty);
    QCOMPARE(QSettings(configFile(), QSettings::IniFormat).value("common/Connection").toString(), QString("shell"));

    SettingDialog reopened;
    QVERIFY(reopened.findChild<QRadioButton*>("radioShell")->isChecked());
    QTest::mouseClick(automatic, Qt::LeftButton, {}, QPoint(9, automatic->height() / 2));
    QCOMPARE(Config::getInstance()->getConnection(), QString("auto"));
}

void TestDialogs::answerFileDialog(const QString& file)
{
    QTimer::singleShot(0, [file]() {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(chooser);
        if (file.isEmpty()) {
            chooser->reject();
            return;
        }
        chooser->selectFile(file);
        static_cast<QDialog*>(chooser)->accept();
    });
}

void TestDialogs::browsedAdbIsUsedByTheNextCommandAndKept()
{
    // A stand-in adb that leaves a mark when it runs.
    const QString adb = s_dir->filePath("my-adb");
    const QString mark = s_dir->filePath("my-adb.ran");
    QVERIFY(writeScript(adb, QString("echo \"$@\" > '%1'").arg(mark)));

    SettingDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    answerFileDialog(adb);
    QTest::mouseClick(dialog.findChild<QPushButton*>("buttonBrowse"), Qt::LeftButton);
    QCOMPARE(dialog.findChild<QLineEdit*>("editAdb")->text(), adb);
    QCOMPARE(QSettings(configFile(), QSettings::IniFormat).value("common/AdbPath").toString(), adb);

    dvk::AdbProcess process;
    QSignalSpy results(&process, &dvk::AdbProcess::adbProcessResult);
    process.execute(QString(), {"devices"});
    QTRY_VERIFY(results.contains(QVariantList{QVariant::fromValue(dvk::AdbProcess::ADB_EXIT_OK)}));
    QFile ran(mark);
    QVERIFY(ran.open(QIODevice::ReadOnly));
    QCOMPARE(ran.readAll().trimmed(), QByteArray("devices"));
}

void TestDialogs::cancelledBrowseChangesNothing()
{
    SettingDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QString before = dvk::AdbProcess::getAdbPath();
    answerFileDialog(QString());
    QTest::mouseClick(dialog.findChild<QPushButton*>("buttonBrowse"), Qt::LeftButton);
    QCOMPARE(dvk::AdbProcess::getAdbPath(), before);
    QCOMPARE(dialog.findChild<QLineEdit*>("editAdb")->text(), before);
}

void TestDialogs::releaseOutsideClosesSettingDialog()
{
    SettingDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Inside the window nothing happens; past its edge the release dismisses it.
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(dialog.isVisible());
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(-5, dialog.height() + 5));
    QTRY_VERIFY(!dialog.isVisible());
}

void TestDialogs::closeButtonsClose()
{
    SettingDialog setting;
    StatementDialog statement;
    VersionDialog version;
    DevicesDialog devices;
    for (QDialog* dialog : QList<QDialog*>{&setting, &statement, &version, &devices}) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->windowFlags() & Qt::FramelessWindowHint);
        // Clicked at its centre, where the window system hands the click to whatever is on top there.
        auto* close = dialog->findChild<QPushButton*>("buttonClose");
        const QPoint centre = close->geometry().center();
        QWidget* hit = dialog->childAt(centre);
        QVERIFY2(hit == close, qPrintable(dialog->objectName() + " has " + (hit ? hit->objectName() : "nothing")));
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(dialog, centre));
        QTRY_VERIFY2(!dialog->isVisible(), qPrintable(dialog->objectName()));
    }
}

// Without a compositing window manager nothing of a panel's window may show black: the window is
// cut to the rounded panel (and its close button), and what remains is drawn opaque.
void TestDialogs::panelsShowNoBlackWithoutCompositing()
{
    QVERIFY(!WindowShape::canBeSeeThrough());
    SettingDialog setting;
    StatementDialog statement;
    VersionDialog version;
    DevicesDialog devices;
    NoticePopup notice;
    notice.setText("A notice\nof two lines");
    for (QDialog* dialog : QList<QDialog*>{&setting, &statement, &version, &devices, &notice}) {
        const QString name = dialog->objectName();
        QVERIFY2(!dialog->testAttribute(Qt::WA_TranslucentBackground), qPrintable(name));
        auto* frame = dialog->findChild<QFrame*>("frame");
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QRegion shape = dialog->mask();
        QVERIFY2(!shape.isEmpty(), qPrintable(name));
        // The corners of the window, beside the panel's rounded corners, are cut away; its middle stays.
        QVERIFY2(!shape.contains(QPoint(0, dialog->height() - 1)), qPrintable(name));
        QVERIFY2(!shape.contains(frame->geometry().bottomLeft()), qPrintable(name));
        QVERIFY2(shape.contains(frame->geometry().center()), qPrintable(name));
        // What is left at the panel's edge and beside it is painted without black.
        const QImage picture = dialog->grab().toImage();
        const QRect inner = frame->geometry().adjusted(12, 12, -12, -12);
        int black = 0;
        for (const QRect& part : shape) {
            for (int y = part.top(); y <= part.bottom(); ++y) {
                for (int x = part.left(); x <= part.right(); ++x) {
                    black += !inner.contains(x, y) && qGray(picture.pixel(x, y)) < 8 ? 1 : 0;
                }
            }
        }
        QVERIFY2(black == 0, qPrintable(QString("%1: %2 black pixels").arg(name).arg(black)));
        dialog->hide();
    }
}

void TestDialogs::statementSpeaksTheInterfaceLanguage()
{
    StatementDialog english;
    const QString text = english.findChild<QLabel*>("labelContent")->text();
    QVERIFY2(text.startsWith("This program uses the following open-source components."), qPrintable(text));
    QVERIFY(text.contains("https://git.ffmpeg.org/ffmpeg.git"));

    QTranslator chinese;
    QVERIFY(chinese.load(":/i18n/zh_CN.qm"));
    QApplication::installTranslator(&chinese);
    StatementDialog translated;
    QApplication::removeTranslator(&chinese);
    QVERIFY(translated.findChild<QLabel*>("labelContent")->text().startsWith(QString::fromUtf8("本软件使用了以下开源组件")));
}

void TestDialogs::versionFallsBackToZeros()
{
    const QString saved = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QString());
    VersionDialog empty;
    QCOMPARE(empty.findChild<QLabel*>("labelContent")->text(), QString("Version Number: 0.0.0"));
    QCoreApplication::setApplicationVersion("1.2.3");
    VersionDialog set;
    QCOMPARE(set.findChild<QLabel*>("labelContent")->text(), QString("Version Number: 1.2.3"));
    QCoreApplication::setApplicationVersion(saved);
}

void TestDialogs::noticeClosesItself()
{
    NoticePopup notice;
    // The whole text shows, with the same margin after it as the form gives.
    auto* label = notice.findChild<QLabel*>("label");
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QCOMPARE(notice.width() - label->geometry().right() - 1, 25);
    QSignalSpy finished(&notice, &QDialog::finished);
    QTimer::singleShot(0, &notice, [&notice]() { QVERIFY(notice.isVisible()); });
    notice.exec();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!notice.isVisible());
}

// Every text the program shows has an entry in both catalogues, and none is left unfinished.
void TestDialogs::catalogueIsComplete_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en_US";
    QTest::newRow("Chinese") << "zh_CN";
}

void TestDialogs::catalogueIsComplete()
{
    QFETCH(QString, language);
    QFile file(VADIZEDE_SOURCE_DIR "/res/i18n/" + language + ".ts");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QSet<QString> present;
    QString context;
    QString source;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool unfinished = xml.attributes().hasAttribute("type");
            const QString key = context + "/" + source;
            QVERIFY2(!unfinished && !xml.readElementText().isEmpty(), qPrintable(key));
            present.insert(key);
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    const QStringList shown = {"ToolBar/Home", "ToolBar/Back", "ToolBar/Settings", "ToolBar/Snapshot",
        "ToolBar/Uninstall", "ToolBar/Recent Tasks", "ToolBar/LOGCAT", "ToolBar/ADB", "ToolBar/More",
        "ToolMenuMore/Adb Location", "ToolMenuMore/Statement", "ToolMenuMore/Version",
        "DropTip/Hi,\nDrag App to Left \nto Install it.", "SettingDialog/ADB File Location", "SettingDialog/Browse",
        "SettingDialog/FPS", "StatementDialog/Open Source Code Statement", "VersionDialog/Version Info",
        "VersionDialog/Version Number: %1", "NoticePopup/Successful connection", "LogoWidget/Please connect device",
        "VideoForm/Wireless", "DropAreaBase/Install Success:", "DropAreaBase/Install Failure:",
        "ProgressDialog/Installing Apk", "ProgressDialog/Confirm", "ToolMenuMore/Devices", "DevicesDialog/Devices",
        "DevicesDialog/Group control", "DevicesDialog/Mirror", "DevicesDialog/Stop",
        "DevicesDialog/Accept the USB debugging prompt on the phone", "DevicesDialog/Reconnect the cable"};
    for (const QString& key : shown) {
        QVERIFY2(present.contains(key), qPrintable(language + " lacks " + key));
    }
}

void TestDialogs::dialogsSpeakChinese()
{
    QTranslator chinese;
    QVERIFY(chinese.load(":/i18n/zh_CN.qm"));
    QApplication::installTranslator(&chinese);
    SettingDialog setting;
    VersionDialog version;
    NoticePopup notice;
    QApplication::removeTranslator(&chinese);

    QCOMPARE(setting.findChild<QLabel*>("labelFps")->text(), QString::fromUtf8("帧率设置"));
    QCOMPARE(setting.findChild<QPushButton*>("buttonBrowse")->text(), QString::fromUtf8("浏览"));
    QVERIFY(version.findChild<QLabel*>("labelContent")->text().startsWith(QString::fromUtf8("版本号：")));
    QCOMPARE(notice.findChild<QLabel*>("label")->text(), QString::fromUtf8("连接成功"));

    QTranslator english;
    QVERIFY(english.load(":/i18n/en_US.qm"));
    QCOMPARE(english.translate("NoticePopup", "Successful connection"), QString("Successful connection"));
}

// The APK dialogs for the documentation, over the window's background as they appear there.
void TestDialogs::apkDialogsPictured_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en";
    QTest::newRow("Chinese") << "zh";
}

void TestDialogs::apkDialogsPictured()
{
    QFETCH(QString, language);
    CatalogueInUse catalogue(language);
    QVERIFY(catalogue.isLoaded());
    ProgressDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::qWait(700);
    QVERIFY(saveDocPicture(dialog, language, "apk-progress"));
    dialog.showInstallResult(QCoreApplication::translate("DropAreaBase", "Install Success:") + "\r\nnotes.apk\r\n\r\n"
                             + QCoreApplication::translate("DropAreaBase", "Install Failure:") + "\r\nbroken.apk");
    QTest::qWait(100);
    QVERIFY(saveDocPicture(dialog, language, "apk-result"));
}

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    s_dir = &dir;
    QDir(dir.path()).mkdir("config");
    QSettings(dir.filePath("config/config.ini"), QSettings::IniFormat).setValue("common/MaxFps", 45);
    qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.filePath("config")));
    // The file chooser of Qt itself, the same on every desktop.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);

    QApplication app(argc, argv);
    TestDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogs.moc"
