#pragma once

#include <QFile>
#include <QString>

// Writes an executable shell script: stand-ins for programs a test wants to watch or slow down.
inline bool writeScript(const QString& path, const QString& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    file.close();
    return file.setPermissions(file.permissions() | QFile::ExeOwner);
}
