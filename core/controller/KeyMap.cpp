#include "controller/KeyMap.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>
#include <QMetaEnum>

namespace dvk {

namespace {

// Without a speedRatio the mouse-move ratios keep this neutral value.
constexpr double DEFAULT_SPEED_RATIO = 1.0;
constexpr double MIN_SPEED_RATIO = 0.001;
// The speedRatio key sets the vertical ratio to the horizontal one divided by this.
constexpr double VERTICAL_SPEED_DIVISOR = 2.25;
// A tap sequence step waits at most an hour, so that summing 50 of them cannot overflow.
constexpr double MAX_CLICK_DELAY_MS = 3600000.0;

// The meta-object system also accepts scoped names such as "Qt::Key_A"; keymaps use the bare names.
int enumValue(const QMetaEnum& metaEnum, const QString& name, bool* ok)
{
    *ok = false;
    if (name.isEmpty() || name.contains(QLatin1Char(':'))) {
        return 0;
    }
    return metaEnum.keyToValue(name.toUtf8().constData(), ok);
}

void warnInvalidKey(const QJsonValue& name)
{
    qWarning("%s", qUtf8Printable("json error: keyMapNodes node invalid key: " + name.toString()));
}

} // namespace

KeyMap::KeyMap(QObject* parent) : QObject(parent) {}

KeyMap::~KeyMap() = default;

QString KeyMap::loadKeyMap(const QString& json)
{
    reset();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &parseError);
    QString error;
    if (parseError.error != QJsonParseError::NoError) {
        error = QString("json error: %1").arg(parseError.errorString());
    } else {
        error = loadRoot(document.object());
    }
    if (!error.isEmpty()) {
        qWarning("%s", qUtf8Printable(error));
        return error;
    }
    makeReverseMap();
    qInfo("Script updated, current keymap mode:normal, Press ~ key to switch keymap mode");
    return QString();
}

void KeyMap::reset()
{
    m_switchKey = KeyName{AT_KEY, Qt::Key_QuoteLeft};
    m_nodes.clear();
    m_steerWheelIndex = -1;
    m_mouseMoveIndex = -1;
    m_keyboardMap.clear();
    m_mouseMap.clear();
}

QString KeyMap::loadRoot(const QJsonObject& root)
{
    const QJsonValue switchKey = root.value("switchKey");
    if (!switchKey.isString()) {
        return "json error: no find switchKey";
    }
    const KeyName name = resolveKey(switchKey);
    if (name.type == AT_INVALID) {
        return "json error: switchKey invalid";
    }
    m_switchKey = name;

    const QJsonValue mouseMoveMap = root.value("mouseMoveMap");
    if (mouseMoveMap.isObject()) {
        const QString error = loadMouseMoveMap(mouseMoveMap.toObject());
        if (!error.isEmpty()) {
            return error;
        }
    }
    const QJsonValue nodes = root.value("keyMapNodes");
    return nodes.isArray() ? loadNodes(nodes.toArray()) : QString();
}

QString KeyMap::loadMouseMoveMap(const QJsonObject& map)
{
    const QJsonValue ratio = map.value("speedRatio");
    const QJsonValue ratioX = map.value("speedRatioX");
    const QJsonValue ratioY = map.value("speedRatioY");
    double x = DEFAULT_SPEED_RATIO;
    double y = DEFAULT_SPEED_RATIO;
    if (ratio.isDouble()) {
        x = ratio.toDouble();
        y = x / VERTICAL_SPEED_DIVISOR;
    }
    if (ratioX.isDouble()) {
        x = ratioX.toDouble();
    }
    if (ratioY.isDouble()) {
        y = ratioY.toDouble();
    }
    if (!ratio.isDouble() && !ratioX.isDouble() && !ratioY.isDouble()) {
        return "json error: speedRatio setting is missing in mouseMoveMap!";
    }
    if (x < MIN_SPEED_RATIO) {
        return "json error: Minimum speedRatio is 0.001";
    }
    // The vertical ratio divides the mouse movement; a negative one turns the view upside down.
    if (static_cast<float>(y) == 0.0f) {
        return "json error: vertical speedRatio must not be 0";
    }
    // A view finger put down at a guessed place would make every move re-centre it.
    if (!isPosition(map.value("startPos"))) {
        return "json error: mouseMoveMap on find startPos";
    }

    KeyMapNode node;
    node.type = KMT_MOUSE_MOVE;
    node.mouseMove = MouseMoveData();
    node.mouseMove.startPos = toPosition(map.value("startPos"));
    node.mouseMove.speedRatio = QPointF(static_cast<float>(x), static_cast<float>(y));

    const QJsonValue smallEyes = map.value("smallEyes");
    if (smallEyes.isObject()) {
        const QString error = loadSmallEyes(smallEyes.toObject(), node.mouseMove);
        if (!error.isEmpty()) {
            return error;
        }
    }
    m_mouseMoveIndex = m_nodes.size();
    m_nodes.append(node);
    return QString();
}

