#include <QtTest>

#include "adb/AdbDeviceList.h"

using dvk::AdbDeviceList;

// Reading "adb devices" in both forms: every device, whatever state it is in, in adb's order.
class TestAdbDeviceList : public QObject
{
    Q_OBJECT
private slots:
    void serialsAndStates_data();
    void serialsAndStates();
    void longFormDetails();
};

namespace {

// One "serial|state" per device, for comparison in one go.
QStringList summary(const QList<AdbDeviceList::Entry>& entries)
{
    QStringList out;
    for (const AdbDeviceList::Entry& entry : entries) {
        out << entry.serial + "|" + entry.state;
    }
    return out;
}

} // namespace

void TestAdbDeviceList::serialsAndStates_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("short form, every state") << "List of devices attached\r\nABC\tdevice\r\nDEF\toffline\r\n"
                                                "GHI\tunauthorized\r\n\r\n"
                                             << QStringList{"ABC|device", "DEF|offline", "GHI|unauthorized"};
    QTest::newRow("long form, padded serials")
        << "List of devices attached\n"
           "R58M123               device usb:1-1 product:a51 model:SM_A515F device:a51 transport_id:3\n"
           "10.0.0.7:5555         unauthorized transport_id:4\n"
           "SIM0003               offline product:devicesim model:Sim device:devicesim transport_id:5\n\n"
        << QStringList{"R58M123|device", "10.0.0.7:5555|unauthorized", "SIM0003|offline"};
    // A state of several words ends where the details begin; a bracketed address is not a detail.
    QTest::newRow("no permissions")
        << "List of devices attached\n"
           "0123abcd               no permissions (user in plugdev group; are your udev rules wrong?); see "
           "[http://developer.android.com/tools/device.html] usb:1-2 transport_id:7\n"
        << QStringList{"0123abcd|no permissions (user in plugdev group; are your udev rules wrong?); see "
                       "[http://developer.android.com/tools/device.html]"};
    QTest::newRow("server starting remarks")
        << "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n"
           "List of devices attached\nABC\tdevice\n"
        << QStringList{"ABC|device"};
    QTest::newRow("a serial alone is no device") << "List of devices attached\nABC\n" << QStringList{};
    QTest::newRow("nothing attached") << "List of devices attached\n\n" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestAdbDeviceList::serialsAndStates()
{
    QFETCH(QString, output);
    QFETCH(QStringList, expected);
    QCOMPARE(summary(AdbDeviceList::parse(output)), expected);
}

void TestAdbDeviceList::longFormDetails()
{
    const auto entries = AdbDeviceList::parse(
        "List of devices attached\nR58M123               device usb:1-1 product:a51 model:SM_A515F device:a51 "
        "transport_id:3\nABC\tdevice\n");
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].details.value("model"), QString("SM_A515F"));
    QCOMPARE(entries[0].details.value("usb"), QString("1-1"));
    QCOMPARE(entries[0].details.value("transport_id"), QString("3"));
    QVERIFY(entries[1].details.isEmpty());
}

QTEST_GUILESS_MAIN(TestAdbDeviceList)
#include "tst_adbdevicelist.moc"
