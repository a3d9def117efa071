#ifndef DROPAREABASE_H
#define DROPAREABASE_H

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class ProgressDialog;

// A widget that installs the APK files dropped on it on its device and pushes the other files to the
// device's push folder, off the GUI thread, and shows the outcome in a progress dialog.
class DropAreaBase : public QWidget
{
    Q_OBJECT
public:
    explicit DropAreaBase(QWidget* parent = nullptr);
    ~DropAreaBase() override;

    void setSerial(const QString& serial);
    const QString& serial() const;

    static QList<QUrl> apkUrls(const QList<QUrl>& urls);
    // The local files that are not APKs.
    static QList<QUrl> otherFileUrls(const QList<QUrl>& urls);
    // Installs the APKs and pushes the other files to folder, in turn, and returns the result text;
    // runs on a worker thread.
    static QString runDrop(const QString& serial, const QList<QUrl>& urls, const QString& folder);
    // Installs each file in turn and returns the result text; runs on a worker thread.
    static QString runInstall(const QString& serial, const QList<QUrl>& urls);
    // Pushes each file into folder (ending in "/") in turn and returns the result text.
    static QString runPush(const QString& serial, const QList<QUrl>& urls, const QString& folder);
    // The command line's push folder, else the configured one.
    static QString pushFolder();

signals:
    void installResult(QString result);

public slots:
    void updateInstallResult(const QString& result);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    void startInstall(const QList<QUrl>& urls);
    void showInstall();

    QPointer<ProgressDialog> m_progressDialog;
    QString m_serial;
    QList<QUrl> m_apkUrls;
};

#endif // DROPAREABASE_H
