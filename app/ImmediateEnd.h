#pragma once

#include "ui/ProgramEnd.h"

namespace tolvex {

// Ends the process on the spot: no handler, no destructor and no further
// window runs. Used only after a failure has been reported, so the exit
// status is 1.
class ImmediateProgramEnd : public ProgramEnd {
  public:
    [[noreturn]] void endProgram() override;
};

}  // namespace tolvex
