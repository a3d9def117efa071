#ifndef GAMERECORDER_H
#define GAMERECORDER_H

#include <QByteArray>
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QList>
#include <QPoint>
#include <QString>

#include <memory>

#include "controller/Controller.h"

// One control message as the device would read it; touches are decoded, other messages keep only
// their type. `at` is when the controller wrote it, in ms on the recorder's clock.
struct Sent
{
    int type = -1;
    int action = -1;
    qint64 id = 0;
    QPoint pos;
    quint16 pressure = 0;
    qint64 at = 0;

    bool isTouch() const { return type == 2; }
    QString describe() const
    {
        static const char* const actions[] = {"down", "up", "move"};
        if (!isTouch()) {
            return QString("type %1").arg(type);
        }
        return QString("%1 id %2 at (%3, %4) %5ms")
            .arg(action >= 0 && action <= 2 ? actions[action] : "?")
            .arg(id)
            .arg(pos.x())
            .arg(pos.y())
            .arg(at);
    }
};

// A control writer that decodes and time-stamps every message written, for the keymap tests.
class GameRecorder
{
public:
    enum Action { Down = 0, Up = 1, Move = 2 };

    GameRecorder() { m_clock->start(); }

    dvk::Controller::Writer writer() const
    {
        auto sink = m_sent;
        auto clock = m_clock;
        return [sink, clock](const QByteArray& bytes) {
            sink->append(decode(bytes, clock->elapsed()));
            return static_cast<qint64>(bytes.size());
        };
    }

    qint64 now() const { return m_clock->elapsed(); }

    // What was written since the last call, once the queued messages have been delivered.
    QList<Sent> take()
    {
        QCoreApplication::processEvents();
        const QList<Sent> sent = *m_sent;
        m_sent->clear();
        return sent;
    }

    const QList<Sent>& peek() const { return *m_sent; }

    static QString describe(const QList<Sent>& sent)
    {
        QStringList lines;
        for (const Sent& one : sent) {
            lines << one.describe();
        }
        return lines.join("; ");
    }

private:
    static Sent decode(const QByteArray& bytes, qint64 at)
    {
        Sent sent;
        sent.at = at;
        QDataStream in(bytes);
        quint8 type = 0;
        in >> type;
        sent.type = type;
        if (type != 2 || bytes.size() != 28) {
            return sent;
        }
        quint8 action = 0;
        qint32 x = 0;
        qint32 y = 0;
        quint16 width = 0;
        quint16 height = 0;
        in >> action >> sent.id >> x >> y >> width >> height >> sent.pressure;
        sent.action = action;
        sent.pos = QPoint(x, y);
        return sent;
    }

    std::shared_ptr<QList<Sent>> m_sent = std::make_shared<QList<Sent>>();
    std::shared_ptr<QElapsedTimer> m_clock = std::make_shared<QElapsedTimer>();
};

#endif // GAMERECORDER_H
