#include "app/qt_ui_bridge.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

namespace sornafex {

TQtUiBridge::TQtUiBridge(QObject* parent) : QObject(parent) {}

bool TQtUiBridge::IsUiThread() const {
    return QThread::currentThread() == thread();
}

void TQtUiBridge::RunOnUiThread(const std::function<void()>& call) {
    if (IsUiThread()) {
        call();
        return;
    }
    // No exception may cross the event loop: it is caught on the UI thread and raised again here.
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        this,
        [&call, &error] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}

void TQtUiBridge::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TQtUiBridge::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace sornafex
