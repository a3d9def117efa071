// The steer wheel and view control of InputConvertGame: the two gestures with state and timing
// of their own.
#include "controller/inputconvert/InputConvertGame.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTimer>

namespace dvk {

namespace {

constexpr quint32 STEER_LOWEST_DELAY_MS = 2;
constexpr quint32 STEER_HIGHEST_DELAY_MS = 8;
// The pointer is warped back from this close to the edge of the shown video.
constexpr int EDGE_MARGIN = 50;
// Past these fractions the view finger would run off the screen, so it is put down again.
constexpr double VIEW_LOW = 0.05;
constexpr double VIEW_HIGH = 0.95;
constexpr int VIEW_IDLE_MS = 500;
// Re-centring while small eyes are held: lift the finger, then put it down again.
constexpr int VIEW_LIFT_MS = 30;
constexpr int VIEW_RETOUCH_MS = 60;

bool matches(const KeyMap::KeyBinding& binding, KeyMap::ActionType type, int key)
{
    return binding.type == type && binding.key == key;
}

bool outsideView(const QPointF& pos)
{
    return pos.x() < VIEW_LOW || pos.x() > VIEW_HIGH || pos.y() < VIEW_LOW || pos.y() > VIEW_HIGH;
}

} // namespace

void InputConvertGame::processSteerWheel(const KeyMap::KeyMapNode& node, KeyMap::ActionType type, int key,
                                         bool pressed)
{
    const KeyMap::SteerWheelData& wheel = node.steerWheel;
    if (matches(wheel.up, type, key)) {
        m_steerUp = pressed;
    } else if (matches(wheel.right, type, key)) {
        m_steerRight = pressed;
    } else if (matches(wheel.down, type, key)) {
        m_steerDown = pressed;
    } else {
        m_steerLeft = pressed;
    }

    QPointF offset;
    const struct
    {
        bool held;
        QPointF direction;
    } directions[] = {{m_steerUp, QPointF(0, -wheel.up.offset)},
                      {m_steerRight, QPointF(wheel.right.offset, 0)},
                      {m_steerDown, QPointF(0, wheel.down.offset)},
                      {m_steerLeft, QPointF(-wheel.left.offset, 0)}};
    int count = 0;
    for (const auto& direction : directions) {
        if (direction.held) {
            offset += direction.direction;
            ++count;
        }
    }
    m_steerPressedCount = count;

    m_steerTimer->stop();
    m_steerPositions.clear();
    m_steerDelays.clear();
    if (count == 0) {
        releaseTouch(m_steerKey, m_steerPos);
        return;
    }
    if (count == 1 && pressed) {
        // The first key of a gesture puts the finger down at the centre; later keys re-aim it.
        m_steerKey = key;
        m_steerPos = wheel.centerPos;
        sendTouchDownEvent(attachTouchID(m_steerKey), wheel.centerPos);
    }
    getDelayQueue(m_steerPos, wheel.centerPos + offset, kPathStep, kPathJitter, STEER_LOWEST_DELAY_MS,
                  STEER_HIGHEST_DELAY_MS, m_steerPositions, m_steerDelays);
    m_steerTimer->start(0);
}

void InputConvertGame::onSteerWheelTimer()
{
    if (m_steerPositions.isEmpty()) {
        return;
    }
    m_steerPos = m_steerPositions.dequeue();
    sendTouchMoveEvent(getTouchID(m_steerKey), m_steerPos);
    if (!m_steerPositions.isEmpty()) {
        m_steerTimer->start(static_cast<int>(m_steerDelays.dequeue()));
        return;
    }
    if (m_steerPressedCount == 0) {
        releaseTouch(m_steerKey, m_steerPos);
    }
}

void InputConvertGame::stopSteerWheel()
{
    m_steerTimer->stop();
    m_steerPositions.clear();
    m_steerDelays.clear();
    if (m_steerPressedCount > 0) {
        releaseTouch(m_steerKey, m_steerPos);
    }
    m_steerUp = m_steerDown = m_steerLeft = m_steerRight = false;
    m_steerPressedCount = 0;
}

bool InputConvertGame::processMouseMove(const QMouseEvent* event)
{
    if (m_showSize.isEmpty()) {
        return true;
    }
    if (checkCursorPos(event)) {
        // The warp's own move event only records where the pointer now is.
        m_lastCursorPos = QPointF();
        return true;
    }
    const QPointF local = event->localPos();
    if (!m_lastCursorPos.isNull() && m_viewMovesEnabled) {
        if (!m_viewFingerDown) {
            mouseMoveStartTouch();
        }
        startMouseMoveTimer();
        // A larger ratio means slower movement.
        const QPointF ratio = m_keyMap->getMouseMoveMap().mouseMove.speedRatio;
        m_viewPos += QPointF((local.x() - m_lastCursorPos.x()) / ratio.x() / m_showSize.width(),
                             (local.y() - m_lastCursorPos.y()) / ratio.y() / m_showSize.height());
        if (outsideView(m_viewPos)) {
            if (m_smallEyesHeld) {
                recentreViewLater();
            } else {
                mouseMoveStopTouch();
                mouseMoveStartTouch();
            }
        }
        sendTouchMoveEvent(getTouchID(VIEW_KEY), m_viewPos);
    }
    m_lastCursorPos = local;
    return true;
}

bool InputConvertGame::checkCursorPos(const QMouseEvent* event)
{
    const QPoint pos = event->localPos().toPoint();
    const int width = m_showSize.width();
    const int height = m_showSize.height();
    QPoint target = pos;
    if (pos.x() <= EDGE_MARGIN - 1) {
        target.setX(width - EDGE_MARGIN);
    } else if (pos.x() >= width - (EDGE_MARGIN - 1)) {
        target.setX(EDGE_MARGIN);
    } else if (pos.y() <= EDGE_MARGIN - 1) {
        target.setY(height - EDGE_MARGIN);
    } else if (pos.y() >= height - (EDGE_MARGIN - 1)) {
        target.setY(EDGE_MARGIN);
    } else {
        return false;
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QCursor::setPos(event->screenPos().toPoint() + (target - pos));
    }
    return true;
}

void InputConvertGame::mouseMoveStartTouch()
{
    if (m_viewFingerDown) {
        return;
    }
    const KeyMap::MouseMoveData& map = m_keyMap->getMouseMoveMap().mouseMove;
    const QPointF pos = m_smallEyesHeld ? map.smallEyes.pos : map.startPos;
    sendTouchDownEvent(attachTouchID(VIEW_KEY), pos);
    m_viewPos = pos;
    m_viewFingerDown = true;
}

void InputConvertGame::mouseMoveStopTouch()
{
    if (!m_viewFingerDown) {
        return;
    }
    releaseTouch(VIEW_KEY, m_viewPos);
    m_viewFingerDown = false;
}

void InputConvertGame::startMouseMoveTimer()
{
    stopMouseMoveTimer();
    m_viewTimer = startTimer(VIEW_IDLE_MS, Qt::CoarseTimer);
}

void InputConvertGame::stopMouseMoveTimer()
{
    if (m_viewTimer != 0) {
        killTimer(m_viewTimer);
        m_viewTimer = 0;
    }
}

void InputConvertGame::timerEvent(QTimerEvent* event)
{
    if (m_viewTimer == 0 || event->timerId() != m_viewTimer) {
        InputConvertNormal::timerEvent(event);
        return;
    }
    // Half a second without movement: the thumb leaves the screen.
    stopMouseMoveTimer();
    mouseMoveStopTouch();
}

void InputConvertGame::processSmallEyes(bool pressed)
{
    if (pressed) {
        m_smallEyesHeld = true;
        recentreViewLater();
        stopMouseMoveTimer();
        return;
    }
    m_smallEyesHeld = false;
    mouseMoveStopTouch();
    mouseMoveStartTouch();
}

void InputConvertGame::recentreViewLater()
{
    // Mouse moves are dropped until the finger is down again at its new place.
    m_viewMovesEnabled = false;
    runAfter(VIEW_LIFT_MS, [this]() { mouseMoveStopTouch(); });
    runAfter(VIEW_RETOUCH_MS, [this]() {
        mouseMoveStartTouch();
        m_viewMovesEnabled = true;
    });
}

} // namespace dvk
