#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/linux/Smbios.h"
#include "wmi/linux/SystemSource.h"
#include "wmi/linux/UdevRecord.h"

// The memory devices that udev decoded from the firmware's table at boot.
// systemd's udev runs its dmi_memory_id helper over the SMBIOS memory
// structures and keeps what it prints in its database file for the DMI
// device, which every user may read, while the table itself is root's only:
//   E:MEMORY_DEVICE_<n>_<FIELD>=<value>
// with n counting the table's memory device structures from 0, and FIELD
// among SIZE (bytes), PRESENT (0 for an empty slot), FORM_FACTOR, LOCATOR,
// BANK_LOCATOR, TYPE, TYPE_DETAIL, SPEED_MTS, CONFIGURED_SPEED_MTS,
// MANUFACTURER, SERIAL_NUMBER, ASSET_TAG, PART_NUMBER, RANK, TOTAL_WIDTH,
// DATA_WIDTH and the MINIMUM_, MAXIMUM_ and CONFIGURED_VOLTAGE (volts).
namespace tolvex::linuxprov::udev {

// Where udev keeps the DMI device's properties.
inline constexpr std::string_view kDmiDatabase = "/run/udev/data/+dmi:id";

// One memory device structure as udev printed it: its number and its
// fields by name ("SIZE", "LOCATOR").
struct MemoryDeviceFields {
    unsigned index = 0;
    std::map<std::string, std::string> fields;
};

// The memory devices of a database file's text, by number, from its
// properties as parseProperties takes them (complete lines, first value of
// a key).
std::vector<MemoryDeviceFields> parseMemoryDevices(std::string_view databaseText);

// The database file of the DMI device read through the file tree; no value
// when it is missing, unreadable or larger than kMaxDatabaseBytes.
std::optional<std::string> readDmiDatabase(const FileTree& files);

// One device's fields turned back into what the firmware's structure says,
// so the module is described exactly as from the table. Words udev prints
// for codes ("DDR4", "SODIMM", "Synchronous Unbuffered (Unregistered)")
// become the codes again; udev's "Not Specified" (string number 0) and
// "<BAD INDEX>" are no string; what udev left out, or gave in a form that
// cannot be read back exactly, has no value.
smbios::MemoryDeviceInfo memoryDeviceFromFields(const std::map<std::string, std::string>& fields);

// The SMBIOS codes of udev's words; no value for words it does not print.
std::optional<std::uint8_t> formFactorFromWord(std::string_view word);
std::optional<std::uint8_t> memoryTypeFromWord(std::string_view word);
// "None", or the detail words separated by blanks, as the Type Detail bits.
std::optional<std::uint16_t> typeDetailFromWords(std::string_view words);
// A voltage udev printed in volts, in millivolts. udev prints whole
// hundreds of millivolts from 1 V up with one significant digit ("1" for
// 1.2 V), so a value without a decimal point is no value.
std::optional<std::uint16_t> millivoltsFromVolts(std::string_view volts);

}  // namespace tolvex::linuxprov::udev
