#pragma once

#include "ui/ProgramEnd.h"

namespace tolvex::testing {

// Thrown by RecordingProgramEnd to unwind out of the code that ended the
// program. Deliberately not a std::exception, so no catch-all for ordinary
// errors in the code under test can swallow it.
struct ProgramEnded {};

// Records that the program was ended, then throws ProgramEnded so that
// nothing after the call runs, as with the real end.
class RecordingProgramEnd : public ProgramEnd {
  public:
    [[noreturn]] void endProgram() override {
        ++calls;
        throw ProgramEnded{};
    }
    int calls = 0;
};

}  // namespace tolvex::testing
