#include <QTest>

class Placeholder_tst_load_save : public QObject {
    Q_OBJECT
  private slots:
    void nothingYet() {}
};

QTEST_MAIN(Placeholder_tst_load_save)
#include "tst_load_save.moc"
