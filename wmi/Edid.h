#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A monitor's EDID base block (VESA E-EDID 1.3 / 1.4), read the same way on
// every platform: the refresh rates of its preferred timing and range
// limits, and the monitor's identity (maker, product, serial, name, date of
// manufacture, image size). Nothing in the block is trusted: every read is
// bounded by the bytes given, and a field whose bytes are missing has no
// value.
namespace tolvex::edid {

inline constexpr std::size_t kBlockSize = 128;

// From the base block: the preferred timing's size and refresh rate (rounded
// to whole hertz) and the range limit's highest vertical rate. Nothing for
// a short block or one without the EDID header.
struct Timings {
    int preferredWidth = 0;
    int preferredHeight = 0;
    std::optional<int> preferredRefreshHz;
    std::optional<int> maxRefreshHz;
};
std::optional<Timings> parseTimings(std::string_view edid);

// Why a field of the identity has no value.
enum class Missing {
    None,        // it has one
    NotGiven,    // the block is whole and does not carry it
    Unreadable,  // its bytes are missing (a truncated block) or it is no EDID
};

template <typename T>
struct Field {
    std::optional<T> value;
    Missing missing = Missing::Unreadable;
};

// Who made the monitor and which one it is, as its base block says.
struct Identity {
    // The three-letter PNP id of the maker, from bytes 8-9 ("DEL").
    Field<std::string> manufacturer;
    // The maker's product code, bytes 10-11 little-endian, in decimal.
    Field<int> productCode;
    // The serial-number descriptor's text, else the 32-bit serial of bytes
    // 12-15 in decimal when it is not 0.
    Field<std::string> serial;
    // The product-name descriptor's text.
    Field<std::string> name;
    // Week 1-54 of manufacture. Byte 16 = 0 gives no week; 255 marks byte
    // 17 as a model year, so there is no week (modelYear is true).
    Field<int> week;
    Field<int> year;
    bool modelYear = false;
    // The largest image, in centimetres (bytes 21-22); none where either is
    // 0 (a projector, or EDID 1.4's aspect ratio in place of a size).
    Field<int> maxHorizontalCm;
    Field<int> maxVerticalCm;

    // What the block itself says of its state.
    bool header = false;         // bytes 0-7 are the EDID header
    bool checksumValid = false;  // the 128 bytes add up to 0 (mod 256)
    std::size_t length = 0;      // the bytes given
};

// The identity from an EDID as read (the base block, possibly followed by
// extension blocks, which are not needed). A block without the EDID header
// is no EDID: every field is Unreadable. A bad checksum still gives every
// field (the caller may say the block is damaged); a truncated block gives
// the fields whose bytes are there and Unreadable for the rest.
Identity decodeIdentity(std::string_view edid);

// A display descriptor's text (13 bytes) as shown: cut at its line feed,
// trailing spaces (and NUL padding) removed, every byte outside printable
// ASCII (0x20-0x7E) written as \xNN with two upper-case hex digits, so the
// text is always ASCII and the raw byte can be told.
std::string descriptorText(std::string_view bytes);

}  // namespace tolvex::edid
