#include <QCursor>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

#include "GameRecorder.h"
#include "controller/Controller.h"
#include "controller/inputconvert/InputConvertGame.h"

using namespace dvk;

namespace {

// Frame and shown area of the same size, so that a screen fraction f is pixel 1000 f.
const QSize kSize(1000, 1000);
const qint64 kMouseId = -1;

QJsonObject pos(double x, double y)
{
    return QJsonObject{{"x", x}, {"y", y}};
}

QJsonObject click(const char* key, double x, double y, bool switchMap = false)
{
    return QJsonObject{{"type", "KMT_CLICK"}, {"key", key}, {"pos", pos(x, y)}, {"switchMap", switchMap}};
}

QJsonObject steerWheel(const char* up)
{
    return QJsonObject{{"type", "KMT_STEER_WHEEL"}, {"upKey", up},          {"rightKey", "Key_D"},
                       {"downKey", "Key_S"},         {"leftKey", "Key_A"},    {"upOffset", 0.1},
                       {"rightOffset", 0.1},         {"downOffset", 0.05},    {"leftOffset", 0.1},
                       {"centerPos", pos(0.2, 0.7)}};
}

QJsonObject clickMulti(const char* key)
{
    return QJsonObject{{"type", "KMT_CLICK_MULTI"},
                       {"key", key},
                       {"clickNodes", QJsonArray{QJsonObject{{"delay", 0}, {"pos", pos(0.1, 0.9)}},
                                                 QJsonObject{{"delay", 100}, {"pos", pos(0.2, 0.9)}}}}};
}

QJsonObject drag(const char* key, QJsonObject start, QJsonObject end)
{
    return QJsonObject{{"type", "KMT_DRAG"}, {"key", key}, {"startPos", start}, {"endPos", end}};
}

QJsonObject keysOnly()
{
    QJsonObject twice{{"type", "KMT_CLICK_TWICE"}, {"key", "Key_T"}, {"pos", pos(0.4, 0.4)}};
    return QJsonObject{
        {"switchKey", "Key_QuoteLeft"},
        {"keyMapNodes",
         QJsonArray{click("Key_1", 0.1, 0.1), click("Key_2", 0.2, 0.2), click("Key_3", 0.3, 0.3), twice,
                    clickMulti("Key_M"), clickMulti("MiddleButton"), drag("Key_G", pos(0.2, 0.5), pos(0.6, 0.5)),
                    drag("Key_H", pos(0.5, 0.5), pos(0.505, 0.508)), steerWheel("Key_W"),
                    click("LeftButton", 0.9, 0.8), click("Key_F", 0.7, 0.7, true)}}};
}

QJsonObject withView(double ratio = 1.0, const char* smallEyes = "Key_Alt")
{
    QJsonObject keymap = keysOnly();
    keymap.insert("mouseMoveMap", QJsonObject{{"startPos", pos(0.5, 0.5)},
                                              {"speedRatioX", ratio},
                                              {"speedRatioY", ratio},
                                              {"smallEyes", click(smallEyes, 0.8, 0.2)}});
    return keymap;
}

QString text(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

Sent touch(int action, qint64 id, int x, int y)
{
    Sent sent;
    sent.type = 2;
    sent.action = action;
    sent.id = id;
    sent.pos = QPoint(x, y);
    return sent;
}

// Touches compare by action, pointer id and pixel; times are checked where they matter.
QList<QString> shape(const QList<Sent>& sent)
{
    QList<QString> out;
    for (const Sent& one : sent) {
        Sent copy = one;
        copy.at = 0;
        out << copy.describe();
    }
    return out;
}

} // namespace

class TestInputConvertGame : public QObject
{
    Q_OBJECT

private:
    void start(const QJsonObject& keymap)
    {
        m_recorder = GameRecorder();
        m_controller = new Controller(m_recorder.writer(), text(keymap), this);
        QVERIFY(converter());
    }

    InputConvertGame* converter() const { return m_controller->findChild<InputConvertGame*>(); }

