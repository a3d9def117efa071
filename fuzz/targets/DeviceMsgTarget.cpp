// Device messages as the control socket delivers them: the input (after an eight-byte seed that
// decides where the arrivals are cut) reaches the read loop in pieces. Whatever the cuts, a
// stream of whole clipboard messages must end with the last one's text on the clipboard.
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

#include "controller/Controller.h"
#include "controller/DeviceMsgReader.h"

namespace fuzz {

namespace {

const QString kUntouched = QStringLiteral("\u0001untouched");

// Walks the bytes as clipboard messages; true when they are exactly a run of whole ones.
bool wholeClipboardMessages(const QByteArray& bytes, QByteArray& lastText, int& count)
{
    int pos = 0;
    count = 0;
    while (bytes.size() - pos >= 5 && bytes.at(pos) == 0) {
        const auto* u = reinterpret_cast<const quint8*>(bytes.constData() + pos + 1);
        const quint64 length = (quint64(u[0]) << 24) | (u[1] << 16) | (u[2] << 8) | u[3];
        if (static_cast<quint64>(bytes.size() - pos - 5) < length) {
            return false;
        }
        lastText = bytes.mid(pos + 5, static_cast<int>(length));
        pos += 5 + static_cast<int>(length);
        ++count;
    }
    return pos == bytes.size();
}

} // namespace

int fuzzDeviceMsg(const uint8_t* data, size_t size)
{
    ensureApp();
    FuzzInput in(data, size);
    const uint64_t seed = in.take<uint64_t>();
    const QByteArray bytes = in.takeRest();

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(kUntouched);
    ChunkFeed feed;
    dvk::Controller controller([](const QByteArray& out) { return qint64(out.size()); }, QString());
    dvk::DeviceMsgReader::attach(&feed, &controller);
    QCoreApplication::sendPostedEvents(&controller);
    for (const QByteArray& piece : chunked(bytes, seed)) {
        feed.feed(piece);
    }
    QCoreApplication::sendPostedEvents(&controller);

    QByteArray lastText;
    int count = 0;
    if (wholeClipboardMessages(bytes, lastText, count) && count > 0
        && clipboard->text() != QString::fromUtf8(lastText)) {
        fprintf(stderr, "devicemsg target: %d whole messages, the last one's text not on the clipboard\n", count);
        abort();
    }
    return 0;
}

} // namespace fuzz
