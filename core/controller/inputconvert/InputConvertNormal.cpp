#include "controller/inputconvert/InputConvertNormal.h"

#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

#include "controller/ControlMsg.h"
#include "controller/Controller.h"

namespace dvk {

namespace {

constexpr int WHEEL_STEP = 2;

bool hasArea(const QSize& size)
{
    return size.width() > 0 && size.height() > 0;
}

int roundToInt(double value)
{
    // Far-off points are clamped so that rounding stays defined.
    const double limit = std::numeric_limits<int>::max() - 1;
    return qRound(qBound(-limit, value, limit));
}

int wheelSign(int delta)
{
    return delta > 0 ? WHEEL_STEP : (delta < 0 ? -WHEEL_STEP : 0);
}

// Ctrl, Alt or Meta make a key a shortcut, except Ctrl and Alt together: AltGr on Windows.
bool typesText(Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return held == Qt::NoModifier || held == (Qt::ControlModifier | Qt::AltModifier);
}

// Control characters come with Ctrl combinations and editing keys; format characters such as the
// zero-width non-joiner are typed on some layouts and count as text.
bool isTypedText(const QString& text)
{
    if (text.isEmpty() || !text.isValidUtf16()) {
        return false;
    }
    const QVector<uint> characters = text.toUcs4();
    return std::none_of(characters.begin(), characters.end(),
                        [](uint c) { return QChar::category(c) == QChar::Other_Control; });
}

} // namespace

InputConvertNormal::InputConvertNormal(Controller* controller) : InputConvertBase(controller) {}

InputConvertNormal::~InputConvertNormal() = default;

void InputConvertNormal::mouseEvent(const QMouseEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (!event) {
        return;
    }
    AndroidMotioneventAction action;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        action = AMOTION_EVENT_ACTION_DOWN;
        break;
    case QEvent::MouseButtonRelease:
        action = AMOTION_EVENT_ACTION_UP;
        break;
    case QEvent::MouseMove:
        if (!(event->buttons() & Qt::LeftButton)) {
            return;
        }
        action = AMOTION_EVENT_ACTION_MOVE;
        break;
    default:
        return;
    }
    if (!hasArea(frameSize) || !hasArea(showSize)) {
        qDebug("Mouse event ignored: no video area");
        return;
    }

    const QPoint point = mapToFrame(event->localPos(), frameSize, showSize);
    // A finger moving on the glass still presses it; drawing apps take a pressure of 0 for no stroke.
    const float pressure = action == AMOTION_EVENT_ACTION_UP ? 0.0f : 1.0f;
    auto* msg = new ControlMsg(ControlMsg::CONTROL_INJECT_TOUCH);
    msg->setInjectTouchMsgData(MOUSE_POINTER_ID, action, convertMouseButtons(event->buttons()),
                               QRect(point, frameSize), pressure);
    sendControlMsg(msg);
}

void InputConvertNormal::wheelEvent(const QWheelEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (!event) {
        return;
    }
    const QPoint delta = event->angleDelta();
    const qint32 horizontal = wheelSign(delta.x());
    const qint32 vertical = wheelSign(delta.y());
    if (horizontal == 0 && vertical == 0) {
        return;
    }
    if (!hasArea(frameSize) || !hasArea(showSize)) {
        qDebug("Wheel event ignored: no video area");
        return;
    }

    const QPoint point = mapToFrame(event->position(), frameSize, showSize);
    auto* msg = new ControlMsg(ControlMsg::CONTROL_INJECT_SCROLL);
    msg->setInjectScrollMsgData(QRect(point, frameSize), horizontal, vertical);
    sendControlMsg(msg);
}

void InputConvertNormal::keyEvent(const QKeyEvent* event, const QSize& frameSize, const QSize& showSize)
{
    Q_UNUSED(frameSize)
    Q_UNUSED(showSize)
    if (!event) {
        return;
    }
    AndroidKeyeventAction action;
    switch (event->type()) {
    case QEvent::KeyPress:
        action = AKEY_EVENT_ACTION_DOWN;
        break;
    case QEvent::KeyRelease:
        action = AKEY_EVENT_ACTION_UP;
        break;
    default:
        return;
    }
    const AndroidKeycode keycode = convertKeyCode(event->key(), event->modifiers());
    if (keycode == AKEYCODE_UNKNOWN) {
        // A character with no Android key (é, €, ü...) is typed as text; only the press types it.
        if (action == AKEY_EVENT_ACTION_DOWN) {
            sendTypedText(event);
        }
        return;
    }

    if (!event->isAutoRepeat()) {
        m_repeatCount = 0;
    } else if (m_repeatCount < std::numeric_limits<qint32>::max()) {
        ++m_repeatCount;
    }
    auto* msg = new ControlMsg(ControlMsg::CONTROL_INJECT_KEYCODE);
    msg->setInjectKeycodeMsgData(action, keycode, static_cast<quint32>(m_repeatCount),
                                 convertMetastate(event->modifiers()));
    sendControlMsg(msg);
}

void InputConvertNormal::sendTypedText(const QKeyEvent* event)
{
    if (!m_controller || !typesText(event->modifiers()) || !isTypedText(event->text())) {
        return;
    }
    QString text = event->text();
    m_controller->postTextInput(text);
}

