#pragma once

#include <string>
#include <vector>

#include "wmi/Management.h"

namespace tolvex::windows {

// The monitors present now, one WmiMonitorID instance each, from the EDID
// Windows keeps in each monitor's device key (Enum\DISPLAY\<model>\<instance>
// \Device Parameters, value EDID), which any user may read. The monitors
// are the present devices of the monitor setup class, found through SetupAPI
// as Device Manager finds them; the instance name is the device instance ID
// followed by "_0", as the service's own monitor classes name them
// ("DISPLAY\DEL2005\5&1a2b3c&0&UID4352_0"). The EDID is decoded by the same
// code as on Linux, so the same bytes give the same answer.
std::vector<ObjectPtr> monitorsFromRegistry(const std::string& host);

// The host name for object paths: this computer's NetBIOS name.
std::string computerName();

}  // namespace tolvex::windows
