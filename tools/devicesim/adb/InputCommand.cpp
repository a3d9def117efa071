#include "InputCommand.h"

#include <QJsonArray>
#include <QRegularExpression>

#include "Console.h"

namespace sim {

namespace {

const QStringList kSources{"dpad",     "keyboard",    "mouse",  "touchpad", "gamepad", "touchnavigation",
                           "joystick", "touchscreen", "stylus", "trackball"};

// Number of arguments each command takes: fixed, or a range.
struct Arity
{
    int min;
    int max;
};

const QHash<QString, Arity> kArity{{"text", {1, 1}},        {"tap", {2, 2}},  {"swipe", {4, 5}},
                                   {"draganddrop", {4, 5}}, {"press", {0, 0}}, {"roll", {2, 2}},
                                   {"motionevent", {3, 3}}, {"keyevent", {1, 1000}}};

bool readNumber(const QString& text, double& value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok;
}

} // namespace

InputCommand::InputCommand(const DeviceAccess& access, const QString& device, const QJsonObject& state)
    : m_access(access), m_device(device), m_state(state)
{
}

QString InputCommand::usage(bool withMotionEvent)
{
    QString text = "Usage: input [<source>] [-d DISPLAY_ID] <command> [<arg>...]\n"
                   "\n"
                   "The sources are: \n";
    for (const QString& source : kSources) {
        text += "      " + source + "\n";
    }
    text += "\n"
            "-d: specify the display ID.\n"
            "      (Default: -1 for key event, 0 for motion event if not specified.)\n"
            "The commands and default sources are:\n"
            "      text <string> (Default: touchscreen)\n"
            "      keyevent [--longpress|--doubletap] <key code number or name> ... (Default: keyboard)\n"
            "      tap <x> <y> (Default: touchscreen)\n"
            "      swipe <x1> <y1> <x2> <y2> [duration(ms)] (Default: touchscreen)\n"
            "      draganddrop <x1> <y1> <x2> <y2> [duration(ms)] (Default: touchscreen)\n"
            "      press (Default: trackball)\n"
            "      roll <dx> <dy> (Default: trackball)";
    if (withMotionEvent) {
        text += "\n      motionevent <DOWN|UP|MOVE|CANCEL> <x> <y> (Default: touchscreen)";
    }
    return text;
}

bool InputCommand::motionEventAvailable() const
{
    return m_state.value("inputMotionevent").toBool(true);
}

int InputCommand::run(const QStringList& argsIn)
{
    QStringList args = argsIn;
    if (!args.isEmpty() && kSources.contains(args.first())) {
        args.removeFirst();
    }
    if (args.value(0) == "-d") {
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        Console::out(usage(motionEventAvailable()));
        return 1;
    }
    const QString command = args.takeFirst();
    if (!kArity.contains(command) || (command == "motionevent" && !motionEventAvailable())) {
        return unknown(command);
    }
    const Arity arity = kArity.value(command);
    if (args.size() < arity.min || args.size() > arity.max) {
        return invalid(command);
    }
    Event event;
    event.command = command;
    QString error;
    if (!parse(command, args, event, &error)) {
        return error.isEmpty() ? invalid(command) : Console::fail(error);
    }
    event.fields.insert("event", "input");
    event.fields.insert("command", command);
    event.fields.insert("args", QJsonArray::fromStringList(argsIn));
    if (!apply(event)) {
        return Console::failNoLock();
    }
    m_access.recordEvent(m_device, event.fields);
    return 0;
}

int InputCommand::invalid(const QString& command) const
{
    return Console::fail("Error: Invalid arguments for command: " + command);
}

int InputCommand::unknown(const QString& command) const
{
    Console::err("Error: Unknown command: " + command);
    Console::out(usage(motionEventAvailable()));
    return 1;
}

bool InputCommand::readCoordinates(const QStringList& args, int from, const QStringList& names, QJsonObject& fields,
                                   QString* error)
{
    for (int i = 0; i < names.size(); ++i) {
        double value = 0;
        if (!readNumber(args.value(from + i), value)) {
            *error = QString("Error: NumberFormatException: For input string: \"%1\"").arg(args.value(from + i));
            return false;
        }
        fields.insert(names.at(i), value);
    }
    return true;
}

bool InputCommand::parseKeyEvent(const QStringList& argsIn, QJsonObject& fields)
{
    QStringList args = argsIn;
    const QString flag = args.value(0);
    if (flag == "--longpress" || flag == "--doubletap") {
        fields.insert(flag.mid(2), true);
        args.removeFirst();
    }
    static const QRegularExpression code("^(\\d+|[A-Z][A-Z0-9_]*)$");
    if (args.isEmpty()) {
        return false;
    }
    for (const QString& arg : args) {
        if (!code.match(arg).hasMatch()) {
            return false;
        }
    }
    fields.insert("codes", QJsonArray::fromStringList(args));
    return true;
}

bool InputCommand::parse(const QString& command, const QStringList& args, Event& event, QString* error) const
{
    QJsonObject& f = event.fields;
    if (command == "text") {
        event.typed = QString(args.first()).replace("%s", " ");
        f.insert("text", event.typed);
        return true;
    }
    if (command == "keyevent") {
        return parseKeyEvent(args, f);
    }
    if (command == "tap") {
        if (!readCoordinates(args, 0, {"x", "y"}, f, error)) {
            return false;
        }
        event.touch = QJsonObject{{"x", f.value("x")}, {"y", f.value("y")}, {"down", false}};
        return true;
    }
    if (command == "swipe" || command == "draganddrop") {
        const QStringList names = args.size() == 5 ? QStringList{"x", "y", "x2", "y2", "ms"}
                                                   : QStringList{"x", "y", "x2", "y2"};
        if (!readCoordinates(args, 0, names, f, error)) {
            return false;
        }
        event.touch = QJsonObject{{"x", f.value("x2")}, {"y", f.value("y2")}, {"down", false}};
        return true;
    }
    if (command == "roll") {
        return readCoordinates(args, 0, {"dx", "dy"}, f, error);
    }
    if (command == "motionevent") {
        const QString action = args.first().toUpper();
        if (!QStringList{"DOWN", "UP", "MOVE", "CANCEL"}.contains(action) ||
            !readCoordinates(args, 1, {"x", "y"}, f, error)) {
            return false;
        }
        f.insert("action", action);
        const bool down = action == "DOWN" || action == "MOVE";
        event.touch = QJsonObject{{"x", f.value("x")}, {"y", f.value("y")}, {"down", down}};
        return true;
    }
    return true; // press
}

// Every accepted command counts in inputCount: a still screen starts to move
// with the first one.
bool InputCommand::apply(const Event& event) const
{
    return m_access.update(m_device, [&](QJsonObject& d) {
        d.insert("inputCount", d.value("inputCount").toInt() + 1);
        if (!event.touch.isEmpty()) {
            d.insert("lastTouch", event.touch);
        }
        if (!event.typed.isEmpty()) {
            d.insert("typedText", d.value("typedText").toString() + event.typed);
        }
    });
}

} // namespace sim
