#include "wmi/linux/DisplayFacts.h"

#include <cctype>
#include <cmath>

#include "wmi/linux/PciNames.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

std::optional<EdidTimings> parseEdid(const std::string& edid) {
    static const unsigned char kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (edid.size() < 128) {
        return std::nullopt;
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(edid[i]));
    };
    for (std::size_t i = 0; i < 8; ++i) {
        if (byte(i) != kHeader[i]) {
            return std::nullopt;
        }
    }
    EdidTimings out;
    for (std::size_t at = 54; at + 18 <= 126; at += 18) {
        const unsigned pixelClock10kHz = byte(at) | (byte(at + 1) << 8);
        if (pixelClock10kHz != 0) {
            if (at != 54) {
                continue;  // only the first detailed timing is the preferred one
            }
            const unsigned hActive = byte(at + 2) | ((byte(at + 4) & 0xF0) << 4);
            const unsigned hBlank = byte(at + 3) | ((byte(at + 4) & 0x0F) << 8);
            const unsigned vActive = byte(at + 5) | ((byte(at + 7) & 0xF0) << 4);
            const unsigned vBlank = byte(at + 6) | ((byte(at + 7) & 0x0F) << 8);
            const double totalPixels = double(hActive + hBlank) * double(vActive + vBlank);
            out.preferredWidth = static_cast<int>(hActive);
            out.preferredHeight = static_cast<int>(vActive);
            if (totalPixels > 0) {
                out.preferredRefreshHz =
                    static_cast<int>(std::lround(pixelClock10kHz * 10000.0 / totalPixels));
            }
        } else if (byte(at + 3) == 0xFD) {
            // Display range limits: byte 6 is the highest vertical rate; bit 1
            // of byte 4 adds 255 Hz to it (EDID 1.4).
            const unsigned offset = (byte(at + 4) & 0x02) ? 255 : 0;
            const unsigned maxRate = byte(at + 6) + offset;
            // Decoders take the first range descriptor; a later one (some
            // monitors carry two) does not replace it.
            if (maxRate > 0 && !out.maxRefreshHz) {
                out.maxRefreshHz = static_cast<int>(maxRate);
            }
        }
    }
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
            if (const auto edid = files.read(dir + "/edid", 32 * 1024)) {
                if (const auto timings = parseEdid(*edid)) {
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
