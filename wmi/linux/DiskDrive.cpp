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

// Where a drive's facts are read: its block folder, its device folder
// and udev's record of it.
struct DriveSources {
    const FileTree& files;
    const BlockDrive& drive;
    const UdevRecord& udev;
    std::string dev;

    Reading at(const std::string& path) const { return attribute(files, path); }
};

// A whole number read for a property, or the source that says why not.
struct Number {
    std::optional<std::uint64_t> value;
    Source from;
};

// The block layer counts 512-byte units whatever the sector size.
Number sizeInBytes(const Reading& units, const std::string& path) {
    if (!units.value) {
        return {std::nullopt, units.from};
    }
    const auto count = text::parseUnsigned(*units.value);
    if (!count || *count > UINT64_MAX / 512) {
        return {std::nullopt, damagedSource(path)};
    }
    return {*count * 512, units.from};
}

// The logical sector: a power of two from 512 bytes to 64 KiB.
Number sectorInBytes(const Reading& bytes, const std::string& path) {
    if (!bytes.value) {
        return {std::nullopt, bytes.from};
    }
    const auto count = text::parseUnsigned(*bytes.value);
    if (!count || *count < 512 || *count > 65536 || (*count & (*count - 1)) != 0) {
        return {std::nullopt, damagedSource(path)};
    }
    return {count, bytes.from};
}

struct DriveSize {
    Number bytes;
    Number bytesPerSector;
    std::optional<std::uint64_t> totalSectors;
};

DriveSize sizeOf(const DriveSources& d) {
    const std::string sizePath = d.drive.base + "/size";
    const std::string sectorPath = d.drive.base + "/queue/logical_block_size";
    const Reading sizeText = d.at(sizePath);
    const Reading sectorText = d.at(sectorPath);
    const Number bytes = sizeInBytes(sizeText, sizePath);
    const Number sector = sectorInBytes(sectorText, sectorPath);
    // A removable drive without its medium (a card reader, no card) has
    // no size.
    if (bytes.value == std::uint64_t{0}) {
        return {{std::nullopt, {Kind::NotProvided, sizePath + " (no medium)", {}}},
                sector,
                std::nullopt};
    }
    if (!bytes.value || !sector.value) {
        return {bytes, sector, std::nullopt};
    }
    return {bytes, sector, *bytes.value / *sector.value};
}

// The names a drive gives of itself.
struct Identity {
    Reading model;
    Reading vendor;
    Reading serial;
    Reading firmware;
    Reading wwn;
};

Identity nvmeIdentity(const DriveSources& d) {
    Identity id;
    id.model = firstOf({d.at(d.dev + "/model"), d.udev.encoded("ID_MODEL_ENC", "ID_MODEL")});
    id.serial = firstOf({d.at(d.dev + "/serial"), d.udev.get("ID_SERIAL_SHORT")});
    id.firmware = firstOf({d.at(d.dev + "/firmware_rev"), d.udev.get("ID_REVISION")});
    id.wwn = firstOf({d.udev.get("ID_WWN"), d.at(d.drive.base + "/wwid")});
    id.vendor = {std::nullopt, fileSource(d.files, d.dev + "/vendor", "")};
    return id;
}

Identity mmcIdentity(const DriveSources& d) {
    Identity id;
    id.model = firstOf({d.at(d.dev + "/name"), d.udev.get("ID_NAME")});
    id.serial = firstOf({d.at(d.dev + "/serial"), d.udev.get("ID_SERIAL")});
    id.firmware = firstOf({d.at(d.dev + "/fwrev"), d.at(d.dev + "/hwrev")});
    id.wwn = {std::nullopt, d.udev.from};
    id.vendor =
        numberedMaker(d.at(d.dev + "/manfid"), "a number the SD Association or JEDEC assigns");
    return id;
}

// A virtual disk: the host's names, where udev has them.
Identity virtioIdentity(const DriveSources& d) {
    Identity id;
    id.model = d.udev.encoded("ID_MODEL_ENC", "ID_MODEL");
    id.serial = firstOf({d.at(d.drive.base + "/serial"), d.udev.get("ID_SERIAL_SHORT")});
    id.firmware = d.udev.get("ID_REVISION");
    id.wwn = d.udev.get("ID_WWN");
    id.vendor = numberedMaker(d.at(d.dev + "/vendor"), "the virtio vendor number");
    return id;
}

