#include "shell/ScreenRecordStream.h"

#include <QDebug>
#include <QProcess>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavutil/opt.h>
}

#include <chrono>
#include <cstring>

namespace dvk {

namespace {
// How long the reader waits for more bytes before it takes what the parser holds as a whole
// access unit: the recorder writes each unit in one go, so a pause this short ends one, while the
// parser alone would hold every frame back until the next one begins.
constexpr int kUnitGapMs = 2;
// How often a waiting reader looks at the stop request.
constexpr int kPollMs = 20;
constexpr int kStartMs = 5000;
constexpr int kStopMs = 1000;
constexpr int kErrorTextMax = 4096;
} // namespace

ScreenRecordStream::ScreenRecordStream(QString adbPath, QString serial, QStringList recordArgs, QObject* parent)
    : Stream([](quint8*, qint32) { return 0; }, parent), m_adbPath(std::move(adbPath)), m_serial(std::move(serial)),
      m_recordArgs(std::move(recordArgs))
{
}

ScreenRecordStream::~ScreenRecordStream()
{
    stop();
    stopDecode();
}

int64_t ScreenRecordStream::arrivalNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

QStringList ScreenRecordStream::recordArguments(quint32 bitRate, const QSize& size, int timeLimitSeconds)
{
    QStringList args{"screenrecord", "--output-format=h264", "--bit-rate", QString::number(bitRate)};
    if (size.isValid()) {
        args << "--size" << QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    }
    args << "--time-limit" << QString::number(timeLimitSeconds) << "-";
    return args;
}

bool ScreenRecordStream::startRecording()
{
    // Cleared here, not on the thread: a stop that comes before the thread runs must hold.
    m_stopRequested = false;
    return startDecode();
}

void ScreenRecordStream::stop()
{
    m_stopRequested = true;
}

ScreenRecordStream::Outcome ScreenRecordStream::outcome() const
{
    std::lock_guard<std::mutex> locker(m_outcomeMutex);
    return m_outcome;
}

void ScreenRecordStream::work()
{
    {
        std::lock_guard<std::mutex> locker(m_outcomeMutex);
        m_outcome = Outcome();
    }
    m_lastBytesTaken = false;
    m_uncut = 0;
    m_cutterHolds = false;
    if (openCutter() && startRecorder()) {
        decodeFrames();
    }
    endRecorder();
    closeCutter();
}

bool ScreenRecordStream::openCutter()
{
    m_cutter = av_parser_init(AV_CODEC_ID_H264);
    m_cutterCtx = avcodec_alloc_context3(nullptr);
    const AVBitStreamFilter* filter = av_bsf_get_by_name("extract_extradata");
    if (!m_cutter || !m_cutterCtx || !filter || av_bsf_alloc(filter, &m_extractor) < 0) {
        m_outcome.error = QStringLiteral("Could not set up the H.264 parser");
        return false;
    }
    m_extractor->par_in->codec_id = AV_CODEC_ID_H264;
    // The parameter sets leave the frame and travel as configuration, as the server sends them.
    av_opt_set_int(m_extractor->priv_data, "remove", 1, 0);
    if (av_bsf_init(m_extractor) < 0) {
        m_outcome.error = QStringLiteral("Could not set up the H.264 parser");
        return false;
    }
    return true;
}

void ScreenRecordStream::closeCutter()
{
    clearReady();
    av_bsf_free(&m_extractor);
    if (m_cutter) {
        av_parser_close(m_cutter);
        m_cutter = nullptr;
    }
    avcodec_free_context(&m_cutterCtx);
}

bool ScreenRecordStream::startRecorder()
{
    // Lives on this thread: its waits need no event loop.
    m_process = new QProcess();
    QStringList args;
    if (!m_serial.isEmpty()) {
        args << "-s" << m_serial;
    }
    args << "exec-out" << m_recordArgs;
    m_process->start(m_adbPath, args, QIODevice::ReadOnly);
    if (!m_process->waitForStarted(kStartMs)) {
        std::lock_guard<std::mutex> locker(m_outcomeMutex);
        m_outcome.exitCode = -1;
        m_outcome.error = m_process->errorString();
        return false;
    }
    qInfo("%s", qUtf8Printable(QStringLiteral("screen recorder started: %1").arg(args.join(' '))));
    return true;
}

void ScreenRecordStream::endRecorder()
{
    if (!m_process) {
        return;
    }
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(kStopMs);
    }
    takeErrorOutput();
    {
        std::lock_guard<std::mutex> locker(m_outcomeMutex);
        m_outcome.stopped = m_stopRequested;
        const bool normal =
            m_process->error() != QProcess::FailedToStart && m_process->exitStatus() == QProcess::NormalExit;
        m_outcome.exitCode = normal ? m_process->exitCode() : -1;
        m_outcome.error = m_outcome.error.trimmed();
    }
    delete m_process;
    m_process = nullptr;
}

bool ScreenRecordStream::recvPacket(AVPacket* packet)
{
    while (m_ready.empty()) {
        if (!readMore()) {
            return false;
        }
    }
    AVPacket* next = m_ready.front();
    m_ready.pop_front();
    av_packet_move_ref(packet, next);
    av_packet_free(&next);
    return true;
}

