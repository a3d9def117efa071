#include "DropAreaBase.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "AdbThread.h"
#include "Config.h"
#include "LaunchOptions.h"
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
        // adb needs a file on this computer; a browser's link names none.
        if (url.isLocalFile() && url.fileName(QUrl::FullyDecoded).toLower().endsWith(".apk")) {
            apks << url;
        }
    }
    return apks;
}

QList<QUrl> DropAreaBase::otherFileUrls(const QList<QUrl>& urls)
{
    const QList<QUrl> apks = apkUrls(urls);
    QList<QUrl> others;
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !apks.contains(url)) {
            others << url;
        }
    }
    return others;
}

void DropAreaBase::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (!mime->hasUrls() || (apkUrls(mime->urls()).isEmpty() && otherFileUrls(mime->urls()).isEmpty())) {
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
    startInstall(apkUrls(mime->urls()) + otherFileUrls(mime->urls()));
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
    const QList<QUrl> files = m_apkUrls;
    const QString folder = pushFolder();
    const QPointer<DropAreaBase> self(this);
    connect(
        installer, &AdbThread::resultReady, installer,
        [serial, files, folder, self]() {
            const QString result = runDrop(serial, files, folder);
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

QString DropAreaBase::pushFolder()
{
    const QString chosen = LaunchOptions::current().pushTarget;
    return chosen.isEmpty() ? Config::getInstance()->getPushTarget() : chosen;
}

QString DropAreaBase::runDrop(const QString& serial, const QList<QUrl>& urls, const QString& folder)
{
    const QString installed = runInstall(serial, apkUrls(urls));
    const QString pushed = runPush(serial, otherFileUrls(urls), folder);
    if (installed.isEmpty() || pushed.isEmpty()) {
        return installed + pushed;
    }
    return installed + "\r\n\r\n" + pushed;
}

QString DropAreaBase::runPush(const QString& serial, const QList<QUrl>& urls, const QString& folder)
{
    dvk::AdbProcess adb;
    QStringList results;
    for (const QUrl& url : urls) {
        const QString name = url.fileName(QUrl::FullyDecoded);
        adb.push(serial, url.toLocalFile(), folder + name);
        adb.waitForStarted();
        const bool finished = adb.waitForFinished();
        // adb prints a transfer summary on success; a failure ends with its reason on standard error.
        const QString error = adb.getErrorOut().trimmed();
        if (finished && adb.getStdOut().contains("pushed")) {
            results << tr("Pushed: %1").arg(name);
            continue;
        }
        const QString reason = error.isEmpty() ? tr("Push failed: %1").arg(name) : error.section('\n', -1).trimmed();
        qWarning("%s", qUtf8Printable(QStringLiteral("push of %1 to %2 failed: %3").arg(url.toLocalFile(), folder, reason)));
        results << reason;
    }
    return results.join("\r\n\r\n");
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
