#include <cerrno>

#include "wmi/MonitorIdentity.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/DisplayFacts.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/Sources.h"

namespace tolvex::linuxprov {

// One WmiMonitorID instance per DRM connector with a monitor on it: one the
// kernel reports connected, or one whose EDID file holds bytes (a monitor
// the kernel has read but no longer drives). The instance name is the
// connector's own name ("card0-HDMI-A-1"): stable for a port across boots
// and unique on the machine. Active is true when the connector is connected
// and, where the kernel says, enabled.
std::vector<ObjectPtr> enumerateMonitors(const ProviderContext& context) {
    std::vector<ObjectPtr> out;
    for (const Connector& connector : drmConnectors(context.files)) {
        const std::string edidPath = connector.dir + "/edid";
        std::optional<std::string> edid = context.files.read(edidPath, kEdidReadLimit);
        const Source edidSource = fileSource(context.files, edidPath, "the monitor's EDID");
        if (!connector.connected() && (!edid || edid->empty())) {
            continue;
        }
        MonitorRead monitor;
        monitor.host = context.host;
        monitor.instanceName = connector.name;
        if (connector.status) {
            monitor.active = connector.active();
        } else {
            monitor.whyNoActive =
                fileSource(context.files, connector.dir + "/status", "the connector's state")
                    .whyNull();
        }
        monitor.edidSource = edidPath;
        if (edid && edid->empty()) {
            // A connected port whose monitor gave no EDID (a virtual
            // display, a KVM switch, a broken cable's data lines).
            edid.reset();
            monitor.whyNoEdid = {NullReason::Kind::NotProvided, edidPath + " (empty)", {}};
        } else if (!edid) {
            monitor.whyNoEdid = edidSource.whyNull();
        }
        monitor.edid = std::move(edid);
        out.push_back(monitorObject(monitor));
    }
    return out;
}

}  // namespace tolvex::linuxprov
