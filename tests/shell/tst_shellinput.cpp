#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ScriptFile.h"
#include "controller/ControlMsg.h"
#include "shell/ShellCommands.h"
#include "shell/ShellConnection.h"
#include "shell/ShellInput.h"

using namespace dvk;

// A device shell stand-in: answers "echo" lines, writes every other line to a log, and waits
// for a gate file before its first command when asked to play a slow device.
static const char* kFakeShell = R"(
log="$FAKE_SHELL_LOG"
while IFS= read -r line; do
  case "$line" in
    "echo "*) echo "${line#echo }" ;;
    *) while [ -n "$FAKE_SHELL_GATE" ] && [ ! -e "$FAKE_SHELL_GATE" ]; do sleep 0.05; done
       printf '%s\n' "$line" >> "$log" ;;
  esac
done
)";

class TestShellInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pointsAreScaledRoundedAndKeptInsideTheDisplay_data();
    void pointsAreScaledRoundedAndKeptInsideTheDisplay();
    void textIsQuotedForTheDeviceShell_data();
    void textIsQuotedForTheDeviceShell();
    void recordSizeKeepsTheRatioInMultiplesOfEight();
    void displaySizePrefersTheOverride();
    void turnedPictureTurnsTheDisplay();
    void orientationIsReadFromDumpsys();

    void touchOnABarIsNotSent();
    void tapAndDragBecomeTapAndSwipe();
    void liveDragsBecomeMotionEvents();
    void keysGoOnReleaseOrAsLongPress();
    void textWheelPanelsAndBackBecomeCommands();
    void missingFeaturesAreReportedOncePerConnection();
    void slowDeviceDropsOldMovesButNeverDownOrUp();

private:
    ShellInput* startInput(bool liveDrags);
    QStringList waitForLines(int count, int timeoutMs = 10000);
    static ControlMsg touch(AndroidMotioneventAction action, int x, int y, quint64 id = MOUSE_POINTER_ID);
    static ControlMsg key(AndroidKeyeventAction action, AndroidKeycode code, quint32 repeat = 0);

    QTemporaryDir m_dir;
    QString m_adb;
    QString m_log;
    ShellInput* m_input = nullptr;
};

void TestShellInput::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_adb = m_dir.filePath("adb");
    QVERIFY(writeScript(m_adb, kFakeShell));
}

void TestShellInput::init()
{
    m_log = m_dir.filePath(QStringLiteral("log-%1").arg(QTest::currentTestFunction()));
    qputenv("FAKE_SHELL_LOG", m_log.toLocal8Bit());
    qunsetenv("FAKE_SHELL_GATE");
}

void TestShellInput::cleanup()
{
    delete m_input;
    m_input = nullptr;
}

ShellInput* TestShellInput::startInput(bool liveDrags)
{
    m_input = new ShellInput(m_adb, QStringLiteral("SER1"));
    m_input->setDisplaySize(QSize(1080, 2400));
    m_input->setLiveDrags(liveDrags);
    m_input->setLongPressMs(300);
    m_input->start();
    return m_input;
}

QStringList TestShellInput::waitForLines(int count, int timeoutMs)
{
    QStringList lines;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QFile file(m_log);
        if (file.open(QIODevice::ReadOnly)) {
            lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        }
        if (lines.size() >= count) {
            return lines;
        }
        QTest::qWait(20);
    }
    return lines;
}

ControlMsg TestShellInput::touch(AndroidMotioneventAction action, int x, int y, quint64 id)
{
    ControlMsg msg(ControlMsg::CONTROL_INJECT_TOUCH);
    msg.setInjectTouchMsgData(id, action, AMOTION_EVENT_BUTTON_PRIMARY, QRect(x, y, 540, 1200), 1.0f);
    return msg;
}

ControlMsg TestShellInput::key(AndroidKeyeventAction action, AndroidKeycode code, quint32 repeat)
{
    ControlMsg msg(ControlMsg::CONTROL_INJECT_KEYCODE);
    msg.setInjectKeycodeMsgData(action, code, repeat, AMETA_NONE);
    return msg;
}

