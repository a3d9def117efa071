#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QByteArray>
#include <QIODevice>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

// One GUI application for the whole run (offscreen, so a clipboard exists without a display),
// with the log silenced: a fuzzer writes millions of lines otherwise. Fatal messages still abort.
void ensureApp();

// Splits bytes into pieces whose sizes follow seed: the same seed always cuts the same way.
std::vector<QByteArray> chunked(const QByteArray& bytes, uint64_t seed);

// A sequential device fed by the target, standing in for a socket that receives in pieces.
class ChunkFeed : public QIODevice
{
public:
    ChunkFeed();
    // Appends bytes and announces them as a socket would.
    void feed(const QByteArray& bytes);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    QByteArray m_pending;
};

} // namespace fuzz

#endif // FUZZSUPPORT_H