// udev read these from the drive as root: ATA's full model and firmware,
// where the SCSI layer keeps 16 and 4 characters.
Identity scsiIdentity(const DriveSources& d) {
    Identity id;
    id.model = firstOf({d.udev.encoded("ID_MODEL_ENC", "ID_MODEL"), d.at(d.dev + "/model")});
    id.serial = firstOf(
        {d.udev.get("ID_SERIAL_SHORT"), d.at(d.drive.base + "/serial"), d.at(d.dev + "/serial")});
    id.firmware = firstOf({d.udev.get("ID_REVISION"), d.at(d.dev + "/rev")});
    id.wwn =
        firstOf({d.udev.get("ID_WWN_WITH_EXTENSION"), d.udev.get("ID_WWN"), d.at(d.dev + "/wwid")});
    id.vendor = firstOf({d.udev.encoded("ID_VENDOR_ENC", "ID_VENDOR"), d.at(d.dev + "/vendor")});
    return id;
}

// The identity from udev or sysfs, whichever has it for the family, then
// udisks' names (its Drive interface) where neither does.
Identity identityOf(const DriveSources& d, Family family, const UdisksDrive* fromUdisks) {
    Identity id = family == Family::Nvme     ? nvmeIdentity(d)
                  : family == Family::Mmc    ? mmcIdentity(d)
                  : family == Family::Virtio ? virtioIdentity(d)
                                             : scsiIdentity(d);
    // libata names every ATA disk's vendor "ATA": the bus, not the maker.
    if (id.vendor.value == std::optional<std::string>("ATA")) {
        id.vendor = {std::nullopt,
                     {Kind::NotProvided, d.dev + "/vendor (\"ATA\" names the bus)", {}}};
    }
    if (fromUdisks) {
        if (!id.serial.value && fromUdisks->serial && !fromUdisks->serial->empty()) {
            id.serial = {text::cleanText(*fromUdisks->serial), answeredSource("udisks")};
        }
        if (!id.wwn.value && fromUdisks->wwn && !fromUdisks->wwn->empty()) {
            id.wwn = {text::cleanText(*fromUdisks->wwn), answeredSource("udisks")};
        }
    }
    return id;
}

std::string captionOf(const Identity& id, Family family, const std::string& deviceId) {
    if (id.vendor.value && id.model.value && family != Family::Mmc &&
        id.model.value->find(*id.vendor.value) == std::string::npos) {
        return *id.vendor.value + " " + *id.model.value;
    }
    return id.model.value.value_or(deviceId);
}

Reading interfaceOf(const DriveSources& d, Family family) {
    const std::optional<std::string>& devPath = d.drive.devPath;
    switch (family) {
        case Family::Nvme:
        case Family::Virtio:
        case Family::Mmc:
            // Windows' NVMe, virtio and SD drivers are SCSI miniports, and
            // it names their disks' interface so.
            return {"SCSI", d.udev.from};
        case Family::Scsi:
            if (auto type = scsiInterface(d.udev, d.drive)) {
                return {std::move(type), d.udev.from};
            }
            break;
        case Family::Other:
            if (devPath) {
                return {devPath->find("/usb") != std::string::npos ? "USB" : "SCSI", d.udev.from};
            }
            break;
    }
    if (!devPath) {
        return {std::nullopt, {Kind::NotProvided, d.drive.base + " (no link to its device)", {}}};
    }
    return {std::nullopt, d.udev.from};
}

