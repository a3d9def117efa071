#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QtTest>

#include "ConnectedForm.h"
#include "QYUVOpenGLWidget.h"
#include "VideoForm.h"
#include "device/IDevice.h"

namespace {

// The simulated stream is 148 x 320; in a 400 x 640 form the video is 296 x 640 at x 52.
const QSize kFormSize(400, 640);
const QRect kVideoRect(52, 0, 296, 640);
const QPoint kVideoCentre(52 + 148, 320);

// A keymap without view control, so that game mode leaves the pointer alone.
const char* const kKeymap =
    R"({"switchKey": "Key_QuoteLeft", "keyMapNodes": [)"
    R"({"type": "KMT_CLICK", "key": "Key_1", "pos": {"x": 0.5, "y": 0.5}, "switchMap": false}]})";

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80");

// One word per message: key events by action and key code, texts by their text.
QString describe(const QList<QJsonObject>& messages)
{
    QStringList words;
    for (const QJsonObject& m : messages) {
        const QString name = m.value("name").toString();
        if (name == "INJECT_KEYCODE") {
            words << QString("KEY/%1:%2").arg(m.value("action").toInt()).arg(m.value("keycode").toInt());
        } else if (name == "INJECT_TEXT") {
            words << "TEXT:" + m.value("text").toString();
        } else {
            words << name;
        }
    }
    return words.join(" ");
}

// A key the way the platform delivers it when the layout types a character Android has no key for.
void typeKey(QWidget* widget, int key, const QString& text)
{
    QTest::sendKeyEvent(QTest::Press, widget, Qt::Key(key), text, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, Qt::Key(key), text, Qt::NoModifier);
}

void commit(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

void preEdit(QWidget* widget, const QString& text)
{
    const QList<QInputMethodEvent::Attribute> cursor = {
        QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, text.size(), 1, QVariant())};
    QInputMethodEvent event(text, cursor);
    QApplication::sendEvent(widget, &event);
}

// Whether the form answers the platform's question "does this widget take input-method text".
bool takesInputMethod(QWidget* widget)
{
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(widget, &query);
    return query.isAccepted() && query.value(Qt::ImEnabled).toBool();
}

// 700 code units of Chinese, accented Latin and emoji; an emoji straddles each 300-unit boundary.
QString longCommit()
{
    const QString cjk = QString::fromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"); // 你好
    QString text;
    while (text.size() < 299) {
        text += cjk + QChar(0xE9);
    }
    text.truncate(299);
    text += kEmoji;
    while (text.size() < 599) {
        text += QChar(0xFC) + cjk;
    }
    text.truncate(599);
    text += kEmoji;
    while (text.size() < 700) {
        text += kEmoji + "z";
    }
    text.truncate(700);
    return text;
}

} // namespace

class TestTextInput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void charactersWithoutKeyCodeArriveAsText();
    void inputMethodCommitArrivesAsText();
    void longCommitArrivesWholeInOrder();
    void candidateWindowOpensAtThePictureCentre();
    void gameModeTypesNothing();

private:
    VideoForm* form() const { return m_connected->form.get(); }

    std::unique_ptr<ConnectedForm> m_connected;
};

void TestTextInput::initTestCase()
{
    prepareFormTests();
    m_connected = std::make_unique<ConnectedForm>();
    QString why;
    QVERIFY2(m_connected->start(kFormSize, why), qPrintable(why));
    form()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form()));
}

void TestTextInput::cleanupTestCase()
{
    m_connected.reset();
}

void TestTextInput::init()
{
    m_connected->mark();
}

void TestTextInput::charactersWithoutKeyCodeArriveAsText()
{
    typeKey(form(), Qt::Key_Eacute, QString(QChar(0xE9)));
    typeKey(form(), 0x20AC, QString(QChar(0x20AC)));
    typeKey(form(), Qt::Key_Udiaeresis, QString(QChar(0xFC)));
    // A letter Android has a key for still goes as that key, press and release.
    typeKey(form(), Qt::Key_A, "a");
    // One message per character, each sent on the press; the releases send nothing.
    QCOMPARE(describe(m_connected->messagesUntilMarker()),
             QString::fromUtf8("TEXT:\xC3\xA9 TEXT:\xE2\x82\xAC TEXT:\xC3\xBC KEY/0:29 KEY/1:29"));
}

void TestTextInput::inputMethodCommitArrivesAsText()
{
    QVERIFY(takesInputMethod(form()));
    // The input method composes in its own window; only the commit reaches the device.
    preEdit(form(), "ni");
    preEdit(form(), "nihao");
    commit(form(), QString::fromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C"));
    commit(form(), QString());
    QCOMPARE(describe(m_connected->messagesUntilMarker()),
             QString::fromUtf8("TEXT:\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C"));
}

void TestTextInput::longCommitArrivesWholeInOrder()
{
    const QString text = longCommit();
    QCOMPARE(text.size(), 700);
    QVERIFY(text.at(299).isHighSurrogate() && text.at(599).isHighSurrogate());
    commit(form(), text);

    const QList<QJsonObject> messages = m_connected->messagesUntilMarker();
    QCOMPARE(messages.size(), 3);
    QString joined;
    for (const QJsonObject& m : messages) {
        QCOMPARE(m.value("name").toString(), QString("INJECT_TEXT"));
        const QString piece = m.value("text").toString();
        QVERIFY2(piece.size() <= 300, qPrintable(QString("a piece of %1 units").arg(piece.size())));
        QVERIFY2(!piece.contains(QChar(QChar::ReplacementCharacter)), "a character was broken");
        joined += piece;
    }
    QCOMPARE(joined, text);
}

void TestTextInput::candidateWindowOpensAtThePictureCentre()
{
    form()->resize(kFormSize);
    QTRY_COMPARE(form()->findChild<QYUVOpenGLWidget*>()->geometry(), kVideoRect);
    QVERIFY(QTest::qWaitFor([this]() { return form()->hasFocus(); }));
    // Asked the way the platform asks the focused widget, in window coordinates.
    QInputMethod* inputMethod = QGuiApplication::inputMethod();
    inputMethod->update(Qt::ImQueryAll);
    const QRectF cursor = inputMethod->cursorRectangle();
    QCOMPARE(cursor.topLeft().toPoint(), kVideoCentre);
}

void TestTextInput::gameModeTypesNothing()
{
    m_connected->device->updateScript(QString::fromUtf8(kKeymap));
    QTest::keyClick(form(), Qt::Key_QuoteLeft);
    QVERIFY(m_connected->device->isCurrentCustomKeymap());
    // An input method left on would take the keys meant for the keymap.
    QVERIFY(!takesInputMethod(form()));

    typeKey(form(), Qt::Key_Eacute, QString(QChar(0xE9)));
    typeKey(form(), 0x20AC, QString(QChar(0x20AC)));
    commit(form(), QString::fromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"));
    commit(form(), longCommit());
    QCOMPARE(describe(m_connected->messagesUntilMarker()), QString());

    // Back in normal mode the same keys type again.
    m_connected->mark();
    QTest::keyClick(form(), Qt::Key_QuoteLeft);
    QVERIFY(!m_connected->device->isCurrentCustomKeymap());
    QVERIFY(takesInputMethod(form()));
    typeKey(form(), Qt::Key_Eacute, QString(QChar(0xE9)));
    QCOMPARE(describe(m_connected->messagesUntilMarker()), QString::fromUtf8("TEXT:\xC3\xA9"));
    m_connected->device->updateScript(QString());
}

QTEST_MAIN(TestTextInput)
#include "tst_textinput.moc"
