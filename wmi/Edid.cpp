#include "wmi/Edid.h"

#include <cmath>
#include <cstdint>

namespace tolvex::edid {

namespace {

constexpr unsigned char kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// The four 18-byte descriptors of the base block start here.
constexpr std::size_t kDescriptors = 54;
constexpr std::size_t kDescriptorSize = 18;
constexpr std::size_t kDescriptorCount = 4;

// Display descriptor tags (byte 3 of a descriptor whose first two bytes are 0).
constexpr unsigned kTagSerial = 0xFF;
constexpr unsigned kTagName = 0xFC;
constexpr unsigned kTagRange = 0xFD;

// Week 255: byte 17 is the model year.
constexpr unsigned kModelYearWeek = 0xFF;
constexpr int kYearBase = 1990;

class Bytes {
  public:
    explicit Bytes(std::string_view data) : m_data(data) {}
    bool has(std::size_t end) const { return m_data.size() >= end; }
    unsigned at(std::size_t i) const { return static_cast<unsigned char>(m_data[i]); }
    std::string_view slice(std::size_t from, std::size_t size) const {
        return m_data.substr(from, size);
    }
    std::size_t size() const { return m_data.size(); }

  private:
    std::string_view m_data;
};

bool hasHeader(const Bytes& bytes) {
    if (!bytes.has(sizeof kHeader)) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof kHeader; ++i) {
        if (bytes.at(i) != kHeader[i]) {
            return false;
        }
    }
    return true;
}

template <typename T>
Field<T> given(T value) {
    return {std::move(value), Missing::None};
}

template <typename T>
Field<T> notGiven() {
    return {std::nullopt, Missing::NotGiven};
}

// A display descriptor's text with the given tag, from the first whole
// descriptor that has it. Unreadable when none of the whole descriptors has
// it and one of them is cut off (the missing one might); NotGiven when the
// four are whole and none has it, or the text is empty.
Field<std::string> descriptorField(const Bytes& bytes, unsigned tag) {
    bool cutOff = false;
    for (std::size_t n = 0; n < kDescriptorCount; ++n) {
        const std::size_t at = kDescriptors + n * kDescriptorSize;
        if (!bytes.has(at + kDescriptorSize)) {
            cutOff = true;
            break;
        }
        if (bytes.at(at) != 0 || bytes.at(at + 1) != 0 || bytes.at(at + 3) != tag) {
            continue;
        }
        std::string text = descriptorText(bytes.slice(at + 5, 13));
        if (text.empty()) {
            return notGiven<std::string>();
        }
        return given(std::move(text));
    }
    return cutOff ? Field<std::string>{} : notGiven<std::string>();
}

}  // namespace

std::optional<Timings> parseTimings(std::string_view edid) {
    const Bytes bytes(edid);
    if (!bytes.has(kBlockSize) || !hasHeader(bytes)) {
        return std::nullopt;
    }
    const auto byte = [&](std::size_t i) { return bytes.at(i); };
    Timings out;
    for (std::size_t at = kDescriptors; at + kDescriptorSize <= 126; at += kDescriptorSize) {
        const unsigned pixelClock10kHz = byte(at) | (byte(at + 1) << 8);
        if (pixelClock10kHz != 0) {
            if (at != kDescriptors) {
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
        } else if (byte(at + 3) == kTagRange) {
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

std::string descriptorText(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string_view text = bytes.substr(0, bytes.find('\n'));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 0x20 && code <= 0x7E) {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(kHex[code >> 4]);
            out.push_back(kHex[code & 0x0F]);
        }
    }
    return out;
}

Identity decodeIdentity(std::string_view edid) {
    const Bytes bytes(edid);
    Identity out;
    out.length = bytes.size();
    out.header = hasHeader(bytes);
    if (!out.header) {
        return out;  // no EDID: every field stays Unreadable
    }
    if (bytes.has(kBlockSize)) {
        unsigned sum = 0;
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            sum += bytes.at(i);
        }
        out.checksumValid = (sum & 0xFF) == 0;
    }
    if (bytes.has(10)) {
        // Three letters of five bits each, 1 = 'A', big-endian.
        const unsigned id = (bytes.at(8) << 8) | bytes.at(9);
        std::string letters;
        for (const unsigned shift : {10U, 5U, 0U}) {
            letters.push_back(static_cast<char>('A' + static_cast<int>((id >> shift) & 0x1F) - 1));
        }
        out.manufacturer = given(std::move(letters));
    }
    if (bytes.has(12)) {
        out.productCode = given(static_cast<int>(bytes.at(10) | (bytes.at(11) << 8)));
    }
    if (bytes.has(16)) {
        const std::uint32_t number = bytes.at(12) | (bytes.at(13) << 8) | (bytes.at(14) << 16) |
                                     (static_cast<std::uint32_t>(bytes.at(15)) << 24);
        Field<std::string> text = descriptorField(bytes, kTagSerial);
        if (text.value) {
            out.serial = std::move(text);
        } else if (text.missing == Missing::Unreadable) {
            out.serial = {};  // a cut-off descriptor might hold the text
        } else if (number != 0) {
            out.serial = given(std::to_string(number));
        } else {
            out.serial = notGiven<std::string>();
        }
    }
    out.name = descriptorField(bytes, kTagName);
    if (bytes.has(18)) {
        const unsigned week = bytes.at(16);
        out.year = given(kYearBase + static_cast<int>(bytes.at(17)));
        if (week == kModelYearWeek) {
            out.modelYear = true;
            out.week = notGiven<int>();
        } else if (week == 0) {
            out.week = notGiven<int>();
        } else {
            out.week = given(static_cast<int>(week));
        }
    }
    if (bytes.has(23)) {
        const unsigned horizontal = bytes.at(21);
        const unsigned vertical = bytes.at(22);
        if (horizontal != 0 && vertical != 0) {
            out.maxHorizontalCm = given(static_cast<int>(horizontal));
            out.maxVerticalCm = given(static_cast<int>(vertical));
        } else {
            out.maxHorizontalCm = notGiven<int>();
            out.maxVerticalCm = notGiven<int>();
        }
    }
    return out;
}

}  // namespace tolvex::edid