void TestShellInput::pointsAreScaledRoundedAndKeptInsideTheDisplay_data()
{
    QTest::addColumn<QRect>("position");
    QTest::addColumn<QSize>("display");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("centre") << QRect(270, 600, 540, 1200) << QSize(1080, 2400) << QPoint(540, 1200);
    QTest::newRow("rounded") << QRect(1, 1, 3, 3) << QSize(10, 10) << QPoint(3, 3);
    QTest::newRow("right edge kept inside") << QRect(540, 1200, 540, 1200) << QSize(1080, 2400) << QPoint(1079, 2399);
    QTest::newRow("negative kept inside") << QRect(-5, -5, 540, 1200) << QSize(1080, 2400) << QPoint(0, 0);
    QTest::newRow("no frame size") << QRect(5, 5, 0, 0) << QSize(1080, 2400) << QPoint(0, 0);
    // 176 x 400 holds a 176 x 391 display picture between two bars of 4 rows.
    QTest::newRow("through the bars") << QRect(88, 4, 176, 400) << QSize(1080, 2400) << QPoint(540, 0);
    QTest::newRow("below the bars kept inside") << QRect(88, 399, 176, 400) << QSize(1080, 2400) << QPoint(540, 2399);
}

void TestShellInput::pointsAreScaledRoundedAndKeptInsideTheDisplay()
{
    QFETCH(QRect, position);
    QFETCH(QSize, display);
    QFETCH(QPoint, expected);
    QCOMPARE(ShellCommands::toDisplay(position, display), expected);
}

void TestShellInput::textIsQuotedForTheDeviceShell_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("dropped");
    QTest::newRow("shell characters") << "it's $HOME; a&b" << "input text 'it'\\''s%s$HOME;%sa&b'" << false;
    QTest::newRow("non-ASCII left out") << QString::fromUtf8("caf\xc3\xa9 ok") << "input text 'caf%sok'" << true;
    QTest::newRow("nothing typeable") << QString::fromUtf8("\xe4\xbd\xa0\xe5\xa5\xbd") << QString() << true;
    QTest::newRow("control characters") << "a\tb\n" << "input text 'ab'" << true;
}

void TestShellInput::textIsQuotedForTheDeviceShell()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QFETCH(bool, dropped);
    bool left = !dropped;
    QCOMPARE(ShellCommands::text(text, &left), line);
    QCOMPARE(left, dropped);
}

void TestShellInput::recordSizeKeepsTheRatioInMultiplesOfEight()
{
    QCOMPARE(ShellConnection::recordSize(QSize(1080, 2400), 1200), QSize(504, 1120));
    QCOMPARE(ShellConnection::recordSize(QSize(2400, 1080), 720), QSize(640, 288));
    QCOMPARE(ShellConnection::recordSize(QSize(1080, 2340), 1024), QSize(432, 936));
    // No size within a quarter of the limit has the exact ratio: the closest one.
    QCOMPARE(ShellConnection::recordSize(QSize(1080, 2341), 1024).height() % 8, 0);
    QCOMPARE(ShellConnection::recordSize(QSize(1080, 2400), 0), QSize());
    QCOMPARE(ShellConnection::recordSize(QSize(1080, 2400), 2400), QSize());
    QCOMPARE(ShellConnection::recordSize(QSize(1080, 2400), 3), QSize());
}

void TestShellInput::displaySizePrefersTheOverride()
{
    QCOMPARE(ShellConnection::displaySize("Physical size: 1080x2400\n"), QSize(1080, 2400));
    QCOMPARE(ShellConnection::displaySize("Physical size: 1080x2400\nOverride size: 720x1600\n"), QSize(720, 1600));
    QCOMPARE(ShellConnection::displaySize("wm: not found\n"), QSize());
}

void TestShellInput::turnedPictureTurnsTheDisplay()
{
    QCOMPARE(ShellConnection::mappedDisplay(QSize(1080, 2400), QSize(536, 1200)), QSize(1080, 2400));
    QCOMPARE(ShellConnection::mappedDisplay(QSize(1080, 2400), QSize(1200, 536)), QSize(2400, 1080));
}

void TestShellInput::touchOnABarIsNotSent()
{
    ShellInput* input = startInput(false);
    ControlMsg down(ControlMsg::CONTROL_INJECT_TOUCH);
    down.setInjectTouchMsgData(MOUSE_POINTER_ID, AMOTION_EVENT_ACTION_DOWN, AMOTION_EVENT_BUTTON_PRIMARY,
                               QRect(88, 1, 176, 400), 1.0f);
    ControlMsg up(ControlMsg::CONTROL_INJECT_TOUCH);
    up.setInjectTouchMsgData(MOUSE_POINTER_ID, AMOTION_EVENT_ACTION_UP, AMOTION_EVENT_BUTTON_PRIMARY,
                             QRect(88, 1, 176, 400), 0.0f);
    input->send(down);
    input->send(up);
    input->send(touch(AMOTION_EVENT_ACTION_DOWN, 270, 600));
    input->send(touch(AMOTION_EVENT_ACTION_UP, 270, 600));
    QCOMPARE(waitForLines(1), QStringList({"input tap 540 1200"}));
}

