#include <QTest>

class Placeholder_tst_view_and_panel : public QObject {
    Q_OBJECT
  private slots:
    void nothingYet() {}
};

QTEST_MAIN(Placeholder_tst_view_and_panel)
#include "tst_view_and_panel.moc"
