#ifndef KEYMAP_H
#define KEYMAP_H

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QHash>
#include <QObject>
#include <QPointF>
#include <QString>

namespace dvk {

// A keymap: how keys, mouse buttons and mouse movement become touch gestures in game mode.
// Positions are fractions of the device screen, 0.0 to 1.0 on both axes.
class KeyMap : public QObject
{
    Q_OBJECT
public:
    enum KeyMapType {
        KMT_INVALID = -1,
        KMT_CLICK = 0,
        KMT_CLICK_TWICE,
        KMT_CLICK_MULTI,
        KMT_STEER_WHEEL,
        KMT_DRAG,
        KMT_MOUSE_MOVE
    };
    Q_ENUM(KeyMapType)

    enum ActionType {
        AT_INVALID = -1,
        AT_KEY = 0,
        AT_MOUSE = 1,
    };
    Q_ENUM(ActionType)

    static constexpr int MAX_CLICK_NODES = 50;

    struct DelayClickNode
    {
        int delay = 0;
        QPointF pos;
    };

    struct KeyBinding
    {
        ActionType type = AT_INVALID;
        int key = Qt::Key_unknown;
        QPointF pos;
        QPointF endPos;
        double offset = 0.0;
        DelayClickNode clickNodes[MAX_CLICK_NODES];
        int clickNodeCount = 0;
    };

    struct ClickData
    {
        KeyBinding binding;
        bool switchMap = false;
    };

    struct SteerWheelData
    {
        QPointF centerPos;
        KeyBinding left;
        KeyBinding right;
        KeyBinding up;
        KeyBinding down;
    };

    struct MouseMoveData
    {
        QPointF startPos;
        // Horizontal and vertical ratio: pixels of mouse movement per pixel of view movement.
        QPointF speedRatio;
        KeyBinding smallEyes;
    };

    struct KeyMapNode
    {
        KeyMapNode() : click() {}

        KeyMapType type = KMT_INVALID;
        // Click and click-twice use click; click-multi and drag use click.binding alone.
        union {
            ClickData click;
            SteerWheelData steerWheel;
            MouseMoveData mouseMove;
        };
    };

    explicit KeyMap(QObject* parent = nullptr);
    ~KeyMap() override;

    // Problems are logged; whatever was accepted before a fatal problem stays. Returns the
    // fatal problem, empty when the whole keymap loaded.
    QString loadKeyMap(const QString& json);

    const KeyMapNode& getKeyMapNode(int key) const;
    const KeyMapNode& getKeyMapNodeKey(int key) const;
    const KeyMapNode& getKeyMapNodeMouse(int button) const;
    bool isSwitchOnKeyboard() const;
    int getSwitchKey() const;
    const KeyMapNode& getMouseMoveMap() const;
    bool isValidMouseMoveMap() const;
    bool isValidSteerWheelMap() const;
    // Every accepted node, in the order of the text (the mouse-move node first when there is one).
    const QList<KeyMapNode>& getKeyMapNodes() const { return m_nodes; }

private:
    struct KeyName
    {
        ActionType type = AT_INVALID;
        int key = Qt::Key_unknown;
    };

    void reset();
    QString loadRoot(const QJsonObject& root);
    QString loadMouseMoveMap(const QJsonObject& map);
    QString loadSmallEyes(const QJsonObject& eyes, MouseMoveData& mouseMove);
    QString loadNodes(const QJsonArray& nodes);
    bool loadNode(const QJsonObject& object, KeyMapType type, KeyMapNode& node);
    bool loadSteerWheel(const QJsonObject& object, KeyMapNode& node);
    void loadClickNodes(const QJsonArray& clickNodes, KeyBinding& binding);
    void makeReverseMap();
    void registerKey(const KeyBinding& binding, int index);

    static KeyName resolveKey(const QJsonValue& name);
    static KeyMapType resolveType(const QString& name);
    static bool checkNodeFormat(const QJsonObject& object, KeyMapType type);
    static bool checkClickMultiFormat(const QJsonObject& object);
    static bool isPosition(const QJsonValue& value);
    static QPointF toPosition(const QJsonValue& value);

    KeyName m_switchKey{AT_KEY, Qt::Key_QuoteLeft};
    QList<KeyMapNode> m_nodes;
    KeyMapNode m_invalidNode;
    int m_steerWheelIndex = -1;
    int m_mouseMoveIndex = -1;
    // Key or button code to an index into m_nodes; the later node wins a shared key.
    QHash<int, int> m_keyboardMap;
    QHash<int, int> m_mouseMap;
};

} // namespace dvk

#endif // KEYMAP_H