// Takes the next bytes the recorder wrote and cuts them; false once there will be none.
bool ScreenRecordStream::readMore()
{
    while (!m_stopRequested) {
        if (m_process->bytesAvailable() > 0) {
            const QByteArray chunk = m_process->readAllStandardOutput();
            m_arrivalUs = arrivalNowUs();
            return cut(chunk);
        }
        takeErrorOutput();
        if (m_process->state() == QProcess::NotRunning) {
            return flushCutter() && !m_ready.empty();
        }
        if (m_cutterHolds && !m_process->waitForReadyRead(kUnitGapMs)) {
            return flushCutter();
        }
        m_process->waitForReadyRead(kPollMs);
    }
    return takeLastBytes();
}

// Frames the recorder had already written when the stop came still belong to the recording.
bool ScreenRecordStream::takeLastBytes()
{
    if (m_lastBytesTaken) {
        return false;
    }
    m_lastBytesTaken = true;
    m_process->waitForReadyRead(0);
    const QByteArray chunk = m_process->readAllStandardOutput();
    m_arrivalUs = arrivalNowUs();
    const bool ok = (chunk.isEmpty() || cut(chunk)) && flushCutter();
    return ok && !m_ready.empty();
}

void ScreenRecordStream::takeErrorOutput()
{
    const QByteArray text = m_process->readAllStandardError();
    if (text.isEmpty()) {
        return;
    }
    std::lock_guard<std::mutex> locker(m_outcomeMutex);
    if (m_outcome.error.size() < kErrorTextMax) {
        m_outcome.error += QString::fromUtf8(text.left(kErrorTextMax));
    }
}

bool ScreenRecordStream::cut(const QByteArray& chunk)
{
    // The parser may read a little past the end of what it is given.
    QByteArray padded = chunk;
    padded.append(QByteArray(AV_INPUT_BUFFER_PADDING_SIZE, '\0'));
    const uint8_t* data = reinterpret_cast<const uint8_t*>(padded.constData());
    int size = chunk.size();
    m_uncut += size;
    while (size > 0) {
        uint8_t* unit = nullptr;
        int unitSize = 0;
        const int used = av_parser_parse2(m_cutter, m_cutterCtx, &unit, &unitSize, data, size, AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        if (used < 0) {
            qCritical("The screen recorder's stream cannot be parsed");
            return false;
        }
        data += used;
        size -= used;
        if (unitSize > 0 && !takeAccessUnit(unit, unitSize)) {
            return false;
        }
    }
    m_cutterHolds = true;
    if (m_uncut > kMaxPacketSize) {
        qCritical("The screen recorder sent %lld bytes without a picture", static_cast<long long>(m_uncut));
        return false;
    }
    return true;
}

bool ScreenRecordStream::flushCutter()
{
    m_cutterHolds = false;
    uint8_t* unit = nullptr;
    int unitSize = 0;
    av_parser_parse2(m_cutter, m_cutterCtx, &unit, &unitSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    return unitSize <= 0 || takeAccessUnit(unit, unitSize);
}

bool ScreenRecordStream::takeAccessUnit(const uint8_t* data, int size)
{
    m_uncut = 0;
    notePictureSize();
    AVPacket* unit = av_packet_alloc();
    if (!unit || av_new_packet(unit, size) < 0) {
        av_packet_free(&unit);
        qCritical("Could not allocate packet");
        return false;
    }
    std::memcpy(unit->data, data, static_cast<size_t>(size));
    bool ok = av_bsf_send_packet(m_extractor, unit) >= 0;
    av_packet_free(&unit);
    AVPacket* out = av_packet_alloc();
    while (ok && out && av_bsf_receive_packet(m_extractor, out) >= 0) {
        size_t configSize = 0;
        const uint8_t* config = av_packet_get_side_data(out, AV_PKT_DATA_NEW_EXTRADATA, &configSize);
        if (config && configSize > 0) {
            ok = queueCopy(config, static_cast<int>(configSize), AV_NOPTS_VALUE);
            m_announced = true;
        }
        if (ok && out->size > 0) {
            // Frames of one read share its arrival time; the recording needs them in strict order.
            m_lastPts = std::max<int64_t>(m_arrivalUs, m_lastPts + 1);
            ok = queueCopy(out->data, out->size, m_lastPts);
            if (countFrame() == 1) {
                emit firstFrame();
            }
        }
        av_packet_unref(out);
    }
    av_packet_free(&out);
    return ok;
}

bool ScreenRecordStream::queueCopy(const uint8_t* data, int size, int64_t pts)
{
    AVPacket* packet = av_packet_alloc();
    if (!packet || av_new_packet(packet, size) < 0) {
        av_packet_free(&packet);
        qCritical("Could not allocate packet");
        return false;
    }
    std::memcpy(packet->data, data, static_cast<size_t>(size));
    packet->pts = pts;
    m_ready.push_back(packet);
    return true;
}

int ScreenRecordStream::countFrame()
{
    std::lock_guard<std::mutex> locker(m_outcomeMutex);
    return ++m_outcome.frames;
}

void ScreenRecordStream::notePictureSize()
{
    const QSize size(m_cutter->width, m_cutter->height);
    if (size.isEmpty() || size == m_size) {
        return;
    }
    m_size = size;
    emit pictureSize(size);
}

void ScreenRecordStream::clearReady()
{
    for (AVPacket* packet : m_ready) {
        av_packet_free(&packet);
    }
    m_ready.clear();
}

} // namespace dvk
