// A keymap text from the input, loaded by the game converter of a real controller, then events
// drawn from the rest of the input: keys, mouse buttons and moves, wheel turns and short waits
// that let the gestures' timers run. Every byte the controller sends must be whole messages the
// device can read, with touches of at most ten fingers on the picture's own size.
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstdlib>

#include "ControlParser.h"
#include "controller/Controller.h"

// Only a whole stack through Qt (which keeps no frame pointers) shows that Qt's JSON leak (see
// FuzzSupport.cpp) starts there; this target waits on timers anyway, so the slower recording costs little.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

namespace fuzz {

namespace {

// The keys keymaps name, so that most draws hit a binding; the rest come raw.
const int kKeys[] = {Qt::Key_QuoteLeft, Qt::Key_W, Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_Space, Qt::Key_C,
                     Qt::Key_R, Qt::Key_Q, Qt::Key_F, Qt::Key_G, Qt::Key_H, Qt::Key_M, Qt::Key_B, Qt::Key_Tab,
                     Qt::Key_Alt, Qt::Key_Escape, Qt::Key_Left, Qt::Key_Right, Qt::Key_1, Qt::Key_2, Qt::Key_3,
                     Qt::Key_4, Qt::Key_Shift, Qt::Key_Control, Qt::Key_Up, Qt::Key_Down};
const Qt::MouseButton kButtons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton, Qt::BackButton,
                                    Qt::ForwardButton};

void fail(const QString& what)
{
    fprintf(stderr, "keymap target: %s\n", qUtf8Printable(what));
    abort();
}

struct Sizes
{
    QSize frame;
    QSize show;
};

void checkMessage(const QJsonObject& m, const Sizes& sizes)
{
    if (m.value("type").toInt() != 2) {
        return;
    }
    const QJsonValue id = m.value("pointerId");
    const bool mouse = id.isString() || id.toDouble() == -1.0;
    if (!mouse && (id.toDouble() < 0 || id.toDouble() > 9)) {
        fail(QString("a touch with pointer id %1").arg(id.toVariant().toString()));
    }
    const QSize screen(m.value("screenWidth").toInt(), m.value("screenHeight").toInt());
    if (screen != sizes.frame) {
        fail(QString("a touch for a %1x%2 screen on a %3x%4 picture")
                 .arg(screen.width()).arg(screen.height()).arg(sizes.frame.width()).arg(sizes.frame.height()));
    }
}

void sendKey(dvk::Controller& controller, FuzzInput& in, const Sizes& s)
{
    const uint8_t pick = in.take<uint8_t>();
    const int key = pick < 200 ? kKeys[pick % (sizeof kKeys / sizeof kKeys[0])] : static_cast<int>(in.take<uint32_t>());
    const bool press = in.takeBool();
    const bool repeat = in.takeBool();
    const auto modifiers = Qt::KeyboardModifiers(static_cast<int>((in.take<uint8_t>() & 0x3Fu) << 25));
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers, QString(), repeat);
    controller.keyEvent(&event, s.frame, s.show);
}

QPointF takePoint(FuzzInput& in, const Sizes& s)
{
    // Mostly on the shown picture, sometimes off it.
    const int w = s.show.width() + 40, h = s.show.height() + 40;
    return QPointF(static_cast<int>(in.take<uint16_t>() % w) - 20, static_cast<int>(in.take<uint16_t>() % h) - 20);
}

void sendMouse(dvk::Controller& controller, FuzzInput& in, const Sizes& s)
{
    static const QEvent::Type types[] = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseMove,
                                         QEvent::MouseButtonDblClick};
    const QEvent::Type type = types[in.take<uint8_t>() % 4];
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : kButtons[in.take<uint8_t>() % 5];
    const auto buttons = Qt::MouseButtons(in.take<uint8_t>() & 0x1F);
    QMouseEvent event(type, takePoint(in, s), button, buttons, Qt::NoModifier);
    controller.mouseEvent(&event, s.frame, s.show);
}

void sendWheel(dvk::Controller& controller, FuzzInput& in, const Sizes& s)
{
    const QPointF pos = takePoint(in, s);
    const QPoint angle(in.take<int16_t>(), in.take<int16_t>());
    QWheelEvent event(pos, pos, QPoint(), angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    controller.wheelEvent(&event, s.frame, s.show);
}

void wait(FuzzInput& in)
{
    QElapsedTimer timer;
    timer.start();
    const int ms = in.take<uint8_t>() % 16;
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    } while (timer.elapsed() < ms);
}

} // namespace

int fuzzKeyMap(const uint8_t* data, size_t size)
{
    ensureApp();
    FuzzInput in(data, size);
    const QString json = QString::fromUtf8(in.takeSizedBytes(8192));
    Sizes sizes;
    sizes.frame = QSize(1 + in.take<uint16_t>() % 4096, 1 + in.take<uint16_t>() % 4096);
    sizes.show = QSize(1 + in.take<uint16_t>() % 4096, 1 + in.take<uint16_t>() % 4096);

    sim::ControlParser parser;
    QList<QJsonObject> messages;
    dvk::Controller controller(
        [&parser, &messages](const QByteArray& bytes) {
            messages += parser.feed(bytes);
            return qint64(bytes.size());
        },
        json.isEmpty() ? QStringLiteral("{}") : json);
    for (int events = 0; !in.empty() && events < 200; ++events) {
        switch (in.take<uint8_t>() % 8) {
        case 0: case 1: case 2: sendKey(controller, in, sizes); break;
        case 3: case 4: case 5: sendMouse(controller, in, sizes); break;
        case 6: sendWheel(controller, in, sizes); break;
        default: wait(in); break;
        }
        QCoreApplication::sendPostedEvents(&controller);
    }
    QCoreApplication::sendPostedEvents(&controller);
    if (parser.failed()) {
        fail("the controller sent bytes the device cannot read");
    }
    for (const QJsonObject& m : messages) {
        checkMessage(m, sizes);
    }
    return 0;
}

} // namespace fuzz
