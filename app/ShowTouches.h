#ifndef SHOWTOUCHES_H
#define SHOWTOUCHES_H

#include <QHash>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

// Turns the device's "show touches" setting on for each connection and puts the value it
// had back when the connection ends, also when the program ends with the device connected.
class ShowTouches : public QObject
{
    Q_OBJECT
public:
    explicit ShowTouches(QObject* parent = nullptr);
    ~ShowTouches() override;

private:
    void onDeviceConnected(bool success, const QString& serial);
    void onDeviceDisconnected(const QString& serial);
    // Runs one adb command to its end; the output, or a null string when it failed.
    static QString run(const QString& serial, const QStringList& args);

    // Serial to the value the setting had before the connection ("null": it was unset).
    QHash<QString, QString> m_previous;
};

#endif // SHOWTOUCHES_H
