#ifndef RECORDINGPROBE_H
#define RECORDINGPROBE_H

#include <QString>

// Reads a finished recording back, to tell whether a player can open it.
namespace RecordingProbe {

// Empty when the file opens as a container with a video stream and at least one
// picture; otherwise what is wrong, in a few words.
QString problem(const QString& fileName);

} // namespace RecordingProbe

#endif // RECORDINGPROBE_H
