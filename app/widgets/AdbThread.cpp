#include "AdbThread.h"

AdbThread::AdbThread(QObject* parent) : QThread(parent) {}

AdbThread::~AdbThread() = default;

void AdbThread::run()
{
    emit resultReady();
}