Reading mediaTypeOf(const DriveSources& d, Family family,
                    const std::optional<std::string>& interfaceType) {
    const Reading removable = d.at(d.drive.base + "/removable");
    const Reading mmcType = family == Family::Mmc ? d.at(d.dev + "/type") : Reading{};
    if (family == Family::Mmc && mmcType.value) {
        // An SD card comes and goes; eMMC ("MMC") is soldered in.
        return {*mmcType.value == "MMC" ? "Fixed hard disk media" : "Removable Media",
                removable.from};
    }
    if (removable.value == std::optional<std::string>("1")) {
        return {"Removable Media", removable.from};
    }
    if (removable.value == std::optional<std::string>("0")) {
        const bool external = interfaceType == std::optional<std::string>("USB") ||
                              interfaceType == std::optional<std::string>("1394");
        return {external ? "External hard disk media" : "Fixed hard disk media", removable.from};
    }
    if (removable.value) {
        return {std::nullopt, damagedSource(d.drive.base + "/removable")};
    }
    return {std::nullopt, removable.from};
}

// Revolutions per minute: ATA's own word through udev, else 0 for what
// the block layer calls non-rotational.
Number spindleSpeedOf(const DriveSources& d) {
    if (const auto rpm = d.udev.get("ID_ATA_ROTATION_RATE_RPM").value) {
        const auto speed = text::parseUnsigned(*rpm);
        if (!speed) {
            return {std::nullopt, damagedSource(d.udev.from.name + " (ID_ATA_ROTATION_RATE_RPM)")};
        }
        return {speed, d.udev.from};
    }
    if (d.at(d.drive.base + "/queue/rotational").value == std::optional<std::string>("0")) {
        return {0, d.udev.from};
    }
    return {std::nullopt, d.udev.from};
}

ObjectPtr diskDrive(const ProviderContext& context, const BlockDrive& drive, std::int64_t index,
                    const UdisksAnswer& udisks) {
    const FileTree& files = context.files;
    const std::string deviceId = "/dev/" + drive.name;
    const Family family = familyOf(drive.name);
    const UdevRecord udev = udevRecord(files, drive);
    const DriveSources d{files, drive, udev, drive.deviceDir.value_or(drive.base + "/device")};
    const DriveSize size = sizeOf(d);
    const UdisksDrive* fromUdisks = udisks.drive(drive.name);
    const Identity id = identityOf(d, family, fromUdisks);
    const Reading interfaceType = interfaceOf(d, family);
    const Reading mediaType = mediaTypeOf(d, family, interfaceType.value);
    const Number spindle = spindleSpeedOf(d);
    const auto state = d.at(d.dev + "/state").value;
    // SMART's verdict, for "Pred Fail".
    const bool failing = fromUdisks && fromUdisks->smartFailing.value_or(false) &&
                         fromUdisks->smartUpdated.value_or(0) != 0;
    const auto partitions = countPartitions(files, drive);

    std::vector<Described> properties = {
        {prop::Index, ManagementValue::integer(index)},
        {prop::DeviceID, ManagementValue::text(deviceId)},
        {prop::Name, ManagementValue::text(deviceId)},
        {prop::Caption, ManagementValue::text(captionOf(id, family, deviceId))},
        {prop::Model, values::textOrNull(id.model.value), id.model.from},
        {prop::Manufacturer, values::textOrNull(id.vendor.value), id.vendor.from},
        {prop::SerialNumber, values::textOrNull(id.serial.value), id.serial.from},
        {prop::FirmwareRevision, values::textOrNull(id.firmware.value), id.firmware.from},
        {prop::Size, values::countOrNull(size.bytes.value), size.bytes.from},
        {prop::BytesPerSector, values::integerOrNull(size.bytesPerSector.value),
         size.bytesPerSector.from},
        {prop::TotalSectors, values::countOrNull(size.totalSectors),
         either({size.bytes.from, size.bytesPerSector.from})},
        {prop::Partitions, values::integerOrNull(partitions),
         fileSource(files, drive.base, "the drive's partitions")},
        {prop::InterfaceType, values::textOrNull(interfaceType.value), interfaceType.from},
        {prop::MediaType, values::textOrNull(mediaType.value), mediaType.from},
        {prop::PNPDeviceID,
         values::textOrNull(drive.devPath),
         {Kind::NotProvided, drive.base + " (no link to its device)", {}}},
        {prop::Status, ManagementValue::text(statusOf(state, failing))},
        {prop::WWN, values::textOrNull(id.wwn.value), id.wwn.from},
        {prop::SpindleSpeed, values::integerOrNull(spindle.value), spindle.from},
    };
    return describedObject(wmi::cls::DiskDrive,
                           instancePath(context, wmi::cls::DiskDrive, prop::DeviceID, deviceId),
                           std::move(properties));
}

