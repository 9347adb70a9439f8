#include "wmi/linux/DisplayFacts.h"

#include <algorithm>
#include <cctype>

#include "wmi/Edid.h"

#include "wmi/linux/PciNames.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

std::vector<Connector> drmConnectors(const FileTree& files) {
    std::vector<Connector> out;
    for (const auto& entry : files.list("/sys/class/drm")) {
        // Connectors are named after their card: "card0-HDMI-A-1".
        if (entry.rfind("card", 0) != 0 || entry.find('-') == std::string::npos) {
            continue;
        }
        Connector connector{entry, "/sys/class/drm/" + entry, std::nullopt, std::nullopt};
        if (const auto status = files.read(connector.dir + "/status", 64)) {
            connector.status = text::trimmed(*status);
        }
        if (const auto enabled = files.read(connector.dir + "/enabled", 64)) {
            connector.enabled = text::trimmed(*enabled);
        }
        out.push_back(std::move(connector));
    }
    std::sort(out.begin(), out.end(),
              [](const Connector& a, const Connector& b) { return a.name < b.name; });
    return out;
}

DisplayMode currentDisplayMode(const FileTree& files, const std::string& pciAddress) {
    DisplayMode out;
    const auto entries = files.list("/sys/class/drm");
    for (const auto& card : entries) {
        if (card.rfind("card", 0) != 0 || card.find('-') != std::string::npos) {
            continue;
        }
        const auto device = files.readLink("/sys/class/drm/" + card + "/device");
        if (!device || baseName(*device) != pciAddress) {
            continue;
        }
        for (const auto& connector : entries) {
            if (connector.rfind(card + "-", 0) != 0) {
                continue;
            }
            const std::string dir = "/sys/class/drm/" + connector;
            const auto status = files.read(dir + "/status", 64);
            const auto enabled = files.read(dir + "/enabled", 64);
            if (!status || text::trimmed(*status) != "connected" ||
                (enabled && text::trimmed(*enabled) != "enabled")) {
                continue;
            }
            const auto modes = files.read(dir + "/modes", 64 * 1024);
            if (!modes) {
                continue;
            }
            const std::string first = text::trimmed(modes->substr(0, modes->find('\n')));
            const auto x = first.find('x');
            if (x == std::string::npos) {
                continue;
            }
            std::string heightText = first.substr(x + 1);
            // Interlaced modes carry an "i" after the height.
            while (!heightText.empty() &&
                   !std::isdigit(static_cast<unsigned char>(heightText.back()))) {
                heightText.pop_back();
            }
            const auto width = text::parseUnsigned(first.substr(0, x));
            const auto height = text::parseUnsigned(heightText);
            if (!width || !height || *width > 100000 || *height > 100000) {
                continue;
            }
            out.description = std::to_string(*width) + " x " + std::to_string(*height);
            if (const auto edid = files.read(dir + "/edid", kEdidReadLimit)) {
                if (const auto timings = edid::parseTimings(*edid)) {
                    out.maxRefreshHz = timings->maxRefreshHz;
                    if (timings->preferredWidth == static_cast<int>(*width) &&
                        timings->preferredHeight == static_cast<int>(*height)) {
                        out.currentRefreshHz = timings->preferredRefreshHz;
                    }
                }
            }
            return out;
        }
    }
    return out;
}

}  // namespace tolvex::linuxprov