void TestShellInput::orientationIsReadFromDumpsys()
{
    QCOMPARE(ShellConnection::orientationFrom("    Viewport INTERNAL\n      SurfaceOrientation: 1\n"), 1);
    QCOMPARE(ShellConnection::orientationFrom("      SurfaceOrientation: 0\n      SurfaceOrientation: 3\n"), 0);
    QCOMPARE(ShellConnection::orientationFrom("Input Reader State:\n"), -1);
    QCOMPARE(ShellConnection::orientationFrom("SurfaceOrientation: 7"), -1);
}

void TestShellInput::tapAndDragBecomeTapAndSwipe()
{
    ShellInput* input = startInput(false);
    input->send(touch(AMOTION_EVENT_ACTION_DOWN, 270, 600));
    input->send(touch(AMOTION_EVENT_ACTION_UP, 270, 600));
    input->send(touch(AMOTION_EVENT_ACTION_DOWN, 100, 100));
    input->send(touch(AMOTION_EVENT_ACTION_MOVE, 150, 200));
    input->send(touch(AMOTION_EVENT_ACTION_MOVE, 200, 300));
    input->send(touch(AMOTION_EVENT_ACTION_UP, 200, 300));
    const QStringList lines = waitForLines(2);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QString("input tap 540 1200"));
    QVERIFY2(lines.at(1).startsWith("input swipe 200 200 400 600 "), qPrintable(lines.at(1)));
    QVERIFY(lines.at(1).section(' ', -1).toInt() >= 1);
}

void TestShellInput::liveDragsBecomeMotionEvents()
{
    ShellInput* input = startInput(true);
    input->send(touch(AMOTION_EVENT_ACTION_DOWN, 270, 600));
    input->send(touch(AMOTION_EVENT_ACTION_UP, 270, 600));
    input->send(touch(AMOTION_EVENT_ACTION_DOWN, 100, 100));
    for (int i = 1; i <= 5; ++i) {
        input->send(touch(AMOTION_EVENT_ACTION_MOVE, 100 + 10 * i, 100));
        QTest::qWait(ShellInput::kMoveIntervalMs + 4);
    }
    input->send(touch(AMOTION_EVENT_ACTION_UP, 150, 100));
    const QStringList lines = waitForLines(8);
    QCOMPARE(lines.first(), QString("input tap 540 1200"));
    QCOMPARE(lines.at(1), QString("input motionevent DOWN 200 200"));
    QCOMPARE(lines.last(), QString("input motionevent UP 300 200"));
    for (int i = 2; i < lines.size() - 1; ++i) {
        QVERIFY2(lines.at(i).startsWith("input motionevent MOVE "), qPrintable(lines.at(i)));
    }
}

void TestShellInput::keysGoOnReleaseOrAsLongPress()
{
    ShellInput* input = startInput(false);
    input->send(key(AKEY_EVENT_ACTION_DOWN, AKEYCODE_HOME));
    input->send(key(AKEY_EVENT_ACTION_UP, AKEYCODE_HOME));
    // A release whose press was never seen sends nothing.
    input->send(key(AKEY_EVENT_ACTION_UP, AKEYCODE_A));
    input->send(key(AKEY_EVENT_ACTION_DOWN, AKEYCODE_POWER));
    input->send(key(AKEY_EVENT_ACTION_DOWN, AKEYCODE_POWER, 1));
    QStringList lines = waitForLines(2);
    QCOMPARE(lines, QStringList({"input keyevent 3", "input keyevent --longpress 26"}));
    input->send(key(AKEY_EVENT_ACTION_UP, AKEYCODE_POWER));
    input->send(key(AKEY_EVENT_ACTION_DOWN, AKEYCODE_BACK));
    input->send(key(AKEY_EVENT_ACTION_UP, AKEYCODE_BACK));
    lines = waitForLines(3);
    QCOMPARE(lines, QStringList({"input keyevent 3", "input keyevent --longpress 26", "input keyevent 4"}));
}

