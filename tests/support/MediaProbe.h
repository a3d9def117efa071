#ifndef MEDIAPROBE_H
#define MEDIAPROBE_H

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Runs ffprobe on a file with the given extra arguments and returns its JSON answer;
// empty when ffprobe could not run or refused the file.
QJsonObject probe(const QString& file, const QStringList& args);

// The first video stream of a recording as ffprobe counts it (codec_name, width, height,
// nb_read_frames, nb_read_packets), with the container's comment tag added as "comment";
// empty when ffprobe failed.
QJsonObject probeVideoStream(const QString& file);

#endif // MEDIAPROBE_H
