#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <mutex>

#include <QList>
#include <QPair>
#include <QStringList>
#include <QtGlobal>

// Collects the log lines of every thread while it exists, and still passes them on to the
// handler it replaced (QtTest's, so that ignoreMessage and the test output keep working).
// Install it in initTestCase or a test function, not as a member: QtTest puts its own handler
// in place after the test object is made and would not pass lines on to one installed earlier.
class LogCapture
{
public:
    // Debug lines can be kept from the output of chatty tests; they are captured all the same.
    enum class Echo { All, SkipDebug };

    explicit LogCapture(Echo echo = Echo::All)
    {
        std::lock_guard<std::mutex> locker(s_mutex);
        m_echo = echo;
        m_outer = s_active;
        s_active = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }

    ~LogCapture()
    {
        std::lock_guard<std::mutex> locker(s_mutex);
        qInstallMessageHandler(m_previous);
        s_active = m_outer;
    }

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void clear()
    {
        std::lock_guard<std::mutex> locker(s_mutex);
        m_entries.clear();
    }

    QStringList lines() const
    {
        return select([](QtMsgType) { return true; });
    }

    QStringList lines(QtMsgType type) const
    {
        return select([type](QtMsgType t) { return t == type; });
    }

    // Infos, warnings and criticals: what a user would find in the log.
    QStringList reported() const
    {
        return select([](QtMsgType t) { return t != QtDebugMsg; });
    }

    int count(const QString& text) const { return lines().count(text); }
    bool contains(const QString& text) const { return lines().contains(text); }

    int countStartingWith(const QString& prefix) const { return countPrefix(lines(), prefix); }
    int countStartingWith(QtMsgType type, const QString& prefix) const
    {
        return countPrefix(lines(type), prefix);
    }

private:
    template <typename Keep> QStringList select(Keep keep) const
    {
        std::lock_guard<std::mutex> locker(s_mutex);
        QStringList out;
        for (const auto& entry : m_entries) {
            if (keep(entry.first)) {
                out << entry.second;
            }
        }
        return out;
    }

    static int countPrefix(const QStringList& lines, const QString& prefix)
    {
        int n = 0;
        for (const QString& line : lines) {
            n += line.startsWith(prefix) ? 1 : 0;
        }
        return n;
    }

    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        QtMessageHandler forward = nullptr;
        {
            std::lock_guard<std::mutex> locker(s_mutex);
            LogCapture* self = s_active;
            if (!self) {
                return;
            }
            self->m_entries.append(qMakePair(type, text));
            if (self->m_echo == Echo::All || type != QtDebugMsg) {
                forward = self->m_previous;
            }
        }
        // Outside the lock: the previous handler may log again or abort on a fatal line.
        if (forward) {
            forward(type, context, text);
        }
    }

    // A standard mutex, so that the thread sanitizer sees the locking.
    static inline std::mutex s_mutex;
    static inline LogCapture* s_active = nullptr;
    LogCapture* m_outer = nullptr;
    QtMessageHandler m_previous = nullptr;
    Echo m_echo = Echo::All;
    QList<QPair<QtMsgType, QString>> m_entries;
};

#endif // LOGCAPTURE_H
