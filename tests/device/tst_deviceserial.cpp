// What a serial tells: whether it names a device reached over the network, and the file
// name base that recordings, screenshots and log dumps of the device start with.
#include <QtTest>

#include "device/DeviceSerial.h"

using dvk::DeviceSerial::fileBaseName;
using dvk::DeviceSerial::isWireless;

class TestDeviceSerial : public QObject
{
    Q_OBJECT
private slots:
    void wirelessPattern_data();
    void wirelessPattern();
    void fileBaseNameStaysInItsFolder_data();
    void fileBaseNameStaysInItsFolder();
};

void TestDeviceSerial::wirelessPattern_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("wireless");
    QTest::newRow("usual") << "192.168.1.5:5555" << true;
    QTest::newRow("lowest") << "0.0.0.0:0" << true;
    QTest::newRow("highest") << "255.255.255.255:65535" << true;
    QTest::newRow("octet over 255") << "256.0.0.1:5555" << false;
    QTest::newRow("port over 65535") << "10.0.0.1:65536" << false;
    QTest::newRow("port with leading zero") << "10.0.0.1:05555" << false;
    QTest::newRow("no port") << "10.0.0.1" << false;
    QTest::newRow("three octets") << "10.0.1:5555" << false;
    QTest::newRow("host name") << "phone.local:5555" << false;
    QTest::newRow("usb serial") << "R58M12ABCDE" << false;
    QTest::newRow("emulator") << "emulator-5554" << false;
    QTest::newRow("text around") << "x10.0.0.1:5555" << false;
    QTest::newRow("empty") << "" << false;
}

void TestDeviceSerial::wirelessPattern()
{
    QFETCH(QString, serial);
    QFETCH(bool, wireless);
    QCOMPARE(isWireless(serial), wireless);
}

void TestDeviceSerial::fileBaseNameStaysInItsFolder_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("base");
    QTest::newRow("wireless: the host") << "192.168.1.5:5555" << "192.168.1.5";
    QTest::newRow("usb as it is") << "R58M12ABCDE" << "R58M12ABCDE";
    QTest::newRow("emulator as it is") << "emulator-5554" << "emulator-5554";
    QTest::newRow("slashes") << "../up/side" << ".._up_side";
    QTest::newRow("backslash and wildcards") << "a\\b*c?d" << "a_b_c_d";
    QTest::newRow("quotes and redirections") << "a\"b<c>d|e" << "a_b_c_d_e";
    QTest::newRow("control characters") << QString("a\tb\nc") << "a_b_c";
    QTest::newRow("only the first colon counts") << "host:1:2" << "host";
}

void TestDeviceSerial::fileBaseNameStaysInItsFolder()
{
    QFETCH(QString, serial);
    QFETCH(QString, base);
    const QString name = fileBaseName(serial);
    QCOMPARE(name, base);
    QVERIFY2(!name.contains('/') && !name.contains('\\'), qPrintable(name));
}

QTEST_GUILESS_MAIN(TestDeviceSerial)
#include "tst_deviceserial.moc"
