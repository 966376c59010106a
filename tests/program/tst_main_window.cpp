// The main window as a user first sees it: layout, starting states, menu, size rules, focus
// order, About, and the ways the program ends.
#include "support/window_test.h"

#include "program/program.h"
#include "toolkit/toolkit.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void init() { QVERIFY(OpenTestWindow()); }
    void cleanup() { CloseTestWindow(); }

    void titleAndSize() {
        QWidget* window = MainWindowWidget();
        QCOMPARE(window->windowTitle(), QString("Tessary 1.20"));
        QCOMPARE(InnerWidth(MAIN_WINDOW), 662);
        QCOMPARE(InnerHeight(MAIN_WINDOW), 450);
    }

    void controlLayout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, QRect geometry, bool enabled, const char* text) {
            QTest::newRow(name) << QString(name) << geometry << enabled << QString(text);
        };
        row("ByteStrip", {10, 30, 650, 25}, true, "");
        row("NudgeBar", {5, 0, 657, 30}, false, "");
        row("BitsLabel", {20, 90, 70, 20}, true, "Bits:");
        row("Int16Label", {20, 130, 70, 20}, true, "Int16:");
        row("DecHexLabel", {20, 110, 70, 20}, true, "Dec / Hex:");
        row("Int32Label", {20, 150, 70, 20}, true, "Int32:");
        row("Int64Label", {20, 170, 70, 20}, true, "Int64:");
        row("UpdateValuesFrame", {10, 70, 270, 130}, true, "Update Values");
        row("BitsField", {80, 90, 140, 20}, true, "");
        row("DecField", {80, 110, 50, 20}, true, "");
        row("CharField", {131, 110, 38, 20}, true, "");
        row("HexField", {170, 110, 50, 20}, true, "");
        row("Int16Field", {80, 130, 140, 20}, true, "");
        row("Int32Field", {80, 150, 140, 20}, true, "");
        row("Int64Field", {80, 170, 140, 20}, true, "");
        row("UpdateBitsButton", {222, 90, 50, 20}, false, "Update");
        row("UpdateByteButton", {222, 110, 50, 20}, false, "Update");
        row("UpdateInt16Button", {222, 130, 50, 20}, false, "Update");
        row("UpdateInt32Button", {222, 150, 50, 20}, false, "Update");
        row("UpdateInt64Button", {222, 170, 50, 20}, false, "Update");
        row("PointerSlider", {25, 260, 620, 16}, false, "");
        row("PointerLabel", {25, 243, 250, 15}, true, "File Pointer ()");
        row("FileSettingsFrame", {10, 205, 650, 80}, true, "File Settings");
        row("FileNameLabel", {25, 225, 600, 15}, true, "Inspected File: ");
        row("SearchFrame", {285, 70, 375, 130}, true, "Search");
        row("SearchTypeCombo", {490, 90, 115, 21}, true, "String");
        row("FindLabel", {300, 92, 55, 20}, true, "Find:");
        row("FromStartCheck", {355, 112, 130, 20}, true, "Search from start");
        row("FindNextButton", {490, 112, 115, 20}, false, "Find Next");
        row("SearchTextField", {355, 90, 130, 20}, true, "");
        row("PreviewText", {10, 290, 650, 138}, true, "");
    }

    void controlLayout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(bool, enabled);
        QFETCH(QString, text);
        QWidget* control = FindWidget(name.toLatin1().constData());
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->isEnabled(), enabled);
        QVERIFY(control->isVisible());
        QString shown;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            shown = label->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            shown = edit->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            shown = button->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            shown = combo->currentText();
        } else if (control->inherits("QGroupBox")) {
            shown = control->property("title").toString();
        }
        QCOMPARE(shown, text);
    }

    void startingStates() {
        auto* combo = FindWidget<QComboBox>("SearchTypeCombo");
        QStringList items;
        for (int index = 0; index < combo->count(); ++index) {
            items << combo->itemText(index);
        }
        QCOMPARE(items, QStringList({"String", "Hex", "IP", "Byte", "Word", "Long", "Quad"}));
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(FindWidget<QCheckBox>("FromStartCheck")->isChecked());
        QCOMPARE(FindWidget<QSlider>("NudgeBar")->value(), 31);
        QCOMPARE(FindWidget<QSlider>("NudgeBar")->maximum(), 63);
        QCOMPARE(GetControlState(Control::PointerSlider), 0);
        QVERIFY(FindWidget<QPlainTextEdit>("PreviewText")->isReadOnly());
    }

    void fontsOfTheFields() {
        const QFont strip = FindWidget("ByteStrip")->font();
        QCOMPARE(strip.pixelSize(), 16);
        QVERIFY(strip.bold());
        QVERIFY(QFontInfo(strip).fixedPitch());
        for (const char* name : {"BitsField", "DecField", "CharField", "HexField", "Int16Field",
                                 "Int32Field", "Int64Field", "SearchTextField"}) {
            const QFont field = FindWidget(name)->font();
            QCOMPARE(field.pixelSize(), 12);
            QVERIFY2(field.bold(), name);
        }
        const QFont preview = FindWidget("PreviewText")->font();
        QCOMPARE(preview.pixelSize(), 12);
        QVERIFY(!preview.bold());
    }

    void menu() {
        auto* bar = MainWindowWidget()->findChild<QMenuBar*>();
        QVERIFY(bar != nullptr);
        QStringList seen;
        QStringList shortcuts;
        for (QAction* title : bar->actions()) {
            seen << title->text() + ":";
            for (QAction* item : title->menu()->actions()) {
                seen << (item->isSeparator() ? "-" : item->text());
                QVERIFY(item->isEnabled());
                if (!item->shortcut().isEmpty()) {
                    shortcuts << item->text() + " " +
                                     item->shortcut().toString(QKeySequence::PortableText);
                }
            }
        }
        QCOMPARE(seen,
                 QStringList({"File:", "Load", "Save", "Save As", "-", "Quit", "Help:", "About"}));
        QCOMPARE(shortcuts, QStringList({"Load Ctrl+O", "Save Ctrl+S", "Save As Ctrl+Shift+S",
                                         "Quit Ctrl+Q"}));
    }

    void aThemeFontSetLaterChangesNoCaptionAndNoMenuTitle() {
        // Desktop themes set the application font once the window is up.
        QWidget* window = MainWindowWidget();
        const QList<QWidget*> widgets = window->findChildren<QWidget*>();
        std::vector<QFont> built;
        for (const QWidget* widget : widgets) {
            built.push_back(widget->font());
        }
        QApplication::setFont(QFont("DejaVu Sans", 12));
        QCoreApplication::processEvents();
        for (int index = 0; index < widgets.size(); ++index) {
            QVERIFY2(widgets[index]->font() == built[static_cast<std::size_t>(index)],
                     qPrintable(widgets[index]->objectName()));
        }
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->objectName()));
        }
        for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty()) {
                continue; // the menu bar's overflow button, checked below
            }
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const bool checkBox = qobject_cast<const QCheckBox*>(button) != nullptr;
            const QRect room = button->style()->subElementRect(
                checkBox ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option,
                button);
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= room.width(),
                     qPrintable(button->objectName()));
        }
        auto* bar = window->findChild<QMenuBar*>();
        const auto* overflow = bar->findChild<QToolButton*>("qt_menubar_ext_button");
        QVERIFY(overflow == nullptr || !overflow->isVisible());
        for (QAction* title : bar->actions()) {
            QVERIFY2(bar->rect().contains(bar->actionGeometry(title)), qPrintable(title->text()));
        }
    }

    void sizeRules_data() {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("result");
        QTest::addColumn<int>("previewHeight");
        QTest::newRow("wider window snaps back to 662")
            << QSize(800, 450) << QSize(662, 450) << 138;
        QTest::newRow("narrower window snaps back to 662")
            << QSize(500, 500) << QSize(662, 500) << 188;
        QTest::newRow("300 high becomes 450") << QSize(662, 300) << QSize(662, 450) << 138;
        QTest::newRow("600 high keeps its height") << QSize(662, 600) << QSize(662, 600) << 288;
    }

    void sizeRules() {
        QFETCH(QSize, asked);
        QFETCH(QSize, result);
        QFETCH(int, previewHeight);
        MainWindowWidget()->resize(asked);
        RunPendingTurns();
        QCOMPARE(QSize(InnerWidth(MAIN_WINDOW), InnerHeight(MAIN_WINDOW)), result);
        QCOMPARE(FindWidget("PreviewText")->height(), previewHeight);
    }

    void aboutBox() {
        ModalAnswers answers;
        answers.Acknowledge();
        QTimer::singleShot(0, [] { QVERIFY(TriggerMenu("About")); });
        RunUntilAnswered(answers);
        QCOMPARE(answers.messages(),
                 std::vector<std::string>({"Tessary|Tessary 1.20\nby Halvory"}));
    }

    void closeBoxEndsTheLoopAndKeepsTheWindow() {
        QTimer::singleShot(0, [] { MainWindowWidget()->close(); });
        EventLoop(); // returns only on the close event
        QVERIFY(MainWindowWidget() != nullptr);
        QVERIFY(MainWindowWidget()->isVisible());
    }

    void quitEndsTheLoop() {
        QTimer::singleShot(0, [] { QVERIFY(TriggerMenu("Quit")); });
        EventLoop();
        QVERIFY(MainWindowWidget()->isVisible());
    }

    void tabOrderBeforeLoad() {
        QWidget* window = MainWindowWidget();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::focusWidget(), window); // no control has the focus at first
        const QStringList expected = {
            "ByteStrip",       "BitsField",   "DecField",   "CharField",       "HexField",
            "Int16Field",      "Int32Field",  "Int64Field", "SearchTypeCombo", "FromStartCheck",
            "SearchTextField", "PreviewText", "ByteStrip"};
        QStringList forward;
        for (int step = 0; step < expected.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(forward, expected);
        QStringList backward;
        for (int step = 0; step < 2; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            backward << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(backward, QStringList({"PreviewText", "SearchTextField"}));
    }

    void stripCellsAreTenPixelsWide_data() {
        QTest::addColumn<QByteArray>("strip");
        QTest::newRow("M in cell 32 after 31 blanks")
            << QByteArray(31, ' ') + "M" + QByteArray(32, ' ');
        QTest::newRow("M in cell 32 after 31 soft hyphens (0xAD)")
            << QByteArray(31, '\xAD') + "M" + QByteArray(32, ' ');
    }

    void stripCellsAreTenPixelsWide() {
        // Cell k of the strip spans x 13+10(k-1) .. 13+10k of the inner area; the marker's lines
        // stand at 323 and 333, around cell 32. Every byte but a blank leaves ink in its own cell
        // and nowhere else.
        QFETCH(QByteArray, strip);
        SetControlText(Control::ByteStrip, strip.toStdString());
        auto* edit = FindWidget<QLineEdit>("ByteStrip");
        edit->clearFocus();
        QImage image(edit->size(), QImage::Format_RGB32);
        edit->render(&image);
        const int firstCellLeft = 13 - edit->x();
        QString inked(64, ' ');
        QString expected(64, ' ');
        for (int cell = 0; cell < 64; ++cell) {
            expected[cell] = strip[cell] == ' ' ? ' ' : '#';
        }
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 4; y < image.height() - 4; ++y) {
                const int cell = (x - firstCellLeft) / 10;
                if (qGray(image.pixel(x, y)) < 100) {
                    QVERIFY2(x >= firstCellLeft && cell < 64,
                             qPrintable(QString("ink at %1").arg(x)));
                    inked[cell] = '#';
                }
            }
        }
        QCOMPARE(inked, expected);
        edit->setText(QString(64, 'M'));
        edit->setCursorPosition(0);
        QVERIFY2(edit->fontMetrics().horizontalAdvance(edit->text()) <= 640 + 1,
                 "64 characters fit the strip");
    }

    void markerLinesOverTheStrip() {
        RunPendingTurns();
        auto* overlay = MainWindowWidget()->findChild<QWidget*>("DrawingOverlay");
        QVERIFY(overlay != nullptr);
        QVERIFY(overlay->isVisible());
        QCOMPARE(overlay->geometry(), QRect(323, 32, 11, 21));
        QImage image(overlay->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        overlay->render(&image, {}, {}, QWidget::RenderFlags());
        QCOMPARE(QColor(image.pixel(0, 10)), QColor(212, 0, 0));
        QCOMPARE(QColor(image.pixel(10, 10)), QColor(212, 0, 0));
        QCOMPARE(qAlpha(image.pixel(5, 10)), 0);
    }

  private:
    static void RunUntilAnswered(const ModalAnswers& answers) {
        QTRY_VERIFY_WITH_TIMEOUT((RunPendingTurns(), answers.pending() == 0), 5000);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
