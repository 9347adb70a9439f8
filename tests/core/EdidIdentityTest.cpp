#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "wmi/Edid.h"
#include "wmi/MonitorIdentity.h"
#include "wmi/WmiNames.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;

// The bytes of one of tests/data/edid/*.hex (real monitors' EDIDs; see the
// README there for their origin, licence and the changes made to some).
std::string edidBytes(const std::string& name) {
    std::ifstream in(std::string(TOLVEX_SOURCE_DIR) + "/tests/data/edid/" + name);
    std::string bytes;
    std::string hex;
    while (in >> hex) {
        bytes.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
    }
    return bytes;
}

std::string shown(const ObjectPtr& object, const char* name) {
    const ManagementValue value = object->property(name);
    if (value.isNull()) {
        return "Null: " + std::string(reasonWords(object->nullReason(name).kind));
    }
    return debugText(value);
}

constexpr const char* kNotProvided = "Null: not provided by this machine";
constexpr const char* kUnreadable = "Null: unreadable";

// Expected values: edid-decode's reading of the same bytes (Manufacturer,
// Model, Display Product Serial Number or else Serial Number, Display
// Product Name, Made in / Model year, Maximum image size), except where a
// comment says they were worked out by hand.
struct Case {
    const char* file;
    const char* maker;
    const char* product;
    const char* serial;
    const char* name;
    const char* week;
    const char* year;
    const char* widthCm;
    const char* heightCm;
};

const Case kCases[] = {
    // Digital, with a serial-number descriptor (which wins over the
    // numeric serial 16843009) and an extension block.
    {"dell-d1918h.hex", "DEL", "8197", "2C8FJ8255K5E", "D1918H", "6", "2018", "41", "23"},
    // Analogue, numeric serial only.
    {"aoc-1619w.hex", "AOC", "5657", "16843009", "1619w", "23", "2009", "34", "19"},
    // Week 255: a model year, no week of manufacture.
    {"aoc-1619w-model-year.hex", "AOC", "5657", "16843009", "1619w", kNotProvided, "2009", "34",
     "19"},
    // No product-name descriptor, serial 0 and no descriptor, week 0.
    {"auo-103d-panel.hex", "AUO", "4157", kNotProvided, kNotProvided, kNotProvided, "2015", "31",
     "17"},
    // 128 bytes announcing an extension that was not read: the base block
    // is whole. Its serial descriptor holds only NUL bytes, so the numeric
    // serial stands.
    {"dell-inspiron-3043-base-only.hex", "DEL", "1680", "1", "Inspiron 3043", "16", "2014", "43",
     "24"},
    // By hand: 0xE9 in the name is shown as \xE9 (edid-decode stops there).
    {"dell-d1918h-non-ascii-name.hex", "DEL", "8197", "2C8FJ8255K5E", "D\\xE9918H", "6", "2018",
     "41", "23"},
    // A bad checksum: everything is still read.
    {"dell-d1918h-bad-checksum.hex", "DEL", "8197", "2C8FJ8255K5E", "D1918H", "6", "2018", "41",
     "23"},
    // By hand: 100 bytes end inside the third descriptor. The header, ids,
    // date, size and the serial descriptor (bytes 72-89) are there; the
    // name descriptor (bytes 90-107) is not.
    {"dell-d1918h-truncated.hex", "DEL", "8197", "2C8FJ8255K5E", kUnreadable, "6", "2018", "41",
     "23"},
};

TEST(EdidIdentity, RealMonitorsAsEdidDecodeReadsThem) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        MonitorRead monitor;
        monitor.host = "H";
        monitor.instanceName = "card0-DP-1";
        monitor.active = true;
        monitor.edid = edidBytes(c.file);
        ASSERT_GE(monitor.edid->size(), 100u);
        monitor.edidSource = "/sys/class/drm/card0-DP-1/edid";
        const ObjectPtr object = monitorObject(monitor);
        EXPECT_EQ(shown(object, prop::ManufacturerName), c.maker);
        EXPECT_EQ(shown(object, prop::ProductCodeID), c.product);
        EXPECT_EQ(shown(object, prop::SerialNumberID), c.serial);
        EXPECT_EQ(shown(object, prop::UserFriendlyName), c.name);
        EXPECT_EQ(shown(object, prop::WeekOfManufacture), c.week);
        EXPECT_EQ(shown(object, prop::YearOfManufacture), c.year);
        EXPECT_EQ(shown(object, prop::MaxHorizontalImageSize), c.widthCm);
        EXPECT_EQ(shown(object, prop::MaxVerticalImageSize), c.heightCm);
        EXPECT_EQ(shown(object, prop::Active), "TRUE");
        EXPECT_EQ(object->path(), "\\\\H\\root\\wmi:WmiMonitorID.InstanceName=\"card0-DP-1\"");
    }
}

