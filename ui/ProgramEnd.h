#pragma once

namespace tolvex {

// Ends the whole program at once: nothing else runs and nothing else is
// shown. The program's own ends the process; tests record the call and
// unwind.
class ProgramEnd {
  public:
    virtual ~ProgramEnd() = default;
    [[noreturn]] virtual void endProgram() = 0;
};

}  // namespace tolvex
