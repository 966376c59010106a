#include <QTest>

class Placeholder_tst_file_io : public QObject {
    Q_OBJECT
  private slots:
    void nothingYet() {}
};

QTEST_MAIN(Placeholder_tst_file_io)
#include "tst_file_io.moc"
