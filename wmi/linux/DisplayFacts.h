#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// The display mode a PCI display controller drives, as far as its DRM
// connectors under /sys/class/drm tell: the first mode of its first enabled,
// connected connector, and the refresh rates from that monitor's EDID.
struct DisplayMode {
    std::optional<std::string> description;  // "1920 x 1080"
    std::optional<int> currentRefreshHz;
    std::optional<int> maxRefreshHz;
};
DisplayMode currentDisplayMode(const FileTree& files, const std::string& pciAddress);

// The DRM connectors of /sys/class/drm ("card0-HDMI-A-1"), sorted by name,
// each with its folder and whether a monitor is on it.
struct Connector {
    std::string name;
    std::string dir;
    std::optional<std::string> status;   // "connected", "disconnected", "unknown"
    std::optional<std::string> enabled;  // "enabled", "disabled"; older kernels have no file
    bool connected() const { return status == "connected"; }
    bool active() const { return connected() && (!enabled || *enabled == "enabled"); }
};
std::vector<Connector> drmConnectors(const FileTree& files);

// A connector's EDID file, read bounded (a base block and up to 255
// extension blocks).
inline constexpr std::size_t kEdidReadLimit = 32 * 1024;

}  // namespace tolvex::linuxprov
