#pragma once

#include "tests/support/InMemoryService.h"

namespace tolvex::testing {

enum class SampleNulls {
    AsRealMachines,  // Null where real machines often have no value
    None,            // a value everywhere, so every property read shows
};

// Fills a service with a complete two-socket machine: every class the
// sections read, with two instances for each section that has a selector,
// and a few Null values where real machines have them (unless told None).
void addSampleMachine(InMemoryService& service, SampleNulls nulls = SampleNulls::AsRealMachines);

}  // namespace tolvex::testing
