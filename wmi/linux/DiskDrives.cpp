#include "wmi/linux/DiskDrives.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Names compared run by run: digit runs as numbers, letter runs shorter
// first, so that sd names (sda ... sdz, sdaa) and numbered ones (nvme2n1,
// nvme10n1) come in the kernel's order.
bool driveOrder(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digits = isDigit(a[i]);
        if (digits != isDigit(b[j])) {
            return digits;
        }
        std::size_t endA = i;
        std::size_t endB = j;
        while (endA < a.size() && isDigit(a[endA]) == digits) {
            ++endA;
        }
        while (endB < b.size() && isDigit(b[endB]) == digits) {
            ++endB;
        }
        std::string_view runA(a.data() + i, endA - i);
        std::string_view runB(b.data() + j, endB - j);
        if (digits) {
            while (runA.size() > 1 && runA.front() == '0') {
                runA.remove_prefix(1);
            }
            while (runB.size() > 1 && runB.front() == '0') {
                runB.remove_prefix(1);
            }
        }
        if (runA.size() != runB.size()) {
            return runA.size() < runB.size();
        }
        if (runA != runB) {
            return runA < runB;
        }
        i = endA;
        j = endB;
    }
    return a.size() - i < b.size() - j;
}

// A link's target made absolute against the folder holding the link, with
// "." and ".." taken out.
std::string joinedPath(std::string_view folder, std::string_view target) {
    std::vector<std::string_view> parts;
    const auto take = [&parts](std::string_view path) {
        std::size_t start = 0;
        while (start <= path.size()) {
            const auto end = std::min(path.find('/', start), path.size());
            const auto part = path.substr(start, end - start);
            if (part == "..") {
                if (!parts.empty()) {
                    parts.pop_back();
                }
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = end + 1;
        }
    };
    if (target.empty() || target.front() != '/') {
        take(folder);
    }
    take(target);
    std::string out;
    for (const auto part : parts) {
        out += "/";
        out += part;
    }
    return out.empty() ? "/" : out;
}

std::optional<std::string> readTrimmed(const FileTree& files, const std::string& path) {
    const auto content = files.read(path, 4096);
    if (!content) {
        return std::nullopt;
    }
    return text::trimmed(*content);
}

bool ueventSays(const FileTree& files, const std::string& folder, std::string_view line) {
    const auto content = files.read(folder + "/uevent", 64 * 1024);
    if (!content) {
        return false;
    }
    for (const auto l : text::splitLines(*content)) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

bool isPartition(const FileTree& files, const std::string& folder) {
    return files.exists(folder + "/partition") || ueventSays(files, folder, "DEVTYPE=partition");
}

std::optional<BlockDrive> driveAt(const FileTree& files, const std::string& folder,
                                  const std::string& name) {
    if (!isPhysicalDriveName(name)) {
        return std::nullopt;
    }
    BlockDrive drive{name, folder + "/" + name, {}, {}};
    if (const auto target = files.readLink(drive.base)) {
        const std::string path = joinedPath(folder, *target);
        if (startsWith(path, "/sys/devices/virtual/")) {
            return std::nullopt;
        }
        if (startsWith(path, "/sys/devices/")) {
            drive.devPath = path.substr(4);
        }
    }
    if (readTrimmed(files, drive.base + "/hidden") == std::optional<std::string>("1")) {
        return std::nullopt;
    }
    if (files.isDirectory(drive.base + "/device")) {
        drive.deviceDir = drive.base + "/device";
    } else if (drive.devPath) {
        // A tree without the "device" link still shows the disk below its
        // device: .../<device>/block/<name>.
        const std::string tail = "/block/" + name;
        const std::string& path = *drive.devPath;
        if (path.size() > tail.size() &&
            path.compare(path.size() - tail.size(), tail.size(), tail) == 0) {
            drive.deviceDir = "/sys" + path.substr(0, path.size() - tail.size());
        }
    }
    // An optical drive that took a disk's name is still no disk: SCSI
    // peripheral type 5 (CD/DVD).
    if (drive.deviceDir &&
        readTrimmed(files, *drive.deviceDir + "/type") == std::optional<std::string>("5")) {
        return std::nullopt;
    }
    return drive;
}

}  // namespace

bool isPhysicalDriveName(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") {
        return false;
    }
    for (const std::string_view excluded : {"loop", "ram", "zram", "dm-", "md", "nbd", "sr", "fd",
                                            "scd", "zd", "rbd", "drbd", "pmem", "ublkb"}) {
        if (startsWith(name, excluded)) {
            return false;
        }
    }
    return true;
}

