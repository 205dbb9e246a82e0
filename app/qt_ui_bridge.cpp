#include "app/qt_ui_bridge.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
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
    QMetaObject::invokeMethod(
        this,
        [call = std::move(call)] {
            // A posted call has no caller left to hear of its failure, and an exception must
            // never reach the event loop: say it on the standard error and go on.
            try {
                call();
            } catch (const std::exception& error) {
                std::fprintf(stderr, "sornafex: %s\n", error.what());
            } catch (...) {
                std::fprintf(stderr, "sornafex: unknown error in a posted call\n");
            }
        },
        Qt::QueuedConnection);
}

void TQtUiBridge::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace sornafex
