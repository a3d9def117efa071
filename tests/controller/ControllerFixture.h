#ifndef CONTROLLERFIXTURE_H
#define CONTROLLERFIXTURE_H

#include <QCoreApplication>
#include <QObject>
#include <QPointer>

#include "RecordingWriter.h"
#include "controller/Controller.h"

// Base of the controller tests: every test function gets a fresh Controller whose writes
// are recorded. QtTest finds init and cleanup here through the meta-object.
class ControllerFixture : public QObject
{
    Q_OBJECT

protected:
    // The writes since the last call, once the queued control events have been handled.
    QList<QByteArray> sent()
    {
        QCoreApplication::processEvents();
        const QList<QByteArray> writes = *m_recorder.writes;
        m_recorder.writes->clear();
        return writes;
    }

    RecordingWriter m_recorder;
    QPointer<dvk::Controller> m_controller;

private slots:
    void init()
    {
        m_recorder = RecordingWriter();
        m_controller = new dvk::Controller(m_recorder.writer(), QString(), this);
    }

    void cleanup() { delete m_controller; }
};

#endif // CONTROLLERFIXTURE_H
