#pragma once

#include <string>
#include <vector>

#include "wmi/Management.h"

namespace tolvex {

// Why root cannot serve as a machine to read, as "reason" (the system's
// words, such as "No such file or directory"); empty when it can. "/" is
// this machine.
std::string unusableRoot(const std::string& root);

// The service tolvex-query reads: this machine's, or on Linux a captured
// machine tree under root ("/" is this machine). Throws Failure.
ServicePtr queryService(const std::string& root);

// The classes the service answers, for the usage text.
std::vector<std::string> queryClassNames();

}  // namespace tolvex
