#include "MediaProbe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

QJsonObject probe(const QString& file, const QStringList& args)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"), QStringList{"-v", "error", "-of", "json"} + args + QStringList{file});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0) {
        return QJsonObject();
    }
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
}

QJsonObject probeVideoStream(const QString& file)
{
    const QJsonObject info = probe(file, {"-count_frames", "-count_packets", "-select_streams", "v:0", "-show_entries",
                                          "stream=codec_name,width,height,nb_read_frames,nb_read_packets:format_tags"});
    QJsonObject out = info.value("streams").toArray().first().toObject();
    // Muxers spell the tag differently (comment, COMMENT).
    const QJsonObject tags = info.value("format").toObject().value("tags").toObject();
    for (auto it = tags.begin(); it != tags.end(); ++it) {
        if (it.key().compare("comment", Qt::CaseInsensitive) == 0) {
            out.insert("comment", it.value());
        }
    }
    return out;
}
