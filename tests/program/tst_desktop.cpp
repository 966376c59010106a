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
        if (auto* button = FindWidget<QPushButton>(sourceName.constData())) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QVERIFY(TriggerMenu(sourceName.constData()));
        }
        const QStringList expected = TakeProgramEvents();
        QCOMPARE(expected.isEmpty(), !loaded && source == "FindNextButton");

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
        QTest::newRow("F10, then F10 again") << "" << int(Qt::Key_F10) << int(Qt::Key_F10);
        QTest::newRow("F10 from an edit field, then Escape")
            << "DecField" << int(Qt::Key_F10) << int(Qt::Key_Escape);
        QTest::newRow("Alt alone, then Alt again")
            << "BitsField" << int(Qt::Key_Alt) << int(Qt::Key_Alt);
    }

    void keyboardOpensTheMenu() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, closingKey);
        QWidget* target = FocusTarget(focus);
        target->setFocus();
        // The desktop reports Alt among the modifiers of its own press and release.
        const auto modifiersOf = [](int pressed) {
            return pressed == Qt::Key_Alt ? Qt::AltModifier : Qt::NoModifier;
        };
        QTest::keyClick(target, Qt::Key(key), modifiersOf(key));
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup != nullptr);
        QCOMPARE(popup->objectName(), QString("FileMenu"));
        QVERIFY(popup->activeAction() != nullptr);
        QCOMPARE(popup->activeAction()->text(), QString("Load"));

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
        QTest::addColumn<QStringList>("files"); // %1 stands for the test's folder
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
        QTest::newRow("a folder: as Load of a folder")
            << "BitsField" << QStringList{"%1"} << ""
            << "%1" << false << QStringList{"Tessary|Empty or invalid file"};
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
        QVERIFY(WriteToDisk(folder_->filePath("a.bin"), RandomBytes(100, 1)));
        QVERIFY(WriteToDisk(folder_->filePath("b.bin"), RandomBytes(200, 2)));
        QMimeData data;
        QList<QUrl> urls;
        QStringList addresses;
        for (const QString& file : files) {
            urls << QUrl::fromLocalFile(QString(file).replace("%1", folder_->path()));
            addresses << urls.constLast().toString();
        }
        if (!urls.isEmpty()) {
            data.setUrls(urls);
        }
        // A file manager offers the files' addresses as text too, which an edit field would take.
        data.setText(text.isEmpty() ? addresses.join('\n') : text);

        QWidget* window = MainWindowWidget();
        QWidget* control = FindWidget(target.toLatin1().constData());
        const QPoint point = control->mapTo(window, control->rect().center());
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        ModalAnswers answers;
        for (qsizetype count = 0; count < messages.size(); ++count) {
            answers.Acknowledge();
        }
        QDragEnterEvent enter(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->windowHandle(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->windowHandle(), &drop);
        QVERIFY(drop.isAccepted());
        if (!files.isEmpty()) {
            QCOMPARE(drop.dropAction(), Qt::CopyAction); // never a move that deletes the source
        }
        const QDeadlineTimer deadline(10000);
        do {
            QTest::qWait(5);
            RunPendingTurns();
        } while (answers.pending() > 0 && !deadline.hasExpired());
        QCOMPARE(MessagesSeen(answers), messages.join('\n'));

        const QString path = QString(fileName).replace("%1", folder_->path());
        QCOMPARE(FileState.FileName, path.isEmpty() ? std::string() : Native(path));
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