QString KeyMap::loadSmallEyes(const QJsonObject& eyes, MouseMoveData& mouseMove)
{
    if (!eyes.value("type").isString()) {
        return "json error: smallEyes no find node type";
    }
    if (resolveType(eyes.value("type").toString()) != KMT_CLICK) {
        return "json error: smallEyes just support KMT_CLICK";
    }
    if (!checkNodeFormat(eyes, KMT_CLICK)) {
        return "json error: smallEyes node format error";
    }
    const KeyName key = resolveKey(eyes.value("key"));
    if (key.type == AT_INVALID) {
        return QString("json error: keyMapNodes node invalid key: %1").arg(eyes.value("key").toString());
    }
    mouseMove.smallEyes.type = key.type;
    mouseMove.smallEyes.key = key.key;
    mouseMove.smallEyes.pos = toPosition(eyes.value("pos"));
    return QString();
}

QString KeyMap::loadNodes(const QJsonArray& nodes)
{
    for (const QJsonValue& value : nodes) {
        if (!value.isObject()) {
            return "json error: keyMapNodes node must be json object";
        }
        const QJsonObject object = value.toObject();
        if (!object.value("type").isString()) {
            return "json error: keyMapNodes no find node type";
        }
        const QString typeName = object.value("type").toString();
        const KeyMapType type = resolveType(typeName);
        if (type == KMT_INVALID || type == KMT_MOUSE_MOVE) {
            qWarning("%s", qUtf8Printable("json error: keyMapNodes invalid node type:" + typeName));
            continue;
        }
        if (!checkNodeFormat(object, type)) {
            qWarning("json error: keyMapNodes node format error");
            continue;
        }
        KeyMapNode node;
        node.type = type;
        if (!loadNode(object, type, node)) {
            continue;
        }
        if (type == KMT_STEER_WHEEL) {
            m_steerWheelIndex = m_nodes.size();
        }
        m_nodes.append(node);
    }
    return QString();
}

bool KeyMap::loadNode(const QJsonObject& object, KeyMapType type, KeyMapNode& node)
{
    if (type == KMT_STEER_WHEEL) {
        return loadSteerWheel(object, node);
    }
    const KeyName key = resolveKey(object.value("key"));
    if (key.type == AT_INVALID) {
        warnInvalidKey(object.value("key"));
        return false;
    }
    KeyBinding& binding = node.click.binding;
    binding.type = key.type;
    binding.key = key.key;
    switch (type) {
    case KMT_CLICK:
    case KMT_CLICK_TWICE:
        binding.pos = toPosition(object.value("pos"));
        node.click.switchMap = object.value("switchMap").toBool(false);
        break;
    case KMT_DRAG:
        binding.pos = toPosition(object.value("startPos"));
        binding.endPos = toPosition(object.value("endPos"));
        break;
    default:
        loadClickNodes(object.value("clickNodes").toArray(), binding);
        break;
    }
    return true;
}

bool KeyMap::loadSteerWheel(const QJsonObject& object, KeyMapNode& node)
{
    node.steerWheel = SteerWheelData();
    SteerWheelData& wheel = node.steerWheel;
    const struct
    {
        const char* key;
        const char* offset;
        KeyBinding& binding;
    } directions[] = {{"leftKey", "leftOffset", wheel.left},
                      {"rightKey", "rightOffset", wheel.right},
                      {"upKey", "upOffset", wheel.up},
                      {"downKey", "downOffset", wheel.down}};
    bool valid = true;
    for (const auto& direction : directions) {
        const KeyName key = resolveKey(object.value(direction.key));
        if (key.type == AT_INVALID) {
            warnInvalidKey(object.value(direction.key));
            valid = false;
            continue;
        }
        direction.binding.type = key.type;
        direction.binding.key = key.key;
        direction.binding.offset = object.value(direction.offset).toDouble();
    }
    wheel.centerPos = toPosition(object.value("centerPos"));
    return valid;
}

void KeyMap::loadClickNodes(const QJsonArray& clickNodes, KeyBinding& binding)
{
    binding.clickNodeCount = 0;
    for (const QJsonValue& value : clickNodes) {
        if (binding.clickNodeCount == MAX_CLICK_NODES) {
            qInfo("clickNodes too much, up to %d", MAX_CLICK_NODES);
            return;
        }
        const QJsonObject object = value.toObject();
        DelayClickNode& node = binding.clickNodes[binding.clickNodeCount++];
        // Truncated toward zero; a negative or absurd delay would schedule taps in the past or overflow.
        node.delay = static_cast<int>(qBound(0.0, object.value("delay").toDouble(), MAX_CLICK_DELAY_MS));
        node.pos = toPosition(object.value("pos"));
    }
}

