#include <QTest>

class Placeholder_tst_patch_and_search : public QObject {
    Q_OBJECT
  private slots:
    void nothingYet() {}
};

QTEST_MAIN(Placeholder_tst_patch_and_search)
#include "tst_patch_and_search.moc"
