#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

#include <memory>

#include "LogCapture.h"
#include "controller/KeyMap.h"

using namespace dvk;

namespace {

const char* const kLoaded = "Script updated, current keymap mode:normal, Press ~ key to switch keymap mode";

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject pos(double x, double y)
{
    return QJsonObject{{"x", x}, {"y", y}};
}

QJsonObject click(const char* key, double x = 0.5, double y = 0.5)
{
    return QJsonObject{{"type", "KMT_CLICK"}, {"key", key}, {"pos", pos(x, y)}, {"switchMap", false}};
}

QJsonObject steerWheel(const char* left, const char* down)
{
    return QJsonObject{{"type", "KMT_STEER_WHEEL"}, {"leftKey", left},          {"rightKey", "Key_D"},
                       {"upKey", "Key_W"},          {"downKey", down},          {"leftOffset", 0.1},
                       {"rightOffset", 0.1},        {"upOffset", 0.1},          {"downOffset", 0.1},
                       {"centerPos", pos(0.2, 0.7)}};
}

QJsonObject clickMulti(int count, double delay = 10)
{
    QJsonArray nodes;
    for (int i = 0; i < count; ++i) {
        nodes.append(QJsonObject{{"delay", delay}, {"pos", pos(i / 100.0, 0.5)}});
    }
    return QJsonObject{{"type", "KMT_CLICK_MULTI"}, {"key", "Key_M"}, {"clickNodes", nodes}};
}

QJsonObject withNodes(const QJsonArray& nodes)
{
    return QJsonObject{{"switchKey", "Key_QuoteLeft"}, {"keyMapNodes", nodes}};
}

QJsonObject withMouseMove(const QJsonObject& mouseMoveMap)
{
    return QJsonObject{{"switchKey", "Key_QuoteLeft"}, {"mouseMoveMap", mouseMoveMap}};
}

} // namespace

