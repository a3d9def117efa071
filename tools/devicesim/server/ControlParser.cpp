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

const char* typeName(int type)
{
    static const char* const names[] = {"INJECT_KEYCODE",
                                        "INJECT_TEXT",
                                        "INJECT_TOUCH",
                                        "INJECT_SCROLL",
                                        "BACK_OR_SCREEN_ON",
                                        "EXPAND_NOTIFICATION_PANEL",
                                        "RESERVED_6",
                                        "COLLAPSE_PANEL",
                                        "GET_CLIPBOARD",
                                        "SET_CLIPBOARD",
                                        "SET_SCREEN_POWER_MODE",
                                        "RESERVED_11"};
    return type >= 0 && type < 12 ? names[type] : "UNKNOWN";
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

} // namespace

ControlParser::Result ControlParser::parseOne(const QByteArray& b, QJsonObject& m, int& consumed)
{
    if (b.isEmpty()) {
        return NeedMore;
    }
    const int type = quint8(b[0]);
    m = QJsonObject{{"type", type}, {"name", typeName(type)}};
    int size = 0;
    switch (type) {
    case 0:
        size = 14;
        if (b.size() < size) {
            return NeedMore;
        }
        m.insert("action", quint8(b[1]));
        m.insert("keycode", double(be32(b, 2)));
        m.insert("repeat", double(be32(b, 6)));
        m.insert("metastate", double(be32(b, 10)));
        break;
    case 1: {
        if (b.size() < 5) {
            return NeedMore;
        }
        const quint32 length = be32(b, 1);
        if (length > kMaxTextBytes) {
            m.insert("error", QString("text length %1 too large").arg(length));
            return Malformed;
        }
        size = 5 + int(length);
        if (b.size() < size) {
            return NeedMore;
        }
        m.insert("length", double(length));
        m.insert("text", QString::fromUtf8(b.constData() + 5, int(length)));
        break;
    }
    case 2: {
        size = 28;
        if (b.size() < size) {
            return NeedMore;
        }
        const quint64 id = be64(b, 2);
        const quint32 pressure = be16(b, 22);
        m.insert("action", quint8(b[1]));
        m.insert("pointerId", pointerIdValue(id));
        putPosition(m, b, 10);
        m.insert("pressureRaw", int(pressure));
        m.insert("pressure", pressure == 0xFFFF ? 1.0 : pressure / 65536.0);
        m.insert("buttons", double(be32(b, 24)));
        break;
    }
    case 3:
        size = 21;
        if (b.size() < size) {
            return NeedMore;
        }
        putPosition(m, b, 1);
        m.insert("hscroll", qint32(be32(b, 13)));
        m.insert("vscroll", qint32(be32(b, 17)));
        break;
    case 4:
        size = 2;
        if (b.size() < size) {
            return NeedMore;
        }
        m.insert("action", quint8(b[1]));
        break;
    case 8:
        size = 2;
        if (b.size() < size) {
            return NeedMore;
        }
        m.insert("copyKey", quint8(b[1]));
        break;
    case 9: {
        if (b.size() < 14) {
            return NeedMore;
        }
        const quint32 length = be32(b, 10);
        if (length > kMaxTextBytes) {
            m.insert("error", QString("clipboard length %1 too large").arg(length));
            return Malformed;
        }
        size = 14 + int(length);
        if (b.size() < size) {
            return NeedMore;
        }
        m.insert("sequence", double(be64(b, 1)));
        m.insert("paste", quint8(b[9]) != 0);
        m.insert("length", double(length));
        m.insert("text", QString::fromUtf8(b.constData() + 14, int(length)));
        break;
    }
    case 10:
        size = 2;
        if (b.size() < size) {
            return NeedMore;
        }
        m.insert("mode", quint8(b[1]));
        break;
    case 5:
    case 6:
    case 7:
    case 11:
        size = 1;
        break;
    default:
        m.insert("error", QString("unknown message type %1").arg(type));
        return Malformed;
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
