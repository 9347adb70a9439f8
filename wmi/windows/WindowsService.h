#pragma once

#include <string_view>

#include "wmi/Management.h"

namespace tolvex::windows {

// The management service bound through its scripting interface from a
// moniker ("WinMgmts:"). Initialises COM on the calling thread if needed;
// every later call must come from that thread. Throws Failure.
ServicePtr bindService(std::string_view moniker);

}  // namespace tolvex::windows