// A temperature in degrees Celsius, or the source that says why not.
struct Celsius {
    std::optional<double> value;
    Source from;
};

// A limit of the drive's sensor; the firmware's placeholder for none is
// no value, saying so.
Celsius sensorLimit(const FileTree& files, const std::string& path) {
    const auto content = files.read(path, 64);
    const Source from = fileSource(files, path, "the drive's sensor");
    if (!content) {
        return {std::nullopt, from};
    }
    const auto celsius = hwmon::parseMillidegrees(*content);
    if (!celsius) {
        return {std::nullopt, damagedSource(path)};
    }
    if (hwmon::isPlaceholderLimit(*celsius)) {
        char shownValue[64];
        std::snprintf(shownValue, sizeof shownValue, "%.2f", *celsius);
        return {std::nullopt,
                {Kind::NotProvided,
                 path + " (" + shownValue + " °C, the firmware's mark for no limit)",
                 {}}};
    }
    return {celsius, from};
}

struct Temperatures {
    Celsius current;
    Celsius warning;
    Celsius critical;
    std::optional<std::string> source;  // the sensor's file, or "udisks"
};

// The drive's own sensor (hwmon), with its limits.
Temperatures sensorTemperatures(const FileTree& files, const BlockDrive& drive,
                                const std::string& dev,
                                const std::optional<hwmon::Sensor>& sensor) {
    Temperatures out;
    if (!sensor) {
        const Source none = {Kind::NotProvided, dev + "/hwmon",
                             drive.name.rfind("sd", 0) == 0
                                 ? "Load the drivetemp module for the temperature of SATA drives"
                                 : ""};
        out.current.from = none;
        out.warning.from = none;
        out.critical.from = none;
        return out;
    }
    const auto input = files.read(sensor->input, 64);
    out.current.from = fileSource(files, sensor->input, "the drive's sensor");
    if (input) {
        out.current.value = hwmon::parseMillidegrees(*input);
        if (!out.current.value) {
            out.current.from = damagedSource(sensor->input);
        }
    }
    out.warning = sensorLimit(files, sensor->max);
    out.critical = sensorLimit(files, sensor->crit);
    if (out.current.value) {
        out.source = sensor->input;
    }
    return out;
}

// The drive's temperature: its own sensor, else udisks' SMART reading.
Temperatures driveTemperatures(const FileTree& files, const BlockDrive& drive,
                               const std::string& dev, const UdisksAnswer& udisks,
                               const UdisksDrive* smart) {
    const auto sensor = hwmon::driveSensor(files, dev);
    Temperatures out = sensorTemperatures(files, drive, dev, sensor);
    if (out.current.value) {
        out.current.value = roundedCelsius(*out.current.value);
    } else if (smart && smart->smartTemperatureKelvin && *smart->smartTemperatureKelvin > 0 &&
               smart->smartUpdated.value_or(0) != 0) {
        out.current.value = roundedCelsius(*smart->smartTemperatureKelvin - 273.15);
        out.source = "udisks";
    } else if (!sensor && udisks.failure != Kind::None) {
        // Neither: udisks, which would give SMART's reading, is what is
        // missing.
        out.current.from = udisksSource(udisks);
    }
    return out;
}

// SMART's verdict and counters, from udisks.
struct Health {
    std::optional<bool> failing;
    std::optional<std::uint64_t> powerOnHours;
    std::optional<std::uint64_t> badSectors;
    Source from;
};

// Why udisks gives no SMART data for a drive it answered for; no value
// when it gives them.
std::optional<std::string> whyNoSmart(const UdisksDrive* smart, const std::string& deviceId) {
    if (!smart) {
        return "udisks (no drive for " + deviceId + ")";
    }
    if (!smart->ata) {
        return "udisks (no ATA SMART for " + deviceId + ")";
    }
    if (smart->smartSupported == false) {
        return "udisks (the drive has no SMART)";
    }
    if (smart->smartEnabled == false) {
        return "udisks (SMART is off on the drive)";
    }
    if (smart->smartUpdated.value_or(0) == 0) {
        return "udisks (SMART not read yet)";
    }
    return std::nullopt;
}

