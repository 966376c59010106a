#include <QTest>

class Placeholder_tst_toolkit : public QObject {
    Q_OBJECT
  private slots:
    void nothingYet() {}
};

QTEST_MAIN(Placeholder_tst_toolkit)
#include "tst_toolkit.moc"
