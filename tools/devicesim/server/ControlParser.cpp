#include "ControlParser.h"

#include <QString>

namespace sim {

namespace {

quint32 be16(const QByteArray& b, int at)
{
    return (quint32(quint8(b[at])) << 8) | quint8(b[at + 1]);
}

quint32 be32(const QByteArray& b, int at)
{
    return (be16(b, at) << 16) | be16(b, at + 2);
}

quint64 be64(const QByteArray& b, int at)
{
    return (quint64(be32(b, at)) << 32) | be32(b, at + 4);
}

void putPosition(QJsonObject& m, const QByteArray& b, int at)
{
    m.insert("x", qint32(be32(b, at)));
    m.insert("y", qint32(be32(b, at + 4)));
    m.insert("screenWidth", int(be16(b, at + 8)));
    m.insert("screenHeight", int(be16(b, at + 10)));
}

QJsonValue pointerIdValue(quint64 id)
{
    const qint64 asSigned = qint64(id);
    // JSON numbers are doubles: keep exact integers, spell out the rest.
    if (asSigned > -(qint64(1) << 53) && asSigned < (qint64(1) << 53)) {
        return double(asSigned);
    }
    return QString::number(id);
}

using Result = ControlParser::Result;

// A message of a fixed size: its fields can be read once that many bytes are there.
bool whole(const QByteArray& b, int fixedSize, int& size)
{
    size = fixedSize;
    return b.size() >= size;
}

// A 32-bit length at lengthAt, then that many bytes of UTF-8.
Result readText(const QByteArray& b, int lengthAt, const char* what, QJsonObject& m, int& size)
{
    if (b.size() < lengthAt + 4) {
        return ControlParser::NeedMore;
    }
    const quint32 length = be32(b, lengthAt);
    if (length > ControlParser::kMaxTextBytes) {
        m.insert("error", QString("%1 length %2 too large").arg(what).arg(length));
        return ControlParser::Malformed;
    }
    size = lengthAt + 4 + int(length);
    if (b.size() < size) {
        return ControlParser::NeedMore;
    }
    m.insert("length", double(length));
    // From the pointer and the length: the byte-array overload would stop at a zero byte.
    m.insert("text", QString::fromUtf8(b.constData() + lengthAt + 4, int(length)));
    return ControlParser::Complete;
}

Result decodeKeycode(const QByteArray& b, QJsonObject& m, int& size)
{
    if (!whole(b, 14, size)) {
        return ControlParser::NeedMore;
    }
    m.insert("action", quint8(b[1]));
    m.insert("keycode", double(be32(b, 2)));
    m.insert("repeat", double(be32(b, 6)));
    m.insert("metastate", double(be32(b, 10)));
    return ControlParser::Complete;
}

Result decodeText(const QByteArray& b, QJsonObject& m, int& size)
{
    return readText(b, 1, "text", m, size);
}

Result decodeTouch(const QByteArray& b, QJsonObject& m, int& size)
{
    if (!whole(b, 28, size)) {
        return ControlParser::NeedMore;
    }
    const quint32 pressure = be16(b, 22);
    m.insert("action", quint8(b[1]));
    m.insert("pointerId", pointerIdValue(be64(b, 2)));
    putPosition(m, b, 10);
    m.insert("pressureRaw", int(pressure));
    m.insert("pressure", pressure == 0xFFFF ? 1.0 : pressure / 65536.0);
    m.insert("buttons", double(be32(b, 24)));
    return ControlParser::Complete;
}

Result decodeScroll(const QByteArray& b, QJsonObject& m, int& size)
{
    if (!whole(b, 21, size)) {
        return ControlParser::NeedMore;
    }
    putPosition(m, b, 1);
    m.insert("hscroll", qint32(be32(b, 13)));
    m.insert("vscroll", qint32(be32(b, 17)));
    return ControlParser::Complete;
}

// The messages made of the type and one byte: back-or-screen-on's action,
// get-clipboard's copy key, the screen power mode.
Result decodeOneByte(const QByteArray& b, QJsonObject& m, int& size, const char* field)
{
    if (!whole(b, 2, size)) {
        return ControlParser::NeedMore;
    }
    m.insert(field, quint8(b[1]));
    return ControlParser::Complete;
}

Result decodeBackOrScreenOn(const QByteArray& b, QJsonObject& m, int& size)
{
    return decodeOneByte(b, m, size, "action");
}

Result decodeGetClipboard(const QByteArray& b, QJsonObject& m, int& size)
{
    return decodeOneByte(b, m, size, "copyKey");
}

Result decodeScreenPowerMode(const QByteArray& b, QJsonObject& m, int& size)
{
    return decodeOneByte(b, m, size, "mode");
}

Result decodeSetClipboard(const QByteArray& b, QJsonObject& m, int& size)
{
    const Result text = readText(b, 10, "clipboard", m, size);
    if (text == ControlParser::Complete) {
        m.insert("sequence", double(be64(b, 1)));
        m.insert("paste", quint8(b[9]) != 0);
    }
    return text;
}

Result decodeTypeOnly(const QByteArray&, QJsonObject&, int& size)
{
    size = 1;
    return ControlParser::Complete;
}

struct MessageKind
{
    const char* name;
    Result (*decode)(const QByteArray&, QJsonObject&, int&);
};

// Indexed by ControlParser::MessageType.
const MessageKind kKinds[ControlParser::MessageTypeCount] = {
    {"INJECT_KEYCODE", decodeKeycode},
    {"INJECT_TEXT", decodeText},
    {"INJECT_TOUCH", decodeTouch},
    {"INJECT_SCROLL", decodeScroll},
    {"BACK_OR_SCREEN_ON", decodeBackOrScreenOn},
    {"EXPAND_NOTIFICATION_PANEL", decodeTypeOnly},
    {"RESERVED_6", decodeTypeOnly},
    {"COLLAPSE_PANEL", decodeTypeOnly},
    {"GET_CLIPBOARD", decodeGetClipboard},
    {"SET_CLIPBOARD", decodeSetClipboard},
    {"SET_SCREEN_POWER_MODE", decodeScreenPowerMode},
    {"RESERVED_11", decodeTypeOnly},
};

} // namespace

ControlParser::Result ControlParser::parseOne(const QByteArray& b, QJsonObject& m, int& consumed)
{
    if (b.isEmpty()) {
        return NeedMore;
    }
    const int type = quint8(b[0]);
    if (type >= MessageTypeCount) {
        m = QJsonObject{{"type", type}, {"name", "UNKNOWN"}, {"error", QString("unknown message type %1").arg(type)}};
        return Malformed;
    }
    m = QJsonObject{{"type", type}, {"name", kKinds[type].name}};
    int size = 0;
    const Result result = kKinds[type].decode(b, m, size);
    if (result != Complete) {
        return result;
    }
    if (size <= 64) {
        m.insert("bytes", QString::fromLatin1(b.left(size).toHex(' ')));
    }
    m.insert("size", size);
    consumed = size;
    return Complete;
}

QList<QJsonObject> ControlParser::feed(const QByteArray& bytes)
{
    QList<QJsonObject> messages;
    if (m_failed) {
        return messages;
    }
    m_buffer.append(bytes);
    int offset = 0;
    while (offset < m_buffer.size()) {
        QJsonObject message;
        int consumed = 0;
        const QByteArray rest = QByteArray::fromRawData(m_buffer.constData() + offset, m_buffer.size() - offset);
        const Result result = parseOne(rest, message, consumed);
        if (result == NeedMore) {
            break;
        }
        if (result == Malformed) {
            message.insert("bytes", QString::fromLatin1(rest.left(16).toHex(' ')));
            messages.append(message);
            m_failed = true;
            m_buffer.clear();
            return messages;
        }
        messages.append(message);
        offset += consumed;
    }
    m_buffer.remove(0, offset);
    return messages;
}

} // namespace sim
