// The text exposition format the node exporter's textfile collector reads.
//
// Each class gives an info metric (value 1, its identifying texts as labels)
// and gauges for its quantities in base units (bytes, hertz, seconds), with
// the instance's key as their label. Every sample of a metric carries the
// same label names; a Null text leaves its label empty and a Null quantity
// leaves its sample out. Label values are valid UTF-8 with backslash, double
// quote and line feed escaped, so whatever a machine's names hold, the
// exporter can parse the file. A series that would repeat another (two
// instances whose labels come out the same) is written once, since the
// exporter rejects duplicates.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <set>

#include "tools/QueryFormats.h"
#include "base/CivilDate.h"
#include "base/Utf8.h"
#include "wmi/WmiNames.h"

namespace tolvex::query {

namespace {

namespace cls = wmi::cls;
namespace prop = wmi::prop;

struct Label {
    const char* name;
    const char* property;
};

enum class Unit {
    Count,        // as the service gives it
    Megahertz,    // to hertz
    Kilobytes,    // to bytes
    DateTime,     // a management date-time, to seconds since the epoch
    Hours,        // to seconds
    Passed,       // a Boolean that says failing, as 1 for passed and 0 for failing
    Centimetres,  // to metres
    Flag,         // a Boolean, to 1 or 0
};

struct Metric {
    const char* className;
    const char* name;
    const char* help;
    std::vector<Label> labels;
    const char* valueProperty = nullptr;  // none: an info metric of value 1
    Unit unit = Unit::Count;
};

// The metrics, grouped by class in the service's order.
const std::vector<Metric>& metrics() {
    static const std::vector<Metric> table = {
        {cls::Processor,
         "tolvex_processor_info",
         "Processors, with their identifying texts.",
         {{"device_id", prop::DeviceID},
          {"name", prop::Name},
          {"manufacturer", prop::Manufacturer},
          {"caption", prop::Caption},
          {"processor_id", prop::ProcessorId},
          {"socket_designation", "SocketDesignation"}}},
        {cls::Processor,
         "tolvex_processor_cores",
         "Cores of the processor.",
         {{"device_id", prop::DeviceID}},
         "NumberOfCores"},
        {cls::Processor,
         "tolvex_processor_logical_processors",
         "Logical processors (hardware threads) of the processor.",
         {{"device_id", prop::DeviceID}},
         "NumberOfLogicalProcessors"},
        {cls::Processor,
         "tolvex_processor_current_clock_speed_hertz",
         "Current clock speed of the processor.",
         {{"device_id", prop::DeviceID}},
         prop::CurrentClockSpeed,
         Unit::Megahertz},
        {cls::Processor,
         "tolvex_processor_max_clock_speed_hertz",
         "Maximum clock speed of the processor.",
         {{"device_id", prop::DeviceID}},
         prop::MaxClockSpeed,
         Unit::Megahertz},
        {cls::Processor,
         "tolvex_processor_external_clock_hertz",
         "External (bus) clock of the processor.",
         {{"device_id", prop::DeviceID}},
         prop::ExtClock,
         Unit::Megahertz},
        {cls::Processor,
         "tolvex_processor_l2_cache_size_bytes",
         "Level 2 cache of the processor.",
         {{"device_id", prop::DeviceID}},
         prop::L2CacheSize,
         Unit::Kilobytes},
        {cls::Processor,
         "tolvex_processor_l3_cache_size_bytes",
         "Level 3 cache of the processor.",
         {{"device_id", prop::DeviceID}},
         "L3CacheSize",
         Unit::Kilobytes},

        {cls::PhysicalMemory,
         "tolvex_physical_memory_info",
         "Memory modules, with their identifying texts.",
         {{"tag", prop::Tag},
          {"bank_label", prop::BankLabel},
          {"device_locator", prop::DeviceLocator},
          {"manufacturer", prop::Manufacturer},
          {"part_number", prop::PartNumber},
          {"serial_number", prop::SerialNumber}}},
        // The slot as well as the tag: tags number the modules present, so
        // they shift when one drops out, while the slot stays the slot.
        {cls::PhysicalMemory,
         "tolvex_physical_memory_capacity_bytes",
         "Capacity of the memory module.",
         {{"tag", prop::Tag},
          {"bank_label", prop::BankLabel},
          {"device_locator", prop::DeviceLocator}},
         prop::Capacity},

        {cls::BaseBoard,
         "tolvex_baseboard_info",
         "The base board (motherboard), with its identifying texts.",
         {{"tag", prop::Tag},
          {"manufacturer", prop::Manufacturer},
          {"product", prop::Product},
          {"version", prop::Version},
          {"serial_number", prop::SerialNumber}}},

        {cls::MotherboardDevice,
         "tolvex_motherboard_device_info",
         "The motherboard device, with its buses.",
         {{"device_id", prop::DeviceID},
          {"primary_bus_type", prop::PrimaryBusType},
          {"secondary_bus_type", prop::SecondaryBusType}}},

        {cls::NetworkAdapter,
         "tolvex_network_adapter_info",
         "Network adapters, with their identifying texts.",
         {{"device_id", prop::DeviceID},
          {"name", prop::Name},
          {"net_connection_id", prop::NetConnectionID},
          {"adapter_type", prop::AdapterType},
          {"manufacturer", prop::Manufacturer},
          {"mac_address", prop::MACAddress}}},

        {cls::VideoController,
         "tolvex_video_controller_info",
         "Video adapters, with their identifying texts.",
         {{"device_id", prop::DeviceID},
          {"name", prop::Name},
          {"video_processor", prop::VideoProcessor},
          {"driver_version", prop::DriverVersion},
          {"video_mode_description", prop::VideoModeDescription}}},
        {cls::VideoController,
         "tolvex_video_controller_adapter_ram_bytes",
         "Memory of the video adapter.",
         {{"device_id", prop::DeviceID}},
         prop::AdapterRAM},
        {cls::VideoController,
         "tolvex_video_controller_current_refresh_rate_hertz",
         "Current refresh rate of the video adapter's display.",
         {{"device_id", prop::DeviceID}},
         prop::CurrentRefreshRate},

        {cls::SCSIController,
         "tolvex_scsi_controller_info",
         "SCSI and storage adapters, with their identifying texts.",
         {{"device_id", prop::DeviceID},
          {"name", prop::Name},
          {"manufacturer", prop::Manufacturer},
          {"driver_name", prop::DriverName}}},

        {cls::LogicalDisk,
         "tolvex_logical_disk_info",
         "Logical drives, with their identifying texts and drive type code.",
         {{"device_id", prop::DeviceID},
          {"file_system", prop::FileSystem},
          {"volume_name", prop::VolumeName},
          {"volume_serial_number", prop::VolumeSerialNumber},
          {"drive_type", prop::DriveType}}},
        {cls::LogicalDisk,
         "tolvex_logical_disk_size_bytes",
         "Size of the logical drive.",
         {{"device_id", prop::DeviceID},
          {"file_system", prop::FileSystem},
          {"volume_name", prop::VolumeName}},
         prop::Size},
        {cls::LogicalDisk,
         "tolvex_logical_disk_free_bytes",
         "Free space on the logical drive.",
         {{"device_id", prop::DeviceID},
          {"file_system", prop::FileSystem},
          {"volume_name", prop::VolumeName}},
         prop::FreeSpace},

        // Named after smartctl_exporter's (smartctl_device, ..._capacity_bytes,
        // ..._temperature, ..._smart_status, ..._power_on_seconds), which
        // fleets already graph and alert on.
        {cls::DiskDrive,
         "tolvex_disk_drive_info",
         "Physical disk drives, with their identifying texts.",
         {{"device_id", prop::DeviceID},
          {"model", prop::Model},
          {"manufacturer", prop::Manufacturer},
          {"serial_number", prop::SerialNumber},
          {"firmware_revision", prop::FirmwareRevision},
          {"interface_type", prop::InterfaceType},
          {"media_type", prop::MediaType},
          {"status", prop::Status}}},
        {cls::DiskDrive,
         "tolvex_disk_drive_size_bytes",
         "Size of the disk drive.",
         {{"device_id", prop::DeviceID}},
         prop::Size},
        {cls::DiskDriveHealth,
         "tolvex_disk_drive_temperature_celsius",
         "Temperature of the disk drive.",
         {{"device_id", prop::DeviceID}},
         prop::Temperature},
        {cls::DiskDriveHealth,
         "tolvex_disk_drive_warning_temperature_celsius",
         "The disk drive's own warning temperature limit.",
         {{"device_id", prop::DeviceID}},
         prop::TemperatureWarning},
        {cls::DiskDriveHealth,
         "tolvex_disk_drive_critical_temperature_celsius",
         "The disk drive's own critical temperature limit.",
         {{"device_id", prop::DeviceID}},
         prop::TemperatureCritical},
        {cls::DiskDriveHealth,
         "tolvex_disk_drive_smart_status",
         "SMART's verdict on the disk drive: 1 passed, 0 failing.",
         {{"device_id", prop::DeviceID}},
         prop::SmartFailing,
         Unit::Passed},
        {cls::DiskDriveHealth,
         "tolvex_disk_drive_power_on_seconds",
         "Time the disk drive has been powered on, from its power-on hours.",
         {{"device_id", prop::DeviceID}},
         prop::PowerOnHours,
         Unit::Hours},
        {cls::DiskDriveHealth,
         "tolvex_disk_drive_bad_sectors",
         "Bad sectors of the disk drive, reallocated and pending.",
         {{"device_id", prop::DeviceID}},
         prop::BadSectors},

        // Monitors: their identity from the EDID. The connector (or the
        // Windows device instance) is the key; maker, product code, serial
        // and name tell the monitor itself wherever it is plugged in.
        {cls::MonitorID,
         "tolvex_monitor_info",
         "Monitors, with their identity from the EDID.",
         {{"instance_name", prop::InstanceName},
          {"manufacturer", prop::ManufacturerName},
          {"product_code", prop::ProductCodeID},
          {"serial_number", prop::SerialNumberID},
          {"name", prop::UserFriendlyName},
          {"week_of_manufacture", prop::WeekOfManufacture},
          {"year_of_manufacture", prop::YearOfManufacture}}},
        {cls::MonitorID,
         "tolvex_monitor_active",
         "1 when the monitor is in use (connected and enabled), else 0.",
         {{"instance_name", prop::InstanceName}},
         prop::Active,
         Unit::Flag},
        {cls::MonitorID,
         "tolvex_monitor_max_image_width_meters",
         "Width of the largest image the monitor shows.",
         {{"instance_name", prop::InstanceName}},
         prop::MaxHorizontalImageSize,
         Unit::Centimetres},
        {cls::MonitorID,
         "tolvex_monitor_max_image_height_meters",
         "Height of the largest image the monitor shows.",
         {{"instance_name", prop::InstanceName}},
         prop::MaxVerticalImageSize,
         Unit::Centimetres},

        {cls::OperatingSystem,
         "tolvex_operating_system_info",
         "The operating system, with its identifying texts.",
         {{"name", prop::Name},
          {"caption", prop::Caption},
          {"version", prop::Version},
          {"build_number", prop::BuildNumber},
          {"build_type", prop::BuildType},
          {"manufacturer", prop::Manufacturer},
          {"cs_name", prop::CSName},
          {"boot_device", prop::BootDevice}}},
        {cls::OperatingSystem,
         "tolvex_operating_system_visible_memory_bytes",
         "Physical memory the operating system can use.",
         {},
         prop::TotalVisibleMemorySize,
         Unit::Kilobytes},
        {cls::OperatingSystem,
         "tolvex_operating_system_free_physical_memory_bytes",
         "Physical memory not in use.",
         {},
         prop::FreePhysicalMemory,
         Unit::Kilobytes},
        {cls::OperatingSystem,
         "tolvex_operating_system_virtual_memory_bytes",
         "Virtual memory: physical memory and paging files together.",
         {},
         prop::TotalVirtualMemorySize,
         Unit::Kilobytes},
        {cls::OperatingSystem,
         "tolvex_operating_system_free_virtual_memory_bytes",
         "Virtual memory not in use.",
         {},
         prop::FreeVirtualMemory,
         Unit::Kilobytes},
        {cls::OperatingSystem,
         "tolvex_operating_system_paging_files_size_bytes",
         "Space stored in paging files (swap).",
         {},
         prop::SizeStoredInPagingFiles,
         Unit::Kilobytes},
        {cls::OperatingSystem,
         "tolvex_operating_system_paging_files_free_bytes",
         "Free space in paging files (swap).",
         {},
         prop::FreeSpaceInPagingFiles,
         Unit::Kilobytes},
        {cls::OperatingSystem,
         "tolvex_operating_system_last_boot_time_seconds",
         "Time the operating system last started, in seconds since the epoch.",
         {},
         prop::LastBootUpTime,
         Unit::DateTime},
    };
    return table;
}

// The property's value; a property the instance lacks counts as Null.
ManagementValue propertyOf(const ManagementObject& object, const char* name) {
    for (const auto& present : object.propertyNames()) {
        if (sameName(present, name)) {
            return object.property(name);
        }
    }
    return ManagementValue::null();
}

std::optional<double> decimalNumber(const std::string& text) {
    double number = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || at != end || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

std::optional<int> digits(const std::string& text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t k = at; k < at + count; ++k) {
        if (text[k] < '0' || text[k] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[k] - '0');
    }
    return value;
}

// Seconds since the epoch of a management date-time
// ("yyyymmddHHMMSS.ffffff+UUU", the offset from UTC in minutes).
std::optional<double> epochSeconds(const std::string& text) {
    if (text.size() != 25 || text[14] != '.' || (text[21] != '+' && text[21] != '-')) {
        return std::nullopt;
    }
    const auto year = digits(text, 0, 4), month = digits(text, 4, 2), day = digits(text, 6, 2),
               hour = digits(text, 8, 2), minute = digits(text, 10, 2),
               second = digits(text, 12, 2), micro = digits(text, 15, 6),
               offset = digits(text, 22, 3);
    if (!year || !month || !day || !hour || !minute || !second || !micro || !offset ||
        !civil::isValidDate(*year, *month, *day) || *hour > 23 || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    const std::int64_t days = civil::daysFromCivil(*year, *month, *day);
    const int offsetMinutes = text[21] == '-' ? -*offset : *offset;
    return static_cast<double>(days * 86400 + *hour * 3600 + *minute * 60 + *second -
                               offsetMinutes * 60) +
           *micro / 1e6;
}

// The sample's value in the metric's base unit; none for Null or a value
// that is not a number.
std::optional<double> sampleValue(const ManagementValue& value, Unit unit) {
    std::optional<double> number;
    switch (value.kind()) {
        case ManagementValue::Kind::Integer:
            number = static_cast<double>(value.asInteger());
            break;
        case ManagementValue::Kind::Real:
            number = std::isfinite(value.asReal()) ? std::optional(value.asReal()) : std::nullopt;
            break;
        case ManagementValue::Kind::Text:
            number = unit == Unit::DateTime ? epochSeconds(value.asText())
                                            : decimalNumber(value.asText());
            break;
        case ManagementValue::Kind::Boolean:
            if (unit == Unit::Passed) {
                return value.asBoolean() ? 0.0 : 1.0;
            }
            // Only where the property is a flag: a Boolean in place of a
            // count is no count.
            if (unit == Unit::Flag) {
                number = value.asBoolean() ? 1 : 0;
            }
            break;
        case ManagementValue::Kind::Null:
            break;
    }
    if (unit == Unit::Passed) {
        return std::nullopt;
    }
    if (!number) {
        return std::nullopt;
    }
    switch (unit) {
        case Unit::Megahertz:
            return *number * 1e6;
        case Unit::Kilobytes:
            return *number * 1024;
        case Unit::Hours:
            return *number * 3600;
        case Unit::Centimetres:
            return *number / 100;
        case Unit::Count:
        case Unit::Passed:
        case Unit::DateTime:
        case Unit::Flag:
            break;
    }
    return number;
}

std::string labelText(const ManagementValue& value) {
    switch (value.kind()) {
        case ManagementValue::Kind::Null:
            return {};
        case ManagementValue::Kind::Boolean:
            return value.asBoolean() ? "true" : "false";
        default:
            return debugText(value);
    }
}

std::string escapedLabelValue(const std::string& text) {
    std::string out;
    for (const char c : utf8::repaired(text)) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string sampleText(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

}  // namespace

std::string formatPrometheus(const std::vector<ClassAnswer>& answers) {
    std::string out;
    for (const auto& metric : metrics()) {
        std::string samples;
        std::set<std::string> written;
        for (const auto& answer : answers) {
            if (!sameName(answer.className, metric.className)) {
                continue;
            }
            for (const auto& object : answer.instances) {
                std::optional<double> value = 1;
                if (metric.valueProperty) {
                    value = sampleValue(propertyOf(*object, metric.valueProperty), metric.unit);
                }
                if (!value) {
                    continue;
                }
                std::string labels;
                for (const auto& label : metric.labels) {
                    labels += std::string(labels.empty() ? "{" : ",") + label.name + "=\"" +
                              escapedLabelValue(labelText(propertyOf(*object, label.property))) +
                              "\"";
                }
                if (!labels.empty()) {
                    labels += "}";
                }
                if (written.insert(labels).second) {
                    samples += metric.name + labels + " " + sampleText(*value) + "\n";
                }
            }
        }
        if (!samples.empty()) {
            out += std::string("# HELP ") + metric.name + " " + metric.help + "\n# TYPE " +
                   metric.name + " gauge\n" + samples;
        }
    }
    return out;
}

}  // namespace tolvex::query