class TestKeyMap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_log = std::make_unique<LogCapture>(); }
    void init() { m_log->clear(); }

    void problemsAreLoggedInOrder_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const QJsonObject mouse{{"startPos", pos(0.5, 0.5)}, {"speedRatio", 1}};
        const auto mouseWith = [&mouse](const char* key, const QJsonValue& value) {
            QJsonObject map = mouse;
            map.insert(key, value);
            return json(withMouseMove(map));
        };

        QTest::newRow("not json") << "{\"switchKey\": " << QStringList{"json error: unterminated object"};
        QTest::newRow("no switch key") << "{}" << QStringList{"json error: no find switchKey"};
        QTest::newRow("switch key a number") << "{\"switchKey\": 5}" << QStringList{"json error: no find switchKey"};
        QTest::newRow("switch key unknown") << "{\"switchKey\": \"Key_Nothing\"}"
                                            << QStringList{"json error: switchKey invalid"};
        QTest::newRow("switch key scoped") << "{\"switchKey\": \"Qt::Key_A\"}"
                                           << QStringList{"json error: switchKey invalid"};

        QTest::newRow("no ratio") << json(withMouseMove({{"startPos", pos(0.5, 0.5)}}))
                                  << QStringList{"json error: speedRatio setting is missing in mouseMoveMap!"};
        QTest::newRow("ratio below minimum") << mouseWith("speedRatioX", 0.0005)
                                             << QStringList{"json error: Minimum speedRatio is 0.001"};
        QTest::newRow("vertical ratio zero") << mouseWith("speedRatioY", 0)
                                             << QStringList{"json error: vertical speedRatio must not be 0"};
        QTest::newRow("no start") << json(withMouseMove({{"speedRatio", 1}}))
                                  << QStringList{"json error: mouseMoveMap on find startPos"};
        QTest::newRow("start without y") << mouseWith("startPos", QJsonObject{{"x", 0.5}})
                                         << QStringList{"json error: mouseMoveMap on find startPos"};
        QTest::newRow("small eyes untyped") << mouseWith("smallEyes", QJsonObject{{"key", "Key_Q"}})
                                            << QStringList{"json error: smallEyes no find node type"};
        QJsonObject drag = click("Key_Q");
        drag.insert("type", "KMT_DRAG");
        QTest::newRow("small eyes a drag") << mouseWith("smallEyes", drag)
                                           << QStringList{"json error: smallEyes just support KMT_CLICK"};
        QJsonObject noSwitch = click("Key_Q");
        noSwitch.remove("switchMap");
        QTest::newRow("small eyes malformed") << mouseWith("smallEyes", noSwitch)
                                              << QStringList{"json error: smallEyes node format error"};
        QTest::newRow("small eyes bad key") << mouseWith("smallEyes", click("Key_Bogus"))
                                            << QStringList{"json error: keyMapNodes node invalid key: Key_Bogus"};

        QTest::newRow("node not an object")
            << json(withNodes({click("Key_A"), 5, click("Key_B")}))
            << QStringList{"json error: keyMapNodes node must be json object"};
        QTest::newRow("node untyped") << json(withNodes({QJsonObject{{"key", "Key_A"}}}))
                                      << QStringList{"json error: keyMapNodes no find node type"};
        QJsonObject mouseMoveNode = click("Key_A");
        mouseMoveNode.insert("type", "KMT_MOUSE_MOVE");
        QJsonObject unknownType = click("Key_A");
        unknownType.insert("type", "KMT_JUMP");
        QTest::newRow("node types skipped")
            << json(withNodes({mouseMoveNode, unknownType, click("Key_A")}))
            << QStringList{"json error: keyMapNodes invalid node type:KMT_MOUSE_MOVE",
                           "json error: keyMapNodes invalid node type:KMT_JUMP", kLoaded};
        QTest::newRow("click without switchMap")
            << json(withNodes({noSwitch})) << QStringList{"json error: keyMapNodes node format error", kLoaded};
        QTest::newRow("click-multi empty") << json(withNodes({clickMulti(0)}))
                                           << QStringList{"json error: clickNodes is empty",
                                                          "json error: keyMapNodes node format error", kLoaded};
        QTest::newRow("click-multi without nodes")
            << json(withNodes({QJsonObject{{"type", "KMT_CLICK_MULTI"}, {"key", "Key_M"}}}))
            << QStringList{"json error: no find clickNodes", "json error: keyMapNodes node format error", kLoaded};
        QTest::newRow("click-multi node not an object")
            << json(withNodes({QJsonObject{{"type", "KMT_CLICK_MULTI"}, {"key", "Key_M"}, {"clickNodes", QJsonArray{1}}}}))
            << QStringList{"json error: clickNodes node must be json object",
                           "json error: keyMapNodes node format error", kLoaded};
        QTest::newRow("click-multi without key")
            << json(withNodes({QJsonObject{{"type", "KMT_CLICK_MULTI"},
                                           {"clickNodes", QJsonArray{QJsonObject{{"delay", 0}, {"pos", pos(0, 0)}}}}}}))
            << QStringList{"json error: keyMapNodes node invalid key: ", kLoaded};
        QTest::newRow("steer wheel with two bad keys")
            << json(withNodes({steerWheel("Key_Left1", "Key_Down1")}))
            << QStringList{"json error: keyMapNodes node invalid key: Key_Left1",
                           "json error: keyMapNodes node invalid key: Key_Down1", kLoaded};
        QTest::newRow("click-multi over the limit")
            << json(withNodes({clickMulti(60)})) << QStringList{"clickNodes too much, up to 50", kLoaded};
    }

    void problemsAreLoggedInOrder()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        KeyMap map;
        map.loadKeyMap(text);
        QCOMPARE(m_log->reported(), expected);
        QCOMPARE(map.isValidSteerWheelMap(), false);
    }

    void switchKeyIsKeyOrButton()
    {
        KeyMap map;
        QVERIFY(map.isSwitchOnKeyboard());
        QCOMPARE(map.getSwitchKey(), int(Qt::Key_QuoteLeft));

        map.loadKeyMap("{\"switchKey\": \"RightButton\"}");
        QVERIFY(!map.isSwitchOnKeyboard());
        QCOMPARE(map.getSwitchKey(), 2);

        // A later text that fails to parse leaves the default switch key, not the old one.
        map.loadKeyMap("not json");
        QVERIFY(map.isSwitchOnKeyboard());
        QCOMPARE(map.getSwitchKey(), int(Qt::Key_QuoteLeft));
        QVERIFY(map.getKeyMapNodes().isEmpty());
    }

    void speedRatios_data()
    {
        QTest::addColumn<QJsonObject>("ratios");
        QTest::addColumn<QPointF>("expected");
        QTest::newRow("one ratio") << QJsonObject{{"speedRatio", 0.9}} << QPointF(0.9, 0.4);
        QTest::newRow("vertical overrides") << QJsonObject{{"speedRatio", 1}, {"speedRatioY", 0.5}} << QPointF(1, 0.5);
        QTest::newRow("horizontal overrides") << QJsonObject{{"speedRatio", 4.5}, {"speedRatioX", 3}} << QPointF(3, 2);
        QTest::newRow("the minimum") << QJsonObject{{"speedRatioX", 0.001}} << QPointF(0.001, 1);
        QTest::newRow("vertical alone") << QJsonObject{{"speedRatioY", 2}} << QPointF(1, 2);
        QTest::newRow("vertical inverted") << QJsonObject{{"speedRatio", 1}, {"speedRatioY", -1}} << QPointF(1, -1);
    }

    void speedRatios()
    {
        QFETCH(QJsonObject, ratios);
        QFETCH(QPointF, expected);
        ratios.insert("startPos", pos(0.25, 0.75));
        KeyMap map;
        map.loadKeyMap(json(withMouseMove(ratios)));
        QCOMPARE(m_log->reported(), QStringList{kLoaded});
        QVERIFY(map.isValidMouseMoveMap());
        const KeyMap::KeyMapNode& node = map.getMouseMoveMap();
        QCOMPARE(node.type, KeyMap::KMT_MOUSE_MOVE);
        QCOMPARE(node.mouseMove.startPos, QPointF(0.25, 0.75));
        // Kept at single precision.
        QCOMPARE(float(node.mouseMove.speedRatio.x()), float(expected.x()));
        QCOMPARE(float(node.mouseMove.speedRatio.y()), float(expected.y()));
    }

    void nodesAreFilledFromTheText()
    {
        QJsonObject twice = click("Key_T", 0.3, 0.4);
        twice.insert("type", "KMT_CLICK_TWICE");
        twice.remove("switchMap");
        QJsonObject smallEyes = click("Key_Alt", 0.6, 0.3);
        const QJsonObject text{
            {"switchKey", "Key_QuoteLeft"},
            {"mouseMoveMap", QJsonObject{{"startPos", pos(0.5, 0.5)}, {"speedRatio", 2}, {"smallEyes", smallEyes}}},
            {"keyMapNodes",
             QJsonArray{twice, clickMulti(60, 99.9), steerWheel("Key_A", "Key_S"),
                        QJsonObject{{"type", "KMT_DRAG"}, {"key", "MiddleButton"}, {"startPos", pos(0.2, 0.5)},
                                    {"endPos", pos(0.6, 0.5)}}}}};
        KeyMap map;
        map.loadKeyMap(json(text));
        QCOMPARE(m_log->count("clickNodes too much, up to 50"), 1);

        QCOMPARE(map.getKeyMapNodes().size(), 5);
        QCOMPARE(map.getKeyMapNodes().first().type, KeyMap::KMT_MOUSE_MOVE);
        const KeyMap::KeyBinding& eyes = map.getMouseMoveMap().mouseMove.smallEyes;
        QCOMPARE(eyes.type, KeyMap::AT_KEY);
        QCOMPARE(eyes.key, int(Qt::Key_Alt));
        QCOMPARE(eyes.pos, QPointF(0.6, 0.3));

        const KeyMap::KeyMapNode& t = map.getKeyMapNodeKey(Qt::Key_T);
        QCOMPARE(t.type, KeyMap::KMT_CLICK_TWICE);
        QCOMPARE(t.click.binding.pos, QPointF(0.3, 0.4));
        QVERIFY(!t.click.switchMap);

        const KeyMap::KeyBinding& multi = map.getKeyMapNodeKey(Qt::Key_M).click.binding;
        QCOMPARE(multi.clickNodeCount, KeyMap::MAX_CLICK_NODES);
        QCOMPARE(multi.clickNodes[0].delay, 99);
        QCOMPARE(multi.clickNodes[49].pos, QPointF(0.49, 0.5));

        QVERIFY(map.isValidSteerWheelMap());
        for (int key : {Qt::Key_A, Qt::Key_D, Qt::Key_W, Qt::Key_S}) {
            QCOMPARE(map.getKeyMapNodeKey(key).type, KeyMap::KMT_STEER_WHEEL);
        }
        const KeyMap::SteerWheelData& wheel = map.getKeyMapNodeKey(Qt::Key_W).steerWheel;
        QCOMPARE(wheel.centerPos, QPointF(0.2, 0.7));
        QCOMPARE(wheel.up.key, int(Qt::Key_W));
        QCOMPARE(wheel.down.offset, 0.1);

        // A button is found by the mouse look-up and by the combined one, never by the keyboard one.
        QCOMPARE(map.getKeyMapNodeKey(Qt::MiddleButton).type, KeyMap::KMT_INVALID);
        QCOMPARE(map.getKeyMapNodeMouse(Qt::MiddleButton).type, KeyMap::KMT_DRAG);
        const KeyMap::KeyMapNode& drag = map.getKeyMapNode(Qt::MiddleButton);
        QCOMPARE(drag.click.binding.pos, QPointF(0.2, 0.5));
        QCOMPARE(drag.click.binding.endPos, QPointF(0.6, 0.5));
        QCOMPARE(map.getKeyMapNode(Qt::Key_Z).type, KeyMap::KMT_INVALID);
    }

    void laterNodeWinsASharedKey()
    {
        KeyMap map;
        map.loadKeyMap(json(withNodes({click("Key_F", 0.1, 0.1), click("Key_F", 0.9, 0.9)})));
        QCOMPARE(map.getKeyMapNodes().size(), 2);
        QCOMPARE(map.getKeyMapNodeKey(Qt::Key_F).click.binding.pos, QPointF(0.9, 0.9));
    }

    void fatalProblemLeavesNodesUnreachable()
    {
        QJsonObject text = withNodes({click("Key_A"), 5, click("Key_B")});
        text.insert("mouseMoveMap", QJsonObject{{"startPos", pos(0.5, 0.5)}, {"speedRatio", 1}});
        KeyMap map;
        map.loadKeyMap(json(text));
        QCOMPARE(map.getKeyMapNodes().size(), 2);
        QCOMPARE(map.getKeyMapNode(Qt::Key_A).type, KeyMap::KMT_INVALID);
        QVERIFY(map.isValidMouseMoveMap());
        QCOMPARE(map.getMouseMoveMap().mouseMove.startPos, QPointF(0.5, 0.5));
    }

    void shippedKeymapsLoadCleanly()
    {
        const QDir folder(QStringLiteral(VADIZEDE_SOURCE_DIR "/keymap"));
        const QStringList files = folder.entryList({"*.json"}, QDir::Files);
        QVERIFY2(files.size() >= 2, qPrintable(folder.path()));
        QSet<QString> typesUsed;
        for (const QString& name : files) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            m_log->clear();
            KeyMap map;
            map.loadKeyMap(text);
            QVERIFY2(m_log->reported() == QStringList{kLoaded}, qPrintable(name + ": " + m_log->reported().join("; ")));
            QVERIFY2(map.getKeyMapNodes().size() >= 3, qPrintable(name));
            for (const KeyMap::KeyMapNode& node : map.getKeyMapNodes()) {
                typesUsed.insert(QMetaEnum::fromType<KeyMap::KeyMapType>().valueToKey(node.type));
            }
        }
        QCOMPARE(typesUsed.size(), 6);
    }

private:
    std::unique_ptr<LogCapture> m_log;
};

QTEST_MAIN(TestKeyMap)
#include "tst_keymap.moc"