Health smartHealth(const UdisksAnswer& udisks, const UdisksDrive* smart,
                   const std::string& deviceId) {
    Health out{std::nullopt, std::nullopt, std::nullopt, udisksSource(udisks)};
    if (udisks.failure != Kind::None) {
        return out;
    }
    if (auto why = whyNoSmart(smart, deviceId)) {
        out.from = {Kind::NotProvided, std::move(*why), {}};
        return out;
    }
    out.failing = smart->smartFailing;
    if (smart->smartPowerOnSeconds && *smart->smartPowerOnSeconds > 0) {
        out.powerOnHours = *smart->smartPowerOnSeconds / 3600;
    }
    if (smart->smartNumBadSectors && *smart->smartNumBadSectors >= 0) {
        out.badSectors = static_cast<std::uint64_t>(*smart->smartNumBadSectors);
    }
    return out;
}

ManagementValue realOrNull(const std::optional<double>& celsius) {
    return celsius ? ManagementValue::real(*celsius) : ManagementValue::null();
}

ObjectPtr diskDriveHealth(const ProviderContext& context, const BlockDrive& drive,
                          const UdisksAnswer& udisks) {
    const std::string deviceId = "/dev/" + drive.name;
    const std::string dev = drive.deviceDir.value_or(drive.base + "/device");
    const UdisksDrive* smart = udisks.drive(drive.name);
    const Temperatures t = driveTemperatures(context.files, drive, dev, udisks, smart);
    const Health health = smartHealth(udisks, smart, deviceId);
    const std::optional<std::string> healthSource =
        health.failing || health.powerOnHours || health.badSectors
            ? std::optional<std::string>("udisks")
            : std::nullopt;
    const auto rounded = [](const std::optional<double>& celsius) {
        return celsius ? std::optional<double>(roundedCelsius(*celsius)) : std::nullopt;
    };

    std::vector<Described> properties = {
        {prop::DeviceID, ManagementValue::text(deviceId)},
        {prop::Temperature, realOrNull(t.current.value), t.current.from},
        {prop::TemperatureWarning, realOrNull(rounded(t.warning.value)), t.warning.from},
        {prop::TemperatureCritical, realOrNull(rounded(t.critical.value)), t.critical.from},
        {prop::SmartFailing, values::booleanOrNull(health.failing), health.from},
        {prop::PowerOnHours, values::integerOrNull(health.powerOnHours), health.from},
        {prop::BadSectors, values::countOrNull(health.badSectors), health.from},
        {prop::TemperatureSource, values::textOrNull(t.source), t.current.from},
        {prop::HealthSource, values::textOrNull(healthSource), health.from},
    };
    return describedObject(
        wmi::cls::DiskDriveHealth,
        instancePath(context, wmi::cls::DiskDriveHealth, prop::DeviceID, deviceId),
        std::move(properties));
}

}  // namespace

std::vector<ObjectPtr> enumerateDiskDrives(const ProviderContext& context) {
    const auto drives = listPhysicalDrives(context.files);
    if (drives.empty()) {
        return {};
    }
    // udisks' names and SMART verdicts; asked only when there are drives.
    const UdisksAnswer udisks = context.sys.udisks();
    std::vector<ObjectPtr> out;
    std::int64_t index = 0;
    for (const auto& drive : drives) {
        out.push_back(diskDrive(context, drive, index++, udisks));
    }
    return out;
}

std::vector<ObjectPtr> enumerateDiskDriveHealth(const ProviderContext& context) {
    const auto drives = listPhysicalDrives(context.files);
    if (drives.empty()) {
        return {};
    }
    const UdisksAnswer udisks = context.sys.udisks();
    std::vector<ObjectPtr> out;
    for (const auto& drive : drives) {
        out.push_back(diskDriveHealth(context, drive, udisks));
    }
    return out;
}

}  // namespace tolvex::linuxprov
