#pragma once

#include <functional>

#include "sections/MainState.h"

namespace tolvex {

// The nine detection steps in their fixed order. Each step writes its text
// into lblLoad, then calls its detector. The IP address step is handed in,
// since it works on the sockets layer rather than the management service.
void runDetectionSteps(SectionContext& context, const std::function<void()>& detectIPAddresses);

}  // namespace tolvex
