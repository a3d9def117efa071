// Control messages built from fields drawn from the input, serialised by the application and
// decoded by the simulated device's own parser, which was written separately from the wire
// tables: every field must arrive as it was set, one at a time and back to back in any cuts.
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QRect>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "ControlParser.h"
#include "controller/ControlMsg.h"

namespace fuzz {

namespace {

using dvk::ControlMsg;

struct Built
{
    QByteArray bytes;
    QJsonObject expected;
    // The text as given; the device sees it, or a prefix of it when it is over the limit.
    QString text;
    int textLimit = 0;
};

void fail(const QString& what)
{
    fprintf(stderr, "controlmsg target: %s\n", qUtf8Printable(what));
    abort();
}

// Valid text only: what the device gets back is then comparable code point by code point.
QString takeText(FuzzInput& in, bool allowLong)
{
    QString text;
    const int pieces = in.take<uint8_t>() % 8;
    // Past the clipboard limit by a little is all the cutting needs; more only slows the run.
    for (int i = 0; i < pieces && text.size() <= ControlMsg::CLIPBOARD_TEXT_MAX_LENGTH + 64; ++i) {
        uint32_t code = in.take<uint32_t>() % 0x110000;
        if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        const uint8_t repeatByte = in.take<uint8_t>();
        // One marker value makes a run long enough to pass the clipboard limit: rare, as it is slow.
        const int repeat = (allowLong && repeatByte == 0xFF) ? 0x41000 : repeatByte;
        const QString unit = QString::fromUcs4(&code, 1);
        text += unit.repeated(repeat);
    }
    return text;
}

QRect takeRect(FuzzInput& in, QJsonObject& e)
{
    // Within +-2^30, so that the rectangle's own arithmetic cannot overflow.
    const auto x = static_cast<qint32>(static_cast<int64_t>(in.takeInRange(0, 1u << 31)) - (1 << 30));
    const auto y = static_cast<qint32>(static_cast<int64_t>(in.takeInRange(0, 1u << 31)) - (1 << 30));
    const int w = in.take<uint16_t>();
    const int h = in.take<uint16_t>();
    e.insert("x", x);
    e.insert("y", y);
    e.insert("screenWidth", w);
    e.insert("screenHeight", h);
    return QRect(x, y, w, h);
}

int expectedPressure(float pressure)
{
    if (!(pressure > 0.0f)) {
        return 0;
    }
    const double scaled = std::floor(static_cast<double>(pressure) * 65536.0);
    return scaled >= 65535.0 ? 0xFFFF : static_cast<int>(scaled);
}

QJsonValue pointerId(quint64 id)
{
    const qint64 asSigned = static_cast<qint64>(id);
    if (asSigned > -(qint64(1) << 53) && asSigned < (qint64(1) << 53)) {
        return double(asSigned);
    }
    return QString::number(id);
}

void fillKeycodeOrTouch(ControlMsg& msg, FuzzInput& in, QJsonObject& e)
{
    const uint8_t action = in.take<uint8_t>();
    e.insert("action", action);
    if (msg.type() == ControlMsg::CONTROL_INJECT_KEYCODE) {
        const quint32 keycode = in.take<uint32_t>(), repeat = in.take<uint32_t>(), meta = in.take<uint32_t>();
        msg.setInjectKeycodeMsgData(static_cast<dvk::AndroidKeyeventAction>(action), static_cast<dvk::AndroidKeycode>(keycode),
                                    repeat, static_cast<dvk::AndroidMetastate>(meta));
        e.insert("keycode", double(keycode));
        e.insert("repeat", double(repeat));
        e.insert("metastate", double(meta));
        return;
    }
    const quint64 id = in.take<uint64_t>();
    const quint32 buttons = in.take<uint32_t>();
    const QRect rect = takeRect(in, e);
    const float pressure = in.take<float>();
    msg.setInjectTouchMsgData(id, static_cast<dvk::AndroidMotioneventAction>(action),
                              static_cast<dvk::AndroidMotioneventButtons>(buttons), rect, pressure);
    e.insert("pointerId", pointerId(id));
    e.insert("buttons", double(buttons));
    e.insert("pressureRaw", expectedPressure(pressure));
}

void fillOther(ControlMsg& msg, FuzzInput& in, Built& b)
{
    QJsonObject& e = b.expected;
    switch (msg.type()) {
    case ControlMsg::CONTROL_INJECT_TEXT: {
        b.text = takeText(in, false);
        b.textLimit = ControlMsg::TEXT_MAX_LENGTH;
        QString cut = b.text;
        msg.setInjectTextMsgData(cut);
        break;
    }
    case ControlMsg::CONTROL_INJECT_SCROLL: {
        const QRect rect = takeRect(in, e);
        const qint32 h = in.take<int32_t>(), v = in.take<int32_t>();
        msg.setInjectScrollMsgData(rect, h, v);
        e.insert("hscroll", h);
        e.insert("vscroll", v);
        break;
    }
    case ControlMsg::CONTROL_BACK_OR_SCREEN_ON: {
        const bool down = in.takeBool();
        msg.setBackOrScreenOnData(down);
        e.insert("action", down ? 0 : 1);
        break;
    }
    case ControlMsg::CONTROL_GET_CLIPBOARD: {
        const uint8_t key = in.take<uint8_t>();
        msg.setGetClipboardMsgData(static_cast<ControlMsg::GetClipboardCopyKey>(key));
        e.insert("copyKey", key);
        break;
    }
    case ControlMsg::CONTROL_SET_CLIPBOARD: {
        QString text = takeText(in, true);
        const bool paste = in.takeBool();
        b.textLimit = ControlMsg::CLIPBOARD_TEXT_MAX_LENGTH;
        b.text = text;
        msg.setSetClipboardMsgData(text, paste);
        e.insert("sequence", 0);
        // An empty text carries no paste request.
        e.insert("paste", paste && !b.text.isEmpty());
        break;
    }
    case ControlMsg::CONTROL_SET_SCREEN_POWER_MODE: {
        const uint8_t mode = in.take<uint8_t>();
        msg.setSetScreenPowerModeData(static_cast<ControlMsg::ScreenPowerMode>(mode));
        e.insert("mode", mode);
        break;
    }
    default:
        break;
    }
}

Built build(FuzzInput& in)
{
    Built b;
    const auto type = static_cast<ControlMsg::ControlMsgType>(in.take<uint8_t>() % 12);
    ControlMsg msg(type);
    b.expected.insert("type", int(type));
    if (type == ControlMsg::CONTROL_INJECT_KEYCODE || type == ControlMsg::CONTROL_INJECT_TOUCH) {
        fillKeycodeOrTouch(msg, in, b.expected);
    } else {
        fillOther(msg, in, b);
    }
    b.bytes = msg.serializeData();
    return b;
}

void compareText(const Built& b, const QJsonObject& got)
{
    const QString text = got.value("text").toString();
    const QByteArray utf8 = text.toUtf8();
    if (got.value("length").toDouble() != utf8.size()) {
        fail("the text length field does not match its bytes");
    }
    if (b.text.left(text.size()) != text || text.size() > b.textLimit) {
        fail(QString("text of %1 units arrived as %2 units that are not its prefix within the limit")
                 .arg(b.text.size()).arg(text.size()));
    }
    // Only the end of an over-long text may be missing, and at most the half of a pair beyond the limit.
    const int wanted = qMin(b.text.size(), b.textLimit);
    if (text.size() < wanted - 1 || (text.size() == wanted - 1 && !b.text.at(wanted - 1).isHighSurrogate())) {
        fail(QString("text of %1 units arrived cut to %2").arg(b.text.size()).arg(text.size()));
    }
}

void compare(const Built& b, const QJsonObject& got)
{
    for (auto it = b.expected.begin(); it != b.expected.end(); ++it) {
        if (got.value(it.key()) != it.value()) {
            fail(QString("type %1 field %2: sent %3, parsed %4")
                     .arg(b.expected.value("type").toInt())
                     .arg(it.key(), it.value().toVariant().toString(), got.value(it.key()).toVariant().toString()));
        }
    }
    if (got.value("size").toInt() != b.bytes.size()) {
        fail("the parser took another size than was written");
    }
    if (b.textLimit > 0) {
        compareText(b, got);
    }
}

} // namespace

int fuzzControlMsg(const uint8_t* data, size_t size)
{
    ensureApp();
    FuzzInput in(data, size);
    const uint64_t seed = in.take<uint64_t>();
    std::vector<Built> sent;
    QByteArray wire;
    while (!in.empty() && sent.size() < 16) {
        sent.push_back(build(in));
        QJsonObject one;
        int consumed = 0;
        if (sim::ControlParser::parseOne(sent.back().bytes, one, consumed) != sim::ControlParser::Complete) {
            fail(QString("a message of type %1 did not parse on its own").arg(sent.back().expected.value("type").toInt()));
        }
        compare(sent.back(), one);
        wire += sent.back().bytes;
    }
    sim::ControlParser parser;
    QList<QJsonObject> got;
    for (const QByteArray& piece : chunked(wire, seed)) {
        got += parser.feed(piece);
    }
    if (got.size() != static_cast<int>(sent.size())) {
        fail(QString("%1 messages sent back to back, %2 parsed").arg(sent.size()).arg(got.size()));
    }
    for (size_t i = 0; i < sent.size(); ++i) {
        compare(sent[i], got[static_cast<int>(i)]);
    }
    return 0;
}

} // namespace fuzz
