#pragma once

#include <optional>
#include <string>

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

// From a monitor's EDID block: the preferred timing's size and refresh rate
// (rounded to whole hertz) and the range limit's highest vertical rate.
struct EdidTimings {
    int preferredWidth = 0;
    int preferredHeight = 0;
    std::optional<int> preferredRefreshHz;
    std::optional<int> maxRefreshHz;
};
std::optional<EdidTimings> parseEdid(const std::string& edid);

}  // namespace tolvex::linuxprov
