#include "DropAreaBase.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "AdbThread.h"
#include "ProgressDialog.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"

DropAreaBase::DropAreaBase(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
    // Results are emitted on the worker thread; the dialog lives on the GUI thread.
    connect(this, &DropAreaBase::installResult, this, &DropAreaBase::updateInstallResult, Qt::AutoConnection);
}

DropAreaBase::~DropAreaBase() = default;

void DropAreaBase::setSerial(const QString& serial)
{
    m_serial = serial;
}

const QString& DropAreaBase::serial() const
{
    return m_serial;
}

QList<QUrl> DropAreaBase::apkUrls(const QList<QUrl>& urls)
{
    QList<QUrl> apks;
    for (const QUrl& url : urls) {
        if (url.fileName(QUrl::FullyDecoded).toLower().endsWith(".apk")) {
            apks << url;
        }
    }
    return apks;
}

void DropAreaBase::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (!mime->hasUrls() || apkUrls(mime->urls()).isEmpty()) {
        return;
    }
    activateWindow();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DropAreaBase::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (!mime->hasUrls()) {
        return;
    }
    startInstall(apkUrls(mime->urls()));
}

void DropAreaBase::startInstall(const QList<QUrl>& urls)
{
    if (!dvk::IDeviceManage::getInstance().getDevice(m_serial) || urls.isEmpty()) {
        return;
    }
    m_apkUrls = urls;

    // The worker gets copies and a guard: a later drop replaces the list while this one still installs,
    // and the form may be gone by the time the installs end.
    AdbThread* installer = new AdbThread();
    const QString serial = m_serial;
    const QList<QUrl> apks = m_apkUrls;
    const QPointer<DropAreaBase> self(this);
    connect(
        installer, &AdbThread::resultReady, installer,
        [serial, apks, self]() {
            const QString result = runInstall(serial, apks);
            QMetaObject::invokeMethod(
                qApp,
                [self, result]() {
                    if (self) {
                        emit self->installResult(result);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    connect(installer, &QThread::finished, installer, &QObject::deleteLater);
    installer->start(QThread::InheritPriority);

    AdbThread* shower = new AdbThread();
    connect(shower, &AdbThread::resultReady, this, &DropAreaBase::showInstall, Qt::AutoConnection);
    connect(shower, &QThread::finished, shower, &QObject::deleteLater);
    shower->start();
}

QString DropAreaBase::runInstall(const QString& serial, const QList<QUrl>& urls)
{
    dvk::AdbProcess adb;
    QString result;
    for (const QUrl& url : urls) {
        adb.install(serial, url.toLocalFile());
        adb.waitForStarted();
        adb.waitForFinished();
        QString label;
        if (adb.getStdOut().contains("Success")) {
            label = tr("Install Success:");
        } else if (adb.getErrorOut().contains("Failure")) {
            label = tr("Install Failure:");
        } else {
            continue;
        }
        if (!result.isEmpty()) {
            result += "\r\n\r\n";
        }
        result += label + "\r\n" + url.fileName(QUrl::FullyDecoded);
    }
    return result;
}

void DropAreaBase::showInstall()
{
    if (!m_progressDialog) {
        QWidget* grandparent = parentWidget() ? parentWidget()->parentWidget() : nullptr;
        m_progressDialog = new ProgressDialog(grandparent);
    }
    m_progressDialog->exec();
}

void DropAreaBase::updateInstallResult(const QString& result)
{
    if (!m_progressDialog) {
        return;
    }
    m_progressDialog->showInstallResult(result);
}
