// What the Linux desktop expects of every program around it, through the real window: screen
// readers hear a name for every control.
#include "support/window_test.h"

#include <QAccessible>
#include <QTest>

#include <map>

namespace {

// Every accessible object under `parent` that is shown and can take the focus, by object name.
void CollectFocusable(QAccessibleInterface* parent,
                      std::map<QString, QAccessibleInterface*>& found) {
    for (int index = 0; index < parent->childCount(); ++index) {
        QAccessibleInterface* child = parent->child(index);
        if (child == nullptr) {
            continue;
        }
        const QAccessible::State state = child->state();
        if (state.focusable && !state.invisible && child->object() != nullptr) {
            found[child->object()->objectName()] = child;
        }
        CollectFocusable(child, found);
    }
}

std::map<QString, QAccessibleInterface*> FocusableControls() {
    std::map<QString, QAccessibleInterface*> found;
    CollectFocusable(QAccessible::queryAccessibleInterface(MainWindowWidget()), found);
    return found;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(OpenTestWindow());
        QWidget* window = MainWindowWidget();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        RunPendingTurns();
    }
    void cleanup() { CloseTestWindow(); }

    void screenReaderNames_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption"); // the label that names it; empty: none
        auto row = [](const char* control, const char* name, const char* caption) {
            QTest::newRow(control) << QString(control) << QString(name) << QString(caption);
        };
        row("ByteStrip", "Byte strip", "");
        row("NudgeBar", "Nudge file pointer", "");
        row("BitsField", "Bits value", "Bits:");
        row("DecField", "Decimal value", "Dec / Hex:");
        row("CharField", "Character value", "");
        row("HexField", "Hexadecimal value", "");
        row("Int16Field", "Int16 value", "Int16:");
        row("Int32Field", "Int32 value", "Int32:");
        row("Int64Field", "Int64 value", "Int64:");
        row("UpdateBitsButton", "Update bits value", "");
        row("UpdateByteButton", "Update byte value", "");
        row("UpdateInt16Button", "Update Int16 value", "");
        row("UpdateInt32Button", "Update Int32 value", "");
        row("UpdateInt64Button", "Update Int64 value", "");
        // Linux readers take a combo box's name from its chosen item, what it holds from its label.
        row("SearchTypeCombo", "String", "Search type");
        row("FromStartCheck", "Search from start", "");
        row("FindNextButton", "Find next", "");
        row("SearchTextField", "Search text", "Find:");
        row("PreviewText", "Text preview", "");
    }

    void screenReaderNames() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        const std::map<QString, QAccessibleInterface*> found = FocusableControls();
        const auto entry = found.find(control);
        QVERIFY2(entry != found.end(), "not in the accessibility tree as a focusable control");
        QCOMPARE(entry->second->text(QAccessible::Name), name);
        QStringList captions;
        for (const auto& [label, relation] : entry->second->relations(QAccessible::Label)) {
            if (label->object() != nullptr && label->object()->inherits("QLabel")) {
                captions << label->text(QAccessible::Name);
            }
        }
        QCOMPARE(captions, caption.isEmpty() ? QStringList() : QStringList{caption});
    }

    void everyFocusableControlHasItsOwnName() {
        const std::map<QString, QAccessibleInterface*> found = FocusableControls();
        std::map<QString, QString> controlOfName;
        for (const auto& [control, interface] : found) {
            const QString name = interface->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(control));
            QVERIFY2(controlOfName.count(name) == 0,
                     qPrintable(name + " names " + control + " and " + controlOfName[name]));
            controlOfName[name] = control;
        }
        QCOMPARE(found.size(), std::size_t(19)); // every control that takes the focus
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
