#ifndef RECORDINGWRITER_H
#define RECORDINGWRITER_H

#include <QByteArray>
#include <QList>

#include <memory>

#include "ControlBytes.h"
#include "controller/Controller.h"

// A control writer that keeps every write, so tests can look at the exact bytes sent.
struct RecordingWriter
{
    std::shared_ptr<QList<QByteArray>> writes = std::make_shared<QList<QByteArray>>();

    dvk::Controller::Writer writer() const
    {
        auto sink = writes;
        return [sink](const QByteArray& bytes) {
            sink->append(bytes);
            return static_cast<qint64>(bytes.size());
        };
    }
};

#endif // RECORDINGWRITER_H
