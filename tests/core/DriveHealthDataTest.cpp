#include <gtest/gtest.h>

#include <vector>

#include "wmi/windows/DriveHealthData.h"

namespace {

using tolvex::windows::parseSmartAttributes;
using tolvex::windows::parseTemperatureDescriptor;

void put16(std::vector<unsigned char>& bytes, std::size_t at, int value) {
    bytes[at] = static_cast<unsigned char>(value & 0xFF);
    bytes[at + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

// A temperature descriptor as a driver writes it: its Size, the limits and
// `sensors` sensors, the first at `celsius`.
std::vector<unsigned char> descriptor(int critical, int warning, int sensors, int celsius) {
    std::vector<unsigned char> bytes(24 + 16 * static_cast<std::size_t>(sensors));
    put16(bytes, 4, static_cast<int>(bytes.size()));
    put16(bytes, 8, critical);
    put16(bytes, 10, warning);
    put16(bytes, 12, sensors);
    if (sensors > 0) {
        put16(bytes, 26, celsius);
    }
    return bytes;
}

TEST(DriveHealthData, TemperatureDescriptorsAreReadWithinWhatWasReturned) {
    auto nvme = descriptor(84, 75, 2, 38);
    const auto read = parseTemperatureDescriptor(nvme.data(), nvme.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->celsius, 38);
    EXPECT_EQ(read->warningCelsius, 75);
    EXPECT_EQ(read->criticalCelsius, 84);

    // Limits of 0 are limits the drive does not report; a sensor below
    // freezing is a reading.
    auto noLimits = descriptor(0, 0, 1, -5);
    const auto cold = parseTemperatureDescriptor(noLimits.data(), noLimits.size());
    ASSERT_TRUE(cold);
    EXPECT_EQ(cold->celsius, -5);
    EXPECT_FALSE(cold->warningCelsius);
    EXPECT_FALSE(cold->criticalCelsius);

    auto noSensor = descriptor(84, 75, 0, 0);
    auto claimsMore = descriptor(84, 75, 1, 40);
    put16(claimsMore, 12, 3);  // three sensors in the room of one
    auto longerThanReturned = descriptor(84, 75, 1, 40);
    for (const auto& [bytes, size] :
         std::vector<std::pair<std::vector<unsigned char>, std::size_t>>{
             {noSensor, noSensor.size()},
             {claimsMore, claimsMore.size()},
             {longerThanReturned, longerThanReturned.size() - 1},
             {longerThanReturned, 23}}) {
        EXPECT_FALSE(parseTemperatureDescriptor(bytes.data(), size)) << size;
    }
}

TEST(DriveHealthData, SmartAttributesGiveHoursAndBadSectors) {
    std::vector<unsigned char> table(512);
    auto attribute = [&table](std::size_t slot, int id, std::uint64_t raw) {
        unsigned char* entry = table.data() + 2 + slot * 12;
        entry[0] = static_cast<unsigned char>(id);
        for (int b = 0; b < 6; ++b) {
            entry[5 + b] = static_cast<unsigned char>((raw >> (8 * b)) & 0xFF);
        }
    };
    attribute(0, 1, 123456);
    attribute(1, 9, 0x0000'0001'0000'4E20ULL);  // 20000 hours, minutes above
    attribute(2, 5, 8);
    attribute(29, 197, 3);  // the last entry of the table
    const auto counts = parseSmartAttributes(table.data(), table.size());
    EXPECT_EQ(counts.powerOnHours, 20000u);
    EXPECT_EQ(counts.badSectors, 11u);

    // A table cut short keeps what lies wholly inside it.
    const auto cut = parseSmartAttributes(table.data(), 2 + 3 * 12 - 1);
    EXPECT_EQ(cut.powerOnHours, 20000u);
    EXPECT_FALSE(cut.badSectors);
    EXPECT_FALSE(parseSmartAttributes(nullptr, 512).powerOnHours);
}

}  // namespace