std::vector<BlockDrive> listPhysicalDrives(const FileTree& files) {
    std::vector<BlockDrive> drives;
    std::vector<std::string> names = files.list("/sys/block");
    std::string folder = "/sys/block";
    const bool classOnly = names.empty() && !files.isDirectory("/sys/block");
    if (classOnly) {
        folder = "/sys/class/block";
        names = files.list(folder);
    }
    std::sort(names.begin(), names.end(), driveOrder);
    for (const auto& name : names) {
        // /sys/class/block holds the partitions beside the disks.
        if (classOnly && !ueventSays(files, folder + "/" + name, "DEVTYPE=disk")) {
            continue;
        }
        if (auto drive = driveAt(files, folder, name)) {
            drives.push_back(std::move(*drive));
        }
    }
    return drives;
}

std::optional<unsigned> countPartitions(const FileTree& files, const BlockDrive& drive) {
    if (!files.isDirectory(drive.base)) {
        return std::nullopt;
    }
    unsigned count = 0;
    for (const auto& entry : files.list(drive.base)) {
        // Partitions are named after their disk: sda1, nvme0n1p1, mmcblk0p1.
        if (entry.size() > drive.name.size() && startsWith(entry, drive.name) &&
            isPartition(files, drive.base + "/" + entry)) {
            ++count;
        }
    }
    return count;
}

namespace hwmon {

std::optional<double> parseMillidegrees(std::string_view text) {
    const std::string value = text::trimmed(text);
    std::string_view digits = value;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative) {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 12 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const auto magnitude = text::parseUnsigned(digits);
    if (!magnitude) {
        return std::nullopt;
    }
    const double celsius = (negative ? -1.0 : 1.0) * static_cast<double>(*magnitude) / 1000.0;
    if (celsius < -273.15) {
        return std::nullopt;
    }
    return celsius;
}

bool isPlaceholderLimit(double celsius) {
    // 0 K and 65535 K, and anything no drive could be rated for.
    return celsius <= -273.0 || celsius >= 65000.0;
}

std::optional<Sensor> driveSensor(const FileTree& files, const std::string& deviceDir) {
    std::vector<std::string> folders;
    const auto collect = [&](const std::string& parent) {
        for (const auto& entry : files.list(parent)) {
            if (startsWith(entry, "hwmon") && entry.size() > 5 &&
                std::all_of(entry.begin() + 5, entry.end(), isDigit)) {
                folders.push_back(parent + "/" + entry);
            }
        }
    };
    collect(deviceDir);
    collect(deviceDir + "/hwmon");
    if (folders.empty()) {
        // An NVMe subsystem (native multipath): the sensor is the
        // controllers', listed under it.
        for (const auto& entry : files.list(deviceDir)) {
            if (startsWith(entry, "nvme") && entry.size() > 4 &&
                std::all_of(entry.begin() + 4, entry.end(), isDigit)) {
                collect(deviceDir + "/" + entry);
            }
        }
    }
    std::sort(folders.begin(), folders.end(), driveOrder);
    for (const auto& folder : folders) {
        std::string channel;
        for (const auto& entry : files.list(folder)) {
            if (startsWith(entry, "temp") && entry.size() > 6 &&
                entry.compare(entry.size() - 6, 6, "_label") == 0 &&
                readTrimmed(files, folder + "/" + entry) ==
                    std::optional<std::string>("Composite")) {
                channel = entry.substr(0, entry.size() - 6);
                break;
            }
        }
        if (channel.empty() && files.exists(folder + "/temp1_input")) {
            channel = "temp1";
        }
        if (!channel.empty()) {
            const std::string prefix = folder + "/" + channel;
            return Sensor{folder, prefix + "_input", prefix + "_max", prefix + "_crit"};
        }
    }
    return std::nullopt;
}

}  // namespace hwmon

}  // namespace tolvex::linuxprov
