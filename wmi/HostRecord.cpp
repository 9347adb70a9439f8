#include "wmi/HostRecord.h"

namespace tolvex {

std::optional<std::vector<std::uint8_t>> parseDottedAddress(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::size_t k = 0;
    while (bytes.size() < 4) {
        int value = 0;
        std::size_t digits = 0;
        while (k < text.size() && text[k] >= '0' && text[k] <= '9' && digits < 3) {
            value = value * 10 + (text[k] - '0');
            ++k;
            ++digits;
        }
        if (digits == 0 || value > 255) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (bytes.size() < 4) {
            if (k >= text.size() || text[k] != '.') {
                return std::nullopt;
            }
            ++k;
        }
    }
    if (k != text.size()) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace tolvex
