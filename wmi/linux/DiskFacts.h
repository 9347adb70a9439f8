#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wmi/linux/Mounts.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// The service's drive types.
enum class DriveKind : std::int64_t {
    Removable = 2,
    Local = 3,
    Network = 4,
    Optical = 5,
    RamDisk = 6,
};

// A mounted file system a user would call a drive.
struct DriveMount {
    MountEntry mount;
    DriveKind kind = DriveKind::Local;
    std::optional<std::string> blockDevice;  // kernel name ("sda1") for block devices
};

// The drives among the mount table's lines: block-device, network and RAM
// file systems, not the kernel's pseudo file systems; each mount point once
// (the mount in view, the last one); no bind mount of a directory of a file
// system already listed; no mount whose point was deleted. The order is the
// table's.
std::vector<DriveMount> selectDrives(const FileTree& files, const std::vector<MountEntry>& mounts);

// Whether asking a file system of this type for its space may block without
// end: network file systems wait for their server, FUSE ones for their
// daemon. The kernel answers every other type from memory.
bool spaceMayHang(const std::string& fsType);

// What identifies the file system on a block device: from udev's database,
// else the /dev/disk/by-label and by-uuid links, else (on the live machine,
// where the device is readable) a probe of the device.
struct VolumeIdentity {
    std::optional<std::string> label;
    std::optional<std::string> uuid;
    std::optional<std::string> type;
    std::optional<std::string> version;  // "FAT32"
};
VolumeIdentity volumeIdentity(const FileTree& files, const std::string& kernelName);

// The service's form of a volume serial: eight upper-case hexadecimal digits
// from the UUID: "1A2B-3C4D" (FAT, exFAT) gives 1A2B3C4D; a 16-digit NTFS
// serial its low half (the last eight digits); any other UUID its first
// eight digits.
std::optional<std::string> volumeSerial(const std::string& uuid);

// The service's name of a file system type: "ext4" gives EXT4, "vfat" the
// FAT version when known (FAT32) else FAT, "ntfs3" NTFS, "iso9660" CDFS,
// "fuse.sshfs" SSHFS.
std::string fileSystemName(const std::string& type, const std::optional<std::string>& version);

// \xNN escapes of udev link names and encoded values undone.
std::string decodeHexEscapes(const std::string& text);

}  // namespace tolvex::linuxprov
