// The icon travels inside the program and reaches the window. It is an SVG: without Qt's SVG
// plugin (scripts/setup installs it) the icon would silently be empty.
#include "support/window_test.h"

#include <QIcon>
#include <QImage>
#include <QTest>

namespace {

// The red of the pointer marker, which the icon's strip repeats. At small sizes its thin lines
// blend with their neighbours, so red only has to stand out.
bool HasMarkerRed(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() > 200 && colour.red() > colour.green() + 60 &&
                colour.red() > colour.blue() + 60) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

class TestWindowIcon : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(OpenTestWindow()); }
    void cleanupTestCase() { CloseTestWindow(); }

    void rendersAtEverySize_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("16 pixels, title bars") << 16;
        QTest::newRow("32 pixels, task switchers") << 32;
        QTest::newRow("48 pixels, launchers") << 48;
        QTest::newRow("256 pixels, software centres") << 256;
    }

    void rendersAtEverySize() {
        QFETCH(int, size);
        const QImage image = QApplication::windowIcon().pixmap(size, size).toImage();
        QVERIFY2(!image.isNull(), "the icon does not render; is Qt's SVG plugin installed?");
        QCOMPARE(image.size(), QSize(size, size));
        // Transparent corners prove the rounded shape, and the red marker that it is this icon.
        QVERIFY(image.pixelColor(0, 0).alpha() < 64);
        QVERIFY(image.pixelColor(size / 2, size - size / 8).alpha() > 200);
        QVERIFY(HasMarkerRed(image));
    }

    void mainWindowShowsIt() {
        QWidget* window = MainWindowWidget();
        QVERIFY(window != nullptr);
        const QImage shown = window->windowIcon().pixmap(32, 32).toImage();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown, QApplication::windowIcon().pixmap(32, 32).toImage());
    }
};

QTEST_MAIN(TestWindowIcon)
#include "tst_window_icon.moc"
