#ifndef DROPAREABASE_H
#define DROPAREABASE_H

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class ProgressDialog;

// A widget that installs the APK files dropped on it on its device, off the GUI thread, and shows
// the outcome in a progress dialog.
class DropAreaBase : public QWidget
{
    Q_OBJECT
public:
    explicit DropAreaBase(QWidget* parent = nullptr);
    ~DropAreaBase() override;

    void setSerial(const QString& serial);
    const QString& serial() const;

    static QList<QUrl> apkUrls(const QList<QUrl>& urls);
    // Installs each file in turn and returns the result text; runs on a worker thread.
    static QString runInstall(const QString& serial, const QList<QUrl>& urls);

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
