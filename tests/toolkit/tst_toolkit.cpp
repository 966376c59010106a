// The toolkit layer on its own window: controls by id, the event queue, the scroll hook's view
// of the two moving controls, and text crossing the widget boundary.
#include "support/widget_test.h"
#include "toolkit/cp1252_p.h"
#include "toolkit/testing.h"
#include "toolkit/toolkit.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <vector>

namespace {

constexpr int32_t WINDOW = 0;
constexpr int32_t EDIT = 1;
constexpr int32_t OTHER_EDIT = 2;
constexpr int32_t COMBO = 3;
constexpr int32_t SCROLL = 4;
constexpr int32_t TRACK = 5;
constexpr int32_t BUTTON = 6;
constexpr int32_t MISSING = 99;

struct HookCall {
    int32_t code;
    int32_t position; // the control's position as the hook reads it
    bool scrollBar;
};
std::vector<HookCall> hookCalls;

std::intptr_t RecordingHook(NativeHandle, uint32_t message, std::uintptr_t first,
                            NativeHandle second) {
    if (message == WM_HSCROLL) {
        const bool scrollBar = second == ControlHandle(SCROLL);
        hookCalls.push_back({static_cast<int32_t>(first & 0xFFFF),
                             GetControlState(scrollBar ? SCROLL : TRACK), scrollBar});
    }
    return HOOK_CONTINUE;
}

std::vector<int32_t> TakeEvents() {
    std::vector<int32_t> codes;
    while (EventPending()) {
        codes.push_back(WaitEvent());
    }
    return codes;
}

std::vector<int32_t> ControlEventsOf(int32_t id) {
    std::vector<int32_t> subtypes;
    while (EventPending()) {
        if (WaitEvent() == EVENT_CONTROL && CurrentEventControl() == id) {
            subtypes.push_back(CurrentEventSubtype());
        }
    }
    return subtypes;
}

} // namespace

