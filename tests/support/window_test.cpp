#include "support/window_test.h"

#include "ui/toolkit.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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

void CloseTestWindow() { ShutdownToolkit(); }

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

ModalAnswers::ModalAnswers() {
    watcher_ = new QObject();
    auto* timer = new QTimer(watcher_);
    QObject::connect(timer, &QTimer::timeout, [this] { Poll(); });
    timer->start(5);
}

ModalAnswers::~ModalAnswers() { delete watcher_; }

ModalAnswers& ModalAnswers::Acknowledge() {
    answers_.push_back([this](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            return false;
        }
        messages_.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
        box->button(QMessageBox::Ok)->click();
        return true;
    });
    return *this;
}

ModalAnswers& ModalAnswers::ChooseFile(const std::string& path) {
    answers_.push_back([this, path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            return false;
        }
        titles_.push_back(dialog->windowTitle().toStdString());
        if (path.empty()) {
            dialog->reject();
        } else {
            // Typing the name and pressing Enter, as a user would.
            auto* nameField = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (nameField == nullptr) {
                return false;
            }
            nameField->setText(QString::fromStdString(path));
            QTest::keyClick(nameField, Qt::Key_Return);
        }
        return true;
    });
    return *this;
}

void ModalAnswers::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
        return;
    }
    if (answers_.empty()) {
        // A requester nobody expected: close it so that the test fails instead of hanging.
        messages_.push_back("unexpected:" + modal->windowTitle().toStdString());
        modal->close();
        return;
    }
    if (answers_.front()(modal)) {
        answers_.erase(answers_.begin());
    } else {
        messages_.push_back("wrong requester:" + std::string(modal->metaObject()->className()));
        modal->close();
    }
}
