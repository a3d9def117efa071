#include <QDir>
#include <QFile>
#include <QtTest>

#include "FuzzTargets.h"

// Each row is one saved input of one target; a target aborts on any input it finds wrong, so
// reaching the end of the call is the pass.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void savedInputsRunClean_data();
    void savedInputsRunClean();
    void everyTargetHasSeeds();
};

namespace {

QStringList savedInputs(const QString& folder, const char* target)
{
    QStringList paths;
    const QDir dir(QString("%1/fuzz/%2/%3").arg(VADIZEDE_SOURCE_DIR, folder, target));
    for (const QFileInfo& file : dir.entryInfoList(QDir::Files, QDir::Name)) {
        paths << file.absoluteFilePath();
    }
    return paths;
}

} // namespace

void TestFuzzRegressions::savedInputsRunClean_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("path");
    const auto& targets = fuzz::allTargets();
    for (int i = 0; i < static_cast<int>(targets.size()); ++i) {
        for (const QString& folder : {QString("regressions"), QString("corpus")}) {
            for (const QString& path : savedInputs(folder, targets[i].name)) {
                const QString row = QString("%1/%2/%3").arg(targets[i].name, folder, QFileInfo(path).fileName());
                QTest::newRow(qPrintable(row)) << i << path;
            }
        }
    }
}

void TestFuzzRegressions::savedInputsRunClean()
{
    QFETCH(int, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = file.readAll();
    fuzz::allTargets()[target].entry(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                     static_cast<size_t>(bytes.size()));
}

void TestFuzzRegressions::everyTargetHasSeeds()
{
    for (const fuzz::Target& target : fuzz::allTargets()) {
        QVERIFY2(!savedInputs("corpus", target.name).isEmpty(), target.name);
    }
}

QTEST_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
