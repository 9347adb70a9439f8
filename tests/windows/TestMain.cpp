// The Windows tests' main: GoogleTest's run, then the process ends at once
// with its result. A run whose every case had passed once stayed in Wine's
// process teardown (static destructors releasing the management service's
// COM objects, DLL detach) until CTest's time-out, failing a run that had
// nothing wrong with it. The program's own end (File, Exit) is checked as
// a whole process by the program and walk tests, not here.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::fflush(stdout);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    return status;
}