    void key(QEvent::Type type, int code, bool autoRepeat = false)
    {
        QKeyEvent event(type, code, Qt::NoModifier, QString(), autoRepeat);
        m_controller->keyEvent(&event, kSize, kSize);
    }
    void press(int code, bool autoRepeat = false) { key(QEvent::KeyPress, code, autoRepeat); }
    void release(int code, bool autoRepeat = false) { key(QEvent::KeyRelease, code, autoRepeat); }

    void enterGame()
    {
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: custom");
        press(Qt::Key_QuoteLeft);
        QVERIFY(m_controller->isCurrentCustomKeymap());
    }

    void mouse(QEvent::Type type, QPointF local, Qt::MouseButton button = Qt::NoButton,
               Qt::MouseButtons buttons = Qt::NoButton, const QSize& shown = kSize)
    {
        QMouseEvent event(type, local, local + QPointF(300, 200), button, buttons, Qt::NoModifier);
        m_controller->mouseEvent(&event, kSize, shown);
    }
    void moveTo(double x, double y, const QSize& shown = kSize) { mouse(QEvent::MouseMove, QPointF(x, y), Qt::NoButton, Qt::NoButton, shown); }

    // The intervals of the pending single-shot steps, in the order they were scheduled.
    QList<int> pendingSteps() const
    {
        QList<int> intervals;
        for (QTimer* timer : converter()->findChildren<QTimer*>("gameStepTimer")) {
            if (timer->isActive()) {
                intervals << timer->interval();
            }
        }
        return intervals;
    }

    // Waits until a touch with this action has been written; then returns all since the last take.
    QList<Sent> takeUntil(int action, int timeoutMs = 5000)
    {
        QList<Sent> sent;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeoutMs) {
            sent += m_recorder.take();
            if (!sent.isEmpty() && sent.last().action == action) {
                return sent;
            }
            QTest::qWait(5);
        }
        return sent;
    }

    GameRecorder m_recorder;
    QPointer<Controller> m_controller;

private slots:
    void cleanup()
    {
        delete m_controller;
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void switchKeyTogglesModesAndIsNeverSent()
    {
        start(keysOnly());
        press(Qt::Key_A);
        release(Qt::Key_A);
        QCOMPARE(m_recorder.take().size(), 2);

        enterGame();
        release(Qt::Key_QuoteLeft);
        // Holding the switch key: each repeated press switches again.
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft, true);
        QVERIFY(!m_controller->isCurrentCustomKeymap());
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: custom");
        press(Qt::Key_QuoteLeft, true);
        QVERIFY(m_controller->isCurrentCustomKeymap());
        QVERIFY(m_recorder.take().isEmpty());

        // Game mode swallows unmapped keys and the wheel.
        press(Qt::Key_Z);
        release(Qt::Key_Z);
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        m_controller->wheelEvent(&wheel, kSize, kSize);
        QVERIFY(m_recorder.take().isEmpty());

        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
        press(Qt::Key_A);
        const QList<Sent> normal = m_recorder.take();
        QCOMPARE(normal.size(), 1);
        QCOMPARE(normal.first().type, 0);
    }

