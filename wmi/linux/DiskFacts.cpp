#include "wmi/linux/DiskFacts.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "wmi/linux/PciNames.h"
#include "wmi/linux/SysText.h"
#include "wmi/linux/UdevRecord.h"

namespace tolvex::linuxprov {

namespace {

bool isUnder(const std::string& inner, const std::string& outer) {
    if (outer == "/") {
        return inner != "/";
    }
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == '/';
}

bool isPseudo(const std::string& type) {
    static const std::set<std::string> kPseudo = {"anon_inodefs",
                                                  "autofs",
                                                  "bdev",
                                                  "binfmt_misc",
                                                  "bpf",
                                                  "cgroup",
                                                  "cgroup2",
                                                  "configfs",
                                                  "cpuset",
                                                  "debugfs",
                                                  "devfs",
                                                  "devpts",
                                                  "devtmpfs",
                                                  "efivarfs",
                                                  "fusectl",
                                                  "hugetlbfs",
                                                  "mqueue",
                                                  "nfsd",
                                                  "none",
                                                  "nsfs",
                                                  "overlay",
                                                  "pipefs",
                                                  "proc",
                                                  "pstore",
                                                  "rootfs",
                                                  "rpc_pipefs",
                                                  "securityfs",
                                                  "selinuxfs",
                                                  "smackfs",
                                                  "sockfs",
                                                  "squashfs",
                                                  "sysfs",
                                                  "tracefs",
                                                  "usbfs",
                                                  "binder",
                                                  "fuse.portal",
                                                  "fuse.gvfsd-fuse",
                                                  "fuse.gvfs-fuse-daemon",
                                                  "aufs"};
    return kPseudo.count(type) > 0;
}

bool isNetwork(const std::string& type) {
    static const std::set<std::string> kNetwork = {
        "lustre",     "gpfs",           "beegfs",    "9p",          "virtiofs",
        "fuse.sshfs", "fuse.glusterfs", "fuse.s3fs", "fuse.rclone", "fuse.cephfs",
        "davfs",      "fuse.davfs2",    "afs",       "ceph"};
    // And the families libmount counts as network file systems.
    for (const char* prefix : {"nfs", "9p"}) {
        if (type.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    static const std::set<std::string> kNetworkFamilies = {
        "cifs", "smb3", "smbfs", "afs", "ncpfs", "glusterfs", "fuse.curlftpfs"};
    return kNetwork.count(type) > 0 || kNetworkFamilies.count(type) > 0;
}

}  // namespace

bool spaceMayHang(const std::string& fsType) {
    return isNetwork(fsType) || fsType == "fuse" || fsType == "fuseblk" ||
           fsType.rfind("fuse.", 0) == 0;
}

namespace {

std::optional<std::string> readTrimmed(const FileTree& files, const std::string& path) {
    const auto content = files.read(path, 4096);
    if (!content) {
        return std::nullopt;
    }
    return text::trimmed(*content);
}

// The kernel name of a mount's block device: from its device numbers when the
// table gives them, else the name in /dev.
std::optional<std::string> kernelName(const FileTree& files, const MountEntry& mount) {
    if (mount.hasDeviceNumber && mount.major != 0) {
        const auto link = files.readLink("/sys/dev/block/" + std::to_string(mount.major) + ":" +
                                         std::to_string(mount.minor));
        if (link) {
            return baseName(*link);
        }
    }
    if (mount.source.rfind("/dev/", 0) != 0) {
        return std::nullopt;
    }
    if (const auto link = files.readLink(mount.source)) {  // /dev/mapper/x, /dev/root
        return baseName(*link);
    }
    return baseName(mount.source);
}

// The whole disk of a partition ("sda" for "sda1").
std::string wholeDisk(const FileTree& files, const std::string& name) {
    if (files.exists("/sys/class/block/" + name + "/partition")) {
        if (const auto link = files.readLink("/sys/class/block/" + name)) {
            const auto slash = link->rfind('/');
            if (slash != std::string::npos && slash > 0) {
                return baseName(link->substr(0, slash));
            }
        }
    }
    return name;
}

DriveKind blockKind(const FileTree& files, const std::string& name, const std::string& type) {
    const std::string disk = wholeDisk(files, name);
    if (disk.rfind("zram", 0) == 0 || (disk.rfind("ram", 0) == 0 && disk.size() > 3 &&
                                       std::isdigit(static_cast<unsigned char>(disk[3])))) {
        return DriveKind::RamDisk;
    }
    const auto scsiType = readTrimmed(files, "/sys/block/" + disk + "/device/type");
    if (disk.rfind("sr", 0) == 0 || (scsiType && *scsiType == "5") || type == "iso9660") {
        return DriveKind::Optical;
    }
    const auto removable = readTrimmed(files, "/sys/block/" + disk + "/removable");
    if (removable && *removable == "1") {
        return DriveKind::Removable;
    }
    return DriveKind::Local;
}

// Whether one of the roots holds a directory that `root` is inside (as
// isUnder tells): "/", and every prefix of `root` that ends before one of
// its slashes.
bool hasRootAbove(const std::string& root,
                  const std::vector<const std::set<std::string, std::less<>>*>& sets) {
    const auto holds = [&](std::string_view outer) {
        return std::any_of(sets.begin(), sets.end(),
                           [&](const auto* roots) { return roots->count(outer) > 0; });
    };
    if (root != "/" && holds("/")) {
        return true;
    }
    for (std::size_t slash = root.find('/'); slash != std::string::npos;
         slash = root.find('/', slash + 1)) {
        // "/" itself was asked above; isUnder never takes it as a prefix.
        const std::string_view outer(root.data(), slash);
        if (outer != "/" && holds(outer)) {
            return true;
        }
    }
    return false;
}

const std::string kDeleted = " (deleted)";

}  // namespace

std::vector<DriveMount> selectDrives(const FileTree& files, const std::vector<MountEntry>& mounts) {
    // The mount in view at each point is the last one made there.
    std::map<std::string, std::size_t> lastAt;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        lastAt[mounts[i].target] = i;
    }
    std::vector<DriveMount> drives;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const MountEntry& mount = mounts[i];
        if (lastAt[mount.target] != i || isPseudo(mount.fsType)) {
            continue;
        }
        // Whatever is mounted inside /proc and /sys (cgroup tmpfs, say) is
        // the kernel's plumbing, not a drive.
        if (isUnder(mount.target, "/proc") || isUnder(mount.target, "/sys")) {
            continue;
        }
        const std::string& target = mount.target;
        if (target.size() >= kDeleted.size() &&
            target.compare(target.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
            continue;  // its mount point is gone
        }
        DriveMount drive;
        drive.mount = mount;
        if (mount.fsType == "tmpfs" || mount.fsType == "ramfs") {
            drive.kind = DriveKind::RamDisk;
        } else if (isNetwork(mount.fsType)) {
            drive.kind = DriveKind::Network;
        } else if (const auto name = kernelName(files, mount);
                   name && (mount.source.rfind("/dev/", 0) == 0 ||
                            (mount.hasDeviceNumber && mount.major != 0))) {
            drive.blockDevice = text::cleanText(*name);
            drive.kind = blockKind(files, *name, mount.fsType);
        } else {
            continue;
        }
        drives.push_back(std::move(drive));
    }
    // A bind mount of a directory inside a file system already listed shows
    // the same drive again: leave it out. Drives are the same file system
    // when their device numbers match (or, where the table gives none, their
    // sources); the roots of each file system's drives are gathered once, and
    // each drive looks up only the directories above its own root.
    using Roots = std::set<std::string, std::less<>>;
    std::map<std::pair<unsigned, unsigned>, Roots> rootsByDevice;
    std::map<std::string, Roots, std::less<>> rootsBySource;           // every drive
    std::map<std::string, Roots, std::less<>> rootsBySourceNoNumbers;  // drives without numbers
    for (const auto& drive : drives) {
        const MountEntry& m = drive.mount;
        if (m.hasDeviceNumber) {
            rootsByDevice[{m.major, m.minor}].insert(m.root);
        } else {
            rootsBySourceNoNumbers[m.source].insert(m.root);
        }
        rootsBySource[m.source].insert(m.root);
    }
    std::vector<DriveMount> out;
    for (auto& drive : drives) {
        const MountEntry& m = drive.mount;
        // Two drives with device numbers compare those; any other pair
        // compares sources.
        std::vector<const Roots*> sameFileSystem;
        if (m.hasDeviceNumber) {
            if (const auto it = rootsByDevice.find({m.major, m.minor}); it != rootsByDevice.end()) {
                sameFileSystem.push_back(&it->second);
            }
            if (const auto it = rootsBySourceNoNumbers.find(m.source);
                it != rootsBySourceNoNumbers.end()) {
                sameFileSystem.push_back(&it->second);
            }
        } else if (const auto it = rootsBySource.find(m.source); it != rootsBySource.end()) {
            sameFileSystem.push_back(&it->second);
        }
        if (!hasRootAbove(m.root, sameFileSystem)) {
            out.push_back(std::move(drive));
        }
    }
    return out;
}

std::string decodeHexEscapes(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 3 < value.size() && value[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(value[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(value[i + 3]))) {
            out.push_back(static_cast<char>(*text::parseHex(value.substr(i + 2, 2))));
            i += 3;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

namespace {

void fromUdev(const FileTree& files, const std::string& name, VolumeIdentity& out) {
    const auto numbers = readTrimmed(files, "/sys/class/block/" + name + "/dev");
    if (!numbers) {
        return;
    }
    const auto path = udev::blockDatabasePath(*numbers);
    const auto content = path ? udev::readDatabase(files, *path) : std::nullopt;
    if (!content) {
        return;
    }
    const auto values = udev::parseProperties(*content);
    const auto value = [&](const char* key) -> std::optional<std::string> {
        const auto it = values.find(key);
        if (it == values.end() || it->second.empty()) {
            return std::nullopt;
        }
        return it->second;
    };
    if (const auto label = value("ID_FS_LABEL_ENC")) {
        out.label = decodeHexEscapes(*label);
    } else if (const auto plain = value("ID_FS_LABEL")) {
        out.label = plain;
    }
    out.uuid = value("ID_FS_UUID");
    out.type = value("ID_FS_TYPE");
    out.version = value("ID_FS_VERSION");
}

std::optional<std::string> fromLinks(const FileTree& files, const std::string& folder,
                                     const std::string& name) {
    for (const auto& entry : files.list(folder)) {
        const auto link = files.readLink(folder + "/" + entry);
        if (link && baseName(*link) == name) {
            return decodeHexEscapes(entry);
        }
    }
    return std::nullopt;
}

void fromProbe(const std::string& name, VolumeIdentity& out) {
    const std::string path = "/dev/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return;  // an ordinary user may not read the device
    }
    if (blkid_probe probe = blkid_new_probe()) {
        if (blkid_probe_set_device(probe, fd, 0, 0) == 0) {
            blkid_probe_enable_superblocks(probe, 1);
            blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID |
                                                         BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
            if (blkid_do_safeprobe(probe) == 0) {
                const auto tag = [&](const char* key) -> std::optional<std::string> {
                    const char* data = nullptr;
                    if (blkid_probe_lookup_value(probe, key, &data, nullptr) == 0 && data &&
                        *data) {
                        return std::string(data);
                    }
                    return std::nullopt;
                };
                out.label = tag("LABEL");
                out.uuid = tag("UUID");
                out.type = tag("TYPE");
                out.version = tag("VERSION");
            }
        }
        blkid_free_probe(probe);
    }
    ::close(fd);
}

}  // namespace

VolumeIdentity volumeIdentity(const FileTree& files, const std::string& kernelName) {
    VolumeIdentity out;
    fromUdev(files, kernelName, out);
    if (!out.uuid && !out.label && !out.type) {
        out.label = fromLinks(files, "/dev/disk/by-label", kernelName);
        out.uuid = fromLinks(files, "/dev/disk/by-uuid", kernelName);
    }
    if (!out.uuid && !out.label && !out.type && files.root().empty()) {
        fromProbe(kernelName, out);
    }
    for (auto* value : {&out.label, &out.uuid, &out.type, &out.version}) {
        if (*value) {
            *value = text::cleanText(**value);
        }
    }
    return out;
}

std::optional<std::string> volumeSerial(const std::string& uuid) {
    std::string digits;
    for (const char c : uuid) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        } else if (c != '-') {
            return std::nullopt;
        }
    }
    if (digits.size() < 8) {
        return std::nullopt;
    }
    if (digits.size() == 16 && uuid.find('-') == std::string::npos) {
        return digits.substr(8);  // NTFS: the service shows the low 32 bits
    }
    return digits.substr(0, 8);
}

std::string fileSystemName(const std::string& type, const std::optional<std::string>& version) {
    if (type == "vfat" || type == "msdos" || type == "fat") {
        if (version && (*version == "FAT12" || *version == "FAT16" || *version == "FAT32")) {
            return *version;
        }
        return "FAT";
    }
    if (type == "exfat") {
        return "exFAT";
    }
    if (type == "ntfs" || type == "ntfs3" || type == "ntfs-3g" || type == "fuse.ntfs-3g") {
        return "NTFS";
    }
    if (type == "iso9660") {
        return "CDFS";
    }
    if (type.rfind("fuse.", 0) == 0) {
        return text::upper(type.substr(5));
    }
    return text::upper(type);
}

}  // namespace tolvex::linuxprov
