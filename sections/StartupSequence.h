#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sections/MainState.h"

namespace tolvex {

// The nine detection steps in their fixed order. Each step writes its text
// into lblLoad, then calls its detector. The IP address step is handed in,
// since it works on the sockets layer rather than the management service.
void runDetectionSteps(SectionContext& context, const std::function<void()>& detectIPAddresses);

// The management classes those steps read, in the order they ask for them.
const std::vector<std::string>& startupClasses();

}  // namespace tolvex
