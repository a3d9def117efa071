#include "controller/inputconvert/InputConvertGame.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <limits>

#include "controller/ControlMsg.h"

namespace dvk {

namespace {

// How long each tap of a tap sequence holds its finger down.
constexpr int TAP_MS = 20;
// A drag's points follow each other almost at once: 0 or 1 ms apart (the highest is excluded).
constexpr quint32 DRAG_LOWEST_DELAY_MS = 0;
constexpr quint32 DRAG_HIGHEST_DELAY_MS = 2;
// Keymap positions lie on the screen; a path of more points than this comes from a broken keymap.
constexpr int MAX_PATH_POINTS = 1000;
// Names the single-shot timers of tap sequences and view re-centring, so that leaving game
// mode can cancel them.
const char* const STEP_TIMER = "gameStepTimer";

int toPixel(double value)
{
    // Far-off or broken positions are clamped so that rounding stays defined.
    const double limit = std::numeric_limits<int>::max() - 1;
    return qRound(qBound(-limit, value, limit));
}

bool isPress(const QEvent* event)
{
    return event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress
           || event->type() == QEvent::MouseButtonDblClick;
}

} // namespace

InputConvertGame::InputConvertGame(Controller* controller)
    : InputConvertNormal(controller), m_keyMap(new KeyMap(this)), m_steerTimer(new QTimer(this))
{
    m_steerTimer->setSingleShot(true);
    m_steerTimer->setTimerType(Qt::PreciseTimer);
    connect(m_steerTimer, &QTimer::timeout, this, &InputConvertGame::onSteerWheelTimer);
}

InputConvertGame::~InputConvertGame()
{
    // A finger left down would stay down on the device, and the pointer would stay hidden.
    if (m_gameMap) {
        resetGameState();
        if (m_keyMap->isValidMouseMoveMap()) {
            emit grabCursor(false);
        }
        emit gameModeChanged(false);
    }
    hideMouseCursor(false);
}

void InputConvertGame::loadKeyMap(const QString& json)
{
    m_keyMap->loadKeyMap(json);
}

bool InputConvertGame::isCurrentCustomKeymap()
{
    return m_gameMap;
}

void InputConvertGame::keyEvent(const QKeyEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (!event || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) {
        return;
    }
    if (m_keyMap->isSwitchOnKeyboard() && m_keyMap->getSwitchKey() == event->key()) {
        if (event->type() == QEvent::KeyPress && !switchGameMap()) {
            m_freeCursor = false;
        }
        return;
    }
    const KeyMap::KeyMapNode& node = m_keyMap->getKeyMapNodeKey(event->key());
    if (m_freeCursor && node.type == KeyMap::KMT_CLICK && node.click.switchMap) {
        // A held key repeats; each repeated release would toggle the free cursor again.
        if (event->isAutoRepeat()) {
            return;
        }
        if (m_gameMap) {
            updateSize(frameSize, showSize);
        }
        processKeyClick(node.click.binding.pos, false, true, event);
        return;
    }
    if (!m_gameMap) {
        InputConvertNormal::keyEvent(event, frameSize, showSize);
        return;
    }
    updateSize(frameSize, showSize);
    if (event->isAutoRepeat()) {
        return;
    }
    if (isSmallEyes(KeyMap::AT_KEY, event->key())) {
        processSmallEyes(isPress(event));
        return;
    }
    dispatchGameKey(node, event);
}

void InputConvertGame::dispatchGameKey(const KeyMap::KeyMapNode& node, const QKeyEvent* event)
{
    const bool pressed = isPress(event);
    const KeyMap::KeyBinding& binding = node.click.binding;
    switch (node.type) {
    case KeyMap::KMT_CLICK:
        processKeyClick(binding.pos, false, node.click.switchMap, event);
        break;
    case KeyMap::KMT_CLICK_TWICE:
        processKeyClick(binding.pos, true, false, event);
        break;
    case KeyMap::KMT_CLICK_MULTI:
        if (pressed) {
            processKeyClickMulti(binding.clickNodes, binding.clickNodeCount, event->key());
        }
        break;
    case KeyMap::KMT_DRAG:
        if (pressed) {
            processKeyDrag(binding.pos, binding.endPos, event->key());
        }
        break;
    case KeyMap::KMT_STEER_WHEEL:
        processSteerWheel(node, KeyMap::AT_KEY, event->key(), pressed);
        break;
    default:
        // Unmapped keys are swallowed: in game mode they must not type on the device.
        break;
    }
}

void InputConvertGame::mouseEvent(const QMouseEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (!event) {
        return;
    }
    if (!m_keyMap->isSwitchOnKeyboard() && m_keyMap->getSwitchKey() == static_cast<int>(event->button())) {
        if (event->type() == QEvent::MouseButtonPress && !switchGameMap()) {
            m_freeCursor = false;
        }
        return;
    }
    if (!m_freeCursor && m_gameMap) {
        updateSize(frameSize, showSize);
        if (m_keyMap->isValidMouseMoveMap() && event->type() == QEvent::MouseMove) {
            processMouseMove(event);
            return;
        }
        // The view's small-eyes key may be a button; a double-click counts as its second press.
        if (event->type() != QEvent::MouseMove && isSmallEyes(KeyMap::AT_MOUSE, event->button())) {
            processSmallEyes(isPress(event));
            return;
        }
        if (processMouseClick(event)) {
            return;
        }
    }
    InputConvertNormal::mouseEvent(event, frameSize, showSize);
}

void InputConvertGame::wheelEvent(const QWheelEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (!event) {
        return;
    }
    if (!m_gameMap) {
        InputConvertNormal::wheelEvent(event, frameSize, showSize);
        return;
    }
    updateSize(frameSize, showSize);
}

void InputConvertGame::updateSize(const QSize& frameSize, const QSize& showSize)
{
    // A new shown size moves the video on the screen, so the pointer confinement is renewed.
    if (showSize != m_showSize && m_keyMap->isValidMouseMoveMap()) {
        emit grabCursor(true);
    }
    m_frameSize = frameSize;
    m_showSize = showSize;
}

bool InputConvertGame::switchGameMap()
{
    m_gameMap = !m_gameMap;
    qInfo("current keymap mode: %s", m_gameMap ? "custom" : "normal");
    if (!m_gameMap) {
        resetGameState();
    }
    emit gameModeChanged(m_gameMap);
    if (!m_keyMap->isValidMouseMoveMap()) {
        return m_gameMap;
    }
    emit grabCursor(m_gameMap);
    hideMouseCursor(m_gameMap);
    return m_gameMap;
}

void InputConvertGame::resetGameState()
{
    // Pending taps and re-centring steps would touch the device after the user left game mode.
    for (QTimer* timer : findChildren<QTimer*>(STEP_TIMER, Qt::FindDirectChildrenOnly)) {
        delete timer;
    }
    stopMouseMoveTimer();
    mouseMoveStopTouch();
    m_smallEyesHeld = false;
    m_viewMovesEnabled = true;
    m_lastCursorPos = QPointF();
    stopDrag();
    stopSteerWheel();
    releaseAllTouches();
}

void InputConvertGame::hideMouseCursor(bool hide)
{
    // The override cursor is a stack shared with the rest of the program: push and pop only our own.
    if (hide == m_cursorHidden || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return;
    }
    m_cursorHidden = hide;
    if (hide) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

bool InputConvertGame::isSmallEyes(KeyMap::ActionType type, int key) const
{
    if (!m_keyMap->isValidMouseMoveMap()) {
        return false;
    }
    const KeyMap::KeyBinding& smallEyes = m_keyMap->getMouseMoveMap().mouseMove.smallEyes;
    return smallEyes.type == type && smallEyes.key == key;
}

int InputConvertGame::attachTouchID(int key)
{
    for (int i = 0; i < MAX_TOUCH; ++i) {
        if (m_multiTouchID[i] == 0) {
            m_multiTouchID[i] = key;
            return i;
        }
    }
    return -1;
}

int InputConvertGame::getTouchID(int key) const
{
    for (int i = 0; i < MAX_TOUCH; ++i) {
        if (m_multiTouchID[i] == key) {
            return i;
        }
    }
    return -1;
}

void InputConvertGame::detachTouchID(int key)
{
    const int id = getTouchID(key);
    if (id >= 0) {
        m_multiTouchID[id] = 0;
    }
}

void InputConvertGame::releaseTouch(int key, const QPointF& pos)
{
    sendTouchUpEvent(getTouchID(key), pos);
    detachTouchID(key);
}

void InputConvertGame::releaseAllTouches()
{
    for (int i = 0; i < MAX_TOUCH; ++i) {
        if (m_multiTouchID[i] != 0) {
            sendTouchUpEvent(i, m_touchPos[i]);
            m_multiTouchID[i] = 0;
        }
    }
}

void InputConvertGame::sendTouchDownEvent(int id, QPointF pos)
{
    sendTouchEvent(id, pos, AMOTION_EVENT_ACTION_DOWN);
}

void InputConvertGame::sendTouchMoveEvent(int id, QPointF pos)
{
    sendTouchEvent(id, pos, AMOTION_EVENT_ACTION_MOVE);
}

void InputConvertGame::sendTouchUpEvent(int id, QPointF pos)
{
    sendTouchEvent(id, pos, AMOTION_EVENT_ACTION_UP);
}

void InputConvertGame::sendTouchEvent(int id, QPointF pos, AndroidMotioneventAction action)
{
    if (id < 0 || id >= MAX_TOUCH || m_frameSize.isEmpty()) {
        return;
    }
    const QPointF absolute = calcFrameAbsolutePos(pos);
    const QPoint pixel(toPixel(absolute.x()), toPixel(absolute.y()));
    // A move that lands on the finger's own last pixel says nothing new to the device.
    if (action == AMOTION_EVENT_ACTION_MOVE && m_lastPixel[id] == pixel) {
        return;
    }
    m_lastPixel[id] = pixel;
    m_touchPos[id] = pos;

    // A finger that is down presses on while it moves.
    auto* msg = new ControlMsg(ControlMsg::CONTROL_INJECT_TOUCH);
    msg->setInjectTouchMsgData(static_cast<quint64>(id), action, AMOTION_EVENT_BUTTON_NONE,
                               QRect(pixel, m_frameSize), action == AMOTION_EVENT_ACTION_UP ? 0.0f : 1.0f);
    sendControlMsg(msg);
}

QPointF InputConvertGame::calcFrameAbsolutePos(QPointF pos) const
{
    return QPointF(pos.x() * m_frameSize.width(), pos.y() * m_frameSize.height());
}

void InputConvertGame::processKeyClick(const QPointF& pos, bool clickTwice, bool switchMap, const QKeyEvent* event)
{
    const bool pressed = isPress(event);
    const int key = event->key();
    if (switchMap && !pressed) {
        m_freeCursor = !m_freeCursor;
        // Without view control the pointer was never hidden, so it stays visible.
        hideMouseCursor(!m_freeCursor && m_keyMap->isValidMouseMoveMap());
    }
    if (pressed) {
        sendTouchDownEvent(attachTouchID(key), pos);
        if (!clickTwice) {
            return;
        }
    } else if (clickTwice) {
        sendTouchDownEvent(attachTouchID(key), pos);
    }
    releaseTouch(key, pos);
}

void InputConvertGame::processKeyClickMulti(const KeyMap::DelayClickNode* nodes, int count, int key)
{
    // Each step's delay counts from the previous tap's release.
    int start = -TAP_MS;
    for (int i = 0; i < count; ++i) {
        start += TAP_MS + nodes[i].delay;
        const QPointF pos = nodes[i].pos;
        runAfter(start, [this, key, pos]() { sendTouchDownEvent(attachTouchID(key), pos); });
        runAfter(start + TAP_MS, [this, key, pos]() { releaseTouch(key, pos); });
    }
}

void InputConvertGame::runAfter(int ms, std::function<void()> step)
{
    auto* timer = new QTimer(this);
    timer->setObjectName(STEP_TIMER);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(ms);
    connect(timer, &QTimer::timeout, this, [timer, step]() {
        timer->deleteLater();
        step();
    });
    timer->start();
}

bool InputConvertGame::processMouseClick(const QMouseEvent* event)
{
    const KeyMap::KeyMapNode& node = m_keyMap->getKeyMapNodeMouse(event->button());
    const bool pressed = isPress(event);
    if (node.type == KeyMap::KMT_INVALID || (!pressed && event->type() != QEvent::MouseButtonRelease)) {
        return false;
    }
    const int button = event->button();
    switch (node.type) {
    case KeyMap::KMT_STEER_WHEEL:
        // A button steers like the direction key it stands for.
        processSteerWheel(node, KeyMap::AT_MOUSE, button, pressed);
        return true;
    case KeyMap::KMT_CLICK_MULTI:
        // A tap sequence has no single position to hold; the button plays the sequence instead.
        if (pressed) {
            processKeyClickMulti(node.click.binding.clickNodes, node.click.binding.clickNodeCount, button);
        }
        return true;
    default:
        break;
    }
    if (pressed) {
        sendTouchDownEvent(attachTouchID(button), node.click.binding.pos);
    } else {
        releaseTouch(button, node.click.binding.pos);
    }
    return true;
}

void InputConvertGame::processKeyDrag(const QPointF& start, QPointF end, int key)
{
    if (m_dragTimer && m_dragTimer->isActive()) {
        stopDrag();
    }
    sendTouchDownEvent(attachTouchID(key), start);
    m_dragTimer = new QTimer(this);
    m_dragTimer->setSingleShot(true);
    m_dragTimer->setTimerType(Qt::PreciseTimer);
    connect(m_dragTimer, &QTimer::timeout, this, &InputConvertGame::onDragTimer);
    m_dragKey = key;
    m_dragPos = start;
    getDelayQueue(start, end, kPathStep, kPathJitter, DRAG_LOWEST_DELAY_MS, DRAG_HIGHEST_DELAY_MS, m_dragPositions, m_dragDelays);
    m_dragTimer->start(0);
}

void InputConvertGame::onDragTimer()
{
    if (!m_dragTimer) {
        return;
    }
    if (m_dragPositions.isEmpty()) {
        stopDrag();
        return;
    }
    m_dragPos = m_dragPositions.dequeue();
    sendTouchMoveEvent(getTouchID(m_dragKey), m_dragPos);
    if (!m_dragPositions.isEmpty()) {
        m_dragTimer->start(static_cast<int>(m_dragDelays.dequeue()));
        return;
    }
    stopDrag();
}

void InputConvertGame::stopDrag()
{
    if (!m_dragTimer) {
        return;
    }
    m_dragTimer->stop();
    m_dragTimer->deleteLater();
    m_dragTimer = nullptr;
    m_dragPositions.clear();
    m_dragDelays.clear();
    releaseTouch(m_dragKey, m_dragPos);
    m_dragKey = 0;
    m_dragPos = QPointF();
}

void InputConvertGame::getDelayQueue(const QPointF& start, const QPointF& end, double step, double jitter,
                                     quint32 lowest, quint32 highest, QQueue<QPointF>& positions,
                                     QQueue<quint32>& delays)
{
    QQueue<QPointF> points;
    QQueue<quint32> waits;
    const double n = qMax(qAbs(end.x() - start.x()), qAbs(end.y() - start.y())) / step;
    if (n >= 1.0) {
        // A hair of slack, so that rounding in the distance does not drop the last step of a
        // path that is a whole number of steps long.
        const int count = static_cast<int>(std::floor(qMin(n + 1e-9, double(MAX_PATH_POINTS))));
        const QPointF delta = (end - start) / n;
        QRandomGenerator* random = QRandomGenerator::global();
        QPointF point = start;
        for (int i = 1; i <= count; ++i) {
            points.enqueue(QPointF(point.x() + random->generateDouble() * 2 * jitter - jitter,
                                   point.y() + random->generateDouble() * 2 * jitter - jitter));
            waits.enqueue(highest > lowest ? random->bounded(lowest, highest) : lowest);
            point += delta;
        }
    }
    positions.swap(points);
    delays.swap(waits);
}

} // namespace dvk
