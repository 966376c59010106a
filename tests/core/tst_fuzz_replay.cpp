// Replays every kept fuzz input (tests/data/fuzz/<target>/) through its target's check, so that
// an input that once made a fuzz target fail stays a failing test until the fault is gone. The
// seeds kept beside them cover the worked examples of each function.
#include "fuzz/fuzz_checks.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestFuzzReplay : public QObject {
    Q_OBJECT

  private slots:
    void everyTargetHasKeptInputs_data();
    void everyTargetHasKeptInputs();
    void keptInput_data();
    void keptInput();
};

namespace {

QDir KeptInputs(const char* target) {
    return QDir(qEnvironmentVariable("TESSARY_TEST_DATA") + "/fuzz/" + target);
}

} // namespace

void TestFuzzReplay::everyTargetHasKeptInputs_data() {
    QTest::addColumn<QString>("target");
    for (const FuzzTarget& target : FUZZ_TARGETS) {
        QTest::newRow(target.name) << QString(target.name);
    }
}

void TestFuzzReplay::everyTargetHasKeptInputs() {
    QFETCH(QString, target);
    const QDir folder = KeptInputs(target.toUtf8().constData());
    QVERIFY2(folder.exists(), qPrintable(folder.path()));
    QVERIFY(!folder.entryList(QDir::Files).isEmpty());
}

void TestFuzzReplay::keptInput_data() {
    QTest::addColumn<int>("targetIndex");
    QTest::addColumn<QString>("path");
    int index = 0;
    for (const FuzzTarget& target : FUZZ_TARGETS) {
        const QDir folder = KeptInputs(target.name);
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            const QString row = QString(target.name) + "/" + name;
            QTest::newRow(row.toUtf8().constData()) << index << folder.filePath(name);
        }
        ++index;
    }
}

void TestFuzzReplay::keptInput() {
    QFETCH(int, targetIndex);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray input = file.readAll();
    // An exactly sized copy, as libFuzzer hands it over, so that a read past the end is caught.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<std::size_t>(input.size())]);
    std::copy(input.begin(), input.end(), bytes.get());
    const std::string disagreement =
        FUZZ_TARGETS[targetIndex].check(bytes.get(), static_cast<std::size_t>(input.size()));
    QVERIFY2(disagreement.empty(), disagreement.c_str());
}

QTEST_GUILESS_MAIN(TestFuzzReplay)
#include "tst_fuzz_replay.moc"
