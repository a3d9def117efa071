#ifndef SCREENCAPTURE_H
#define SCREENCAPTURE_H

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <vector>

class QProcess;

namespace dvk {

// The device's screen as a still picture ("screencap -p"), at most once a second and one at a
// time: what a recorder that writes nothing for an unchanging screen leaves out.
class ScreenCapture : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 1000;
    static constexpr int kFirstMs = 300;

    // A picture in the planes the video form takes.
    struct Planes
    {
        QSize size;
        std::vector<uint8_t> y;
        std::vector<uint8_t> u;
        std::vector<uint8_t> v;
    };

    ScreenCapture(QString adbPath, QString serial, QObject* parent = nullptr);
    ~ScreenCapture() override;

    void start();
    void stop();

    static Planes toPlanes(const QImage& image);

signals:
    void captured(const QImage& image);

private:
    void capture();
    void onFinished();

    const QString m_adbPath;
    const QString m_serial;
    QTimer m_timer;
    QTimer m_first;
    QPointer<QProcess> m_process;
};

} // namespace dvk

#endif // SCREENCAPTURE_H