AndroidMotioneventButtons InputConvertNormal::convertMouseButtons(Qt::MouseButtons buttons)
{
    // Qt's left, right, middle, back and forward bits coincide with Android's five button bits.
    return static_cast<AndroidMotioneventButtons>(static_cast<int>(buttons) & 0x1F);
}

AndroidMetastate InputConvertNormal::convertMetastate(Qt::KeyboardModifiers modifiers)
{
    int metastate = AMETA_NONE;
    if (modifiers & Qt::ShiftModifier) {
        metastate |= AMETA_SHIFT_ON;
    }
    if (modifiers & Qt::ControlModifier) {
        metastate |= AMETA_CTRL_ON;
    }
    if (modifiers & Qt::AltModifier) {
        metastate |= AMETA_ALT_ON;
    }
    if (modifiers & Qt::MetaModifier) {
        metastate |= AMETA_META_ON;
    }
    return static_cast<AndroidMetastate>(metastate);
}

AndroidKeycode InputConvertNormal::convertKeyCode(int key, Qt::KeyboardModifiers modifiers)
{
    const AndroidKeycode editing = convertEditingKey(key);
    if (editing != AKEYCODE_UNKNOWN) {
        return editing;
    }
    // With Alt or Meta held a character key is a shortcut, not typing.
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) {
        return AKEYCODE_UNKNOWN;
    }
    return convertPrintableKey(key);
}

QPoint InputConvertNormal::mapToFrame(const QPointF& localPos, const QSize& frameSize, const QSize& showSize)
{
    const double x = static_cast<double>(frameSize.width()) * localPos.x() / showSize.width();
    const double y = static_cast<double>(frameSize.height()) * localPos.y() / showSize.height();
    return QPoint(roundToInt(x), roundToInt(y));
}

AndroidKeycode InputConvertNormal::convertEditingKey(int key)
{
    switch (key) {
    case Qt::Key_Escape: return AKEYCODE_ESCAPE;
    case Qt::Key_Tab: return AKEYCODE_TAB;
    case Qt::Key_Backspace: return AKEYCODE_DEL;
    case Qt::Key_Return: return AKEYCODE_ENTER;
    case Qt::Key_Enter: return AKEYCODE_NUMPAD_ENTER;
    case Qt::Key_Delete: return AKEYCODE_FORWARD_DEL;
    case Qt::Key_Home: return AKEYCODE_MOVE_HOME;
    case Qt::Key_End: return AKEYCODE_MOVE_END;
    case Qt::Key_Left: return AKEYCODE_DPAD_LEFT;
    case Qt::Key_Up: return AKEYCODE_DPAD_UP;
    case Qt::Key_Right: return AKEYCODE_DPAD_RIGHT;
    case Qt::Key_Down: return AKEYCODE_DPAD_DOWN;
    case Qt::Key_PageUp: return AKEYCODE_PAGE_UP;
    case Qt::Key_PageDown: return AKEYCODE_PAGE_DOWN;
    default: return AKEYCODE_UNKNOWN;
    }
}

AndroidKeycode InputConvertNormal::convertPrintableKey(int key)
{
    // Each character maps to the US-layout key that types it; Shift travels in the meta state.
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<AndroidKeycode>(AKEYCODE_0 + (key - Qt::Key_0));
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<AndroidKeycode>(AKEYCODE_A + (key - Qt::Key_A));
    }
    switch (key) {
    case Qt::Key_Space: return AKEYCODE_SPACE;
    case Qt::Key_Exclam: return AKEYCODE_1;
    case Qt::Key_QuoteDbl:
    case Qt::Key_Apostrophe: return AKEYCODE_APOSTROPHE;
    case Qt::Key_NumberSign: return AKEYCODE_POUND;
    case Qt::Key_Dollar: return AKEYCODE_4;
    case Qt::Key_Percent: return AKEYCODE_5;
    case Qt::Key_Ampersand: return AKEYCODE_7;
    case Qt::Key_ParenLeft: return AKEYCODE_NUMPAD_LEFT_PAREN;
    case Qt::Key_ParenRight: return AKEYCODE_NUMPAD_RIGHT_PAREN;
    case Qt::Key_Asterisk: return AKEYCODE_STAR;
    case Qt::Key_Plus: return AKEYCODE_PLUS;
    case Qt::Key_Comma:
    case Qt::Key_Less: return AKEYCODE_COMMA;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return AKEYCODE_MINUS;
    case Qt::Key_Period:
    case Qt::Key_Greater: return AKEYCODE_PERIOD;
    case Qt::Key_Slash:
    case Qt::Key_Question: return AKEYCODE_SLASH;
    case Qt::Key_Colon:
    case Qt::Key_Semicolon: return AKEYCODE_SEMICOLON;
    case Qt::Key_Equal: return AKEYCODE_EQUALS;
    case Qt::Key_At: return AKEYCODE_AT;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return AKEYCODE_LEFT_BRACKET;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return AKEYCODE_BACKSLASH;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return AKEYCODE_RIGHT_BRACKET;
    case Qt::Key_AsciiCircum: return AKEYCODE_6;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return AKEYCODE_GRAVE;
    default: return AKEYCODE_UNKNOWN;
    }
}

} // namespace dvk
