#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <mutex>
#include <QStringList>
#include <QtGlobal>

// Collects log lines from every thread while it exists.
class LogCapture
{
public:
    LogCapture()
    {
        s_instance = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_instance = nullptr;
    }

    QStringList lines(QtMsgType type) const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        QStringList out;
        for (const auto& entry : m_entries) {
            if (entry.first == type) {
                out << entry.second;
            }
        }
        return out;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& msg)
    {
        LogCapture* self = s_instance;
        if (!self) {
            return;
        }
        std::lock_guard<std::mutex> locker(self->m_mutex);
        self->m_entries.append(qMakePair(type, msg));
    }

    static inline LogCapture* s_instance = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable std::mutex m_mutex;
    QList<QPair<QtMsgType, QString>> m_entries;
};

#endif // LOGCAPTURE_H
