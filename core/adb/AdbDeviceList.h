#ifndef ADBDEVICELIST_H
#define ADBDEVICELIST_H

#include <QList>
#include <QMap>
#include <QString>

namespace dvk {

// The lines of "adb devices" and "adb devices -l": every device adb knows, whatever its state.
class AdbDeviceList
{
public:
    struct Entry
    {
        QString serial;
        // "device", "offline", "unauthorized", or whatever else adb says ("no permissions (...)").
        QString state;
        // The long form's "key:value" words: usb, product, model, device, transport_id.
        QMap<QString, QString> details;
    };

    static QList<Entry> parse(const QString& output);

private:
    static bool parseLine(const QString& line, Entry& entry);
};

} // namespace dvk

#endif // ADBDEVICELIST_H