    void charactersWithoutKeyCodeTypeOnlyOutsideGameMode()
    {
        start(keysOnly());
        QKeyEvent eacute(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
        m_controller->keyEvent(&eacute, kSize, kSize);
        const QList<Sent> typed = m_recorder.take();
        QCOMPARE(typed.size(), 1);
        QCOMPARE(typed.first().type, 1);

        enterGame();
        m_controller->keyEvent(&eacute, kSize, kSize);
        QVERIFY(m_recorder.take().isEmpty());
    }

    void mouseButtonAsSwitchKey()
    {
        QJsonObject keymap = keysOnly();
        keymap.insert("switchKey", "RightButton");
        start(keymap);
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: custom");
        mouse(QEvent::MouseButtonPress, QPointF(10, 10), Qt::RightButton, Qt::RightButton);
        mouse(QEvent::MouseButtonRelease, QPointF(10, 10), Qt::RightButton, Qt::NoButton);
        QVERIFY(m_controller->isCurrentCustomKeymap());
        // The quote-left key is an ordinary key now: unmapped, so swallowed.
        press(Qt::Key_QuoteLeft);
        QVERIFY(m_recorder.take().isEmpty());
    }

    void clickKeysTakeTheLowestFreePointerId()
    {
        start(keysOnly());
        enterGame();
        press(Qt::Key_1);
        press(Qt::Key_1, true);
        release(Qt::Key_1, true);
        press(Qt::Key_2);
        release(Qt::Key_1);
        press(Qt::Key_3);
        release(Qt::Key_2);
        release(Qt::Key_3);
        QCOMPARE(shape(m_recorder.take()),
                 shape({touch(0, 0, 100, 100), touch(0, 1, 200, 200), touch(1, 0, 100, 100), touch(0, 0, 300, 300),
                        touch(1, 1, 200, 200), touch(1, 0, 300, 300)}));
    }

    void clickTwiceTapsOnPressAndOnRelease()
    {
        start(keysOnly());
        enterGame();
        press(Qt::Key_1);
        press(Qt::Key_T);
        release(Qt::Key_T);
        release(Qt::Key_1);
        QCOMPARE(shape(m_recorder.take()),
                 shape({touch(0, 0, 100, 100), touch(0, 1, 400, 400), touch(1, 1, 400, 400), touch(0, 1, 400, 400),
                        touch(1, 1, 400, 400), touch(1, 0, 100, 100)}));
    }

    void multiClickTapsInTime()
    {
        start(keysOnly());
        enterGame();
        const qint64 pressed = m_recorder.now();
        press(Qt::Key_M);
        release(Qt::Key_M);
        // Each tap lasts 20 ms and each delay counts from the previous tap's release.
        QCOMPARE(pendingSteps(), (QList<int>{0, 20, 120, 140}));

        QTRY_COMPARE_WITH_TIMEOUT(m_recorder.peek().size(), 4, 5000);
        const QList<Sent> all = m_recorder.take();
        QCOMPARE(shape(all), shape({touch(0, 0, 100, 900), touch(1, 0, 100, 900), touch(0, 0, 200, 900),
                                    touch(1, 0, 200, 900)}));
        // Measured from the press, no tap comes early; a loaded machine can only make them late.
        const qint64 expected[] = {0, 20, 120, 140};
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(all.at(i).at - pressed >= expected[i] - 1, qPrintable(GameRecorder::describe(all)));
        }
    }

    void dragStepsToOneStepShortOfTheEnd()
    {
        start(keysOnly());
        enterGame();
        press(Qt::Key_G);
        release(Qt::Key_G);
        const QList<Sent> sent = takeUntil(GameRecorder::Up);
        QVERIFY2(sent.size() >= 40, qPrintable(GameRecorder::describe(sent)));
        QCOMPARE(shape({sent.first()}), shape({touch(0, 0, 200, 500)}));
        const QList<Sent> moves = sent.mid(1, sent.size() - 2);
        QVERIFY(moves.size() >= 38 && moves.size() <= 40);
        for (int i = 0; i < moves.size(); ++i) {
            QCOMPARE(moves.at(i).action, int(GameRecorder::Move));
            QVERIFY(qAbs(moves.at(i).pos.y() - 500) <= 3);
            if (i > 0) {
                const int step = moves.at(i).pos.x() - moves.at(i - 1).pos.x();
                QVERIFY2(step >= 5 && step <= 15, qPrintable(GameRecorder::describe(sent)));
            }
        }
        QVERIFY2(qAbs(moves.last().pos.x() - 590) <= 3, qPrintable(moves.last().describe()));
        QCOMPARE(sent.last().action, int(GameRecorder::Up));
        QCOMPARE(sent.last().pos, moves.last().pos);
        QCOMPARE(sent.last().id, qint64(0));
    }