// What a Null says: the source, and why the value is missing.
TEST(EdidIdentity, NullReasonsNameTheDamage) {
    MonitorRead monitor;
    monitor.instanceName = "card0-DP-1";
    monitor.edidSource = "/sys/class/drm/card0-DP-1/edid";
    const auto reason = [&](const std::string& bytes, const char* name) {
        monitor.edid = bytes;
        return monitorObject(monitor)->nullReason(name);
    };
    EXPECT_EQ(reason(edidBytes("aoc-1619w-model-year.hex"), prop::WeekOfManufacture).source,
              "/sys/class/drm/card0-DP-1/edid (a model year, not a date of manufacture)");
    EXPECT_EQ(reason(edidBytes("auo-103d-panel.hex"), prop::WeekOfManufacture).source,
              "/sys/class/drm/card0-DP-1/edid");
    EXPECT_EQ(reason(edidBytes("dell-d1918h-truncated.hex"), prop::UserFriendlyName).source,
              "/sys/class/drm/card0-DP-1/edid (truncated: 100 of 128 bytes)");
    // A bad checksum: what the block leaves out may be what the damage hid.
    std::string damaged = edidBytes("auo-103d-panel.hex");
    damaged[127] = static_cast<char>(damaged[127] + 1);
    const NullReason noName = reason(damaged, prop::UserFriendlyName);
    EXPECT_EQ(noName.kind, NullReason::Kind::Unreadable);
    EXPECT_EQ(noName.source, "/sys/class/drm/card0-DP-1/edid (checksum wrong)");
    // One size byte 0: the other is an aspect ratio, not a size in cm.
    for (const int zeroed : {21, 22}) {
        std::string ratioOnly = edidBytes("dell-d1918h.hex");
        auto& size = ratioOnly[static_cast<std::size_t>(zeroed)];
        ratioOnly[127] = static_cast<char>(ratioOnly[127] + size);  // the checksum holds
        size = 0;
        monitor.edid = ratioOnly;
        const ObjectPtr object = monitorObject(monitor);
        EXPECT_EQ(shown(object, prop::MaxHorizontalImageSize), kNotProvided) << zeroed;
        EXPECT_EQ(shown(object, prop::MaxVerticalImageSize), kNotProvided) << zeroed;
    }
    // Not an EDID at all: nothing is read from it.
    std::string headerless = edidBytes("aoc-1619w.hex");
    headerless[0] = 1;
    for (const char* name : {prop::ManufacturerName, prop::YearOfManufacture}) {
        const NullReason why = reason(headerless, name);
        EXPECT_EQ(why.kind, NullReason::Kind::Unreadable);
        EXPECT_EQ(why.source, "/sys/class/drm/card0-DP-1/edid (no EDID header)");
    }
    // No EDID read: the read's own reason, on every identity property.
    monitor.edid.reset();
    monitor.whyNoEdid = {NullReason::Kind::NeedsAdministrator, "x", "y"};
    EXPECT_EQ(monitorObject(monitor)->nullReason(prop::SerialNumberID), monitor.whyNoEdid);
}

TEST(EdidIdentity, DescriptorTextIsCutTrimmedAndEscaped) {
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"D1918H\n      ", "D1918H"},
        {"Dell U2412M  \n", "Dell U2412M"},
        {"AB\nCD", "AB"},                               // nothing after the line feed
        {std::string("A\0\0\0", 4), "A"},               // NUL padding
        {"\x7F\x1B[31m\xFFZ", "\\x7F\\x1B[31m\\xFFZ"},  // control bytes never raw
        {"  \n", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(edid::descriptorText(c.bytes), c.text);
    }
}

}  // namespace
}  // namespace tolvex::testing
