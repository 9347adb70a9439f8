// One libFuzzer program per target: TOLVEX_FUZZ_TARGET names the function.
#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tolvex::fuzz::TOLVEX_FUZZ_TARGET(data, size);
}