    void dragShorterThanAStepLiftsAtOnce()
    {
        start(keysOnly());
        enterGame();
        press(Qt::Key_H);
        QCOMPARE(shape(takeUntil(GameRecorder::Up)), shape({touch(0, 0, 500, 500), touch(1, 0, 500, 500)}));
    }

    void newDragLiftsTheRunningOne()
    {
        start(keysOnly());
        enterGame();
        press(Qt::Key_G);
        press(Qt::Key_H);
        const QList<Sent> sent = takeUntil(GameRecorder::Up);
        QCOMPARE(shape(sent.mid(0, 2)), shape({touch(0, 0, 200, 500), touch(1, 0, 200, 500)}));
        QCOMPARE(shape(sent.mid(2)), shape({touch(0, 0, 500, 500), touch(1, 0, 500, 500)}));
    }

    void steerWheelAimsByHeldKeys()
    {
        start(keysOnly());
        enterGame();
        press(Qt::Key_W);
        QList<Sent> sent = takeUntil(GameRecorder::Move);
        QCOMPARE(shape({sent.first()}), shape({touch(0, 0, 200, 700)}));
        // Up alone ends one step short of the up offset: (0.2, 0.61).
        QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.peek().isEmpty() && qAbs(m_recorder.peek().last().pos.y() - 610) <= 3,
                                 5000);
        QTest::qWait(50);
        sent += m_recorder.take();
        QVERIFY2(qAbs(sent.last().pos.x() - 200) <= 3 && qAbs(sent.last().pos.y() - 610) <= 3,
                 qPrintable(GameRecorder::describe(sent)));
        for (const Sent& move : sent.mid(1)) {
            QCOMPARE(move.id, qint64(0));
            QCOMPARE(move.action, int(GameRecorder::Move));
        }

