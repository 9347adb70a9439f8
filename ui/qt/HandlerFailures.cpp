#include "ui/qt/HandlerFailures.h"

#include <QCoreApplication>
#include <QThread>
#include <utility>

namespace tolvex::ui {

void HandlerFailures::keep(std::exception_ptr failure) noexcept {
    if (!m_pending) {
        m_pending = std::move(failure);
    }
    // Every running event loop ends, a modal dialog's as well as the main
    // one. With none running (a handler called from the program's own code
    // before the loop starts) the loop raises the failure when it starts.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(1);
    }
}

void HandlerFailures::rethrowPending() {
    if (m_pending) {
        std::exception_ptr failure = std::move(m_pending);
        m_pending = nullptr;
        std::rethrow_exception(failure);
    }
}

}  // namespace tolvex::ui
