// The adb runner collecting a real child's output as it arrives in pieces: whatever the cuts,
// what it hands out must be the whole output decoded at once, exactly as the parsers need it.
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

#include "adb/AdbProcess.h"

#ifndef VADIZEDE_CHUNKWRITER
#define VADIZEDE_CHUNKWRITER ""
#endif

namespace fuzz {

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "adbrunner target: %s\n", what);
        abort();
    }
}

// The pieces as the stand-in reads them; out and err receive what it will print.
QByteArray recordPieces(const QByteArray& bytes, uint64_t seed, QByteArray& out, QByteArray& err)
{
    QByteArray file;
    uint64_t pick = seed;
    for (const QByteArray& piece : chunked(bytes, seed)) {
        pick = pick * 6364136223846793005ull + 1442695040888963407ull;
        const bool toError = (pick >> 63) && (pick >> 62 & 1);
        (toError ? err : out) += piece;
        const uint32_t header = static_cast<uint32_t>(piece.size()) | (toError ? 0x80000000u : 0);
        file.append(reinterpret_cast<const char*>(&header), sizeof header);
        file.append(piece);
    }
    return file;
}

} // namespace

int fuzzAdbRunner(const uint8_t* data, size_t size)
{
    ensureApp();
    static QTemporaryDir dir;
    static const bool pointed = [] {
        dvk::AdbProcess::setAdbPath(QString(VADIZEDE_CHUNKWRITER));
        return true;
    }();
    Q_UNUSED(pointed)
    FuzzInput in(data, size);
    const uint64_t seed = in.take<uint64_t>();
    QByteArray out, err;
    const QByteArray file = recordPieces(in.takeRest(), seed, out, err);
    const QString path = dir.filePath("pieces");
    QFile pieces(path);
    if (!pieces.open(QIODevice::WriteOnly | QIODevice::Truncate) || pieces.write(file) != file.size()) {
        return 0;
    }
    pieces.close();

    dvk::AdbProcess runner;
    runner.execute(QString(), {path});
    check(runner.waitForFinished(), "the stand-in did not finish");
    // A zero byte ends what is kept of the piece it arrives in, and pieces may merge on the way.
    if (!out.contains('\0')) {
        check(runner.getStdOut() == QString::fromUtf8(out).trimmed(), "the output differs from what was printed");
    }
    if (!err.contains('\0')) {
        check(runner.getErrorOut() == QString::fromUtf8(err).trimmed(), "the error output differs from what was printed");
    }
    return 0;
}

} // namespace fuzz
