#pragma once

#include <exception>

namespace tolvex::ui {

// The program's handlers run inside Qt's event loop, which does not let an
// exception pass through it (it ends in std::terminate). A failure escaping
// a handler is kept here instead, the event loops are told to end, and the
// window system raises it again once Qt's frames are behind it.
class HandlerFailures {
  public:
    // Runs a handler; whatever escapes it is kept (the first failure only).
    template <class Function>
    void guarded(Function&& function) noexcept {
        try {
            function();
        } catch (...) {
            keep(std::current_exception());
        }
    }

    // Raises the kept failure, if there is one, and forgets it.
    void rethrowPending();

  private:
    void keep(std::exception_ptr failure) noexcept;

    std::exception_ptr m_pending;
};

}  // namespace tolvex::ui
