#include "support/widget_test.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

namespace {

// The style's geometry of a scroll bar or track bar, as the widget itself computes it.
QStyleOptionSlider SliderOption(const QAbstractSlider* slider, int position) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    if (slider->orientation() == Qt::Horizontal) {
        option.state |= QStyle::State_Horizontal;
    }
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = position;
    option.sliderValue = position;
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    if (const auto* track = qobject_cast<const QSlider*>(slider)) {
        option.tickPosition = track->tickPosition();
        option.tickInterval = track->tickInterval();
    }
    return option;
}

} // namespace

QPoint ScrollBarPartCentre(const QScrollBar* bar, QStyle::SubControl part) {
    const QStyleOptionSlider option = SliderOption(bar, bar->value());
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

QPoint TrackBarThumbCentre(const QSlider* bar, int position) {
    const QStyleOptionSlider option = SliderOption(bar, position);
    return bar->style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar)
        .center();
}

QString MessagesSeen(const ModalAnswers& answers) {
    QStringList lines;
    for (const std::string& message : answers.messages()) {
        lines << QString::fromStdString(message);
    }
    return lines.join('\n');
}

ModalAnswers::ModalAnswers() {
    watcher_ = new QObject();
    auto* timer = new QTimer(watcher_);
    QObject::connect(timer, &QTimer::timeout, [this] { Poll(); });
    timer->start(5);
}

ModalAnswers::~ModalAnswers() {
    delete watcher_;
}

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

ModalAnswers& ModalAnswers::CancelProgress(CancelBy how, bool onceDisabled,
                                           std::function<void()> before) {
    answers_.push_back([this, how, onceDisabled, before](QWidget* modal) {
        auto* cancel = modal->findChild<QPushButton*>("CancelButton");
        auto* text = modal->findChild<QLabel*>("ProgressText");
        if (modal->objectName() != "ProgressWindow" || cancel == nullptr || text == nullptr ||
            (onceDisabled && cancel->isEnabled())) {
            return false;
        }
        titles_.push_back((modal->windowTitle() + "|" + text->text()).toStdString());
        if (before) {
            before();
        }
        switch (how) {
        case CancelBy::Button:
            QTest::mouseClick(cancel, Qt::LeftButton);
            break;
        case CancelBy::Escape:
            QTest::keyClick(modal, Qt::Key_Escape);
            break;
        case CancelBy::CloseBox:
            modal->close();
            break;
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
    // Long work that runs past half a second shows it, in any test; it closes by itself.
    const bool progress = modal->objectName() == "ProgressWindow";
    if (answers_.empty() && progress) {
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
    } else if (!progress) {
        messages_.push_back("wrong requester:" + std::string(modal->metaObject()->className()));
        modal->close();
    }
}
