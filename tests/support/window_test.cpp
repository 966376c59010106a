#include "support/window_test.h"

#include "program/load_save.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "support/test_files.h"
#include "toolkit/testing.h"
#include "toolkit/toolkit.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

namespace {
std::vector<std::string> storedArguments;
std::vector<char*> argumentPointers;
} // namespace

bool OpenTestWindow(const std::vector<std::string>& arguments) {
    ResetProgramState();
    storedArguments = {"tessary"};
    storedArguments.insert(storedArguments.end(), arguments.begin(), arguments.end());
    argumentPointers.clear();
    for (std::string& argument : storedArguments) {
        argumentPointers.push_back(argument.data());
    }
    int count = static_cast<int>(argumentPointers.size());
    if (!StartToolkit(count, argumentPointers.data())) {
        return false;
    }
    LoadWindowFonts();
    const bool opened = OpenMainWindow();
    RunPendingTurns();
    return opened;
}

void CloseTestWindow() {
    ShutdownToolkit();
}

std::vector<int32_t> RunPendingTurns() {
    std::vector<int32_t> codes;
    while (EventPending()) {
        codes.push_back(EventLoopTurn());
    }
    return codes;
}

QWidget* MainWindowWidget() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "MainWindow") {
            return top;
        }
    }
    return nullptr;
}

bool TriggerMenu(const char* item) {
    for (QAction* action : MainWindowWidget()->findChildren<QAction*>()) {
        if (action->objectName() == item) {
            action->trigger();
            return true;
        }
    }
    return false;
}

QByteArray Shown(int32_t id) {
    const std::string text = GetControlText(id);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QString PointerCaption(qint64 position, qint64 size) {
    return QString("File Pointer (%1 of %2 Bytes)").arg(position).arg(size);
}

void MovePointer(qint64 position) {
    Pointer.FilePointer = position;
    RefreshView();
    RunPendingTurns();
}

void TypeInto(const char* field, const QString& text) {
    auto* edit = FindWidget<QLineEdit>(field);
    edit->clear();
    QTest::keyClicks(edit, text);
    RunPendingTurns();
}

void PatchByteAtPointer(const char* decimal) {
    TypeInto("DecField", decimal);
    QTest::mouseClick(FindWidget<QPushButton>("UpdateByteButton"), Qt::LeftButton);
    RunPendingTurns();
}

bool LoadWithoutMessages(const QString& path) {
    ModalAnswers answers; // no message is expected; one would be closed and recorded
    LoadNamedFile(Native(path));
    RunPendingTurns();
    return answers.messages().empty();
}

bool WriteAndLoad(const QString& path, const QByteArray& content) {
    return WriteToDisk(path, content) && LoadWithoutMessages(path) && CopyInMemory() == content;
}

QByteArray CopyInMemory() {
    return QByteArray(reinterpret_cast<const char*>(FileState.FileBuffer.data()),
                      static_cast<qsizetype>(FileState.FileSize));
}
