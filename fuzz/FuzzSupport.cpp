#include "FuzzSupport.h"

#include <QGuiApplication>

#include <cstdlib>
#include <cstring>

// Memory the libraries keep, one target or another reaches:
// - Qt 5.15's JSON parser loses the earlier value of a repeated key when that value is an object or
//   an array (keymaps);
// - a settings value written as "@Variant(...)" may hold a font, and reading it starts the font
//   database, whose fontconfig keeps what it loaded until the process ends (config files).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QJsonDocument::fromJson\n"
           "leak:libfontconfig.so\n";
}

namespace fuzz {

namespace {

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        fprintf(stderr, "fatal: %s\n", qUtf8Printable(message));
        abort();
    }
}

} // namespace

void ensureApp()
{
    if (QCoreApplication::instance()) {
        return;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("VADIZEDE_FUZZ_VERBOSE")) {
        qInstallMessageHandler(quietHandler);
    }
    static int argc = 1;
    static char name[] = "vadizede-fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

std::vector<QByteArray> chunked(const QByteArray& bytes, uint64_t seed)
{
    // Small pieces most of the time, now and then a large one; splitmix64 draws the sizes.
    std::vector<QByteArray> pieces;
    uint64_t state = seed;
    int pos = 0;
    while (pos < bytes.size()) {
        state += 0x9E3779B97F4A7C15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        // Long inputs in proportionally longer pieces, or a run is spent cutting.
        const int scale = 1 + bytes.size() / 65536;
        const int limit = ((z & 7) == 0 ? 4096 : 16) * scale;
        const int size = 1 + static_cast<int>((z >> 8) % limit);
        pieces.push_back(bytes.mid(pos, size));
        pos += size;
    }
    return pieces;
}

ChunkFeed::ChunkFeed()
{
    open(QIODevice::ReadOnly);
}

void ChunkFeed::feed(const QByteArray& bytes)
{
    m_pending.append(bytes);
    emit readyRead();
}

qint64 ChunkFeed::bytesAvailable() const
{
    return m_pending.size() + QIODevice::bytesAvailable();
}

qint64 ChunkFeed::readData(char* data, qint64 maxSize)
{
    const int n = static_cast<int>(qMin<qint64>(maxSize, m_pending.size()));
    if (n == 0) {
        return 0;
    }
    std::memcpy(data, m_pending.constData(), static_cast<size_t>(n));
    m_pending.remove(0, n);
    return n;
}

qint64 ChunkFeed::writeData(const char*, qint64)
{
    return -1;
}

} // namespace fuzz
