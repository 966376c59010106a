#include "toolkit/testing.h"

#include "toolkit/internal_p.h"

#include <QApplication>

bool EventPending() {
    if (!EventQueued() && QApplication::instance() != nullptr) {
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    return EventQueued();
}
