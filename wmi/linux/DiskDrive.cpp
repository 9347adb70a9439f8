// Win32_DiskDrive and Tolvex_DiskDriveHealth: the physical drives from the
// block layer in /sys, what udev learned of them as root (its database in
// /run/udev/data, which every user may read), their temperature sensors
// (hwmon) and, for SMART, udisks on the system bus.

#include <cmath>
#include <cstdio>

#include "wmi/WmiNames.h"
#include "wmi/linux/DiskDrives.h"
#include "wmi/linux/DiskFacts.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/ProviderValues.h"
#include "wmi/linux/Sources.h"
#include "wmi/linux/SysText.h"
#include "wmi/linux/UdevRecord.h"

namespace tolvex::linuxprov {

namespace {

namespace prop = wmi::prop;
using Kind = NullReason::Kind;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A value with the source it was read from (or, without a value, the one
// that says best why not).
struct Reading {
    std::optional<std::string> value;
    Source from;
};

// A sysfs attribute: its text, cleaned and trimmed; an empty one is no value.
Reading attribute(const FileTree& files, const std::string& path) {
    const auto content = files.read(path, 4096);
    Reading out{std::nullopt, fileSource(files, path, "the drive's attributes")};
    if (content) {
        std::string value = text::trimmed(text::cleanText(*content));
        if (!value.empty()) {
            out.value = std::move(value);
        }
    }
    return out;
}

// The first of several readings that has a value; else the one whose
// source says most about the absence: one only root may read, one
// unreadable, one read and empty, then the first of those absent.
Reading firstOf(std::initializer_list<Reading> readings) {
    const auto rank = [](const Source& from) {
        switch (from.failure) {
            case Kind::NeedsAdministrator:
                return 0;
            case Kind::Unreadable:
                return 1;
            case Kind::None:
                return 2;
            default:
                return 3;
        }
    };
    const Reading* best = nullptr;
    for (const auto& reading : readings) {
        if (reading.value) {
            return reading;
        }
        if (!best || rank(reading.from) < rank(best->from)) {
            best = &reading;
        }
    }
    return best ? Reading{std::nullopt, best->from} : Reading{};
}

// What udev's record of a drive says, and where it was looked for.
struct UdevRecord {
    std::map<std::string, std::string> properties;
    Source from;

    Reading get(const char* key) const {
        const auto it = properties.find(key);
        if (it == properties.end() || text::trimmed(it->second).empty()) {
            return {std::nullopt, from};
        }
        return {text::trimmed(text::cleanText(it->second)), from};
    }
    // A value udev also gives hex-escaped (ID_MODEL_ENC keeps the blanks
    // that ID_MODEL turns into underscores).
    Reading encoded(const char* key, const char* plainKey) const {
        const auto it = properties.find(key);
        if (it != properties.end()) {
            std::string value = text::trimmed(text::cleanText(decodeHexEscapes(it->second)));
            if (!value.empty()) {
                return {std::move(value), from};
            }
        }
        return get(plainKey);
    }
};

UdevRecord udevRecord(const FileTree& files, const BlockDrive& drive) {
    const std::string devFile = drive.base + "/dev";
    const auto numbers = files.read(devFile, 64);
    if (!numbers) {
        return {{}, fileSource(files, devFile, "the drive's attributes")};
    }
    const auto path = udev::blockDatabasePath(*numbers);
    if (!path) {
        return {{}, damagedSource(devFile)};
    }
    const auto content = udev::readDatabase(files, *path);
    if (!content) {
        Source from = fileSource(files, *path, "udev's database",
                                 "Start systemd-udevd so that udev records the drive");
        if (from.failure == Kind::None) {
            from = damagedSource(*path);  // read, but too large to be udev's
        }
        return {{}, from};
    }
    return {udev::parseProperties(*content), answeredSource(*path)};
}

enum class Family { Nvme, Scsi, Virtio, Mmc, Other };

Family familyOf(const std::string& name) {
    if (startsWith(name, "nvme")) {
        return Family::Nvme;
    }
    if (startsWith(name, "sd")) {
        return Family::Scsi;
    }
    if (startsWith(name, "vd")) {
        return Family::Virtio;
    }
    if (startsWith(name, "mmcblk")) {
        return Family::Mmc;
    }
    return Family::Other;
}

// The bus a SCSI disk hangs on, in the service's words: udev's ID_BUS, else
// the controllers on the disk's device path.
std::optional<std::string> scsiInterface(const UdevRecord& udev, const BlockDrive& drive) {
    const auto bus = udev.get("ID_BUS").value;
    if (bus == "ata") {
        return "IDE";  // the service's word for ATA and SATA disks alike
    }
    if (bus == "usb") {
        return "USB";
    }
    if (bus == "ieee1394") {
        return "1394";
    }
    if (bus == "scsi") {
        return "SCSI";
    }
    if (!drive.devPath) {
        return std::nullopt;
    }
    const std::string& path = *drive.devPath;
    if (path.find("/usb") != std::string::npos) {
        return "USB";
    }
    if (path.find("/fw") != std::string::npos || path.find("/firewire") != std::string::npos) {
        return "1394";
    }
    if (path.find("/ata") != std::string::npos) {
        return "IDE";
    }
    return "SCSI";
}

// The service's status words: a device the kernel took offline is in
// error; one being reset or set up is degraded.
std::string statusOf(const std::optional<std::string>& state, bool failing) {
    if (failing) {
        return "Pred Fail";
    }
    if (!state || *state == "running" || *state == "live") {
        return "OK";
    }
    if (*state == "offline" || *state == "transport-offline" || *state == "dead" ||
        *state == "deleting") {
        return "Error";
    }
    return "Degraded";
}

// A maker the device gives only as a number: Null, saying which.
Reading numberedMaker(const Reading& number, const char* what) {
    if (!number.value) {
        return {std::nullopt, number.from};
    }
    return {std::nullopt,
            {Kind::NotProvided, number.from.name + " (" + *number.value + ", " + what + ")", {}}};
}

Source udisksSource(const UdisksAnswer& answer) {
    return {answer.failure, answer.source, answer.remedy};
}

double roundedCelsius(double celsius) {
    return std::round(celsius * 100.0) / 100.0;
}

}  // namespace

std::vector<ObjectPtr> enumerateDiskDrives(const ProviderContext& context) {
    const FileTree& files = context.files;
    const auto drives = listPhysicalDrives(files);
    if (drives.empty()) {
        return {};
    }
    // SMART's verdict, for "Pred Fail"; asked only when there are drives.
    const UdisksAnswer udisks = context.sys.udisks();

    std::vector<ObjectPtr> out;
    std::int64_t index = 0;
    for (const auto& drive : drives) {
        const std::string deviceId = "/dev/" + drive.name;
        const Family family = familyOf(drive.name);
        const UdevRecord udev = udevRecord(files, drive);
        const std::string dev = drive.deviceDir.value_or(drive.base + "/device");
        const auto at = [&](const std::string& path) { return attribute(files, path); };

        // Size: the block layer counts 512-byte units whatever the sector.
        const Reading sizeText = at(drive.base + "/size");
        const Reading sectorText = at(drive.base + "/queue/logical_block_size");
        std::optional<std::uint64_t> sizeBytes;
        Source sizeFrom = sizeText.from;
        if (sizeText.value) {
            const auto units = text::parseUnsigned(*sizeText.value);
            if (units && *units <= UINT64_MAX / 512) {
                sizeBytes = *units * 512;
            } else {
                sizeFrom = damagedSource(drive.base + "/size");
            }
        }
        std::optional<std::uint64_t> bytesPerSector;
        Source sectorFrom = sectorText.from;
        if (sectorText.value) {
            const auto bytes = text::parseUnsigned(*sectorText.value);
            if (bytes && *bytes >= 512 && *bytes <= 65536 && (*bytes & (*bytes - 1)) == 0) {
                bytesPerSector = bytes;
            } else {
                sectorFrom = damagedSource(drive.base + "/queue/logical_block_size");
            }
        }
        std::optional<std::uint64_t> totalSectors;
        if (sizeBytes && bytesPerSector) {
            totalSectors = *sizeBytes / *bytesPerSector;
        }
        // A removable drive without its medium (a card reader, no card)
        // has no size.
        if (sizeBytes == std::uint64_t{0}) {
            sizeBytes.reset();
            totalSectors.reset();
            sizeFrom = {Kind::NotProvided, drive.base + "/size (no medium)", {}};
        }

        // The identity: udev read it from the drive as root (ATA's full
        // model and firmware, where the SCSI layer keeps 16 and 4
        // characters); sysfs has it for NVMe, MMC and virtio.
        Reading model;
        Reading vendor;
        Reading serial;
        Reading firmware;
        Reading wwn;
        switch (family) {
            case Family::Nvme:
                model = firstOf({at(dev + "/model"), udev.encoded("ID_MODEL_ENC", "ID_MODEL")});
                serial = firstOf({at(dev + "/serial"), udev.get("ID_SERIAL_SHORT")});
                firmware = firstOf({at(dev + "/firmware_rev"), udev.get("ID_REVISION")});
                wwn = firstOf({udev.get("ID_WWN"), at(drive.base + "/wwid")});
                vendor = {std::nullopt, fileSource(files, dev + "/vendor", "")};
                break;
            case Family::Mmc:
                model = firstOf({at(dev + "/name"), udev.get("ID_NAME")});
                serial = firstOf({at(dev + "/serial"), udev.get("ID_SERIAL")});
                firmware = firstOf({at(dev + "/fwrev"), at(dev + "/hwrev")});
                wwn = {std::nullopt, udev.from};
                vendor = numberedMaker(at(dev + "/manfid"),
                                       "a number the SD Association or JEDEC assigns");
                break;
            case Family::Virtio:
                // A virtual disk: the host's names, where udev has them.
                model = udev.encoded("ID_MODEL_ENC", "ID_MODEL");
                serial = firstOf({at(drive.base + "/serial"), udev.get("ID_SERIAL_SHORT")});
                firmware = udev.get("ID_REVISION");
                wwn = udev.get("ID_WWN");
                vendor = numberedMaker(at(dev + "/vendor"), "the virtio vendor number");
                break;
            default:
                model = firstOf({udev.encoded("ID_MODEL_ENC", "ID_MODEL"), at(dev + "/model")});
                serial = firstOf(
                    {udev.get("ID_SERIAL_SHORT"), at(drive.base + "/serial"), at(dev + "/serial")});
                firmware = firstOf({udev.get("ID_REVISION"), at(dev + "/rev")});
                wwn = firstOf(
                    {udev.get("ID_WWN_WITH_EXTENSION"), udev.get("ID_WWN"), at(dev + "/wwid")});
                vendor = firstOf({udev.encoded("ID_VENDOR_ENC", "ID_VENDOR"), at(dev + "/vendor")});
                break;
        }
        // libata names every ATA disk's vendor "ATA": the bus, not the maker.
        if (vendor.value == std::optional<std::string>("ATA")) {
            vendor = {std::nullopt,
                      {Kind::NotProvided, dev + "/vendor (\"ATA\" names the bus)", {}}};
        }
        // udisks names the drive too (its Drive interface), where udev and
        // sysfs do not.
        const UdisksDrive* fromUdisks = udisks.drive(drive.name);
        if (fromUdisks) {
            if (!serial.value && fromUdisks->serial && !fromUdisks->serial->empty()) {
                serial = {text::cleanText(*fromUdisks->serial), answeredSource("udisks")};
            }
            if (!wwn.value && fromUdisks->wwn && !fromUdisks->wwn->empty()) {
                wwn = {text::cleanText(*fromUdisks->wwn), answeredSource("udisks")};
            }
        }

        std::string caption;
        if (vendor.value && model.value && family != Family::Mmc &&
            model.value->find(*vendor.value) == std::string::npos) {
            caption = *vendor.value + " " + *model.value;
        } else {
            caption = model.value.value_or(deviceId);
        }

        std::optional<std::string> interfaceType;
        Source interfaceFrom = udev.from;
        switch (family) {
            case Family::Nvme:
            case Family::Virtio:
            case Family::Mmc:
                // Windows' NVMe, virtio and SD drivers are SCSI miniports,
                // and it names their disks' interface so.
                interfaceType = "SCSI";
                break;
            case Family::Scsi:
                interfaceType = scsiInterface(udev, drive);
                break;
            case Family::Other:
                if (drive.devPath) {
                    interfaceType =
                        drive.devPath->find("/usb") != std::string::npos ? "USB" : "SCSI";
                }
                break;
        }
        if (!interfaceType && !drive.devPath) {
            interfaceFrom = {Kind::NotProvided, drive.base + " (no link to its device)", {}};
        }

        const Reading removable = at(drive.base + "/removable");
        std::optional<std::string> mediaType;
        Source mediaFrom = removable.from;
        const Reading mmcType = family == Family::Mmc ? at(dev + "/type") : Reading{};
        if (family == Family::Mmc && mmcType.value) {
            // An SD card comes and goes; eMMC ("MMC") is soldered in.
            mediaType = *mmcType.value == "MMC" ? "Fixed hard disk media" : "Removable Media";
        } else if (removable.value == std::optional<std::string>("1")) {
            mediaType = "Removable Media";
        } else if (removable.value == std::optional<std::string>("0")) {
            mediaType = interfaceType == std::optional<std::string>("USB") ||
                                interfaceType == std::optional<std::string>("1394")
                            ? "External hard disk media"
                            : "Fixed hard disk media";
        } else if (removable.value) {
            mediaFrom = damagedSource(drive.base + "/removable");
        }

        // Revolutions per minute: ATA's own word through udev, else 0 for
        // what the block layer calls non-rotational.
        std::optional<std::uint64_t> spindle;
        Source spindleFrom = udev.from;
        if (const auto rpm = udev.get("ID_ATA_ROTATION_RATE_RPM").value) {
            spindle = text::parseUnsigned(*rpm);
            if (!spindle) {
                spindleFrom = damagedSource(udev.from.name + " (ID_ATA_ROTATION_RATE_RPM)");
            }
        } else if (at(drive.base + "/queue/rotational").value == std::optional<std::string>("0")) {
            spindle = 0;
        }

        const auto state = attribute(files, dev + "/state").value;
        const bool failing = fromUdisks && fromUdisks->smartFailing.value_or(false) &&
                             fromUdisks->smartUpdated.value_or(0) != 0;

        const auto partitions = countPartitions(files, drive);
        std::vector<Described> properties = {
            {prop::Index, ManagementValue::integer(index++)},
            {prop::DeviceID, ManagementValue::text(deviceId)},
            {prop::Name, ManagementValue::text(deviceId)},
            {prop::Caption, ManagementValue::text(caption)},
            {prop::Model, values::textOrNull(model.value), model.from},
            {prop::Manufacturer, values::textOrNull(vendor.value), vendor.from},
            {prop::SerialNumber, values::textOrNull(serial.value), serial.from},
            {prop::FirmwareRevision, values::textOrNull(firmware.value), firmware.from},
            {prop::Size, values::countOrNull(sizeBytes), sizeFrom},
            {prop::BytesPerSector, values::integerOrNull(bytesPerSector), sectorFrom},
            {prop::TotalSectors, values::countOrNull(totalSectors), either({sizeFrom, sectorFrom})},
            {prop::Partitions, values::integerOrNull(partitions),
             fileSource(files, drive.base, "the drive's partitions")},
            {prop::InterfaceType, values::textOrNull(interfaceType), interfaceFrom},
            {prop::MediaType, values::textOrNull(mediaType), mediaFrom},
            {prop::PNPDeviceID,
             values::textOrNull(drive.devPath),
             {Kind::NotProvided, drive.base + " (no link to its device)", {}}},
            {prop::Status, ManagementValue::text(statusOf(state, failing))},
            {prop::WWN, values::textOrNull(wwn.value), wwn.from},
            {prop::SpindleSpeed, values::integerOrNull(spindle), spindleFrom},
        };
        out.push_back(
            describedObject(wmi::cls::DiskDrive,
                            instancePath(context, wmi::cls::DiskDrive, prop::DeviceID, deviceId),
                            std::move(properties)));
    }
    return out;
}

std::vector<ObjectPtr> enumerateDiskDriveHealth(const ProviderContext& context) {
    const FileTree& files = context.files;
    const auto drives = listPhysicalDrives(files);
    if (drives.empty()) {
        return {};
    }
    const UdisksAnswer udisks = context.sys.udisks();
    const Source udisksFrom = udisksSource(udisks);

    std::vector<ObjectPtr> out;
    for (const auto& drive : drives) {
        const std::string deviceId = "/dev/" + drive.name;
        const std::string dev = drive.deviceDir.value_or(drive.base + "/device");
        const UdisksDrive* smart = udisks.drive(drive.name);

        // The temperature: the drive's own sensor, else udisks' SMART
        // reading.
        std::optional<double> temperature;
        std::optional<double> warning;
        std::optional<double> critical;
        std::optional<std::string> temperatureSource;
        Source temperatureFrom;
        Source warningFrom;
        Source criticalFrom;
        const auto sensor = hwmon::driveSensor(files, dev);
        if (sensor) {
            const auto input = files.read(sensor->input, 64);
            temperatureFrom = fileSource(files, sensor->input, "the drive's sensor");
            if (input) {
                temperature = hwmon::parseMillidegrees(*input);
                if (!temperature) {
                    temperatureFrom = damagedSource(sensor->input);
                }
            }
            const auto limit = [&](const std::string& path, std::optional<double>& value,
                                   Source& from) {
                const auto content = files.read(path, 64);
                from = fileSource(files, path, "the drive's sensor");
                if (!content) {
                    return;
                }
                const auto celsius = hwmon::parseMillidegrees(*content);
                if (!celsius) {
                    from = damagedSource(path);
                } else if (hwmon::isPlaceholderLimit(*celsius)) {
                    char shownValue[64];
                    std::snprintf(shownValue, sizeof shownValue, "%.2f", *celsius);
                    from = {Kind::NotProvided,
                            path + " (" + shownValue + " °C, the firmware's mark for no limit)",
                            {}};
                } else {
                    value = celsius;
                }
            };
            limit(sensor->max, warning, warningFrom);
            limit(sensor->crit, critical, criticalFrom);
            if (temperature) {
                temperatureSource = sensor->input;
            }
        } else {
            const std::string where = dev + "/hwmon";
            temperatureFrom = {Kind::NotProvided, where,
                               drive.name.rfind("sd", 0) == 0
                                   ? "Load the drivetemp module for the temperature of SATA drives"
                                   : ""};
            warningFrom = temperatureFrom;
            criticalFrom = temperatureFrom;
        }
        if (!temperature) {
            if (smart && smart->smartTemperatureKelvin && *smart->smartTemperatureKelvin > 0 &&
                smart->smartUpdated.value_or(0) != 0) {
                temperature = roundedCelsius(*smart->smartTemperatureKelvin - 273.15);
                temperatureSource = "udisks";
            } else if (!sensor && udisks.failure != Kind::None) {
                // Neither: udisks, which would give SMART's reading, is
                // what is missing.
                temperatureFrom = udisksFrom;
            }
        } else {
            temperature = roundedCelsius(*temperature);
        }

        // SMART's verdict and counters, from udisks.
        std::optional<bool> failing;
        std::optional<std::uint64_t> powerOnHours;
        std::optional<std::uint64_t> badSectors;
        Source healthFrom = udisksFrom;
        if (udisks.failure == Kind::None) {
            if (!smart) {
                healthFrom = {Kind::NotProvided, "udisks (no drive for " + deviceId + ")", {}};
            } else if (!smart->ata) {
                healthFrom = {Kind::NotProvided, "udisks (no ATA SMART for " + deviceId + ")", {}};
            } else if (smart->smartSupported == false) {
                healthFrom = {Kind::NotProvided, "udisks (the drive has no SMART)", {}};
            } else if (smart->smartEnabled == false) {
                healthFrom = {Kind::NotProvided, "udisks (SMART is off on the drive)", {}};
            } else if (smart->smartUpdated.value_or(0) == 0) {
                healthFrom = {Kind::NotProvided, "udisks (SMART not read yet)", {}};
            } else {
                failing = smart->smartFailing;
                if (smart->smartPowerOnSeconds && *smart->smartPowerOnSeconds > 0) {
                    powerOnHours = *smart->smartPowerOnSeconds / 3600;
                }
                if (smart->smartNumBadSectors && *smart->smartNumBadSectors >= 0) {
                    badSectors = static_cast<std::uint64_t>(*smart->smartNumBadSectors);
                }
            }
        }
        const std::optional<std::string> healthSource = failing || powerOnHours || badSectors
                                                            ? std::optional<std::string>("udisks")
                                                            : std::nullopt;

        std::vector<Described> properties = {
            {prop::DeviceID, ManagementValue::text(deviceId)},
            {prop::Temperature,
             temperature ? ManagementValue::real(*temperature) : ManagementValue::null(),
             temperatureFrom},
            {prop::TemperatureWarning,
             warning ? ManagementValue::real(roundedCelsius(*warning)) : ManagementValue::null(),
             warningFrom},
            {prop::TemperatureCritical,
             critical ? ManagementValue::real(roundedCelsius(*critical)) : ManagementValue::null(),
             criticalFrom},
            {prop::SmartFailing, values::booleanOrNull(failing), healthFrom},
            {prop::PowerOnHours, values::integerOrNull(powerOnHours), healthFrom},
            {prop::BadSectors, values::countOrNull(badSectors), healthFrom},
            {prop::TemperatureSource, values::textOrNull(temperatureSource), temperatureFrom},
            {prop::HealthSource, values::textOrNull(healthSource), healthFrom},
        };
        out.push_back(describedObject(
            wmi::cls::DiskDriveHealth,
            instancePath(context, wmi::cls::DiskDriveHealth, prop::DeviceID, deviceId),
            std::move(properties)));
    }
    return out;
}

}  // namespace tolvex::linuxprov