class TestToolkit : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        int count = 1;
        static char name[] = "tessary";
        static char* arguments[] = {name, nullptr};
        QVERIFY(StartToolkit(count, arguments));
        const NativeHandle window =
            OpenAppWindow(WINDOW, 50, 50, 400, 300, "Toolkit",
                          WINDOW_TITLE_BAR | WINDOW_SYSTEM_MENU | WINDOW_SIZABLE_BORDER);
        QVERIFY(window != 0);
        QCOMPARE(BeginControls(window), window);
        QVERIFY(CreateEditField(EDIT, 10, 10, 100, 20, "") != 0);
        QVERIFY(CreateEditField(OTHER_EDIT, 10, 40, 100, 20, "") != 0);
        QVERIFY(CreateComboBox(COMBO, 10, 70, 100, 120) != 0);
        QVERIFY(CreateScrollBar(SCROLL, 10, 100, 300, 16, 0, 1000, 333) != 0);
        QVERIFY(CreateTrackBar(TRACK, 10, 130, 300, 30, 0, 63, TRACKBAR_AUTO_TICKS) != 0);
        QVERIFY(CreateButton(BUTTON, 10, 170, 80, 20, "Press") != 0);
        for (const char* item : {"String", "Hex", "Quad"}) {
            AddComboItem(COMBO, -1, item);
        }
        hookCalls.clear();
        SetWindowHook(RecordingHook);
        QVERIFY(QTest::qWaitForWindowExposed(Window()));
        TakeEvents();
    }
    void cleanup() { ShutdownToolkit(); }

    void anIdWithoutControlDoesNothing() {
        SetControlText(MISSING, "x");
        SetControlState(MISSING, 3);
        SetControlDisabled(MISSING, 1);
        QCOMPARE(GetControlText(MISSING), std::string());
        QCOMPARE(GetControlState(MISSING), 0);
        QCOMPARE(ControlHandle(MISSING), NativeHandle(0));
        QCOMPARE(CreateLabel(EDIT, 0, 0, 10, 10, "taken"), NativeHandle(0)); // id already in use
    }

    void comboSelection_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("selected");
        QTest::newRow("an item by its text") << "Quad"
                                             << "Quad";
        QTest::newRow("the match ignores case") << "quad"
                                                << "Quad";
        QTest::newRow("no such item leaves the selection") << "Word"
                                                           << "Hex";
        QTest::newRow("the empty text clears the selection") << ""
                                                             << "";
    }

    void comboSelection() {
        QFETCH(QString, written);
        QFETCH(QString, selected);
        QCOMPARE(GetControlText(COMBO), std::string()); // a new list has no selection
        QCOMPARE(GetControlState(COMBO), -1);
        SetControlText(COMBO, "Hex");
        SetControlText(COMBO, written.toStdString());
        QCOMPARE(QString::fromStdString(GetControlText(COMBO)), selected);
    }

    void scrollBarPositions_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("reached");
        QTest::newRow("1..100 page 30: 95 stops at 70") << 1 << 100 << 30 << 95 << 70;
        QTest::newRow("1..100 page 30: 0 stops at 1") << 1 << 100 << 30 << 0 << 1;
        QTest::newRow("1..100 page 30: 70 is the last") << 1 << 100 << 30 << 70 << 70;
        QTest::newRow("0..1000 page 333: 667 is the last") << 0 << 1000 << 333 << 1000 << 667;
        QTest::newRow("31 bytes page 30: stays at 1") << 1 << 31 << 30 << 20 << 1;
        QTest::newRow("10 bytes page 30: stays at 1") << 1 << 10 << 30 << 5 << 1;
        QTest::newRow("page 0: maximum - 1") << 0 << 50 << 0 << 80 << 49;
        QTest::newRow("largest file") << 1 << 2147483647 << 30 << 2147483647 << 2147483617;
    }

    void scrollBarPositions() {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, page);
        QFETCH(int, asked);
        QFETCH(int, reached);
        SetScrollAttribute(SCROLL, SCROLL_MINIMUM, minimum);
        SetScrollAttribute(SCROLL, SCROLL_MAXIMUM, maximum);
        SetScrollAttribute(SCROLL, SCROLL_PAGE, page);
        SetControlState(SCROLL, asked);
        QCOMPARE(GetControlState(SCROLL), reached);
    }

    void createdScrollBarReachesItsRange() {
        SetControlState(SCROLL, 5000);
        QCOMPARE(GetControlState(SCROLL), 667);
        SetControlState(SCROLL, -5);
        QCOMPARE(GetControlState(SCROLL), 0);
    }

    void userEditsRaiseOneEventProgramWritesNone() {
        SetControlText(EDIT, "written by the program");
        QCOMPARE(ControlEventsOf(EDIT), std::vector<int32_t>());
        auto* edit = Window()->findChild<QLineEdit*>();
        edit->setFocus();
        QCOMPARE(ControlEventsOf(EDIT), std::vector<int32_t>({SUBTYPE_FOCUS_GAINED}));
        QTest::keyClick(edit, Qt::Key_A);
        QCOMPARE(ControlEventsOf(EDIT).size(), std::size_t(1));
        ControlWidgetByHandle(OTHER_EDIT)->setFocus();
        QCOMPARE(ControlEventsOf(EDIT), std::vector<int32_t>({SUBTYPE_FOCUS_LOST}));
    }

    void writingAnEditFieldQueuesTheRepaintThatEndsADrain() {
        SetControlText(EDIT, "x");
        QVERIFY(EventPending());
        QCOMPARE(WaitEvent(), EVENT_REPAINT);
    }

    void buttonClickIsAControlEvent() {
        QTest::mouseClick(ControlWidgetByHandle(BUTTON), Qt::LeftButton);
        bool clicked = false;
        while (EventPending()) {
            clicked |= WaitEvent() == EVENT_CONTROL && CurrentEventControl() == BUTTON;
        }
        QVERIFY(clicked);
        SetControlDisabled(BUTTON, 1);
        QTest::mouseClick(ControlWidgetByHandle(BUTTON), Qt::LeftButton);
        QCOMPARE(ControlEventsOf(BUTTON), std::vector<int32_t>());
    }

    void closeBoxQueuesCloseAndWindowStays() {
        Window()->close();
        const std::vector<int32_t> codes = TakeEvents();
        QVERIFY(std::find(codes.begin(), codes.end(), EVENT_CLOSE) != codes.end());
        QVERIFY(Window()->isVisible());
    }

    void windowEventsOfOneKindCollapse() {
        Window()->update();
        Window()->repaint();
        Window()->repaint();
        const std::vector<int32_t> codes = TakeEvents();
        for (std::size_t index = 1; index < codes.size(); ++index) {
            QVERIFY(codes[index] != codes[index - 1] || codes[index] == EVENT_CONTROL);
        }
    }

    void innerHeightCountsTheMenuBar() {
        const int32_t before = InnerHeight(WINDOW);
        QVERIFY(CreateMenuBar(WINDOW, WindowHandle(WINDOW)) != 0);
        AddMenuTitle("File");
        AddMenuItem(1, "Load");
        TakeEvents();
        QCOMPARE(InnerHeight(WINDOW), before);
        QWidget* central = static_cast<QMainWindow*>(Window())->centralWidget();
        QCOMPARE(InnerHeight(WINDOW) - central->height(), 20);
        ResizeAppWindow(WINDOW, KEEP, KEEP, KEEP, 500);
        QCOMPARE(InnerHeight(WINDOW), 500);
        QCOMPARE(InnerWidth(WINDOW), 400);
    }

    void scrollBarHookSeesThePositionBeforeTheMove() {
        QScrollBar* bar = ScrollBarOfAFile(1000, 970);
        const QPoint leftArrow = ScrollBarPartCentre(bar, QStyle::SC_ScrollBarSubLine);
        QTest::mousePress(bar, Qt::LeftButton, {}, leftArrow);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, leftArrow);
        QCOMPARE(hookCalls.size(), std::size_t(2));
        QCOMPARE(hookCalls[0].code, SCROLL_STEP_LEFT);
        QCOMPARE(hookCalls[0].position, 970);
        QCOMPARE(hookCalls[1].code, SCROLL_END_ACTION);
        QCOMPARE(hookCalls[1].position, 969);
        QCOMPARE(GetControlState(SCROLL), 969);
    }

    void scrollBarPageAndDrag() {
        QScrollBar* bar = ScrollBarOfAFile(1000, 1);
        const QPoint channel = ScrollBarPartCentre(bar, QStyle::SC_ScrollBarAddPage);
        QTest::mousePress(bar, Qt::LeftButton, {}, channel);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, channel);
        QCOMPARE(hookCalls.front().code, SCROLL_PAGE_RIGHT);
        QCOMPARE(hookCalls.front().position, 1);
        QCOMPARE(hookCalls.back().code, SCROLL_END_ACTION);
        QCOMPARE(hookCalls.back().position, 31);

        hookCalls.clear();
        const QPoint thumb = ScrollBarPartCentre(bar, QStyle::SC_ScrollBarSlider);
        QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(bar, thumb + QPoint(40, 0));
        QTest::mouseMove(bar, thumb + QPoint(80, 0));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb + QPoint(80, 0));
        const int final = GetControlState(SCROLL);
        QVERIFY(final > 31);
        std::vector<int32_t> codes;
        for (const HookCall& call : hookCalls) {
            codes.push_back(call.code);
        }
        QCOMPARE(codes, std::vector<int32_t>({SCROLL_THUMB_DRAGGED, SCROLL_THUMB_DRAGGED,
                                              SCROLL_THUMB_RELEASED, SCROLL_END_ACTION}));
        QCOMPARE(hookCalls[0].position, 31); // one step behind while dragging
        QVERIFY(hookCalls[1].position > 31);
        QCOMPARE(hookCalls[2].position, final); // the release reports the final position
        QCOMPARE(hookCalls[3].position, final);
    }

    void trackBarHookSeesThePositionAfterTheMove() {
        SetControlState(TRACK, 31);
        auto* bar = static_cast<QSlider*>(ControlWidgetByHandle(TRACK));
        bar->setFocus();
        QTest::keyPress(bar, Qt::Key_Right);
        QTest::keyRelease(bar, Qt::Key_Right);
        QTest::keyPress(bar, Qt::Key_PageUp);
        QTest::keyRelease(bar, Qt::Key_PageUp);
        QTest::keyPress(bar, Qt::Key_Home);
        QTest::keyRelease(bar, Qt::Key_Home);
        std::vector<std::pair<int32_t, int32_t>> seen;
        for (const HookCall& call : hookCalls) {
            QVERIFY(!call.scrollBar);
            seen.emplace_back(call.code, call.position);
        }
        QCOMPARE(seen, (std::vector<std::pair<int32_t, int32_t>>{{SCROLL_STEP_RIGHT, 32},
                                                                 {SCROLL_END_ACTION, 32},
                                                                 {SCROLL_PAGE_LEFT, 20},
                                                                 {SCROLL_END_ACTION, 20},
                                                                 {SCROLL_TO_START, 0},
                                                                 {SCROLL_END_ACTION, 0}}));
    }

    void rightButtonMovesNothing_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("position");
        QTest::newRow("scroll bar at the end of a 1000-byte file") << int(SCROLL) << 970;
        QTest::newRow("track bar at rest") << int(TRACK) << 31;
    }

    void rightButtonMovesNothing() {
        QFETCH(int, control);
        QFETCH(int, position);
        if (control == SCROLL) {
            ScrollBarOfAFile(1000, position);
        } else {
            SetControlState(TRACK, position);
        }
        SetControlDisabled(control, 0);
        TakeEvents();
        QWidget* widget = ControlWidgetByHandle(control);
        for (const QPoint at : {QPoint(3, widget->height() / 2), widget->rect().center(),
                                QPoint(widget->width() - 3, widget->height() / 2)}) {
            QTest::mousePress(widget, Qt::RightButton, {}, at);
            QTest::mouseRelease(widget, Qt::RightButton, {}, at);
        }
        QCOMPARE(hookCalls.size(), std::size_t(0));
        QCOMPARE(ControlEventsOf(control), std::vector<int32_t>());
        QCOMPARE(GetControlState(control), position);
    }

    // A sequence of presses (L, M, R) and releases (l, m, r) on the scroll bar's right arrow or
    // the track bar's channel right of the thumb: the first moving button begins the action and
    // its release ends it, once, with no repeat after.
    void chordEndsWithItsFirstButton_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<QString>("sequence");
        for (const int control : {int(SCROLL), int(TRACK)}) {
            const char* name = control == SCROLL ? "scroll bar" : "track bar";
            for (const char* sequence : {"LRlr", "LRrl", "RLrl", "RLlr", "MLml"}) {
                QTest::addRow("%s %s", name, sequence) << control << QString(sequence);
            }
        }
    }

    void chordEndsWithItsFirstButton() {
        QFETCH(int, control);
        QFETCH(QString, sequence);
        QWidget* widget = ControlWidgetByHandle(control);
        QPoint at;
        if (control == SCROLL) {
            at = ScrollBarPartCentre(ScrollBarOfAFile(1000, 11), QStyle::SC_ScrollBarAddLine);
        } else {
            SetControlState(TRACK, 10);
            at = QPoint(widget->width() - 5, widget->height() / 2);
        }
        TakeEvents();
        for (const QChar step : sequence) {
            const Qt::MouseButton button = step.toUpper() == 'L'   ? Qt::LeftButton
                                           : step.toUpper() == 'M' ? Qt::MiddleButton
                                                                   : Qt::RightButton;
            if (step.isUpper()) {
                QTest::mousePress(widget, button, {}, at);
            } else {
                QTest::mouseRelease(widget, button, {}, at);
            }
        }
        QVERIFY(!hookCalls.empty());
        QCOMPARE(hookCalls.back().code, SCROLL_END_ACTION);
        const auto ends = std::count_if(hookCalls.begin(), hookCalls.end(), [](const HookCall& c) {
            return c.code == SCROLL_END_ACTION;
        });
        QCOMPARE(ends, 1);
        const std::size_t calls = hookCalls.size();
        const int32_t position = GetControlState(control);
        QTest::qWait(700); // past the auto-repeat's first delay
        QCOMPARE(hookCalls.size(), calls);
        QCOMPARE(GetControlState(control), position);
    }

    void messageBoxIsAsWideAsItsTitle_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("the program's name") << "Tessary";
        QTest::newRow("a caption far wider than the text")
            << "A caption far wider than the text of its message box";
    }

    void messageBoxIsAsWideAsItsTitle() {
        QFETCH(QString, title);
        QSize seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&seen, &poll] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->size();
                poll.stop();
                box->done(0);
            }
        });
        poll.start(10);
        ShowMessage(title.toStdString(), "x");
        const QFontMetrics titleFont(QFontDatabase::systemFont(QFontDatabase::TitleFont));
        QVERIFY2(seen.width() >= titleFont.horizontalAdvance(title) + 120,
                 qPrintable(QString::number(seen.width())));
    }

    void requestersRefuseAMissingFolder_data() {
        QTest::addColumn<bool>("forSaving");
        QTest::newRow("open requester") << false;
        QTest::newRow("save requester") << true;
    }

    void requestersRefuseAMissingFolder() {
        QFETCH(bool, forSaving);
        const QTemporaryDir folder;
        const std::string missing =
            QFile::encodeName(folder.filePath("missing/x.bin")).toStdString();
        const std::string valid = QFile::encodeName(folder.filePath("x.bin")).toStdString();
        ModalAnswers answers;
        answers.ChooseFile(missing).Acknowledge().ChooseFile(valid);
        const std::string chosen = forSaving ? AskSaveFile("Save As", "", "*.*", 0)
                                             : AskOpenFile("Load File", "", "*.*", 0);
        QCOMPARE(answers.pending(), 0);
        QCOMPARE(MessagesSeen(answers),
                 QString("%1|%2/missing\nThis folder does not exist.\nPlease choose a name in "
                         "an existing folder.")
                     .arg(forSaving ? "Save As" : "Load File", folder.path()));
        QCOMPARE(chosen, valid);
    }

    void everyByteCrossesTheWidgetBoundary() {
        std::string all;
        for (int byte = 1; byte < 256; ++byte) {
            all.push_back(static_cast<char>(byte));
        }
        QCOMPARE(TextFromWidget(TextToWidget(all)), all);
        SetControlText(EDIT, all.substr(31)); // a line edit keeps every printable byte
        QCOMPARE(GetControlText(EDIT), all.substr(31));
        QCOMPARE(TextToWidget("\x80\x81\x9F"), QString::fromUtf8("\u20AC\u0081\u0178"));
        QCOMPARE(TextFromWidget(QString::fromUtf8("\u0416")), std::string("?"));
    }

    void commandArguments() {
        int count = 3;
        static char name[] = "tessary";
        static char first[] = "a file";
        static char second[] = "second";
        static char* arguments[] = {name, first, second, nullptr};
        QVERIFY(StartToolkit(count, arguments));
        QCOMPARE(CommandArgument(0), std::string("a file"));
        QCOMPARE(CommandArgument(1), std::string("second"));
        QCOMPARE(CommandArgument(2), std::string());
        QCOMPARE(CommandArgument(-1), std::string());
        QCOMPARE(MakeColour(212, 0, 0), 212u);
        QCOMPARE(MakeColour(1, 2, 3), 1u + 2u * 256u + 3u * 65536u);
    }

  private:
    // The scroll bar as a load sets it for a file of `size` bytes, its thumb at `position`.
    static QScrollBar* ScrollBarOfAFile(int32_t size, int32_t position) {
        SetScrollAttribute(SCROLL, SCROLL_MINIMUM, 1);
        SetScrollAttribute(SCROLL, SCROLL_MAXIMUM, size);
        SetScrollAttribute(SCROLL, SCROLL_PAGE, 30);
        SetControlState(SCROLL, position);
        return static_cast<QScrollBar*>(ControlWidgetByHandle(SCROLL));
    }

    static QWidget* Window() { return reinterpret_cast<QWidget*>(WindowHandle(WINDOW)); }
    static QWidget* ControlWidgetByHandle(int32_t id) {
        return reinterpret_cast<QWidget*>(ControlHandle(id));
    }
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
