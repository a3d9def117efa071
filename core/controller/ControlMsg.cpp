#include "controller/ControlMsg.h"

#include <QBuffer>
#include <QDebug>

#include <cstring>

#include "controller/BufferUtil.h"

namespace dvk {

ControlMsg::ControlMsg(ControlMsgType type) : QDravikEvent(ControlEventType), m_type(type)
{
    // A message serialised before its setter ran carries zeros rather than stray memory.
    std::memset(&m_data, 0, sizeof(m_data));
}

ControlMsg::~ControlMsg() = default;

void ControlMsg::setInjectKeycodeMsgData(AndroidKeyeventAction action, AndroidKeycode keycode, quint32 repeat,
                                         AndroidMetastate metastate)
{
    m_data.injectKeycode.action = action;
    m_data.injectKeycode.keycode = keycode;
    m_data.injectKeycode.repeat = repeat;
    m_data.injectKeycode.metastate = metastate;
}

void ControlMsg::setInjectTextMsgData(QString& text)
{
    if (text.length() > TEXT_MAX_LENGTH) {
        text = cutText(text, TEXT_MAX_LENGTH);
    }
    m_text = text.toUtf8();
}

void ControlMsg::setInjectTouchMsgData(quint64 id, AndroidMotioneventAction action, AndroidMotioneventButtons buttons,
                                       QRect position, float pressure)
{
    m_data.injectTouch.id = id;
    m_data.injectTouch.action = action;
    m_data.injectTouch.buttons = buttons;
    m_data.injectTouch.position = toPosition(position);
    m_data.injectTouch.pressure = pressure;
}

void ControlMsg::setInjectScrollMsgData(QRect position, qint32 horizontal, qint32 vertical)
{
    m_data.injectScroll.position = toPosition(position);
    m_data.injectScroll.horizontal = horizontal;
    m_data.injectScroll.vertical = vertical;
}

void ControlMsg::setGetClipboardMsgData(GetClipboardCopyKey key)
{
    m_data.getClipboard.copyKey = key;
}

void ControlMsg::setSetClipboardMsgData(QString& text, bool paste)
{
    if (text.isEmpty()) {
        return;
    }
    if (text.length() > CLIPBOARD_TEXT_MAX_LENGTH) {
        text = cutText(text, CLIPBOARD_TEXT_MAX_LENGTH);
    }
    m_text = text.toUtf8();
    m_data.setClipboard.paste = paste;
    m_data.setClipboard.sequence = 0;
}

void ControlMsg::setSetScreenPowerModeData(ScreenPowerMode mode)
{
    m_data.setScreenPowerMode.mode = mode;
}

void ControlMsg::setBackOrScreenOnData(bool down)
{
    m_data.backOrScreenOn.action = down ? AKEY_EVENT_ACTION_DOWN : AKEY_EVENT_ACTION_UP;
}

QByteArray ControlMsg::serializeData() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QBuffer::WriteOnly);
    buffer.putChar(static_cast<char>(m_type));

    switch (m_type) {
    case CONTROL_INJECT_KEYCODE:
        buffer.putChar(static_cast<char>(m_data.injectKeycode.action));
        BufferUtil::write32(buffer, static_cast<quint32>(m_data.injectKeycode.keycode));
        BufferUtil::write32(buffer, m_data.injectKeycode.repeat);
        BufferUtil::write32(buffer, static_cast<quint32>(m_data.injectKeycode.metastate));
        break;
    case CONTROL_INJECT_TEXT:
        writeText(buffer);
        break;
    case CONTROL_INJECT_TOUCH:
        buffer.putChar(static_cast<char>(m_data.injectTouch.action));
        BufferUtil::write64(buffer, m_data.injectTouch.id);
        writePosition(buffer, m_data.injectTouch.position);
        BufferUtil::write16(buffer, toFixedPoint16(m_data.injectTouch.pressure));
        BufferUtil::write32(buffer, static_cast<quint32>(m_data.injectTouch.buttons));
        break;
    case CONTROL_INJECT_SCROLL:
        writePosition(buffer, m_data.injectScroll.position);
        BufferUtil::write32(buffer, static_cast<quint32>(m_data.injectScroll.horizontal));
        BufferUtil::write32(buffer, static_cast<quint32>(m_data.injectScroll.vertical));
        break;
    case CONTROL_BACK_OR_SCREEN_ON:
        buffer.putChar(static_cast<char>(m_data.backOrScreenOn.action));
        break;
    case CONTROL_GET_CLIPBOARD:
        buffer.putChar(static_cast<char>(m_data.getClipboard.copyKey));
        break;
    case CONTROL_SET_CLIPBOARD:
        BufferUtil::write64(buffer, m_data.setClipboard.sequence);
        buffer.putChar(m_data.setClipboard.paste ? 1 : 0);
        writeText(buffer);
        break;
    case CONTROL_SET_SCREEN_POWER_MODE:
        buffer.putChar(static_cast<char>(m_data.setScreenPowerMode.mode));
        break;
    case CONTROL_EXPAND_NOTIFICATION_PANEL:
    case CONTROL_RESERVED_6:
    case CONTROL_COLLAPSE_PANEL:
    case CONTROL_RESERVED_11:
        break;
    default:
        qDebug() << "Unknown event type:" << static_cast<int>(m_type);
        break;
    }

    buffer.close();
    return bytes;
}

quint16 ControlMsg::toFixedPoint16(float value)
{
    // Pressures below zero (or not a number) would otherwise wrap round to full pressure.
    if (!(value > 0.0f)) {
        return 0;
    }
    const float scaled = value * 65536.0f;
    if (scaled >= 65535.0f) {
        return 0xFFFF;
    }
    return static_cast<quint16>(static_cast<quint32>(scaled));
}

QString ControlMsg::cutText(const QString& text, int maxUnits)
{
    if (text.length() <= maxUnits) {
        return text;
    }
    int length = maxUnits;
    // Half a surrogate pair would reach the device as a replacement character.
    if (length > 0 && text.at(length - 1).isHighSurrogate()) {
        --length;
    }
    return text.left(length);
}

QStringList ControlMsg::splitText(const QString& text, int maxUnits)
{
    // Below two units a piece could hold no pair at all and the cutting would never advance.
    const int pieceUnits = qMax(maxUnits, 2);
    QStringList pieces;
    for (int from = 0; from < text.size();) {
        const QString piece = cutText(text.mid(from, pieceUnits + 1), pieceUnits);
        pieces << piece;
        from += piece.size();
    }
    return pieces;
}

void ControlMsg::writePosition(QBuffer& buffer, const Position& position) const
{
    BufferUtil::write32(buffer, static_cast<quint32>(position.x));
    BufferUtil::write32(buffer, static_cast<quint32>(position.y));
    BufferUtil::write16(buffer, position.width);
    BufferUtil::write16(buffer, position.height);
}

void ControlMsg::writeText(QBuffer& buffer) const
{
    BufferUtil::write32(buffer, static_cast<quint32>(m_text.size()));
    buffer.write(m_text);
}

ControlMsg::Position ControlMsg::toPosition(const QRect& rect)
{
    Position position;
    position.x = rect.left();
    position.y = rect.top();
    position.width = static_cast<quint16>(rect.width());
    position.height = static_cast<quint16>(rect.height());
    return position;
}

} // namespace dvk