void KeyMap::makeReverseMap()
{
    m_keyboardMap.clear();
    m_mouseMap.clear();
    for (int i = 0; i < m_nodes.size(); ++i) {
        const KeyMapNode& node = m_nodes.at(i);
        switch (node.type) {
        case KMT_CLICK:
        case KMT_CLICK_TWICE:
        case KMT_CLICK_MULTI:
        case KMT_DRAG:
            registerKey(node.click.binding, i);
            break;
        case KMT_STEER_WHEEL:
            for (const KeyBinding* binding :
                 {&node.steerWheel.left, &node.steerWheel.right, &node.steerWheel.up, &node.steerWheel.down}) {
                registerKey(*binding, i);
            }
            break;
        default:
            break;
        }
    }
}

void KeyMap::registerKey(const KeyBinding& binding, int index)
{
    if (binding.type == AT_MOUSE) {
        m_mouseMap.insert(binding.key, index);
    } else if (binding.type == AT_KEY) {
        m_keyboardMap.insert(binding.key, index);
    }
}

const KeyMap::KeyMapNode& KeyMap::getKeyMapNode(int key) const
{
    const KeyMapNode& node = getKeyMapNodeKey(key);
    return node.type != KMT_INVALID ? node : getKeyMapNodeMouse(key);
}

const KeyMap::KeyMapNode& KeyMap::getKeyMapNodeKey(int key) const
{
    const int index = m_keyboardMap.value(key, -1);
    return index >= 0 ? m_nodes.at(index) : m_invalidNode;
}

const KeyMap::KeyMapNode& KeyMap::getKeyMapNodeMouse(int button) const
{
    const int index = m_mouseMap.value(button, -1);
    return index >= 0 ? m_nodes.at(index) : m_invalidNode;
}

bool KeyMap::isSwitchOnKeyboard() const
{
    return m_switchKey.type == AT_KEY;
}

int KeyMap::getSwitchKey() const
{
    return m_switchKey.key;
}

const KeyMap::KeyMapNode& KeyMap::getMouseMoveMap() const
{
    return isValidMouseMoveMap() ? m_nodes.at(m_mouseMoveIndex) : m_invalidNode;
}

bool KeyMap::isValidMouseMoveMap() const
{
    return m_mouseMoveIndex != -1;
}

bool KeyMap::isValidSteerWheelMap() const
{
    return m_steerWheelIndex != -1;
}

KeyMap::KeyName KeyMap::resolveKey(const QJsonValue& name)
{
    if (!name.isString()) {
        return KeyName();
    }
    bool ok = false;
    const int key = enumValue(QMetaEnum::fromType<Qt::Key>(), name.toString(), &ok);
    if (ok) {
        return KeyName{AT_KEY, key};
    }
    const int button = enumValue(QMetaEnum::fromType<Qt::MouseButtons>(), name.toString(), &ok);
    return ok ? KeyName{AT_MOUSE, button} : KeyName();
}

KeyMap::KeyMapType KeyMap::resolveType(const QString& name)
{
    bool ok = false;
    const int type = enumValue(QMetaEnum::fromType<KeyMapType>(), name, &ok);
    return ok ? static_cast<KeyMapType>(type) : KMT_INVALID;
}

bool KeyMap::checkNodeFormat(const QJsonObject& object, KeyMapType type)
{
    switch (type) {
    case KMT_CLICK:
        return object.value("key").isString() && isPosition(object.value("pos")) && object.value("switchMap").isBool();
    case KMT_CLICK_TWICE:
        return object.value("key").isString() && isPosition(object.value("pos"));
    case KMT_CLICK_MULTI:
        return checkClickMultiFormat(object);
    case KMT_STEER_WHEEL:
        for (const char* key : {"leftKey", "rightKey", "upKey", "downKey"}) {
            if (!object.value(key).isString()) {
                return false;
            }
        }
        for (const char* offset : {"leftOffset", "rightOffset", "upOffset", "downOffset"}) {
            if (!object.value(offset).isDouble()) {
                return false;
            }
        }
        return isPosition(object.value("centerPos"));
    case KMT_DRAG:
        return object.value("key").isString() && isPosition(object.value("startPos"))
               && isPosition(object.value("endPos"));
    default:
        return false;
    }
}

bool KeyMap::checkClickMultiFormat(const QJsonObject& object)
{
    const QJsonValue clickNodes = object.value("clickNodes");
    if (!clickNodes.isArray()) {
        qWarning("json error: no find clickNodes");
        return false;
    }
    const QJsonArray nodes = clickNodes.toArray();
    if (nodes.isEmpty()) {
        qWarning("json error: clickNodes is empty");
        return false;
    }
    for (const QJsonValue& value : nodes) {
        if (!value.isObject()) {
            qWarning("json error: clickNodes node must be json object");
            return false;
        }
        const QJsonObject node = value.toObject();
        if (!isPosition(node.value("pos")) || !node.value("delay").isDouble()) {
            return false;
        }
    }
    return true;
}

bool KeyMap::isPosition(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    return value.isObject() && object.value("x").isDouble() && object.value("y").isDouble();
}

QPointF KeyMap::toPosition(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    return QPointF(object.value("x").toDouble(), object.value("y").toDouble());
}

} // namespace dvk
