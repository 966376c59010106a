// What the Linux desktop expects of every program around it, through the real window: the
// keyboard reaches the menu and its items, screen readers hear a name for every control, and a
// file dropped on the window is loaded.
#include "support/window_test.h"

#include "program/state/file_state.h"
#include "support/test_files.h"
#include "toolkit/testing.h"
#include "toolkit/toolkit.h"

#include <QAccessible>
#include <QAction>
#include <QDeadlineTimer>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <map>
#include <memory>

namespace {

// The program's own events that are waiting, "menu N" or "control N" each, others left out.
QStringList TakeProgramEvents() {
    QStringList events;
    while (EventPending()) {
        const int32_t code = WaitEvent();
        if (code == EVENT_MENU) {
            events << QString("menu %1").arg(CurrentEventMenuItem());
        } else if (code == EVENT_CONTROL) {
            events << QString("control %1").arg(CurrentEventControl());
        }
    }
    return events;
}

QWidget* FocusTarget(const QString& name) {
    return name.isEmpty() ? MainWindowWidget() : FindWidget(name.toLatin1().constData());
}

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
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
        QVERIFY(OpenTestWindow());
        QWidget* window = MainWindowWidget();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        RunPendingTurns();
    }
    void cleanup() {
        CloseTestWindow();
        folder_.reset();
    }

    void keysRaiseTheEventsOfTheirItems_data() {
        QTest::addColumn<QString>("focus"); // the control with the focus; empty: the window
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("source"); // the menu item or button whose event the key raises
        QTest::newRow("Ctrl+O: Load")
            << "" << int(Qt::Key_O) << int(Qt::ControlModifier) << false << "Load";
        QTest::newRow("Ctrl+S from an edit field: Save")
            << "DecField" << int(Qt::Key_S) << int(Qt::ControlModifier) << false << "Save";
        QTest::newRow("Ctrl+Shift+S from the strip: Save As")
            << "ByteStrip" << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::ShiftModifier)
            << false << "Save As";
        QTest::newRow("Ctrl+Q from the search text: Quit")
            << "SearchTextField" << int(Qt::Key_Q) << int(Qt::ControlModifier) << false << "Quit";
        QTest::newRow("Enter in the search text: Find Next")
            << "SearchTextField" << int(Qt::Key_Return) << 0 << true << "FindNextButton";
        QTest::newRow("Enter before a load: nothing, as the disabled Find Next")
            << "SearchTextField" << int(Qt::Key_Return) << 0 << false << "FindNextButton";
        const char* const valueRows[][2] = {
            {"BitsField", "UpdateBitsButton"},   {"DecField", "UpdateByteButton"},
            {"CharField", "UpdateByteButton"},   {"HexField", "UpdateByteButton"},
            {"Int16Field", "UpdateInt16Button"}, {"Int32Field", "UpdateInt32Button"},
            {"Int64Field", "UpdateInt64Button"}};
        for (const auto& [field, button] : valueRows) {
            QTest::addRow("Enter in %s: its row's Update", field)
                << field << int(Qt::Key_Enter) << 0 << true << button;
        }
        QTest::newRow("Enter in a value field before a load: nothing, as its disabled Update")
            << "Int32Field" << int(Qt::Key_Return) << 0 << false << "UpdateInt32Button";
        QTest::newRow("Alt with a letter in a field: nothing typed")
            << "DecField" << int(Qt::Key_X) << int(Qt::AltModifier) << true << "";
        QTest::newRow("Enter in the strip: nothing")
            << "ByteStrip" << int(Qt::Key_Return) << 0 << true << "";
        QTest::newRow("Enter in the preview: nothing")
            << "PreviewText" << int(Qt::Key_Return) << 0 << true << "";
    }

    void keysRaiseTheEventsOfTheirItems() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, loaded);
        QFETCH(QString, source);
        if (loaded) {
            QVERIFY(WriteAndLoad(folder_->filePath("a.bin"), "needle in a file"));
        }
        const QByteArray sourceName = source.toLatin1();
        if (source.isEmpty()) {
            // the key raises nothing
        } else if (auto* button = FindWidget<QPushButton>(sourceName.constData())) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QVERIFY(TriggerMenu(sourceName.constData()));
        }
        const QStringList expected = TakeProgramEvents();
        QCOMPARE(expected.isEmpty(), source.isEmpty() || (!loaded && source.endsWith("Button")));

        QWidget* target = FocusTarget(focus);
        target->setFocus();
        TakeProgramEvents(); // the focus events of an edit field
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(TakeProgramEvents(), expected);
    }

    void keyboardOpensTheMenu_data() {
        QTest::addColumn<QString>("focus"); // the control with the focus; empty: the window
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("closingKey");
        QTest::addColumn<int>("modifiers"); // held with `key`
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("item"); // the highlighted one
        QTest::newRow("F10, then F10 again")
            << "" << int(Qt::Key_F10) << int(Qt::Key_F10) << 0 << "FileMenu"
            << "Load";
        QTest::newRow("F10 from an edit field, then Escape")
            << "DecField" << int(Qt::Key_F10) << int(Qt::Key_Escape) << 0 << "FileMenu"
            << "Load";
        QTest::newRow("Alt alone, then Alt again")
            << "BitsField" << int(Qt::Key_Alt) << int(Qt::Key_Alt) << 0 << "FileMenu"
            << "Load";
        QTest::newRow("Alt+F from a value field, then Escape")
            << "Int32Field" << int(Qt::Key_F) << int(Qt::Key_Escape) << int(Qt::AltModifier)
            << "FileMenu"
            << "Load";
        QTest::newRow("Alt+H from the search text, then Escape")
            << "SearchTextField" << int(Qt::Key_H) << int(Qt::Key_Escape) << int(Qt::AltModifier)
            << "HelpMenu"
            << "About";
    }

    void keyboardOpensTheMenu() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, closingKey);
        QFETCH(int, modifiers);
        QFETCH(QString, menu);
        QFETCH(QString, item);
        QWidget* target = FocusTarget(focus);
        target->setFocus();
        auto* field = qobject_cast<QLineEdit*>(target);
        const QString text = field != nullptr ? field->text() : QString();
        // The desktop reports Alt among the modifiers of its own press and release.
        const auto modifiersOf = [](int pressed) {
            return pressed == Qt::Key_Alt ? Qt::AltModifier : Qt::NoModifier;
        };
        QTest::keyClick(target, Qt::Key(key), modifiersOf(key) | Qt::KeyboardModifiers(modifiers));
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup != nullptr);
        QCOMPARE(popup->objectName(), menu);
        QVERIFY(popup->activeAction() != nullptr);
        QCOMPARE(popup->activeAction()->text(), item);
        if (field != nullptr) {
            QCOMPARE(field->text(), text); // the letter was not typed
        }

        QTest::keyClick(popup, Qt::Key(closingKey), modifiersOf(closingKey));
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
        QCOMPARE(QApplication::focusWidget(), target); // back where the user was
        // Moving into the menu chooses nothing (the field may report the focus it lost).
        QCOMPARE(TakeProgramEvents().filter("menu"), QStringList());
    }

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
        row("CharField", "Character value", "Dec / Hex:");
        row("HexField", "Hexadecimal value", "Dec / Hex:");
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

    void droppedFiles_data() {
        QTest::addColumn<QString>("target");
        // Addresses: %1 stands for the test's folder, the rest is as a file manager encodes it.
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fileName"); // FileName afterwards, as Load would leave it
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("a file on an edit field is loaded, not typed")
            << "ByteStrip" << QStringList{"%1/a.bin"} << ""
            << "%1/a.bin" << true << QStringList();
        QTest::newRow("a file on a caption is loaded")
            << "DecHexLabel" << QStringList{"%1/a.bin"} << ""
            << "%1/a.bin" << true << QStringList();
        QTest::newRow("several files: the first")
            << "PreviewText" << QStringList{"%1/b.bin", "%1/a.bin"} << ""
            << "%1/b.bin" << true << QStringList();
        QTest::newRow("a name that is not UTF-8 is loaded")
            << "ByteStrip" << QStringList{"%1/caf%E9.bin"} << ""
            << "%1/caf%E9.bin" << true << QStringList();
        QTest::newRow("a folder is refused before the drop")
            << "BitsField" << QStringList{"%1"} << ""
            << "" << false << QStringList();
        QTest::newRow("text on an edit field goes into it")
            << "SearchTextField" << QStringList() << "needle"
            << "" << false << QStringList();
    }

    void droppedFiles() {
        QFETCH(QString, target);
        QFETCH(QStringList, files);
        QFETCH(QString, text);
        QFETCH(QString, fileName);
        QFETCH(bool, loaded);
        QFETCH(QStringList, messages);
        const std::string folder = Native(folder_->path());
        // The raw name of an address of the table.
        const auto diskName = [&folder](const QString& address) {
            return folder +
                   QByteArray::fromPercentEncoding(address.mid(2).toLatin1()).toStdString();
        };
        QVERIFY(WriteToDisk(folder + "/a.bin", RandomBytes(100, 1)));
        QVERIFY(WriteToDisk(folder + "/b.bin", RandomBytes(200, 2)));
        QVERIFY(WriteToDisk(folder + "/caf\xe9.bin", RandomBytes(300, 3)));
        QMimeData data;
        QByteArrayList addresses;
        for (const QString& file : files) {
            addresses << "file://" + QUrl::toPercentEncoding(folder_->path(), "/") +
                             file.mid(2).toLatin1();
        }
        if (!addresses.isEmpty()) {
            data.setData("text/uri-list", addresses.join("\r\n") + "\r\n");
        }
        // A file manager offers the files' addresses as text too, which an edit field would take.
        data.setText(text.isEmpty() ? QString::fromLatin1(addresses.join('\n')) : text);

        QWidget* window = MainWindowWidget();
        QWidget* control = FindWidget(target.toLatin1().constData());
        const QPoint point = control->mapTo(window, control->rect().center());
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        ModalAnswers answers;
        for (qsizetype count = 0; count < messages.size(); ++count) {
            answers.Acknowledge();
        }
        // What is taken is taken from the first moment, so the pointer tells the truth.
        const bool taken = loaded || !text.isEmpty();
        QDragEnterEvent enter(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->windowHandle(), &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDragMoveEvent move(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->windowHandle(), &move);
        QCOMPARE(move.isAccepted(), taken);
        QDropEvent drop(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->windowHandle(), &drop);
        QCOMPARE(drop.isAccepted(), taken);
        if (taken && !files.isEmpty()) {
            QCOMPARE(drop.dropAction(), Qt::CopyAction); // never a move that deletes the source
        }
        const QDeadlineTimer deadline(10000);
        do {
            QTest::qWait(5);
            RunPendingTurns();
        } while (answers.pending() > 0 && !deadline.hasExpired());
        QCOMPARE(MessagesSeen(answers), messages.join('\n'));

        const std::string path = fileName.isEmpty() ? std::string() : diskName(fileName);
        QCOMPARE(FileState.FileName, path);
        QCOMPARE(CopyInMemory(), loaded ? ReadFromDisk(path) : QByteArray());
        if (!text.isEmpty()) {
            QCOMPARE(Shown(Control::SearchTextField), text.toLatin1());
        }
    }

  private:
    std::unique_ptr<QTemporaryDir> folder_;
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