        // Adding right re-aims toward (0.3, 0.6), from where the finger is.
        // A path from a jittered point ends one to two steps short of its target.
        press(Qt::Key_D);
        QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.peek().isEmpty() && qAbs(m_recorder.peek().last().pos.x() - 300) <= 22
                                     && qAbs(m_recorder.peek().last().pos.y() - 600) <= 22,
                                 5000);
        // Releasing up leaves it steering right, toward (0.3, 0.7).
        release(Qt::Key_W);
        QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.peek().isEmpty() && qAbs(m_recorder.peek().last().pos.y() - 700) <= 22,
                                 5000);
        release(Qt::Key_D);
        sent = m_recorder.take();
        QCOMPARE(sent.last().action, int(GameRecorder::Up));
        QCOMPARE(sent.last().pos, sent.at(sent.size() - 2).pos);
        QTest::qWait(30);
        QVERIFY(m_recorder.take().isEmpty());
    }

    void steerWheelUpAndDownTogether()
    {
        start(keysOnly());
        enterGame();
        // Both before the finger moves: the path runs from the centre to (0.2, 0.7 + 0.05 - 0.1).
        press(Qt::Key_W);
        press(Qt::Key_S);
        QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.peek().isEmpty() && qAbs(m_recorder.peek().last().pos.y() - 660) <= 3,
                                 5000);
        QTest::qWait(50);
        const QList<Sent> sent = m_recorder.take();
        QVERIFY2(qAbs(sent.last().pos.y() - 660) <= 3 && sent.size() <= 6, qPrintable(GameRecorder::describe(sent)));
        release(Qt::Key_W);
        release(Qt::Key_S);
        QTRY_VERIFY(!m_recorder.peek().isEmpty() && m_recorder.peek().last().action == GameRecorder::Up);
        m_recorder.take();
    }

    void mouseButtonsInGameMode()
    {
        QJsonObject keymap = keysOnly();
        QJsonArray nodes = keymap.value("keyMapNodes").toArray();
        nodes.append(steerWheel("BackButton"));
        keymap.insert("keyMapNodes", nodes);
        start(keymap);
        enterGame();

        // A bound button touches the node's position, an unbound one acts as the normal mouse.
        mouse(QEvent::MouseButtonPress, QPointF(10, 20), Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, QPointF(10, 20), Qt::LeftButton, Qt::NoButton);
        mouse(QEvent::MouseButtonPress, QPointF(10, 20), Qt::RightButton, Qt::RightButton);
        QCOMPARE(shape(m_recorder.take()),
                 shape({touch(0, 0, 900, 800), touch(1, 0, 900, 800), touch(0, kMouseId, 10, 20)}));

        // A button as a direction of the steer wheel steers like the key it stands for.
        mouse(QEvent::MouseButtonPress, QPointF(10, 20), Qt::BackButton, Qt::BackButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.peek().isEmpty() && qAbs(m_recorder.peek().last().pos.y() - 610) <= 3,
                                 5000);
        mouse(QEvent::MouseButtonRelease, QPointF(10, 20), Qt::BackButton, Qt::NoButton);
        QList<Sent> sent = m_recorder.take();
        QCOMPARE(shape({sent.first()}), shape({touch(0, 0, 200, 700)}));
        QCOMPARE(sent.last().action, int(GameRecorder::Up));
        QCOMPARE(sent.last().id, qint64(0));

        // A tap sequence on a button plays the sequence.
        mouse(QEvent::MouseButtonPress, QPointF(10, 20), Qt::MiddleButton, Qt::MiddleButton);
        QCOMPARE(pendingSteps(), (QList<int>{0, 20, 120, 140}));
    }

    void leavingGameModeLiftsEveryFinger()
    {
        start(withView());
        enterGame();
        press(Qt::Key_1);
        mouse(QEvent::MouseButtonPress, QPointF(10, 20), Qt::LeftButton, Qt::LeftButton);
        m_recorder.take();
        // The tap sequence is cancelled before its first tap.
        press(Qt::Key_M);
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
        QCOMPARE(shape(m_recorder.take()), shape({touch(1, 0, 100, 100), touch(1, 1, 900, 800)}));
        QCOMPARE(pendingSteps(), QList<int>());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void destroyingInGameModeLiftsFingersAndFreesThePointer()
    {
        start(withView());
        QSignalSpy grabs(m_controller.data(), &Controller::grabCursor);
        enterGame();
        QCOMPARE(grabs.takeFirst().first().toBool(), true);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
        press(Qt::Key_1);
        press(Qt::Key_2);
        m_recorder.take();
        grabs.clear();

        m_controller->updateScript(QString());
        QCOMPARE(shape(m_recorder.take()), shape({touch(1, 0, 100, 100), touch(1, 1, 200, 200)}));
        QCOMPARE(grabs.size(), 1);
        QCOMPARE(grabs.first().first().toBool(), false);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void switchMapKeyFreesThePointer()
    {
        start(withView());
        enterGame();
        press(Qt::Key_F);
        release(Qt::Key_F);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // In the free-cursor state the mouse acts normally.
        mouse(QEvent::MouseButtonPress, QPointF(10, 20), Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, QPointF(30, 20), Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, QPointF(30, 20), Qt::LeftButton, Qt::NoButton);
        press(Qt::Key_F);
        release(Qt::Key_F);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(shape(m_recorder.take()),
                 shape({touch(0, 0, 700, 700), touch(1, 0, 700, 700), touch(0, kMouseId, 10, 20),
                        touch(2, kMouseId, 30, 20), touch(1, kMouseId, 30, 20), touch(0, 0, 700, 700),
                        touch(1, 0, 700, 700)}));
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
    }

    void viewControlFollowsTheMouse()
    {
        start(withView());
        enterGame();
        // The first move only records where the pointer is.
        moveTo(500, 500);
        QVERIFY(m_recorder.take().isEmpty());
        // 100 px of a 1000 px wide view at ratio 1 moves the finger by 0.1.
        moveTo(600, 500);
        const qint64 lastMove = m_recorder.now();
        QCOMPARE(shape(m_recorder.take()), shape({touch(0, 0, 500, 500), touch(2, 0, 600, 500)}));
        // Half a second without movement lifts the finger.
        const QList<Sent> sent = takeUntil(GameRecorder::Up, 5000);
        QCOMPARE(shape(sent), shape({touch(1, 0, 600, 500)}));
        QVERIFY2(sent.first().at - lastMove >= 450, qPrintable(sent.first().describe()));

        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
    }

    void viewRecentresPastTheEdge()
    {
        start(withView(0.5));
        enterGame();
        moveTo(500, 500);
        moveTo(600, 500);
        moveTo(700, 500);
        QCOMPARE(shape(m_recorder.take()),
                 shape({touch(0, 0, 500, 500), touch(2, 0, 700, 500), touch(2, 0, 900, 500)}));
        // Past 0.95 the finger is lifted and put down at the start again; the move there adds nothing.
        moveTo(730, 500);
        QCOMPARE(shape(m_recorder.take()), shape({touch(1, 0, 960, 500), touch(0, 0, 500, 500)}));
        // Sub-pixel movement at a slow ratio lands on the same pixel: only the first move is sent.
        moveTo(732, 500);
        moveTo(732.1, 500);
        QCOMPARE(shape(m_recorder.take()), shape({touch(2, 0, 504, 500)}));

        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
        QCOMPARE(shape(m_recorder.take()), shape({touch(1, 0, 504, 500)}));
    }

    // A move is dropped only when it repeats its own finger's last pixel, not another finger's or
    // another device's.
    void samePixelIsSkippedPerFingerAndPerConverter()
    {
        start(withView());
        enterGame();
        moveTo(500, 500);
        moveTo(600, 500);
        press(Qt::Key_3);
        release(Qt::Key_3);
        // The view finger moves onto the pixel the click finger has just left.
        moveTo(300, 300);
        QCOMPARE(shape(m_recorder.take()), shape({touch(0, 0, 500, 500), touch(2, 0, 600, 500), touch(0, 1, 300, 300),
                                                  touch(1, 1, 300, 300), touch(2, 0, 300, 300)}));
        moveTo(300, 300);
        QCOMPARE(shape(m_recorder.take()), shape({}));

        GameRecorder otherRecorder;
        Controller other(otherRecorder.writer(), text(withView()));
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: custom");
        QKeyEvent toGame(QEvent::KeyPress, Qt::Key_QuoteLeft, Qt::NoModifier);
        other.keyEvent(&toGame, kSize, kSize);
        for (const QPointF& at : {QPointF(500, 500), QPointF(600, 500)}) {
            QMouseEvent otherMove(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            other.mouseEvent(&otherMove, kSize, kSize);
        }
        // This device's finger goes where the other device's finger has just gone.
        moveTo(600, 500);
        QCOMPARE(shape(otherRecorder.take()), shape({touch(0, 0, 500, 500), touch(2, 0, 600, 500)}));
        QCOMPARE(shape(m_recorder.take()), shape({touch(2, 0, 600, 500)}));

        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        other.keyEvent(&toGame, kSize, kSize);
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
    }

    void pointerWarpsBackFromTheMargins_data()
    {
        QTest::addColumn<QPoint>("local");
        QTest::addColumn<QPoint>("warp");
        QTest::newRow("left") << QPoint(30, 400) << QPoint(720, 0);
        QTest::newRow("left edge of the margin") << QPoint(49, 400) << QPoint(701, 0);
        QTest::newRow("right") << QPoint(751, 400) << QPoint(-701, 0);
        QTest::newRow("top") << QPoint(400, 10) << QPoint(0, 740);
        QTest::newRow("bottom") << QPoint(400, 790) << QPoint(0, -740);
        QTest::newRow("inside") << QPoint(50, 750) << QPoint(0, 0);
    }

    void pointerWarpsBackFromTheMargins()
    {
        QFETCH(QPoint, local);
        QFETCH(QPoint, warp);
        const QSize shown(800, 800);
        start(withView());
        enterGame();
        moveTo(400, 400, shown);
        const QPoint screen = local + QPoint(300, 200);
        QCursor::setPos(screen);
        moveTo(local.x(), local.y(), shown);
        QCOMPARE(QCursor::pos(), screen + warp);
        // A warp sends nothing, and the next move inside only records again.
        if (warp != QPoint()) {
            moveTo(400, 400, shown);
            QVERIFY(m_recorder.take().isEmpty());
        } else {
            QCOMPARE(m_recorder.take().size(), 2);
        }
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
    }

    void smallEyesMovesTheViewFinger_data()
    {
        QTest::addColumn<bool>("onButton");
        QTest::newRow("key") << false;
        QTest::newRow("mouse button") << true;
    }

    void smallEyesMovesTheViewFinger()
    {
        QFETCH(bool, onButton);
        start(withView(1.0, onButton ? "RightButton" : "Key_Alt"));
        const auto smallEyes = [this, onButton](bool down) {
            if (!onButton) {
                down ? press(Qt::Key_Alt) : release(Qt::Key_Alt);
                return;
            }
            mouse(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, QPointF(600, 500), Qt::RightButton,
                  down ? Qt::RightButton : Qt::NoButton);
        };
        enterGame();
        moveTo(500, 500);
        moveTo(520, 500);
        m_recorder.take();

        const qint64 pressed = m_recorder.now();
        smallEyes(true);
        QCOMPARE(pendingSteps(), (QList<int>{30, 60}));
        moveTo(560, 500);
        QList<Sent> sent = takeUntil(GameRecorder::Down, 5000);
        QCOMPARE(shape(sent), shape({touch(1, 0, 520, 500), touch(0, 0, 800, 200)}));
        QVERIFY2(sent.at(0).at - pressed >= 28 && sent.at(1).at - pressed >= 58,
                 qPrintable(GameRecorder::describe(sent)));
        // Now the mouse drags from the small-eyes position.
        moveTo(600, 500);
        QCOMPARE(shape(m_recorder.take()), shape({touch(2, 0, 840, 200)}));

        smallEyes(false);
        QCOMPARE(shape(m_recorder.take()), shape({touch(1, 0, 840, 200), touch(0, 0, 500, 500)}));
        QTest::ignoreMessage(QtInfoMsg, "current keymap mode: normal");
        press(Qt::Key_QuoteLeft);
    }

    void delayQueueSpacing()
    {
        QQueue<QPointF> positions;
        QQueue<quint32> delays;
        InputConvertGame::getDelayQueue(QPointF(0.7, 0.2), QPointF(0.2, 0.7), 0.01, 0.002, 2, 8, positions, delays);
        QCOMPARE(positions.size(), 50);
        QCOMPARE(delays.size(), 50);
        for (int i = 0; i < positions.size(); ++i) {
            QVERIFY(qAbs(positions.at(i).x() - (0.7 - i * 0.01)) <= 0.002 + 1e-9);
            QVERIFY(qAbs(positions.at(i).y() - (0.2 + i * 0.01)) <= 0.002 + 1e-9);
            QVERIFY(delays.at(i) >= 2 && delays.at(i) <= 7);
        }
        // A path from a broken keymap is capped rather than filling memory.
        InputConvertGame::getDelayQueue(QPointF(0, 0), QPointF(1e300, 0), 0.01, 0.002, 0, 2, positions, delays);
        QVERIFY(positions.size() <= 1000);
        InputConvertGame::getDelayQueue(QPointF(0.5, 0.5), QPointF(0.509, 0.5), 0.01, 0.002, 0, 2, positions, delays);
        QVERIFY(positions.isEmpty() && delays.isEmpty());
    }
};

QTEST_MAIN(TestInputConvertGame)
#include "tst_inputconvertgame.moc"
