#include "shell/ScreenCapture.h"

#include <QDebug>
#include <QProcess>

namespace dvk {

namespace {
constexpr int kStopMs = 1000;

uint8_t clampByte(int value)
{
    return uint8_t(std::clamp(value, 0, 255));
}
} // namespace

ScreenCapture::ScreenCapture(QString adbPath, QString serial, QObject* parent)
    : QObject(parent), m_adbPath(std::move(adbPath)), m_serial(std::move(serial))
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ScreenCapture::capture);
    m_first.setSingleShot(true);
    connect(&m_first, &QTimer::timeout, this, &ScreenCapture::capture);
}

ScreenCapture::~ScreenCapture()
{
    stop();
}

void ScreenCapture::start()
{
    // A recorder that has something to show does so within this time; only a still screen waits longer.
    m_first.start(kFirstMs);
    m_timer.start();
}

void ScreenCapture::stop()
{
    m_timer.stop();
    m_first.stop();
    if (!m_process) {
        return;
    }
    disconnect(m_process, nullptr, this, nullptr);
    m_process->kill();
    m_process->waitForFinished(kStopMs);
    delete m_process;
}

void ScreenCapture::capture()
{
    // The last one is still on its way: a slow device gets no second one on top.
    if (m_process) {
        return;
    }
    m_process = new QProcess(this);
    connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, &ScreenCapture::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            onFinished();
        }
    });
    QStringList args;
    if (!m_serial.isEmpty()) {
        args << "-s" << m_serial;
    }
    args << "exec-out" << "screencap" << "-p";
    m_process->start(m_adbPath, args, QIODevice::ReadOnly);
}

void ScreenCapture::onFinished()
{
    QProcess* process = m_process;
    m_process = nullptr;
    if (!process) {
        return;
    }
    process->deleteLater();
    const QImage image = QImage::fromData(process->readAllStandardOutput(), "PNG");
    if (image.isNull()) {
        qWarning("%s", qUtf8Printable(QStringLiteral("screencap gave no picture: %1")
                                          .arg(QString::fromUtf8(process->readAllStandardError()).trimmed())));
        return;
    }
    emit captured(image);
}

ScreenCapture::Planes ScreenCapture::toPlanes(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Planes planes;
    // 4:2:0 wants even sides.
    planes.size = QSize(rgb.width() & ~1, rgb.height() & ~1);
    const int w = planes.size.width();
    const int h = planes.size.height();
    planes.y.resize(size_t(w) * size_t(h));
    planes.u.resize(size_t(w / 2) * size_t(h / 2));
    planes.v.resize(planes.u.size());
    for (int row = 0; row < h; ++row) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(row));
        for (int col = 0; col < w; ++col) {
            const int r = qRed(line[col]), g = qGreen(line[col]), b = qBlue(line[col]);
            planes.y[size_t(row) * w + col] = clampByte(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            if ((row % 2) == 0 && (col % 2) == 0) {
                const size_t i = size_t(row / 2) * size_t(w / 2) + size_t(col / 2);
                planes.u[i] = clampByte(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
                planes.v[i] = clampByte(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
            }
        }
    }
    return planes;
}

} // namespace dvk
