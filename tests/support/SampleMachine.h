#pragma once

#include "tests/support/InMemoryService.h"

namespace tolvex::testing {

// Fills a service with a complete two-socket machine: every class the
// sections read, with two instances for each section that has a selector,
// and a few Null values where real machines have them.
void addSampleMachine(InMemoryService& service);

}  // namespace tolvex::testing
