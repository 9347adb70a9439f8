#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/linux/SystemSource.h"

// The machine's physical drives as the block layer shows them under /sys,
// and the temperature sensors (hwmon) their drivers register.
namespace tolvex::linuxprov {

// One physical drive: a whole disk of /sys/block.
struct BlockDrive {
    std::string name;  // the kernel's name: "nvme0n1", "sda", "vda", "mmcblk0"
    std::string base;  // its folder: "/sys/block/sda" (or /sys/class/block/sda)
    // The folder of the device under the disk (the SCSI device, the NVMe
    // controller or subsystem, the virtio device, the MMC card); no value
    // when the tree shows none.
    std::optional<std::string> deviceDir;
    // The disk's own path under /sys/devices ("/devices/pci0000:00/.../block/sda"),
    // from the link the kernel makes; no value when the folder is no link.
    std::optional<std::string> devPath;
};

// Whether a block device of this name is one a user counts as a drive:
// not a loop, RAM, compressed-RAM, device-mapper, software-RAID, network
// block, optical or floppy device.
bool isPhysicalDriveName(std::string_view name);

// The physical drives of /sys/block (or, in a tree without it, the disks
// of /sys/class/block: DEVTYPE=disk in their uevent), in the order of their
// names with numbers compared as numbers and shorter letter runs first (sdz
// before sdaa). Devices under /sys/devices/virtual and hidden disks (the
// paths of a multipath NVMe namespace) are left out, as are those
// isPhysicalDriveName refuses.
std::vector<BlockDrive> listPhysicalDrives(const FileTree& files);

// The number of partitions of a drive: the folders under its own that the
// kernel marks as partitions; no value when its folder cannot be listed.
std::optional<unsigned> countPartitions(const FileTree& files, const BlockDrive& drive);

namespace hwmon {

// A temperature file's millidegrees Celsius ("43850\n") in degrees; no
// value for anything but a whole number, or one below absolute zero.
std::optional<double> parseMillidegrees(std::string_view text);

// Whether a limit read from a drive's sensor is a limit at all: firmware
// without one gives the extremes of its 16-bit kelvin field, which the
// kernel shows as 65261.85 °C and -273.15 °C.
bool isPlaceholderLimit(double celsius);

// A drive's temperature sensor: the hwmon folder registered under the
// device (NVMe's own, directly under the controller; drivetemp's under
// hwmon/ of the SCSI device) and the channel that measures the drive as a
// whole: the one labelled "Composite", else temp1.
struct Sensor {
    std::string folder;  // "/sys/block/nvme0n1/device/hwmon3"
    std::string input;   // folder + "/temp1_input"
    std::string max;     // folder + "/temp1_max"
    std::string crit;    // folder + "/temp1_crit"
};
std::optional<Sensor> driveSensor(const FileTree& files, const std::string& deviceDir);

}  // namespace hwmon

}  // namespace tolvex::linuxprov