void TestShellInput::textWheelPanelsAndBackBecomeCommands()
{
    ShellInput* input = startInput(false);
    QString text = "it's $HOME; a&b";
    ControlMsg typed(ControlMsg::CONTROL_INJECT_TEXT);
    typed.setInjectTextMsgData(text);
    input->send(typed);
    ControlMsg wheel(ControlMsg::CONTROL_INJECT_SCROLL);
    wheel.setInjectScrollMsgData(QRect(10, 10, 540, 1200), 0, 1);
    input->send(wheel);
    ControlMsg back(ControlMsg::CONTROL_BACK_OR_SCREEN_ON);
    back.setBackOrScreenOnData(true);
    input->send(back);
    back.setBackOrScreenOnData(false);
    input->send(back);
    input->send(ControlMsg(ControlMsg::CONTROL_EXPAND_NOTIFICATION_PANEL));
    input->send(ControlMsg(ControlMsg::CONTROL_COLLAPSE_PANEL));
    const QStringList lines = waitForLines(5);
    QCOMPARE(lines, QStringList({"input text 'it'\\''s%s$HOME;%sa&b'", "input roll 0 -1", "input keyevent 4",
                                 "cmd statusbar expand-notifications", "cmd statusbar collapse"}));
}

void TestShellInput::missingFeaturesAreReportedOncePerConnection()
{
    ShellInput* input = startInput(false);
    QSignalSpy missing(input, &ShellInput::missing);
    QSignalSpy dropped(input, &ShellInput::textDropped);
    for (int i = 0; i < 2; ++i) {
        ControlMsg get(ControlMsg::CONTROL_GET_CLIPBOARD);
        get.setGetClipboardMsgData(ControlMsg::COPY_KEY_COPY);
        input->send(get);
        ControlMsg power(ControlMsg::CONTROL_SET_SCREEN_POWER_MODE);
        power.setSetScreenPowerModeData(ControlMsg::SCREEN_POWER_OFF);
        input->send(power);
        input->send(touch(AMOTION_EVENT_ACTION_DOWN, 10, 10, 1));
        input->send(touch(AMOTION_EVENT_ACTION_DOWN, 20, 20, 2));
        input->send(touch(AMOTION_EVENT_ACTION_UP, 20, 20, 2));
        input->send(touch(AMOTION_EVENT_ACTION_UP, 10, 10, 1));
        QString text = QString::fromUtf8("\xc3\xbc");
        ControlMsg typed(ControlMsg::CONTROL_INJECT_TEXT);
        typed.setInjectTextMsgData(text);
        input->send(typed);
    }
    QCOMPARE(missing.size(), 3);
    QCOMPARE(dropped.size(), 1);
    // The first finger still taps; the second is not followed.
    QCOMPARE(waitForLines(2), QStringList({"input tap 20 20", "input tap 20 20"}));
}

void TestShellInput::slowDeviceDropsOldMovesButNeverDownOrUp()
{
    const QString gate = m_dir.filePath("gate");
    qputenv("FAKE_SHELL_GATE", gate.toLocal8Bit());
    ShellInput* input = startInput(true);
    input->send(touch(AMOTION_EVENT_ACTION_DOWN, 0, 0));
    const int moves = ShellInput::kQueueLimit * 2;
    for (int i = 1; i <= moves; ++i) {
        input->send(touch(AMOTION_EVENT_ACTION_MOVE, i, 0));
        QTest::qWait(ShellInput::kMoveIntervalMs + 1);
    }
    input->send(touch(AMOTION_EVENT_ACTION_UP, moves, 0));
    QFile(gate).open(QIODevice::WriteOnly);

    QStringList lines;
    QTRY_VERIFY_WITH_TIMEOUT((lines = waitForLines(1, 100)).endsWith(QString("input motionevent UP %1 0").arg(moves * 2)),
                             20000);
    QCOMPARE(lines.first(), QString("input motionevent DOWN 0 0"));
    QVERIFY2(lines.size() <= ShellInput::kQueueLimit + ShellInput::kInFlight + 2, qPrintable(QString::number(lines.size())));
    int lastX = -1;
    for (const QString& line : lines.mid(1, lines.size() - 2)) {
        const int x = line.section(' ', 3, 3).toInt();
        QVERIFY2(x > lastX, qPrintable(line));
        lastX = x;
    }
}

QTEST_GUILESS_MAIN(TestShellInput)
#include "tst_shellinput.moc"
